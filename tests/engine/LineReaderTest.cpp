#include "engine/csv/LineReader.h"
#include "engine/text/UnicodeText.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using quarrow::fromUtf8;
using quarrow::kReadBlockSize;
using quarrow::LineSink;
using quarrow::ReadError;
using quarrow::readLines;
using quarrow::TextEncoding;
using quarrow::test::TempDir;

using Lines = std::vector<std::u16string>;

// Collects the lines as text. One that takes UTF-8 gets the lines of UTF-8
// files undecoded and decodes them itself, the way LineSink does by default.
// One that takes parts joins the pieces of a long line itself.
struct Collector : LineSink {
    explicit Collector(bool utf8 = false, bool parts = false) : takeUtf8(utf8), takeParts(parts) {}
    Lines lines;
    bool takeUtf8;
    bool takeParts;
    std::size_t utf8Lines = 0; // lines that came undecoded
    std::size_t pieces = 0;    // parts of lines that ran across blocks
    std::u16string unfinished; // the parts of the line being delivered
    void line(std::u16string_view text) override
    {
        unfinished += text;
        lines.push_back(std::move(unfinished));
        unfinished.clear();
    }
    bool takesUtf8() const override { return takeUtf8; }
    void utf8Line(std::string_view bytes) override
    {
        ++utf8Lines;
        LineSink::utf8Line(bytes);
    }
    bool takesParts() const override { return takeParts; }
    void linePart(std::u16string_view piece) override
    {
        EXPECT_TRUE(takeParts);
        ++pieces;
        unfinished += piece;
    }
};

constexpr bool kBothRoutes[] = {false, true};

// Reads the file every way: decoded by the reader, and handed on as UTF-8
// where the file is UTF-8; each with long lines whole and in parts. All
// must give the same lines.
Lines readAll(const fs::path& path, TextEncoding encoding)
{
    Collector decoded;
    readLines(path, encoding, decoded);
    Collector undecoded(true);
    readLines(path, encoding, undecoded);
    EXPECT_EQ(undecoded.lines, decoded.lines) << "lines handed on as UTF-8 differ from the decoded ones";
    for (const bool utf8 : kBothRoutes) {
        Collector inParts(utf8, true);
        readLines(path, encoding, inParts);
        EXPECT_EQ(inParts.lines, decoded.lines) << "lines handed on in parts differ, UTF-8: " << utf8;
    }
    return decoded.lines;
}

// How a test file is written: the encoding the user picked, and what the
// file itself starts with.
enum class Form { Utf8, Utf8Bom, Ansi, Utf16Le, Utf16Be };

const char* formName(Form f)
{
    switch (f) {
    case Form::Utf8: return "UTF-8";
    case Form::Utf8Bom: return "UTF-8 with mark";
    case Form::Ansi: return "ANSI";
    case Form::Utf16Le: return "UTF-16 LE";
    case Form::Utf16Be: return "UTF-16 BE";
    }
    return "?";
}

TextEncoding chosen(Form f)
{
    return f == Form::Ansi ? TextEncoding::Ansi : TextEncoding::Utf8;
}

std::string mark(Form f)
{
    switch (f) {
    case Form::Utf8Bom: return "\xEF\xBB\xBF";
    case Form::Utf16Le: return "\xFF\xFE";
    case Form::Utf16Be: return "\xFE\xFF";
    default: return "";
    }
}

std::size_t unitSize(Form f)
{
    return f == Form::Utf16Le || f == Form::Utf16Be ? 2 : 1;
}

