// How an update request names the system, the user's locale and the machine.
#include "SystemIdentity.h"
#include "TempDir.h"
#include "UnicodeText.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quarrow {
namespace {

TEST(OperatingSystemDescription, FromOsReleaseAndKernel)
{
    struct Case {
        const char* product;
        const char* kernelRelease;
        const char* machine;
        std::u16string expected;
    };
    const Case cases[] = {
        {"Debian GNU/Linux 12 (bookworm)", "6.1.0-18-amd64", "x86_64",
         u"Debian GNU/Linux 12 (bookworm) (Version 6.1, Build 0, 64-bit Edition)"},
        {"Ubuntu 24.04.1 LTS", "6.8.12-generic", "aarch64",
         u"Ubuntu 24.04.1 LTS (Version 6.8, Build 12, 64-bit Edition)"},
        {"Raspbian GNU/Linux 10 (buster)", "5.10.103-v7l+", "armv7l",
         u"Raspbian GNU/Linux 10 (buster) (Version 5.10, Build 103, 32-bit Edition)"},
        {"Old", "2.6", "i686", u"Old (Version 2.6, Build 0, 32-bit Edition)"},
        {"", "6.12.1", "x86_64", u"Linux (Version 6.12, Build 1, 64-bit Edition)"},
        {"Odd", "", "x86_64", u"Odd (Version 0.0, Build 0, 64-bit Edition)"},
        {"Überlinux", "6.1.0", "x86_64", u"Überlinux (Version 6.1, Build 0, 64-bit Edition)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(describeOperatingSystem(c.product, "Linux", c.kernelRelease, c.machine), c.expected) << c.product;
}

TEST(OperatingSystemDescription, OsReleaseNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Single quoted'\n", "Single quoted"},
        {"PRETTY_NAME=Bare\r\n", "Bare"},
        {"NAME=\"Only a name\"\n", "Only a name"},
        {"PRETTY_NAME=\"Escaped \\\"quote\\\" \\\\ \\$x\"\n", "Escaped \"quote\" \\ $x"},
        {"# PRETTY_NAME=\"commented\"\nID=x\n", ""},
        {"", ""},
    };
    for (const auto& [text, name] : cases)
        EXPECT_EQ(osReleaseName(text), name) << text;
}

TEST(LocaleName, LanguageAndCountry)
{
    const auto everything = [](const std::string&) { return true; };
    const std::pair<const char*, std::u16string> cases[] = {
        {"en_US.UTF-8", u"en-US"},
        {"de_DE", u"de-DE"},
        {"de_DE@euro", u"de-DE"},
        {"fr_CA.utf8", u"fr-CA"},
        {"es_419.UTF-8", u"es-419"},
        {"ast_ES.UTF-8", u"ast-ES"},
        {"C", u"xx"},
        {"C.UTF-8", u"xx"},
        {"POSIX", u"xx"},
        {"", u"xx"},
        {"de", u"xx"},
        {"_US", u"xx"},
        {"en_", u"xx"},
        {"en_USA", u"xx"},
        {"e1_US", u"xx"},
    };
    for (const auto& [posix, name] : cases)
        EXPECT_EQ(localeNameFor(posix, everything), name) << posix;

    const auto nothing = [](const std::string&) { return false; };
    EXPECT_EQ(localeNameFor("en_US.UTF-8", nothing), u"xx") << "a locale the system does not have";
}

TEST(LocaleName, UnknownLocaleIsNotInstalled)
{
    EXPECT_FALSE(localeInstalled("xx_YY.UTF-8"));
    EXPECT_TRUE(localeInstalled("C"));
}

TEST(HostIdentity, ReadsTheMachineFiles)
{
    test::TempDir dir;
    HostIdentity::Paths paths;
    paths.osRelease = (dir.path() / "os-release").string();
    paths.osReleaseFallback = (dir.path() / "usr-os-release").string();
    paths.machineId = (dir.path() / "machine-id").string();
    std::ofstream(paths.osReleaseFallback) << "PRETTY_NAME=\"Fallback OS 1\"\n";
    std::ofstream(paths.machineId) << "0123456789abcdef0123456789abcdef\n";

    HostIdentity identity(paths);
    EXPECT_TRUE(identity.operatingSystem().starts_with(u"Fallback OS 1 (Version "))
        << toUtf8(identity.operatingSystem());
    EXPECT_EQ(identity.machineIdentifier(), u"0123456789abcdef0123456789abcdef");

    std::ofstream(paths.osRelease) << "PRETTY_NAME=\"Main OS 2\"\n";
    EXPECT_TRUE(identity.operatingSystem().starts_with(u"Main OS 2 (Version "));

    std::ofstream(paths.machineId, std::ios::trunc) << "not a machine id\n";
    EXPECT_EQ(identity.machineIdentifier(), u"");
    std::filesystem::remove(paths.machineId);
    EXPECT_EQ(identity.machineIdentifier(), u"") << "an unreadable id is sent empty";
}

TEST(HostIdentity, TakesTheLocaleWhenMade)
{
    ::setenv("LC_ALL", "xx_YY.UTF-8", 1);
    HostIdentity unknown;
    ::setenv("LC_ALL", "C.UTF-8", 1);
    HostIdentity plain;
    ::unsetenv("LC_ALL");
    EXPECT_EQ(unknown.localeName(), u"xx");
    EXPECT_EQ(plain.localeName(), u"xx");
}

} // namespace
} // namespace quarrow
