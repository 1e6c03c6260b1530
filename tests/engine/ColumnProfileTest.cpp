#include "engine/csv/FieldSplitter.h"
#include "engine/profile/ColumnProfile.h"
#include "engine/profile/TypeSuggestion.h"
#include "engine/profile/WorkspaceProfile.h"
#include "engine/text/Utf8.h"
#include "engine/workspace/Workspace.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quarrow;

std::u16string utf16(std::string_view utf8Text)
{
    std::u16string out(utf8Text.size(), u'\0');
    const auto r =
        utf8::decode(reinterpret_cast<const unsigned char*>(utf8Text.data()), utf8Text.size(), out.data(), true);
    out.resize(r.written);
    return out;
}

std::string utf8Of(std::u16string_view text)
{
    std::string out(text.size() * 3, '\0');
    std::uint64_t replaced = 0;
    out.resize(static_cast<std::size_t>(utf8::encode(text.data(), text.size(), out.data(), replaced) - out.data()));
    return out;
}

// The same lines through the UTF-16 and the UTF-8 entry; both must agree.
TableProfile profileLines(const std::vector<std::string>& lines, std::size_t columns, char16_t separator = u',',
                          bool asUtf8 = false)
{
    TableProfiler profiler(columns, separator);
    profiler.startFile("a.csv");
    for (const auto& line : lines) {
        if (asUtf8)
            profiler.addUtf8Row(line);
        else
            profiler.addRow(utf16(line));
    }
    return profiler.take();
}

struct ValueCase {
    std::string_view field; // as the CSV holds it, separator ';'
    ValueKind kind;
};

// Each value alone in its column, empty cells written as NULL.
TEST(ColumnProfile, EachValueGetsTheNarrowestKindThatLoadsItUnchanged)
{
    const ValueCase cases[] = {
        {"0", ValueKind::Integer},
        {"-12", ValueKind::Integer},
        {"-0", ValueKind::Integer},
        {"9223372036854775807", ValueKind::Integer},
        {"99999999999999999999999", ValueKind::Integer},
        {"\"12\"", ValueKind::Integer}, // quotes are not part of the value
        {"  12 ", ValueKind::Integer},  // nor are the blanks around it
        {"1\"2", ValueKind::Integer},   // the value written is 12
        {"0805", ValueKind::Text},      // a leading zero would be lost
        {"+1", ValueKind::Text},
        {"1 000", ValueKind::Text},
        {"1,000", ValueKind::Text},
        {"1,5", ValueKind::Text}, // a decimal comma
        {"1e5", ValueKind::Text},
        {"0x1F", ValueKind::Text},
        {"12a", ValueKind::Text},
        {"NaN", ValueKind::Text},
        {"\xd9\xa1\xd9\xa2", ValueKind::Text}, // Arabic-Indic digits
        {"-", ValueKind::Text},
        {"0.5", ValueKind::Decimal},
        {"-10.250", ValueKind::Decimal},
        {".5", ValueKind::Text},
        {"5.", ValueKind::Text},
        {"00.5", ValueKind::Text},
        {"1.2.3", ValueKind::Text},
        {"2023-02-28", ValueKind::Date},
        {"2024-02-29", ValueKind::Date},
        {"2000-02-29", ValueKind::Date},
        {"2023-02-29", ValueKind::Text},
        {"1900-02-29", ValueKind::Text},
        {"2023-04-31", ValueKind::Text},
        {"0000-01-01", ValueKind::Text},
        {"2023-13-01", ValueKind::Text},
        {"2023-1-01", ValueKind::Text},
        {"31.01.2023", ValueKind::Text},
        {"2023-01-31 23:59:59", ValueKind::DateTime},
        {"2023-01-31 10:00:00.123456789", ValueKind::DateTime},
        {"2023-01-31 24:00:00", ValueKind::Text},
        {"2023-01-31 10:60:00", ValueKind::Text},
        {"2023-01-31 10:00:60", ValueKind::Text},
        {"2023-01-31T10:00:00", ValueKind::Text},
        {"2023-01-31 10:00", ValueKind::Text},
        {"2023-01-31 10:00:00.", ValueKind::Text},
        {"2023-01-31 10:00:00+01", ValueKind::Text},
    };
    for (const auto& c : cases) {
        for (const bool asUtf8 : {false, true}) {
            const auto profile = profileLines({"1;" + std::string(c.field)}, 2, u';', asUtf8);
            EXPECT_EQ(kindName(profile.columns[1].kind(true)), kindName(c.kind))
                << c.field << (asUtf8 ? " (UTF-8)" : " (UTF-16)");
        }
    }
}

