#include "engine/csv/LineReader.h"
#include "engine/profile/WorkspaceProfile.h"
#include "engine/workspace/Workspace.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quarrow::LineDropping;
using quarrow::LineSink;
using quarrow::ReadError;
using quarrow::readLines;
using quarrow::RecordCutting;
using quarrow::TextEncoding;
using quarrow::test::TempDir;

// A delivered line and the file's line it begins on, as a sink that counts
// the lines it gets plus the lines told dropped numbers it.
struct Numbered {
    std::u16string text;
    std::uint64_t line;
    friend bool operator==(const Numbered&, const Numbered&) = default;
};

void PrintTo(const Numbered& n, std::ostream* os)
{
    *os << n.line << ":" << std::string(n.text.begin(), n.text.end());
}

struct NumberingSink final : LineSink {
    NumberingSink(bool utf8, bool parts) : takeUtf8(utf8), takeParts(parts) {}
    bool takeUtf8;
    bool takeParts;
    std::vector<Numbered> lines;
    std::uint64_t next = 1;
    std::u16string unfinished;
    // Records read exactly span as many lines as they hold breaks.
    bool exact = false;

    void line(std::u16string_view text) override
    {
        unfinished += text;
        lines.push_back({unfinished, next});
        next += 1;
        if (exact)
            for (std::size_t i = 0; i < unfinished.size(); ++i)
                if (unfinished[i] == u'\n'
                    || (unfinished[i] == u'\r' && (i + 1 == unfinished.size() || unfinished[i + 1] != u'\n')))
                    ++next;
        unfinished.clear();
    }
    bool takesUtf8() const override { return takeUtf8; }
    bool takesParts() const override { return takeParts; }
    void linePart(std::u16string_view piece) override { unfinished += piece; }
    void linesDropped(std::uint64_t count) override
    {
        EXPECT_TRUE(unfinished.empty()) << "told of dropped lines in the middle of a line";
        next += count;
    }
};

struct DropCase {
    const char* name;
    std::string bytes;
    bool exact;
    std::uint64_t skip;
    char16_t comment;
    std::vector<Numbered> lines;
};