// Text in the file's form, without the mark. ANSI takes ASCII and Latin-1
// letters only, which the code page keeps at the same value.
std::string encodeAs(Form f, std::u16string_view text)
{
    std::string out;
    auto put = [&out](std::uint32_t v) { out.push_back(static_cast<char>(static_cast<unsigned char>(v))); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint32_t u = text[i];
        switch (f) {
        case Form::Utf16Le:
            put(u & 0xFF);
            put(u >> 8);
            break;
        case Form::Utf16Be:
            put(u >> 8);
            put(u & 0xFF);
            break;
        case Form::Ansi:
            EXPECT_TRUE(u < 0x80 || (u >= 0xA0 && u <= 0xFF)) << "no ANSI byte for " << u;
            put(u);
            break;
        case Form::Utf8:
        case Form::Utf8Bom: {
            std::uint32_t cp = u;
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size()) {
                cp = 0x10000 + ((u - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
                ++i;
            }
            if (cp < 0x80) {
                put(cp);
            } else if (cp < 0x800) {
                put(0xC0 | (cp >> 6));
                put(0x80 | (cp & 0x3F));
            } else if (cp < 0x10000) {
                put(0xE0 | (cp >> 12));
                put(0x80 | ((cp >> 6) & 0x3F));
                put(0x80 | (cp & 0x3F));
            } else {
                put(0xF0 | (cp >> 18));
                put(0x80 | ((cp >> 12) & 0x3F));
                put(0x80 | ((cp >> 6) & 0x3F));
                put(0x80 | (cp & 0x3F));
            }
            break;
        }
        }
    }
    return out;
}

constexpr Form kAllForms[] = {Form::Utf8, Form::Utf8Bom, Form::Ansi, Form::Utf16Le, Form::Utf16Be};

// ---------------------------------------------------------------------------
// Whole small files: line breaks, marks and encodings.

struct ReadCase {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    Lines lines;
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class LineReaderCases : public testing::TestWithParam<ReadCase> {
protected:
    TempDir m_dir;
};

TEST_P(LineReaderCases, DeliversExpectedLines)
{
    const ReadCase& c = GetParam();
    EXPECT_EQ(readAll(m_dir.write("input.csv", c.bytes), c.encoding), c.lines);
}

// clang-format off
const ReadCase kReadCases[] = {
    {"EmptyFileHasNoLine", "", TextEncoding::Utf8, {}},
    {"EmptyAnsiFileHasNoLine", "", TextEncoding::Ansi, {}},
    {"Utf8MarkAloneIsOneEmptyLine", "\xEF\xBB\xBF", TextEncoding::Utf8, {u""}},
    {"Utf8MarkAloneUnderAnsiIsOneEmptyLine", "\xEF\xBB\xBF", TextEncoding::Ansi, {u""}},
    {"Utf16LeMarkAloneIsOneEmptyLine", "\xFF\xFE", TextEncoding::Utf8, {u""}},
    {"Utf16BeMarkAloneIsOneEmptyLine", "\xFE\xFF", TextEncoding::Ansi, {u""}},
    {"MarkThenBreakIsOneEmptyLine", "\xEF\xBB\xBF\n", TextEncoding::Utf8, {u""}},
    {"MarkIsNotPartOfTheText", "\xEF\xBB\xBF" "a\n", TextEncoding::Utf8, {u"a"}},

    {"MixedBreaks", "a\r\nb\nc\rd", TextEncoding::Utf8, {u"a", u"b", u"c", u"d"}},
    {"MixedBreaksAnsi", "a\r\nb\nc\rd", TextEncoding::Ansi, {u"a", u"b", u"c", u"d"}},
    {"LfThenCrHasEmptyLineBetween", "a\n\rb", TextEncoding::Utf8, {u"a", u"", u"b"}},
    {"CrThenCrLfHasEmptyLineBetween", "a\r\r\nb", TextEncoding::Utf8, {u"a", u"", u"b"}},
    {"CrLfTwiceHasEmptyLineBetween", "a\r\n\r\nb", TextEncoding::Utf8, {u"a", u"", u"b"}},
    {"NoBreakAtEnd", "a\nb", TextEncoding::Utf8, {u"a", u"b"}},
    {"OneLfAtEndAddsNoLine", "a\nb\n", TextEncoding::Utf8, {u"a", u"b"}},
    {"OneCrLfAtEndAddsNoLine", "a\r\n", TextEncoding::Utf8, {u"a"}},
    {"OneCrAtEndAddsNoLine", "a\r", TextEncoding::Utf8, {u"a"}},
    {"TwoLfAtEndAddOneEmptyLine", "a\n\n", TextEncoding::Utf8, {u"a", u""}},
    {"TwoCrLfAtEndAddOneEmptyLine", "a\r\n\r\n", TextEncoding::Utf8, {u"a", u""}},
    {"TwoCrAtEndAddOneEmptyLine", "a\r\r", TextEncoding::Utf8, {u"a", u""}},
    {"BreakAloneIsOneEmptyLine", "\n", TextEncoding::Utf8, {u""}},
    {"CrLfAloneIsOneEmptyLine", "\r\n", TextEncoding::Utf8, {u""}},
    {"NulStaysInTheLine", "a\0b\n"s, TextEncoding::Utf8, {u"a\0b"s}},

    {"Utf8WithoutMark", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", TextEncoding::Utf8, {u"\u00E9\u20AC\xD83D\xDE00"}},
    {"Utf8MarkOverridesAnsi", "\xEF\xBB\xBF\xC3\xA9\xE2\x82\xAC", TextEncoding::Ansi, {u"\u00E9\u20AC"}},
    {"AnsiEuroAndUnassignedByte", "\x80\x81\xE9\n\x9F", TextEncoding::Ansi, {u"\u20AC\u0081\u00E9", u"\u0178"}},

    {"Utf16LeMarkOverridesAnsi", "\xFF\xFE" "a\0\r\0\n\0\xE9\0"s, TextEncoding::Ansi, {u"a", u"\u00E9"}},
    {"Utf16LeMarkOverridesUtf8", "\xFF\xFE" "a\0\n\0b\0"s, TextEncoding::Utf8, {u"a", u"b"}},
    {"Utf16LeSurrogatePair", "\xFF\xFE\x3D\xD8\x00\xDE"s, TextEncoding::Utf8, {u"\xD83D\xDE00"}},
    {"Utf16BeSurrogatePair", "\xFE\xFF\xD8\x3D\xDE\x00\x00\n\x00" "b"s, TextEncoding::Utf8,
     {u"\xD83D\xDE00", u"b"}},
    {"Utf16BeCrLf", "\xFE\xFF\0a\0\r\0\n\0b"s, TextEncoding::Ansi, {u"a", u"b"}},
    {"Utf16BeLoneCr", "\xFE\xFF\0a\0\r\0b"s, TextEncoding::Utf8, {u"a", u"b"}},
    // Bytes 0D 0A inside one code unit are a character, not a break.
    {"Utf16BeUnitWithBreakBytes", "\xFE\xFF\x0D\x0A\0\n"s, TextEncoding::Utf8, {u"\u0D0A"}},
    {"Utf16LeUnitWithBreakBytes", "\xFF\xFE\x0D\x0A"s, TextEncoding::Utf8, {u"\u0A0D"}},
    {"Utf16LeMarkThenBreak", "\xFF\xFE\n\0"s, TextEncoding::Utf8, {u""}},
    // FF FE 00 00 could be read as a UTF-32 mark; it is UTF-16 with a NUL.
    {"FfFe0000IsUtf16Le", "\xFF\xFE\0\0a\0"s, TextEncoding::Utf8, {u"\0a"s}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(LineReaderCaseTable, LineReaderCases, testing::ValuesIn(kReadCases),
                         [](const testing::TestParamInfo<ReadCase>& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------
// Small files that cannot be read.

struct ErrorCase {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    std::uint64_t line; // the line the fault is on
};

void PrintTo(const ErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

class LineReaderErrors : public testing::TestWithParam<ErrorCase> {
protected:
    TempDir m_dir;
};

// All of these fail in the only block, so no line has been delivered; the
// error names the line the fault is on all the same.
TEST_P(LineReaderErrors, ThrowsBeforeDeliveringTheBlock)
{
    const ErrorCase& c = GetParam();
    const fs::path path = m_dir.write("broken-file.csv", c.bytes);
    for (const bool utf8 : kBothRoutes) {
        SCOPED_TRACE(utf8 ? "sink takes UTF-8" : "sink takes text");
        Collector sink(utf8);
        try {
            readLines(path, c.encoding, sink);
            FAIL() << "no ReadError";
        } catch (const ReadError& e) {
            EXPECT_EQ(e.lineNumber(), c.line);
            EXPECT_EQ(e.path(), path);
            EXPECT_NE(std::string(e.what()).find("broken-file.csv: line " + std::to_string(c.line) + ": "),
                      std::string::npos)
                << e.what();
            EXPECT_FALSE(e.reason().empty());
        }
        EXPECT_EQ(sink.lines, Lines{});
    }
}

// clang-format off
const ErrorCase kErrorCases[] = {
    // The mark makes the file strict UTF-8 even though ANSI was chosen; E9
    // would be a letter in ANSI.
    {"Utf8MarkUnderAnsiThenInvalidByte", "\xEF\xBB\xBF" "a\n\xE9\n", TextEncoding::Ansi, 2},
    {"Utf8InvalidFirstByte", "\x80", TextEncoding::Utf8, 1},
    {"Utf8SurrogateAfterALine", "a\n\xED\xA0\x80\n", TextEncoding::Utf8, 2},
    {"Utf8TruncatedAtEnd", "a\n\xE2\x82", TextEncoding::Utf8, 2},
    {"Utf8ByteOnTheThirdCrLfLine", "a\r\nb\r\nJos\xE9\r\n", TextEncoding::Utf8, 3},
    {"Utf8ByteOnTheThirdCrLine", "a\rb\rJos\xE9\r", TextEncoding::Utf8, 3},
    {"Utf8ByteRightAfterACr", "a\r\r\xE9", TextEncoding::Utf8, 3},
    {"Utf8ByteAfterBlankLines", "\n\n\r\n\xE9", TextEncoding::Utf8, 4},
    {"Utf16LeOddTrailingByte", "\xFF\xFE" "a\0\n\0b"s, TextEncoding::Utf8, 2},
    {"Utf16BeOddTrailingByteAfterCrLf", "\xFE\xFF\0a\0\r\0\n\0"s, TextEncoding::Ansi, 2},
    {"Utf16BeOddTrailingByte", "\xFE\xFF\0a\0"s, TextEncoding::Ansi, 1},
    {"Utf16MarkThenOneByte", "\xFF\xFE" "a", TextEncoding::Utf8, 1},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(LineReaderErrorTable, LineReaderErrors, testing::ValuesIn(kErrorCases),
                         [](const testing::TestParamInfo<ErrorCase>& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------
// Files of several blocks.

class LineReaderTest : public testing::Test {
protected:
    TempDir m_dir;
};

// A CR that is the last unit of the first block, followed by whatever opens
// the second: CR LF is one break however it is cut.
TEST_F(LineReaderTest, BreakAcrossTheBlockBoundary)
{
    struct Tail {
        std::u16string text; // starts at the last unit of the first block
        Lines after;         // lines after the filler line
    };
    for (const Form form : kAllForms) {
        const std::size_t fillerUnits = (kReadBlockSize - mark(form).size()) / unitSize(form) - 1;
        const std::u16string filler(fillerUnits, u'x');
        // A whole second block after the CR, then an LF opening the third:
        // that LF ends a line of its own and must not be taken for the CR's.
        const std::u16string secondBlock(kReadBlockSize / unitSize(form), u'b');
        const Tail tails[] = {
            {u"\r\nb", {u"b"}},
            {u"\rb", {u"b"}},
            {u"\r\rb", {u"", u"b"}},
            {u"\r\r\nb", {u"", u"b"}},
            {u"\n\rb", {u"", u"b"}},
            {u"\n\nb", {u"", u"b"}},
            {u"\r\n", {}},
            {u"\r", {}},
            {u"\r\n\n", {u""}},
            {u"\r\nb\r\nc", {u"b", u"c"}},
            {u"\r" + secondBlock + u"\nc", {secondBlock, u"c"}},
        };
        for (const Tail& tail : tails) {
            SCOPED_TRACE(testing::Message() << formName(form) << ", tail of " << tail.text.size()
                                            << " units: " << testing::PrintToString(tail.text.substr(0, 8)));
            const std::string bytes = mark(form) + encodeAs(form, filler) + encodeAs(form, tail.text);
            ASSERT_EQ(bytes.size(), kReadBlockSize + (tail.text.size() - 1) * unitSize(form));
            Lines expected = {filler};
            expected.insert(expected.end(), tail.after.begin(), tail.after.end());
            EXPECT_EQ(readAll(m_dir.write("input.csv", bytes), chosen(form)), expected);
        }
    }
}

// Breaks are looked for several code units at a time. Units that share a
// byte with CR or LF, or have the top bit set, are no break, at whatever
// position they stand; the real breaks are found at every position too.
TEST_F(LineReaderTest, BreaksAmongLookAlikeUnitsAtEveryPosition)
{
    const char16_t lookAlikes[] = {0x0A0D, 0x0D0A, 0x010A, 0x010D, 0x0A00, 0x0D00, 0x8000, 0xFFFF, 0x000B, 0x000C};
    const std::u16string breaks[] = {u"\n", u"\r\n", u"\r"};
    for (const Form form : {Form::Utf8, Form::Utf16Le, Form::Utf16Be}) {
        SCOPED_TRACE(formName(form));
        Lines expected;
        std::u16string text;
        std::size_t k = 0;
        for (std::size_t length = 1; length <= 12; ++length) {
            for (std::size_t shift = 0; shift < 4; ++shift) {
                std::u16string line;
                for (std::size_t i = 0; i < length; ++i)
                    line.push_back(lookAlikes[(k++ + shift) % std::size(lookAlikes)]);
                expected.push_back(line);
                text += line + breaks[(length + shift) % std::size(breaks)];
            }
        }
        const std::string bytes = mark(form) + encodeAs(form, text);
        EXPECT_EQ(readAll(m_dir.write("input.csv", bytes), chosen(form)), expected);
    }
}

// A character of 2, 3 or 4 bytes starting 1..3 bytes before the end of the
// first block, with and without a mark in front.
TEST_F(LineReaderTest, MultiByteCharacterAcrossTheBlockBoundary)
{
    const std::u16string chars[] = {u"\u00E9", u"\u20AC", u"\xD83D\xDE00"};
    for (const Form form : {Form::Utf8, Form::Utf8Bom}) {
        for (const std::u16string& ch : chars) {
            const std::size_t length = encodeAs(form, ch).size();
            for (std::size_t before = 1; before < length; ++before) {
                SCOPED_TRACE(testing::Message() << formName(form) << ", " << length << "-byte character, " << before
                                                << " byte(s) in the first block");
                const std::u16string filler(kReadBlockSize - before - mark(form).size(), u'a');
                const std::u16string first = filler + ch + u"z";
                const std::string bytes = mark(form) + encodeAs(form, first + u"\nnext\n");
                ASSERT_EQ(bytes.substr(kReadBlockSize - before, length), encodeAs(form, ch));
                EXPECT_EQ(readAll(m_dir.write("input.csv", bytes), chosen(form)), (Lines{first, u"next"}));
            }
        }
    }
}

// UTF-16 units are handed on as they are, a pair split by the boundary too.
TEST_F(LineReaderTest, Utf16SurrogatePairAcrossTheBlockBoundary)
{
    for (const Form form : {Form::Utf16Le, Form::Utf16Be}) {
        SCOPED_TRACE(formName(form));
        const std::u16string first = std::u16string((kReadBlockSize - 2) / 2 - 1, u'a') + u"\xD83D\xDE00" + u"z";
        const std::string bytes = mark(form) + encodeAs(form, first + u"\r\nnext");
        EXPECT_EQ(readAll(m_dir.write("input.csv", bytes), chosen(form)), (Lines{first, u"next"}));
    }
}

// More than 100 KB in one line. In UTF-8 the pattern is 11 bytes long, so the
// block boundaries fall at every position within it.
TEST_F(LineReaderTest, LongLineSpanningManyBlocksArrivesWhole)
{
    for (const Form form : kAllForms) {
        SCOPED_TRACE(formName(form));
        const std::u16string pattern = form == Form::Ansi ? u"0123456789\u00E9"
                                                          : u"a\u00E9\u20AC\xD83D\xDE00"
                                                            u"b";
        const std::size_t repeats = 100 * 1024 / encodeAs(form, pattern).size() + 1;
        std::u16string longLine;
        for (std::size_t i = 0; i < repeats; ++i)
            longLine += pattern;
        const Lines expected = {u"head", longLine, u"tail"};
        const std::string bytes = mark(form) + encodeAs(form, u"head\n" + longLine + u"\r\ntail\n");
        const Lines got = readAll(m_dir.write("input.csv", bytes), chosen(form));
        ASSERT_EQ(got.size(), expected.size());
        EXPECT_EQ(got[0], expected[0]);
        EXPECT_TRUE(got[1] == expected[1])
            << "long line of " << got[1].size() << " units, expected " << expected[1].size();
        EXPECT_EQ(got[2], expected[2]);
    }
}

// Many short, distinct lines through several blocks, with each kind of break.
TEST_F(LineReaderTest, ManyLinesAcrossBlocksComeBackInOrder)
{
    const std::u16string breaks[] = {u"\n", u"\r\n", u"\r"};
    for (const Form form : kAllForms) {
        for (const std::u16string& lineBreak : breaks) {
            SCOPED_TRACE(testing::Message() << formName(form) << ", break " << testing::PrintToString(lineBreak));
            Lines expected;
            std::u16string text;
            std::size_t size = 0;
            for (int i = 0; size < 3 * kReadBlockSize + 500; ++i) {
                expected.push_back(u"row" + fromUtf8(std::to_string(i)) + u",\u00E9" + fromUtf8(std::to_string(i)));
                text += expected.back() + lineBreak;
                size += encodeAs(form, expected.back() + lineBreak).size();
            }
            const std::string bytes = mark(form) + encodeAs(form, text);
            const fs::path path = m_dir.write("input.csv", bytes);

            for (const bool utf8 : kBothRoutes) {
                SCOPED_TRACE(utf8 ? "sink takes UTF-8" : "sink takes text");
                Collector sink(utf8);
                std::atomic<std::uint64_t> bytesRead{0};
                readLines(path, chosen(form), sink, &bytesRead);
                EXPECT_EQ(sink.lines, expected);
                EXPECT_EQ(bytesRead.load(), bytes.size());
                // Only UTF-8 text is handed on undecoded, and all of it.
                const bool utf8File = form == Form::Utf8 || form == Form::Utf8Bom;
                EXPECT_EQ(sink.utf8Lines, utf8 && utf8File ? expected.size() : 0u);
            }
        }
    }
}

// The progress counter ends at the file size, whatever the size is against
// the block size and whatever is carried from one block to the next.
TEST_F(LineReaderTest, BytesReadEndsAtTheFileSize)
{
    struct SizedFile {
        const char* what;
        std::string bytes;
    };
    const std::string euroAcross = std::string(kReadBlockSize - 1, 'a') + "\xE2\x82\xAC\n"
                                   + std::string(kReadBlockSize - 2, 'b') + "\xF0\x9F\x98\x80" + "\n";
    const SizedFile files[] = {
        {"empty", ""},
        {"one byte", "a"},
        {"one block", std::string(kReadBlockSize, 'a')},
        {"one block and a byte", std::string(kReadBlockSize + 1, 'a')},
        {"two blocks", std::string(2 * kReadBlockSize, 'a')},
        {"characters across boundaries", euroAcross},
        {"UTF-16", "\xFF\xFE" + std::string(3 * kReadBlockSize, 'a')},
    };
    for (const SizedFile& file : files) {
        SCOPED_TRACE(file.what);
        const fs::path path = m_dir.write("input.csv", file.bytes);
        Collector sink;
        std::atomic<std::uint64_t> bytesRead{0};
        readLines(path, TextEncoding::Utf8, sink, &bytesRead);
        EXPECT_EQ(bytesRead.load(), file.bytes.size());
    }
}

// Lines of 100 bytes: 81 end within the first two blocks, the 82nd runs into
// the third, where an invalid byte waits in a later line. Only the 81 are
// delivered, and the error names the line of the byte, whichever way the
// lines end.
TEST_F(LineReaderTest, InvalidUtf8InTheThirdBlockStopsAfterTheSecond)
{
    for (const std::string lineEnd : {"\n", "\r\n", "\r"}) {
        for (const int totalLines : {110, 300}) { // the third block last, or not
            SCOPED_TRACE(testing::Message() << totalLines << " lines, " << lineEnd.size() << "-byte ends");
            Lines all;
            std::string bytes;
            for (int i = 0; i < totalLines; ++i) {
                std::string text = "line " + std::to_string(i) + ",";
                text.resize(100 - lineEnd.size(), 'x');
                all.push_back(fromUtf8(text));
                bytes += text + lineEnd;
            }
            constexpr std::size_t kBadByte = 2 * kReadBlockSize + 900;
            bytes[kBadByte] = '\xFF';
            const std::size_t delivered = 2 * kReadBlockSize / 100;
            ASSERT_EQ(delivered, 81u);
            const std::uint64_t badLine = kBadByte / 100 + 1;

            const fs::path path = m_dir.write("third-block.csv", bytes);
            for (const bool utf8 : kBothRoutes) {
                for (const bool parts : kBothRoutes) {
                    SCOPED_TRACE(testing::Message() << (utf8 ? "sink takes UTF-8" : "sink takes text")
                                                    << (parts ? ", in parts" : ", whole"));
                    // In parts, the line cut by the second block's end came in
                    // part before the failure; no last piece makes it a line.
                    Collector sink(utf8, parts);
                    try {
                        readLines(path, TextEncoding::Utf8, sink);
                        FAIL() << "no ReadError";
                    } catch (const ReadError& e) {
                        EXPECT_EQ(e.lineNumber(), badLine);
                        EXPECT_EQ(e.path(), path);
                        EXPECT_NE(std::string(e.what()).find("third-block.csv: line " + std::to_string(badLine)),
                                  std::string::npos)
                            << e.what();
                        EXPECT_NE(std::string(e.what()).find("at byte " + std::to_string(kBadByte)), std::string::npos)
                            << e.what();
                    }
                    EXPECT_EQ(sink.lines, Lines(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(delivered)));
                    EXPECT_EQ(sink.unfinished.empty(), !parts);
                }
            }
        }
    }
}

// A CR LF cut by the block's end is one break when the block after it fails:
// the CR ends the first block, and the LF that opens the next ends nothing.
TEST_F(LineReaderTest, InvalidUtf8AfterACrLfCutByTheBlockNamesItsLine)
{
    std::string bytes(kReadBlockSize - 1, 'x');
    bytes += "\r\nb\r\nJos\xE9\r\n";
    ASSERT_EQ(bytes[kReadBlockSize], '\n');
    const fs::path path = m_dir.write("cut.csv", bytes);
    for (const bool utf8 : kBothRoutes) {
        SCOPED_TRACE(utf8 ? "sink takes UTF-8" : "sink takes text");
        Collector sink(utf8);
        try {
            readLines(path, TextEncoding::Utf8, sink);
            FAIL() << "no ReadError";
        } catch (const ReadError& e) {
            EXPECT_EQ(e.lineNumber(), 3u) << e.what();
        }
        EXPECT_EQ(sink.lines, Lines{fromUtf8(std::string(kReadBlockSize - 1, 'x'))});
    }
}

void expectOpenFailure(const fs::path& path)
{
    Collector sink;
    try {
        readLines(path, TextEncoding::Utf8, sink);
        FAIL() << "no ReadError";
    } catch (const ReadError& e) {
        EXPECT_EQ(e.lineNumber(), 1u);
        EXPECT_EQ(e.path(), path);
        EXPECT_NE(std::string(e.what()).find(path.filename().string()), std::string::npos) << e.what();
        EXPECT_FALSE(e.reason().empty());
    }
    EXPECT_TRUE(sink.lines.empty());
}

TEST_F(LineReaderTest, MissingFileThrows)
{
    expectOpenFailure(m_dir.path() / "no-such-file.csv");
}

TEST_F(LineReaderTest, DirectoryThrows)
{
    const fs::path dir = m_dir.path() / "a-directory.csv";
    ASSERT_TRUE(fs::create_directory(dir));
    expectOpenFailure(dir);
}

#ifndef _WIN32 // Windows has no permission bits; its open refusals are tested in tests/windows
TEST_F(LineReaderTest, UnreadableFileThrows)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    const fs::path path = m_dir.write("locked.csv", "a,b\n");
    fs::permissions(path, fs::perms::none);
    expectOpenFailure(path);
}
#endif

} // namespace
