// How an update request names the system, the user's locale and the machine.
#include "update/core/SystemIdentity.h"
#include "tests/support/TempDir.h"
#include "engine/text/UnicodeText.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <fstream>
#include <optional>

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

TEST(HostIdentity, ReadsTheOsReleaseFiles)
{
    test::TempDir dir;
    HostIdentity::Sources sources;
    sources.osRelease = (dir.path() / "os-release").string();
    sources.osReleaseFallback = (dir.path() / "usr-os-release").string();
    std::ofstream(sources.osReleaseFallback) << "PRETTY_NAME=\"Fallback OS 1\"\n";

    HostIdentity identity(sources);
    EXPECT_TRUE(identity.operatingSystem().starts_with(u"Fallback OS 1 (Version "))
        << toUtf8(identity.operatingSystem());
    std::ofstream(sources.osRelease) << "PRETTY_NAME=\"Main OS 2\"\n";
    EXPECT_TRUE(identity.operatingSystem().starts_with(u"Main OS 2 (Version "));
}

// The documented derivation of an application-specific machine id: HMAC-SHA256
// keyed by the machine id over the application id, its first 16 bytes made
// a version 4 UUID.
Id128 derivedId(const Id128& machine, const Id128& application)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), machine.data(), static_cast<int>(machine.size()), application.data(), application.size(), digest,
         &length);
    Id128 id{};
    std::copy_n(digest, id.size(), id.begin());
    id[6] = static_cast<std::uint8_t>((id[6] & 0x0f) | 0x40);
    id[8] = static_cast<std::uint8_t>((id[8] & 0x3f) | 0x80);
    return id;
}

std::optional<Id128> parseMachineId(std::string text)
{
    if (text.size() < 32)
        return std::nullopt;
    Id128 id{};
    for (std::size_t i = 0; i < id.size(); ++i)
        id[i] = static_cast<std::uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
    return id;
}

TEST(MachineId, GuidShapeAndAbsence)
{
    const Id128 fixed{0x00, 0x01, 0x0a, 0xff, 0x10, 0x20, 0x4c, 0xd3, 0x9e, 0x5b, 0x6a, 0x7f, 0x80, 0x90, 0xab, 0xcd};
    std::optional<Id128> asked;
    HostIdentity::Sources sources;
    sources.machineId = [&](const Id128& application) {
        asked = application;
        return std::optional<Id128>(fixed);
    };
    EXPECT_EQ(HostIdentity(sources).machineIdentifier(), u"00010aff-1020-4cd3-9e5b-6a7f8090abcd");
    EXPECT_EQ(asked, std::optional<Id128>(kApplicationId)) << "always our own application id";

    sources.machineId = [](const Id128&) { return std::optional<Id128>(); };
    EXPECT_EQ(HostIdentity(sources).machineIdentifier(), u"") << "no machine id: sent empty";
}

// libsystemd's derivation against the documented one, on a fixed machine id
// and on this machine's own.
TEST(MachineId, IsTheApplicationSpecificIdNeverTheMachineId)
{
    const Id128 fixedMachine{0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                             0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    EXPECT_EQ(guidText(derivedId(fixedMachine, kApplicationId)), u"9ed84959-d259-48e1-aba8-a75a40e3a7ac");

    std::ifstream file("/etc/machine-id");
    std::string text;
    std::getline(file, text);
    const std::optional<Id128> machine = parseMachineId(text);
    const std::u16string sent = HostIdentity().machineIdentifier();
    if (!machine) {
        EXPECT_EQ(sent, u"") << "a machine without an id sends none";
        return;
    }
    EXPECT_EQ(sent, guidText(derivedId(*machine, kApplicationId)));
    EXPECT_EQ(sent, HostIdentity().machineIdentifier()) << "stable on one machine";
    EXPECT_EQ(toUtf8(sent).find(text.substr(0, 8)), std::string::npos) << "nothing of the machine id itself";

    Id128 otherApplication = kApplicationId;
    otherApplication[0] ^= 0x01;
    const std::optional<Id128> other = machineIdFor(otherApplication);
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(*other, derivedId(*machine, otherApplication));
    EXPECT_NE(guidText(*other), sent) << "another application gets another id";
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