void PrintTo(const DropCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string utf16le(std::string_view ascii)
{
    std::string out;
    for (const char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

std::string utf16be(std::string_view ascii)
{
    std::string out;
    for (const char c : ascii) {
        out.push_back('\0');
        out.push_back(c);
    }
    return out;
}

const std::string kLongTitle(5000, 'T'); // runs across the first block boundary

const DropCase kDropCases[] = {
    {"nothing dropped by default", "a\n#b\nc\n", false, 0, u'\0', {{u"a", 1}, {u"#b", 2}, {u"c", 3}}},
    {"two lines above", "Title\n\nh\n1\n", false, 2, u'\0', {{u"h", 3}, {u"1", 4}}},
    {"CR LF and lone CR count as lines", "t1\r\nt2\rh\r\n1\r\n", false, 2, u'\0', {{u"h", 3}, {u"1", 4}}},
    {"skip larger than the file", "a\nb\n", false, 5, u'\0', {}},
    {"skip of a file without final break", "a\nb", false, 2, u'\0', {}},
    {"comment lines anywhere", "#c\nh\n#x,y\n1\n #not\n", false, 0, u'#', {{u"h", 2}, {u"1", 4}, {u" #not", 5}}},
    {"skip then comments", "#a\nT\nh\n#b\n2\n", false, 1, u'#', {{u"T", 2}, {u"h", 3}, {u"2", 5}}},
    {"a quote in a skipped line opens nothing", "\"Report 2026\nh\n1\n", true, 1, u'\0', {{u"h", 2}, {u"1", 3}}},
    {"a quoted line break before a # is no comment",
     "h\n\"a\n#b\",1\n#c\n2\n",
     true,
     0,
     u'#',
     {{u"h", 1}, {u"\"a\n#b\",1", 2}, {u"2", 5}}},
    {"quotes in a comment mean nothing, read exactly", "#,\"x\nh\n", true, 0, u'#', {{u"h", 2}}},
    {"a long skipped line across the block boundary", kLongTitle + "\nh\n1\n", false, 1, u'\0', {{u"h", 2}, {u"1", 3}}},
    {"a long comment across the block boundary, read exactly",
     "#" + kLongTitle + "\r\nh\n",
     true,
     0,
     u'#',
     {{u"h", 2}}},
    {"UTF-8 mark before the skipped title", "\xEF\xBB\xBFTitle\nh\n", false, 1, u'\0', {{u"h", 2}}},
    {"UTF-8 mark before a comment", "\xEF\xBB\xBF#c\nh\n", false, 0, u'#', {{u"h", 2}}},
    {"UTF-16 LE comments and skip",
     "\xFF\xFE" + utf16le("T\r\n#c\r\nh\r\n1\r\n"),
     false,
     1,
     u'#',
     {{u"h", 3}, {u"1", 4}}},
    {"UTF-16 BE comments read exactly",
     "\xFE\xFF" + utf16be("#c\r\n\"a\r\n#b\"\r\n"),
     true,
     0,
     u'#',
     {{u"\"a\r\n#b\"", 2}}},
    {"a mark alone is one line, skipped", "\xEF\xBB\xBF", false, 1, u'\0', {}},
};

class LineDroppingCases : public testing::TestWithParam<DropCase> {
protected:
    TempDir m_dir;
};

// Every way a sink can take lines gives the same lines with the same numbers.
TEST_P(LineDroppingCases, LeavesOutTheLinesAndKeepsTheFilesNumbers)
{
    const DropCase& c = GetParam();
    const auto path = m_dir.write("input.csv", c.bytes);
    for (const bool utf8 : {false, true}) {
        for (const bool parts : {false, true}) {
            NumberingSink sink(utf8, parts);
            sink.exact = c.exact;
            readLines(path, TextEncoding::Utf8, sink, nullptr, RecordCutting{c.exact, u','},
                      LineDropping{c.skip, c.comment});
            EXPECT_EQ(sink.lines, c.lines) << "UTF-8: " << utf8 << ", parts: " << parts;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LineDroppingTable, LineDroppingCases, testing::ValuesIn(kDropCases),
                         [](const testing::TestParamInfo<DropCase>& param) {
                             std::string name;
                             for (const char ch : std::string_view(param.param.name))
                                 name.push_back(std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
                             return name;
                         });

// Errors name the file's own line, dropped lines included.
TEST(LineDroppingErrors, NameTheFilesLine)
{
    TempDir dir;
    NumberingSink sink(false, false);
    try {
        readLines(dir.write("open.csv", "T\n#c\nh\n\"open\n"), TextEncoding::Utf8, sink, nullptr, {true, u','},
                  {1, u'#'});
        FAIL() << "an open quote must stop the reading";
    } catch (const ReadError& e) {
        EXPECT_EQ(e.lineNumber(), 4u);
    }
    try {
        readLines(dir.write("bad.csv", "T\n#c\nh\n\xFF\n"), TextEncoding::Utf8, sink, nullptr, {}, {1, u'#'});
        FAIL() << "invalid UTF-8 must stop the reading";
    } catch (const ReadError& e) {
        EXPECT_EQ(e.lineNumber(), 4u);
    }
}

// The window's profile names a short row by its file's line, as the
// converter's does.
TEST(LineDroppingWorkspace, ProfileSitesAreTheFilesLines)
{
    TempDir dir;
    quarrow::Workspace workspace;
    quarrow::LoadOptions options;
    options.headerLine = true;
    options.skipLines = 1;
    options.comment = u'#';
    const auto report = workspace.load(dir.write("a.csv", "Title\nid,note\n#c\n1,x\n#d\n2\n"), options);
    ASSERT_FALSE(report.readFailed) << report.failure;
    ASSERT_EQ(workspace.rowCount(), 3u);
    EXPECT_EQ(workspace.rowText(2), u"2");
    quarrow::ProfileReading reading;
    reading.headerLine = true;
    const quarrow::TableProfile profile = quarrow::profileWorkspace(workspace, reading, true);
    ASSERT_EQ(profile.files.size(), 1u);
    EXPECT_EQ(profile.files[0].firstShortLines, std::vector<std::uint64_t>{6});
}

} // namespace