TEST(ColumnProfile, CountsLengthsEmptiesAndTheFirstValueThatRuledEachKindOut)
{
    for (const bool asUtf8 : {false, true}) {
        SCOPED_TRACE(asUtf8 ? "UTF-8" : "UTF-16");
        // "é😀" is 2 characters, 6 bytes in UTF-8 and 3 UTF-16 units.
        const auto profile =
            profileLines({"1,a", "2.5,\"\xc3\xa9\xf0\x9f\x98\x80\"", ",", "7", "x,b,extra", "8"}, 2, u',', asUtf8);
        const ColumnProfile& first = profile.columns[0];
        EXPECT_EQ(first.nonEmpty, 5u);
        EXPECT_EQ(first.empty, 1u);
        EXPECT_EQ(first.firstEmpty.line, 3u);
        EXPECT_EQ(first.ruledOutBy[0].line, 2u);
        EXPECT_EQ(first.ruledOutBy[0].value, "2.5");
        EXPECT_EQ(first.ruledOutBy[1].line, 5u);
        EXPECT_EQ(first.ruledOutBy[1].value, "x");
        EXPECT_EQ(first.ruledOutBy[2].line, 1u);

        const ColumnProfile& second = profile.columns[1];
        EXPECT_EQ(second.nonEmpty, 3u);
        EXPECT_EQ(second.empty, 3u); // the empty field of line 3 and the missing ones of lines 4 and 6
        EXPECT_EQ(second.maxChars, 2u);
        EXPECT_EQ(second.maxBytes, 6u);
        EXPECT_EQ(second.maxUtf16Units, 3u);
        EXPECT_TRUE(second.nonAscii);

        EXPECT_EQ(profile.rows, 6u);
        ASSERT_EQ(profile.files.size(), 1u);
        EXPECT_EQ(profile.files[0].longRows, 1u);
        EXPECT_EQ(profile.files[0].firstLongLines, std::vector<std::uint64_t>{5});
        EXPECT_EQ(profile.files[0].shortRows, 2u);
        EXPECT_EQ(profile.files[0].firstShortLines, (std::vector<std::uint64_t>{4, 6}));
    }
}

TEST(ColumnProfile, EmptyCellsKeepAColumnTextUnlessTheyAreWrittenAsNull)
{
    const auto profile = profileLines({"1", "", "3"}, 1);
    const ColumnProfile& column = profile.columns[0];
    EXPECT_EQ(column.kind(true), ValueKind::Integer);
    EXPECT_EQ(column.kind(false), ValueKind::Text);
    ASSERT_NE(column.whyNotNarrower(false), nullptr);
    EXPECT_EQ(column.whyNotNarrower(false)->line, 2u);

    const auto types = suggestTypes(profile, Dialect::MsSql, false);
    EXPECT_EQ(types[0].type, u"varchar(1)");
    EXPECT_EQ(types[0].reason, "line 2 of a.csv: empty cell");
    EXPECT_EQ(suggestTypes(profile, Dialect::MsSql, true)[0].type, u"tinyint");
}

