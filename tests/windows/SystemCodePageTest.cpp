#include "tests/support/TempDir.h"
#include "tests/windows/WindowsTestSupport.h"

#include "engine/csv/LineReader.h"
#include "platform/windows/SystemCodePage.h"
#include "engine/text/AnsiCodePage.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

namespace quarrow::test::windows {
namespace {

using quarrow::windows::SystemCodePage;

std::string encode(const AnsiCodePage& codePage, char32_t c, bool& exact)
{
    char bytes[AnsiCodePage::kMaxCharBytes];
    const char* end = codePage.encode(c, bytes, exact);
    return std::string(bytes, static_cast<std::size_t>(end - bytes));
}

// Characters each code page holds map exactly and come back; others become
// a best-fit letter or the default character, counted as substitutes, and
// never a quote or a backslash.
TEST(SystemCodePage, EncodesExactlyOrSubstitutesSafely)
{
    const struct {
        unsigned codePage;
        char32_t character;
        const char* bytes; // nullptr: a substitute
    } cases[] = {
        {1252, U'\u00E9', "\xE9"},    {1252, U'\u20AC', "\x80"},      {1252, U'\u0416', nullptr},
        {1252, U'\u0141', nullptr},   {1252, U'\uFF07', nullptr},     {1252, U'\uFF3C', nullptr},
        {1251, U'\u0416', "\xC6"},    {1251, U'\u20AC', "\x88"},      {1251, U'\u00E9', nullptr},
        {1251, U'\u2019', "\x92"},    {932, U'\u65E5', "\x93\xFA"},   {932, U'\uFF71', "\xB1"},
        {932, U'\u30BD', "\x83\x5C"}, {932, U'\U0001F600', nullptr},  {932, U'\u0416', "\x84\x47"},
        {932, U'\u00E9', nullptr},    {1252, U'\U0001F600', nullptr},
    };
    std::vector<std::unique_ptr<SystemCodePage>> pages;
    for (unsigned id : {1252u, 1251u, 932u})
        pages.push_back(std::make_unique<SystemCodePage>(id));
    for (const auto& c : cases) {
        SCOPED_TRACE("code page " + std::to_string(c.codePage) + ", U+" + std::to_string(c.character));
        const SystemCodePage& page = *pages[c.codePage == 1252 ? 0 : c.codePage == 1251 ? 1 : 2];
        bool exact = false;
        const std::string bytes = encode(page, c.character, exact);
        if (c.bytes != nullptr) {
            EXPECT_TRUE(exact);
            EXPECT_EQ(bytes, c.bytes);
            char16_t back[4];
            const auto decoded =
                page.decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), true, back);
            ASSERT_EQ(decoded.written, 1u);
            EXPECT_EQ(static_cast<char32_t>(back[0]), c.character);
        } else {
            EXPECT_FALSE(exact);
            ASSERT_EQ(bytes.size(), 1u);
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(bytes[0])) || bytes[0] == '?') << bytes;
        }
    }
}

// A double-byte character cut by the end of a block waits for the next one.
TEST(SystemCodePage, DoubleByteCharacterAcrossBlocks)
{
    const SystemCodePage page(932);
    EXPECT_EQ(page.characterBytes(0x93), 2u);
    EXPECT_EQ(page.characterBytes('a'), 1u);
    EXPECT_EQ(page.characterBytes(0xB1), 1u);
    char16_t out[8];
    const unsigned char text[] = {'a', 0x93, 0xFA, 'b', 0x93};
    auto r = page.decode(text, sizeof text, false, out);
    EXPECT_EQ(r.consumed, 4u);
    EXPECT_EQ(std::u16string(out, r.written), u"a\u65E5b");
    r = page.decode(text + 4, 1, true, out);
    EXPECT_EQ(r.consumed, 1u) << "a lead byte ending the file still decodes";
    EXPECT_EQ(r.written, 1u);

    struct Lines final : LineSink {
        void line(std::u16string_view text) override { lines.emplace_back(text); }
        std::vector<std::u16string> lines;
    } sink;
    TempDir dir;
    std::string bytes(kReadBlockSize - 1, 'a');
    bytes += "\x93\xFA,\x83\x5C\r\n\x93\xFA";
    setAnsiCodePage(&page);
    readLines(dir.write("split.csv", bytes), TextEncoding::Ansi, sink);
    setAnsiCodePage(nullptr);
    EXPECT_EQ(sink.lines,
              (std::vector<std::u16string>{std::u16string(kReadBlockSize - 1, u'a') + u"\u65E5,\u30BD", u"\u65E5"}));
}

