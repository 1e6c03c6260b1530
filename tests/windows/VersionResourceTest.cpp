#include "tests/windows/WindowsTestSupport.h"

#include "platform/windows/VersionResource.h"

#include <gtest/gtest.h>

#include <system_error>

namespace quarrow::test::windows {
namespace {

using quarrow::windows::fileVersionText;
using quarrow::windows::readVersionResource;

// The resource made from the version block reads back through the system's
// version functions, as the program reads its own.
TEST(VersionResource, ConverterCarriesTheProductsBlock)
{
    const auto texts = readVersionResource(converterProgram());
    EXPECT_EQ(texts[L"CompanyName"], L"TARNIX");
    EXPECT_EQ(texts[L"ProductName"], L"Quarrow");
    EXPECT_EQ(texts[L"FileVersion"], L"2.1.0.0");
    EXPECT_EQ(texts[L"LegalCopyright"], L"Copyright \u00A9 TARNIX");
    EXPECT_EQ(texts[L"Comments"], L"");
    EXPECT_EQ(fileVersionText(converterProgram()), L"2.1");
}

TEST(VersionResource, StringsOfTheFirstTranslationOnly)
{
    const auto fixture = readVersionResource(buildFile(QUARROW_VERSION_FIXTURE));
    const std::pair<std::wstring_view, std::wstring_view> expected[] = {
        {L"CompanyName", L"Fixture Works"},
        {L"FileDescription", L"Version block fixture"},
        {L"FileVersion", L"10.12.3.4 (fixture)"},
        {L"LegalCopyright", L"\u00A9 Fixture Works"},
        {L"LegalTrademarks", L"Fixture\u2122 \\ back"},
        {L"ProductName", L"Fixture"},
        {L"PrivateBuild", L"Built by hand"},
        {L"SpecialBuild", L"Special \"quoted\" build"},
        {L"Comments", L""},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(fixture[key], value) << std::string(key.begin(), key.end());
    EXPECT_EQ(fileVersionText(buildFile(QUARROW_VERSION_FIXTURE)), L"10.12");

    const auto translations = readVersionResource(buildFile(QUARROW_VERSION_FIXTURE_TRANSLATIONS));
    EXPECT_EQ(translations[L"CompanyName"], L"Erste Werke");
    EXPECT_EQ(translations[L"FileDescription"], L"Beschreibung");
    EXPECT_EQ(translations[L"Comments"], L"") << "no fallback to the second table";
}

TEST(VersionResource, FileWithoutResourceFailsWithTheSystemsError)
{
    const auto without = buildFile(QUARROW_VERSION_FIXTURE_WITHOUT);
    try {
        readVersionResource(without);
        FAIL() << "a file without a version resource was read";
    } catch (const std::system_error& e) {
        EXPECT_NE(e.code().value(), 0);
    }
    EXPECT_EQ(fileVersionText(without), L"65535.65535");
    EXPECT_THROW(readVersionResource(buildFile("/nonexistent/quarrow.exe")), std::system_error);
}

} // namespace
} // namespace quarrow::test::windows