// A late value that no narrower kind holds is found wherever it is, and
// named with its file and line.
TEST(ColumnProfile, ExplainsTextByTheValueThatEndedTheLastNarrowerKind)
{
    TableProfiler profiler(1, u',');
    profiler.startFile("a.csv");
    for (int i = 0; i < 3000; ++i)
        profiler.addRow(utf16(std::to_string(i)));
    profiler.startFile("b.csv");
    profiler.skipLine();
    for (int i = 0; i < 1801; ++i)
        profiler.addRow(utf16(std::to_string(i)));
    profiler.addRow(u"12a");
    profiler.addRow(u"13");
    const TableProfile profile = profiler.take();
    const auto types = suggestTypes(profile, Dialect::PostgreSql, true);
    EXPECT_EQ(types[0].type, u"text");
    // Dates were out at the first value; numbers lasted until 12a.
    EXPECT_EQ(types[0].reason, "line 1803 of b.csv: '12a'");
    EXPECT_EQ(profile.columns[0].ruledOutBy[2].line, 1u);
}

// A table cut into consecutive parts, each profiled by a profiler of its
// own and added up in order, must give the profile of the whole, wherever
// the cuts fall: the first value that rules a kind out may sit in any part
// or file, and the figures of numbers and dates end when the last kind goes.
TEST(ColumnProfile, PartsAddUpToTheWholeWhereverTheTableIsCut)
{
    struct Case {
        const char* name;
        std::vector<std::vector<std::string>> files; // the first line of the first file is the header
        std::size_t columns;
    };
    const Case cases[] = {
        {"kinds fall in different parts",
         {{"h1,h2,h3", "1,2023-01-01,5", "2,2023-01-02 10:00:00,6.5", "x,2023-01-03,", "3,2023-02-30,7"}},
         3},
        {"figures stop where the last kind goes",
         {{"h", "2023-01-01", "5", "-7", "2023-01-02 10:00:00.123", "12a", "99999999999999999999", "0.125"}},
         1},
        {"files, an empty one among them",
         {{"a,b", "1,2", "3,4,extra"}, {}, {"5", "2.5,x", "", "6,7"}, {"a,b", "7,8,9,10", "8,", "9,\xc3\xa9"}},
         2},
        {"empties, quotes and blanks",
         {{"a,b", "\"1\",  ", " 2 ,\"x\"\"y\"", ",", "\"\",3", "4,\xf0\x9f\x98\x80z"}},
         2},
        {"more than the kept structure lines",
         {{"a,b", "1", "2", "3", "4,5,6", "5", "6", "7,8,9", "8", "9", "10,1,2", "11,1,2", "12,1,2", "13,1,2"}},
         2},
    };
    struct Line {
        std::size_t file;
        std::uint64_t number; // in its file, from 1
        std::string text;
    };
    for (const auto& c : cases) {
        std::vector<Line> lines;
        for (std::size_t f = 0; f < c.files.size(); ++f) {
            for (std::size_t i = 0; i < c.files[f].size(); ++i)
                lines.push_back({f, i + 1, c.files[f][i]});
        }
        const auto name = [](std::size_t file) { return "f" + std::to_string(file) + ".csv"; };
        for (const bool asUtf8 : {false, true}) {
            const auto feed = [&](TableProfiler& profiler, const Line& line) {
                if (line.file == 0 && line.number == 1)
                    profiler.skipLine();
                else if (asUtf8)
                    profiler.addUtf8Row(line.text);
                else
                    profiler.addRow(utf16(line.text));
            };
            TableProfiler serial(c.columns, u',');
            for (std::size_t f = 0; f < c.files.size(); ++f) {
                serial.startFile(name(f));
                for (const auto& line : lines) {
                    if (line.file == f)
                        feed(serial, line);
                }
            }
            const TableProfile whole = serial.take();

            // Every single cut, every line a part of its own, and cuts at
            // pseudo-random places.
            std::vector<std::vector<bool>> cutSets;
            for (std::size_t at = 1; at < lines.size(); ++at) {
                cutSets.emplace_back(lines.size(), false);
                cutSets.back()[at] = true;
            }
            cutSets.emplace_back(lines.size(), true);
            std::uint64_t state = 7;
            for (int i = 0; i < 20; ++i) {
                cutSets.emplace_back(lines.size(), false);
                for (std::size_t at = 0; at < lines.size(); ++at) {
                    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
                    cutSets.back()[at] = (state >> 61) < 3;
                }
            }
            for (const auto& cuts : cutSets) {
                TableProfiler sum(c.columns, u',');
                const auto startFilesTo = [&](std::size_t files) {
                    while (sum.profile().files.size() < files)
                        sum.startFile(name(sum.profile().files.size()));
                };
                for (std::size_t begin = 0; begin < lines.size();) {
                    std::size_t end = begin + 1;
                    while (end < lines.size() && !cuts[end])
                        ++end;
                    TableProfiler part(c.columns, u',');
                    part.resumeFile(lines[begin].file, name(lines[begin].file), lines[begin].number - 1);
                    for (std::size_t i = begin; i < end; ++i) {
                        for (std::size_t f = lines[i - (i > begin ? 1 : 0)].file; f < lines[i].file; ++f)
                            part.startFile(name(f + 1));
                        feed(part, lines[i]);
                    }
                    startFilesTo(lines[begin].file + 1);
                    sum.append(part.take());
                    begin = end;
                }
                startFilesTo(c.files.size());
                std::string cutText;
                for (std::size_t at = 0; at < cuts.size(); ++at)
                    cutText += cuts[at] ? "|" : ".";
                EXPECT_TRUE(sum.profile() == whole)
                    << c.name << (asUtf8 ? " (UTF-8)" : " (UTF-16)") << ", cuts " << cutText;
            }
        }
    }
}