// A literal too long for Oracle is cut into pieces between characters,
// never between the two bytes of one.
TEST(SystemCodePage, LongLiteralIsCutBetweenDoubleByteCharacters)
{
    const SystemCodePage page(932);
    std::string value = "a"; // puts every character on an odd offset
    for (int i = 0; i < 2500; ++i)
        value += "\x93\xFA";
    TempDir dir;
    const auto csv = dir.write("long.csv", "v\r\n" + value + "\r\n");
    setAnsiCodePage(&page);
    std::string out;
    std::string err;
    const int status = runCli({"-H", "-e", "ansi", "-d", "oracle", pathText(csv)}, out, err);
    setAnsiCodePage(nullptr);
    ASSERT_EQ(status, 0) << err;
    std::string joined;
    std::size_t pieces = 0;
    for (std::size_t at = out.find("TO_CLOB('"); at != std::string::npos; at = out.find("TO_CLOB('", at)) {
        at += 9;
        const std::size_t end = out.find("')", at);
        ASSERT_NE(end, std::string::npos);
        const std::string piece = out.substr(at, end - at);
        EXPECT_LE(piece.size(), 4000u);
        // Whole characters only: the piece decodes to as many characters
        // as it holds once its lone 'a' is counted.
        char16_t decoded[4096];
        const auto r = page.decode(reinterpret_cast<const unsigned char*>(piece.data()), piece.size(), false, decoded);
        EXPECT_EQ(r.consumed, piece.size()) << "piece " << pieces << " ends inside a character";
        joined += piece;
        ++pieces;
    }
    EXPECT_GE(pieces, 2u);
    EXPECT_EQ(joined, value);
}

// The converter's ANSI is the code page of the system it runs on. The test
// command runs this program under several locales and says which code page
// each should give.
TEST(SystemCodePage, ConverterUsesTheSystemCodePage)
{
    const char* expected = std::getenv("QUARROW_EXPECTED_ACP");
    if (expected == nullptr)
        GTEST_SKIP() << "QUARROW_EXPECTED_ACP is not set";
    const auto system = SystemCodePage::forSystem();
    ASSERT_TRUE(system);
    EXPECT_EQ(system->codePage(), static_cast<unsigned>(std::stoul(expected)));

    // A text in the system's code page, and one character it lacks that
    // comes from a UTF-8 file (its mark overrides the choice).
    const std::u16string sample = system->codePage() == 932    ? u"\u65E5\u672C"
                                  : system->codePage() == 1251 ? u"\u0416\u0438"
                                                               : u"\u00E9\u00DF";
    std::string ansi;
    for (char16_t c : sample) {
        bool exact = false;
        ansi += encode(*system, c, exact);
        ASSERT_TRUE(exact);
    }
    TempDir dir;
    const auto csv = dir.write("ansi.csv", "name\r\n" + ansi + "\r\n");
    const auto utf8 = dir.write("utf8.csv", "\xEF\xBB\xBFname\r\nx\xF0\x9F\x98\x80\r\n");
    std::string out;
    std::string err;
    ASSERT_EQ(runCli({"-H", "-e", "ansi", "-d", "postgresql", pathText(csv), pathText(utf8)}, out, err), 0) << err;
    EXPECT_NE(out.find("('" + ansi + "')"), std::string::npos) << out;
    EXPECT_NE(out.find("('x?')"), std::string::npos) << out;
    EXPECT_EQ(err, "quarrow-cli: warning: 1 character could not be written in ANSI and was replaced\n");
}

} // namespace
} // namespace quarrow::test::windows
