#include "engine/csv/ShapeDetector.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
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

struct ShapeCase {
    std::string_view name;
    std::string_view sample;
    std::optional<char16_t> separator;
    std::optional<bool> header;
    std::optional<TextEncoding> encoding;
    std::optional<bool> exact;
    std::string_view separatorEvidence; // a part of it
    char16_t current = u',';
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
    {"header of numbers over numbers", "2019;2020;2021\n10;20;30\n11;21;31\n",
     u';', false, kKeep, kKeep, "3 of 3 lines have 3 fields with ';'"},
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
    {"two separators alike", "a,b;c\n1,2;3\n",
     kKeep, true, kKeep, kKeep, "not clear"},
    {"the current separator", "a#b\n1#2\n",
     u'#', true, kKeep, kKeep, "2 of 2 lines have 2 fields with '#'", u'#'},
    {"repeated names over text", "x,x\na,b\nc,d\n",
     u',', false, kKeep, kKeep, "3 of 3"},
    {"no final line break, blank line inside", "a,b\n\n1,2\n3,4",
     u',', true, kKeep, kKeep, "3 of 3 lines"},
    {"UTF-16 byte-order mark", "\xFF\xFE" "a\0,\0b\0",
     kKeep, kKeep, kKeep, kKeep, ""},
};
// clang-format on

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
    // Every proposal, made or not, says why.
    for (const std::string* evidence : {&shape.separator.evidence, &shape.headerLine.evidence, &shape.encoding.evidence,
                                        &shape.exactQuoting.evidence})
        EXPECT_FALSE(evidence->empty());
}

INSTANTIATE_TEST_SUITE_P(Files, ShapeTable, testing::ValuesIn(kCases), [](const auto& param) {
    std::string name;
    for (const char c : param.param.name)
        name += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    return name;
});

TEST(ShapeDetector, EvidenceNamesTheColumnsAndTheByte)
{
    const CsvShape header = detectCsvShape("id;name;born\n1;ann;2001-02-03\n2;bob;1999-12-31\n", true);
    EXPECT_EQ(header.headerLine.evidence, "line 1 holds names over numbers, dates or true/false in columns 1, 3");
    const CsvShape ansi = detectCsvShape("a;b\nx;y\n\xE7;z\n", true);
    EXPECT_EQ(ansi.encoding.evidence, "byte 0xE7 on line 3 is not UTF-8: ANSI text");
    const CsvShape quoted = detectCsvShape("a,b\n1,2\n3,\"x\ny\"\n", true);
    EXPECT_EQ(quoted.exactQuoting.evidence,
              "1 quoted field holds the separator or a line break (first on line 3): exact quoting keeps them whole");
}

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

    EXPECT_THROW(quarrow::detectCsvShapeOfFile(dir.path() / "missing.csv"), quarrow::ShapeReadError);
}

} // namespace