// One column per kind and sizing rule, each dialect's type for it.
TEST(TypeSuggestion, EachDialectTypesWithinItsDocumentedLimits)
{
    const std::vector<std::string> lines = {
        // small, large, huge, decimal, date, date-time, ascii, non-ascii, wide decimal
        "1,3000000000,123456789012345678901234,1.25,2023-01-31,2023-01-31 10:00:00.123,hello,h\xc3\xa9llo,"
        "12345678901234.5678",
        "100,-5,-1,-10.5,1999-12-31,2023-01-31 10:00:00,hi,\xf0\x9f\x98\x80,1.0",
    };
    const auto profile = profileLines(lines, 9);
    struct Expected {
        Dialect dialect;
        std::vector<std::u16string> types;
    };
    const Expected expected[] = {
        {Dialect::MySql,
         {u"tinyint", u"bigint", u"decimal(24,0)", u"decimal(4,2)", u"date", u"datetime(3)", u"varchar(5)",
          u"varchar(5)", u"decimal(18,4)"}},
        {Dialect::MsSql,
         {u"tinyint", u"bigint", u"decimal(24,0)", u"decimal(4,2)", u"date", u"datetime2(3)", u"varchar(5)",
          u"nvarchar(5)", u"decimal(18,4)"}},
        {Dialect::Access,
         {u"byte", u"text(10)", u"text(24)", u"text(5)", u"text(10)", u"text(23)", u"text(5)", u"text(5)",
          u"text(19)"}},
        {Dialect::Oracle,
         {u"number(3)", u"number(10)", u"number(24)", u"varchar2(5)", u"varchar2(10)", u"varchar2(23)", u"varchar2(5)",
          u"varchar2(6)", u"varchar2(19)"}},
        {Dialect::PostgreSql,
         {u"smallint", u"bigint", u"numeric(24,0)", u"numeric(4,2)", u"date", u"timestamp", u"text", u"text",
          u"numeric(18,4)"}},
        {Dialect::IbmDb2,
         {u"smallint", u"bigint", u"decimal(24,0)", u"decimal(4,2)", u"date", u"timestamp(3)", u"varchar(5)",
          u"varchar(6)", u"decimal(18,4)"}},
        {Dialect::Sqlite, {u"integer", u"integer", u"text", u"real", u"text", u"text", u"text", u"text", u"text"}},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(std::string(dialectInfo(e.dialect).identifier));
        const auto types = suggestTypes(profile, e.dialect, false);
        ASSERT_EQ(types.size(), e.types.size());
        for (std::size_t i = 0; i < types.size(); ++i)
            EXPECT_EQ(utf8Of(types[i].type), utf8Of(e.types[i])) << "column " << i + 1 << ": " << types[i].reason;
    }
}

