#include "engine/csv/ShapeDetector.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quarrow::CsvShape;
using quarrow::detectCsvShape;
using quarrow::TextEncoding;

constexpr auto kUtf8 = TextEncoding::Utf8;
constexpr auto kAnsi = TextEncoding::Ansi;
constexpr std::nullopt_t kKeep = std::nullopt;

std::string utf16(std::u16string_view text, bool littleEndian)
{
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const auto low = static_cast<char>(unit & 0xFF);
        const auto high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

constexpr std::u16string_view kCyrillic =
    u"id,\u0438\u043C\u044F\r\n1,\u0410\u043B\u043B\u0430\r\n2,\u041E\u043B\u044F\r\n";
const std::string kUtf16Le = utf16(kCyrillic, true);
const std::string kUtf16Be = utf16(kCyrillic, false);

struct ShapeCase {
    std::string_view name;
    std::string_view sample;
    std::optional<char16_t> separator;
    std::optional<bool> header;
    std::optional<TextEncoding> encoding;
    std::optional<bool> exact;
    std::string_view separatorEvidence; // a part of it
    char16_t current = u',';
    std::optional<std::size_t> linesAbove = kKeep;
};

// clang-format off
const std::vector<ShapeCase> kCases{
    {"comma", "id,name,price\n1,ann,2.5\n2,bob,3\n",
     u',', true, kKeep, kKeep, "3 of 3 lines have 3 fields with ','"},
    {"semicolon with decimal commas", "name;price;when\nx;1,5;2024-01-05\ny;2,25;2024-02-01\n",
     u';', true, kKeep, kKeep, "3 of 3 lines have 3 fields with ';' (2 of 3 lines have 2 fields with ',')"},
    {"tab", "a\tb\n1\t2\n3\t4\n",
     u'\t', true, kKeep, kKeep, "with Tab"},
    {"pipe without a header", "1|x|2024-01-01\n2|y|2024-01-02 10:30\n",
     u'|', false, kKeep, kKeep, "2 of 2 lines have 3 fields with '|'"},
    {"CR LF lines", "a|b\r\n1|2\r\n3|4\r\n",
     u'|', true, kKeep, kKeep, "3 of 3 lines"},
    {"quoted separators inside fields", "id,comment\n1,\"a, b\"\n2,\"c, \"\"d\"\", e\"\n",
     u',', true, kKeep, true, "3 of 3 lines have 2 fields with ','"},
    {"quoted line break", "id,text\n1,\"two\nlines\"\n2,x\n",
     u',', true, kKeep, true, "3 of 3 lines have 2 fields"},
    {"quotes holding nothing special", "id;text\n1;\"plain\"\n2;x\n",
     u';', true, kKeep, kKeep, "3 of 3 lines"},
    {"single column of text", "name\nann\nbob\n",
     kKeep, kKeep, kKeep, kKeep, "every line has one field"},
    {"single column of numbers under a name", "amount\n1\n2.5\n",
     kKeep, true, kKeep, kKeep, "one column"},
    {"header of numbers over numbers", "12;20;30\n10;20;30\n11;21;31\n",
     u';', false, kKeep, kKeep, "3 of 3 lines have 3 fields with ';'"},
    // A run of years names the columns it stands over; a run in the rows below
    // makes them data.
    {"header of years over numbers", "Country,2019,2020,2021\nFrance,1.5,2.5,3\nSpain,4,5,6.5\n",
     u',', true, kKeep, kKeep, "3 of 3 lines have 4 fields with ','"},
    {"header of falling years, no name column", "2021;2020;2019\n10;20;30\n11;21;31\n",
     u';', true, kKeep, kKeep, "3 of 3"},
    {"years in the rows too", "2019,2020\n2021,2022\n2023,2024\n",
     u',', false, kKeep, kKeep, "3 of 3"},
    {"years not in a run", "2019,2021,2020\n1,2,3\n4,5,6\n",
     u',', false, kKeep, kKeep, "3 of 3"},
    {"header of numbers over dates", "1;2\n2024-01-05;05.01.2024\n2024-02-05;06.01.2024\n",
     u';', true, kKeep, kKeep, "3 of 3"},
    {"ragged lines", "a;b;c\n1;2;3\n4;5\n6;7;8;9\n10;11;12\n",
     u';', true, kKeep, kKeep, "3 of 5 lines have 3 fields with ';'"},
    {"UTF-8 byte-order mark", "\xEF\xBB\xBFid;name\n1;\xC3\xA7\n",
     u';', true, kUtf8, kKeep, "2 of 2 lines"},
    {"ANSI bytes", "id;name\n1;Jos\xE9\n",
     u';', true, kAnsi, kKeep, "2 of 2 lines"},
    {"UTF-8 text, text only", "ad,soyad\n\xC3\xA7" "a,\xC4\x9F\n",
     u',', kKeep, kUtf8, kKeep, "2 of 2 lines"},
    {"empty file", "",
     kKeep, kKeep, kKeep, kKeep, "the file is empty"},
    {"blank lines only", "\r\n\n",
     kKeep, kKeep, kKeep, kKeep, "blank lines only"},
    {"one line only", "id;name;city\n",
     u';', kKeep, kKeep, kKeep, "1 of 1 line has 3 fields with ';'"},
    // Two separators that give every line the same count: the one that keeps
    // numbers whole wins, then the one that leaves no blank at the start of
    // fields, whether it gives more fields or fewer; else nothing is decided.
    {"tie: decimal commas without a header, fewer fields", "1,5;2,25\n3,75;4,5\n",
     u';', false, kKeep, kKeep,
     "2 of 2 lines have 2 fields with ';', as 2 of 2 lines have 3 fields with ',', but ',' would cut 4 numbers "
     "such as \"1,5\" that ';' keeps whole"},
    {"tie: decimal commas under Tab, more fields", "1,5\t2\t3\t4\n6,5\t7\t8\t9\n",
     u'\t', false, kKeep, kKeep,
     "2 of 2 lines have 4 fields with Tab, as 2 of 2 lines have 2 fields with ',', but ',' would cut 2 numbers "
     "such as \"1,5\" that Tab keeps whole"},
    {"tie: commas in the values of a Tab file, fewer fields",
     "Smith, John\tNew York, NY\nDoe, Jane\tBoston, MA\nRoe, Rick\tAustin, TX\n",
     u'\t', kKeep, kKeep, kKeep,
     "3 of 3 lines have 2 fields with Tab, as 3 of 3 lines have 3 fields with ',', but ',' would leave a blank at "
     "the start of 6 fields, Tab of none"},
    {"tie: commas in the values of a Tab file, more fields", "a\tb, c\td\ne\tf, g\th\n",
     u'\t', kKeep, kKeep, kKeep,
     "2 of 2 lines have 3 fields with Tab, as 2 of 2 lines have 2 fields with ',', but ',' would leave a blank at "
     "the start of 2 fields, Tab of none"},
    {"tie that nothing breaks", "a,b;c,d\ne,f;g,h\n",
     kKeep, kKeep, kKeep, kKeep, "2 of 2 lines have 3 fields with ',', and 2 of 2 lines have 2 fields with ';': not clear"},
    {"tie of the same count", "a,b;c\nd,e;f\n",
     kKeep, kKeep, kKeep, kKeep, "2 of 2 lines have 2 fields with ',', and 2 of 2 lines have 2 fields with ';': not clear"},
    // Quotes that only exact quoting keeps.
    {"quote inside an unquoted field", "id,place\n1,37\xC2\xB0" "36'37.8\"N\n2,x\n",
     u',', true, kUtf8, true, "3 of 3"},
    {"doubled quotes in an unquoted field", "id;text\n1;ha \"\"ha\"\" ha\n2;x\n",
     u';', true, kKeep, true, "3 of 3"},
    {"doubled quotes in a quoted field", "id;text\n1;\"say \"\"hi\"\"\"\n2;x\n",
     u';', true, kKeep, true, "3 of 3"},
    // Text only: names decide where they are plainly names.
    {"text only, names in lower case", "name,city,email\nAnna,Berlin,anna@example.org\nBert,Hamburg,bert@example.org\n",
     u',', true, kKeep, kKeep, "3 of 3"},
    {"text only, names with underscores", "first_name,last_name\nJohn,Smith\nJane,Doe\n",
     u',', true, kKeep, kKeep, "3 of 3"},
    {"text only, first line like the rest", "Anna,Berlin\nBert,Hamburg\nCleo,Bonn\n",
     u',', kKeep, kKeep, kKeep, "3 of 3"},
    {"text only, a name again below", "name,city\nname,Berlin\nBert,Hamburg\n",
     u',', kKeep, kKeep, kKeep, "3 of 3"},
    {"text only, one line below", "name,city\nAnna,Berlin\n",
     u',', kKeep, kKeep, kKeep, "2 of 2"},
    // A title or a comment above the table: judged on the lines below it.
    {"comment line above the table", "# exported 2024-01-05\nid;name;amount\n1;Anna;3.5\n2;Bert;4\n",
     u';', true, kKeep, kKeep, "3 of 3 lines below line 1 have 3 fields with ';'", u',', 1},
    {"title lines and a blank line above the table", "Sales report\nFirst quarter\n\nid,name\n1,a\n2,b\n",
     u',', true, kKeep, kKeep, "3 of 3 lines below line 3 have 2 fields with ','", u',', 3},
    {"comment holding the separator", "# a;b\nx;y;z\n1;2;3\n4;5;6\n",
     u';', true, kKeep, kKeep, "3 of 3 lines below line 1 have 3 fields with ';'", u',', 1},
    {"a header that starts with #", "#id;name\n1;a\n2;b\n",
     u';', true, kKeep, kKeep, "3 of 3 lines have 2 fields with ';'"},
    {"a title over one line", "Report\na,b\n",
     u',', kKeep, kKeep, kKeep, "1 of 2 lines has 2 fields with ','"},
    {"the current separator", "a#b\n1#2\n",
     u'#', true, kKeep, kKeep, "2 of 2 lines have 2 fields with '#'", u'#'},
    {"repeated names over text", "x,x\na,b\nc,d\n",
     u',', false, kKeep, kKeep, "3 of 3"},
    {"no final line break, blank line inside", "a,b\n\n1,2\n3,4",
     u',', true, kKeep, kKeep, "3 of 3 lines"},
    // Judged on the text: the raw bytes hold 0x3B (';') in every 'л'.
    {"UTF-16 LE byte-order mark", kUtf16Le,
     u',', true, kKeep, kKeep, "3 of 3 lines have 2 fields with ','"},
    {"UTF-16 BE byte-order mark", kUtf16Be,
     u',', true, kKeep, kKeep, "3 of 3 lines have 2 fields with ','"},
};
// clang-format on

std::string testName(std::string_view text)
{
    std::string name;
    for (const char c : text)
        name += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    return name;
}

void PrintTo(const ShapeCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShapeTable : public testing::TestWithParam<ShapeCase> {};

TEST_P(ShapeTable, ProposesTheExpectedShape)
{
    const ShapeCase& c = GetParam();
    const CsvShape shape = detectCsvShape(c.sample, true, c.current);
    SCOPED_TRACE("separator: " + shape.separator.evidence + "\nheader: " + shape.headerLine.evidence
                 + "\nencoding: " + shape.encoding.evidence + "\nexact quoting: " + shape.exactQuoting.evidence);
    EXPECT_EQ(shape.separator.value, c.separator);
    EXPECT_EQ(shape.headerLine.value, c.header);
    EXPECT_EQ(shape.encoding.value, c.encoding);
    EXPECT_EQ(shape.exactQuoting.value, c.exact);
    EXPECT_NE(shape.separator.evidence.find(c.separatorEvidence), std::string::npos) << shape.separator.evidence;
    EXPECT_EQ(shape.linesAbove.value, c.linesAbove) << shape.linesAbove.evidence;
    EXPECT_EQ(shape.linesAbove.evidence.empty(), !c.linesAbove) << shape.linesAbove.evidence;
    // Every proposal, made or not, says why.
    for (const std::string* evidence : {&shape.separator.evidence, &shape.headerLine.evidence, &shape.encoding.evidence,
                                        &shape.exactQuoting.evidence})
        EXPECT_FALSE(evidence->empty());
}

INSTANTIATE_TEST_SUITE_P(Files, ShapeTable, testing::ValuesIn(kCases),
                         [](const auto& param) { return testName(param.param.name); });

// The evidence word for word, where its wording is the point: the columns,
// the line and the byte it names.
enum class Part { Separator, Header, Encoding, Exact, LinesAbove };

struct EvidenceCase {
    std::string_view name;
    std::string sample;
    Part part;
    std::string_view evidence;
};

const std::string& evidenceOf(const CsvShape& shape, Part part)
{
    switch (part) {
    case Part::Separator: return shape.separator.evidence;
    case Part::Header: return shape.headerLine.evidence;
    case Part::Encoding: return shape.encoding.evidence;
    case Part::Exact: return shape.exactQuoting.evidence;
    case Part::LinesAbove: break;
    }
    return shape.linesAbove.evidence;
}

constexpr std::string_view kNotUtf8OnLine3 = "byte 0xE7 on line 3 is not UTF-8: ANSI text";
constexpr std::string_view kTitled = "Orders of May\nid;name;amount\n1;Anna;3.5\n2;Bert;4\n";

// clang-format off
const std::vector<EvidenceCase> kEvidenceCases{
    {"names over numbers", "id;name;born\n1;ann;2001-02-03\n2;bob;1999-12-31\n", Part::Header,
     "line 1 holds names over numbers, dates or true/false in columns 1, 3"},
    {"byte not UTF-8", "a;b\nx;y\n\xE7;z\n", Part::Encoding, kNotUtf8OnLine3},
    // The line of a byte that is not UTF-8, however the lines end.
    {"byte not UTF-8, LF lines", "a;b\nx;y\n\xE7;z\nu;v\n", Part::Encoding, kNotUtf8OnLine3},
    {"byte not UTF-8, CR LF lines", "a;b\r\nx;y\r\n\xE7;z\r\nu;v\r\n", Part::Encoding, kNotUtf8OnLine3},
    {"byte not UTF-8, CR lines", "a;b\rx;y\r\xE7;z\ru;v\r", Part::Encoding, kNotUtf8OnLine3},
    {"quoted line break", "a,b\n1,2\n3,\"x\ny\"\n", Part::Exact,
     "1 quoted field holds the separator or a line break (first on line 3): exact quoting keeps them whole"},
    {"years over numbers", "Country,2019,2020,2021\nFrance,1.5,2.5,3\nSpain,4,5,6.5\n", Part::Header,
     "line 1 holds years over other numbers in columns 2, 3, 4"},
    {"names and years", "id,2019,2020\n1,1.5,2\n2,3,4\n", Part::Header,
     "line 1 holds names over numbers, dates or true/false in column 1, and years over other numbers in "
     "columns 2, 3"},
    {"text only, names", "name,city\nAnna,Berlin\nBert,Hamburg\n", Part::Header,
     "every column holds text, and line 1 holds distinct names, none of them again below, shaped unlike the "
     "values in columns 1, 2"},
    {"text only, a name again below", "Name,City\nName,Berlin\nBert,Hamburg\n", Part::Header,
     "every column holds text: line 1 does not differ in kind from the lines below, and its \"Name\" is a "
     "value of column 1 on line 2"},
    {"text only, shaped like the values", "Name,City\nAnna,Berlin\nBert,Hamburg\n", Part::Header,
     "every column holds text: line 1 does not differ in kind from the lines below, and is shaped like the "
     "values in columns 1, 2"},
    {"title line", std::string(kTitled), Part::LinesAbove,
     "line 1 is not of the table's shape (3 of 3 lines below line 1 have 3 fields with ';'): a title or a "
     "comment above it, which the reading takes for the table's first line; the separator and header line "
     "are judged on the lines below it"},
    {"header below a title line", std::string(kTitled), Part::Header,
     "line 2 holds names over numbers, dates or true/false in columns 1, 3"},
    {"quotes of both kinds", "id,text\n1,\"a,b\"\n2,ha \"\"ha\"\" ha\n3,5'2\"\n", Part::Exact,
     "1 quoted field holds the separator or a line break (first on line 2): exact quoting keeps them whole; "
     "2 values hold a double quote, doubled or inside an unquoted field (first on line 3): the default "
     "reading drops it, exact quoting keeps it"},
    {"UTF-16 byte-order mark", kUtf16Le, Part::Encoding,
     "the file starts with a UTF-16 byte-order mark: it is read as UTF-16 whatever the encoding setting"},
};
// clang-format on

void PrintTo(const EvidenceCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShapeEvidence : public testing::TestWithParam<EvidenceCase> {};

TEST_P(ShapeEvidence, SaysWhy)
{
    const EvidenceCase& c = GetParam();
    EXPECT_EQ(evidenceOf(detectCsvShape(c.sample, true), c.part), c.evidence);
}

INSTANTIATE_TEST_SUITE_P(Files, ShapeEvidence, testing::ValuesIn(kEvidenceCases),
                         [](const auto& param) { return testName(param.param.name); });

// A file longer than the sample: only the lines that start in it count,
// and a record cut off inside its quotes is left out.
TEST(ShapeDetector, FileSampleEndsAtALineBreak)
{
    quarrow::test::TempDir dir;
    std::string csv = "id;name\n";
    for (int i = 0; i < 200; ++i)
        csv += std::to_string(i) + ";n" + std::to_string(i) + "\n";
    const auto plain = dir.write("plain.csv", csv);
    CsvShape shape = quarrow::detectCsvShapeOfFile(plain, u',', 100);
    EXPECT_EQ(shape.separator.value, std::optional<char16_t>(u';')) << shape.separator.evidence;
    // "id;name\n" is 8 bytes, "0;n0\n" to "9;n9\n" 50, and six lines of 7 end at byte 100.
    EXPECT_EQ(shape.lines, 17u) << shape.separator.evidence;
    shape = quarrow::detectCsvShapeOfFile(plain, u',', 101);
    EXPECT_EQ(shape.lines, 17u) << shape.separator.evidence;

    // The 100th byte falls inside a quoted value that spans lines.
    std::string quoted = "id;text\n";
    for (int i = 0; i < 10; ++i)
        quoted += std::to_string(i) + ";x\n";
    quoted += "10;\"a\n" + std::string(100, 'b') + "\"\n11;y\n";
    const auto open = dir.write("open.csv", quoted);
    shape = quarrow::detectCsvShapeOfFile(open, u',', 100);
    EXPECT_EQ(shape.separator.evidence, "11 of 11 lines have 2 fields with ';'");
    EXPECT_EQ(shape.exactQuoting.value, std::nullopt);

    // A line longer than the sample, cut inside a character: still UTF-8.
    std::string wide;
    for (int i = 0; i < 100; ++i)
        wide += "\xC3\xA7";
    shape = quarrow::detectCsvShapeOfFile(dir.write("wide.csv", wide), u',', 61);
    EXPECT_EQ(shape.encoding.value, std::optional<TextEncoding>(kUtf8)) << shape.encoding.evidence;

    // UTF-16 cut inside a unit and between the halves of a pair: the lines
    // that start in the sample are judged all the same.
    std::u16string text = u"id;v\r\n";
    for (int i = 0; i < 40; ++i)
        text += std::u16string(u"1;\xD83D\xDE00\r\n");
    const std::string bytes = utf16(text, true);
    for (const std::size_t size : {std::size_t{101}, std::size_t{104}}) {
        shape = quarrow::detectCsvShapeOfFile(dir.write("wide16.csv", bytes), u',', size);
        EXPECT_EQ(shape.separator.value, std::optional<char16_t>(u';')) << shape.separator.evidence;
        EXPECT_EQ(shape.headerLine.value, std::optional<bool>(true)) << shape.headerLine.evidence;
    }

    EXPECT_THROW(quarrow::detectCsvShapeOfFile(dir.path() / "missing.csv"), quarrow::ShapeReadError);
}

} // namespace