TEST(TypeSuggestion, LimitsTurnAColumnTextOrALargerType)
{
    struct Case {
        std::string value;
        Dialect dialect;
        std::u16string type;
    };
    const Case cases[] = {
        {"0999-01-01", Dialect::MySql, u"varchar(10)"}, // before DATE's supported range
        {"0999-01-01", Dialect::PostgreSql, u"date"},
        {"2023-01-31 10:00:00.1234567", Dialect::MySql, u"varchar(27)"},
        {"2023-01-31 10:00:00.1234567", Dialect::MsSql, u"datetime2(7)"},
        {"2023-01-31 10:00:00.1234567", Dialect::PostgreSql, u"text"},
        {"2023-01-31 10:00:00", Dialect::MySql, u"datetime"},
        {"2023-01-31 10:00:00", Dialect::IbmDb2, u"timestamp(0)"},
        {std::string(32, '9'), Dialect::IbmDb2, u"varchar(32)"},
        {std::string(31, '9'), Dialect::IbmDb2, u"decimal(31,0)"},
        {std::string(39, '9'), Dialect::Oracle, u"varchar2(39)"},
        {std::string(20, '9'), Dialect::Sqlite, u"text"},
        {"9223372036854775807", Dialect::Sqlite, u"integer"},
        {"-9223372036854775808", Dialect::PostgreSql, u"bigint"},
        {"-9223372036854775809", Dialect::PostgreSql, u"numeric(19,0)"},
        {"3000000000", Dialect::Access, u"text(10)"},
        {"123456789.1234567", Dialect::Sqlite, u"text"}, // 16 significant digits
        {"12345678.1234567", Dialect::Sqlite, u"real"},
        {std::string(256, 'x'), Dialect::MySql, u"text"},
        {std::string(70000, 'x'), Dialect::MySql, u"mediumtext"},
        {std::string(256, 'x'), Dialect::Access, u"longtext"},
        {std::string(8001, 'x'), Dialect::MsSql, u"varchar(max)"},
        {std::string(4001, 'x'), Dialect::Oracle, u"clob"},
        {std::string(32673, 'x'), Dialect::IbmDb2, u"clob(32673)"},
    };
    for (const auto& c : cases) {
        const auto types = suggestTypes(profileLines({c.value}, 1), c.dialect, false);
        EXPECT_EQ(utf8Of(types[0].type), utf8Of(c.type))
            << c.value.substr(0, 40) << " for " << dialectInfo(c.dialect).identifier << ": " << types[0].reason;
    }
    // SQL Server counts nvarchar in UTF-16 units: 4,001 of them need (max).
    std::string wide;
    for (int i = 0; i < 2001; ++i)
        wide += "\xf0\x9f\x98\x80";
    EXPECT_EQ(suggestTypes(profileLines({wide}, 1), Dialect::MsSql, false)[0].type, u"nvarchar(max)");
}

// MySQL refuses a table whose VARCHARs add up to more than a 65,535-byte row.
TEST(TypeSuggestion, MySqlVarcharsShareOneRow)
{
    std::string line;
    for (int i = 0; i < 100; ++i)
        line += (i > 0 ? "," : "") + std::string(200, 'x');
    const auto types = suggestTypes(profileLines({line}, 100), Dialect::MySql, false);
    std::uint64_t rowBytes = 0;
    std::size_t varchars = 0;
    for (const auto& t : types) {
        if (t.type == u"varchar(200)") {
            rowBytes += 200 * 4 + 2;
            ++varchars;
        } else {
            EXPECT_EQ(t.type, u"text");
            rowBytes += 12;
        }
    }
    EXPECT_GT(varchars, 0u);
    EXPECT_LT(varchars, 100u);
    EXPECT_LE(rowBytes, 65535u);
}

TEST(TypeSuggestion, ExplainsAndWarnsInPlainLines)
{
    std::vector<std::string> lines = {"1,a", "2,b,c"};
    for (int i = 0; i < 7; ++i)
        lines.push_back("3");
    const auto profile = profileLines(lines, 2);
    const auto types = suggestTypes(profile, Dialect::PostgreSql, true);
    EXPECT_EQ(explainProfile(profile, {u"id", u"name"}, types),
              "column  type      non-empty  empty  max chars  max bytes  why not narrower\n"
              "id      smallint          9      0          1          1\n"
              "name    text              2      7          1          1  line 1 of a.csv: 'a'\n");
    EXPECT_EQ(explainColumn(profile.columns[1], types[1]),
              "2 values, 7 empty, at most 1 character (1 byte in UTF-8). Not narrower: line 1 of a.csv: 'a'");
    EXPECT_EQ(describeStructure(profile, 2),
              "1 row has more fields than the 2 columns (the extra fields are not written): a.csv line 2\n"
              "7 rows have fewer fields than the 2 columns (the missing ones are written empty): a.csv lines 3, 4, 5, "
              "6, 7 and 2 more\n");
    EXPECT_EQ(describeStructure(profileLines({"1,2"}, 2), 2), "");
}

// The structure warnings count fields a word at a time; any line, in either
// unit, must give what the splitting walk gives.
TEST(StructureCounts, FastFieldCountAgreesWithTheSplitter)
{
    std::vector<std::string> lines = {"",
                                      "a",
                                      "a,b",
                                      "a,b,",
                                      ",",
                                      ",,,,,,,,,",
                                      "\"a,b\",c",
                                      "a\"b,c",
                                      std::string("x\0y,z", 5),
                                      "\"\"",
                                      "abcdefgh,ijklmnop,\"q,r\"",
                                      "\"unclosed,x"};
    std::uint64_t state = 12345;
    for (int i = 0; i < 3000; ++i) {
        std::string line;
        const std::size_t length = (state >> 33) % 40;
        for (std::size_t k = 0; k < length; ++k) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            const char alphabet[] = {'a', 'b', ',', ',', '"', ';', '\0', 'z', 'x', ' '};
            line += alphabet[(state >> 40) % (i % 3 == 0 ? 10 : 4)];
        }
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        lines.push_back(line);
    }
    for (const auto& line : lines) {
        std::size_t expected = 0;
        forEachRawField(utf16(line), u',', [&](const char16_t*, const char16_t*, bool) { ++expected; });
        const std::u16string wide = utf16(line);
        const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
        EXPECT_EQ(countRawFields(wide.data(), wide.data() + wide.size(), u','), expected) << line;
        EXPECT_EQ(countRawFields(bytes, bytes + line.size(), static_cast<unsigned char>(',')), expected) << line;
    }
}

// The window's workspace and the converter's reader feed one profiler:
// the same files give the same profile, line numbers per file included.
TEST(WorkspaceProfile, CountsLinesPerFileAndSkipsOnlyTheFirstHeader)
{
    test::TempDir dir;
    Workspace workspace;
    LoadOptions options;
    options.headerLine = true;
    workspace.load(dir.write("a.csv", "id,when\r\n1,2023-01-01\r\n2,2023-01-02\r\n"), options);
    workspace.load(dir.write("b.csv", "id,when\r\n3,2023-01-03\r\n"), options);
    const TableProfile profile = profileWorkspace(workspace, {u',', true});
    EXPECT_EQ(profile.rows, 4u);
    ASSERT_EQ(profile.files.size(), 2u);
    EXPECT_EQ(profile.files[1].name, "b.csv");
    // The second file's header line is a row like any other.
    EXPECT_EQ(profile.where(profile.columns[0].ruledOutBy[0]), "line 1 of b.csv");
    EXPECT_EQ(profile.columns[0].ruledOutBy[0].value, "id");
    EXPECT_EQ(profile.columns[1].ruledOutBy[2].value, "when");
}

} // namespace
