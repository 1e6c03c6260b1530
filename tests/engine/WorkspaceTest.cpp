#include "engine/csv/LineReader.h"
#include "engine/text/UnicodeText.h"
#include "engine/workspace/Dialect.h"
#include "engine/workspace/RowStore.h"
#include "engine/workspace/SeparatorText.h"
#include "engine/workspace/Workspace.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

using quarrow::ColumnRename;
using quarrow::ColumnSetup;
using quarrow::Dialect;
using quarrow::LoadOptions;
using quarrow::LoadReport;
using quarrow::RowStore;
using quarrow::TextEncoding;
using quarrow::toUtf8;
using quarrow::Workspace;

using Strings = std::vector<std::u16string>;

using ScratchDir = quarrow::test::TempDir;

Strings rowsOf(const Workspace& ws)
{
    Strings rows;
    for (std::size_t i = 0; i < ws.rowCount(); ++i)
        rows.push_back(ws.rowText(i));
    return rows;
}

LoadOptions options(bool header, char16_t separator = u',', Dialect dialect = Dialect::MySql)
{
    LoadOptions o;
    o.headerLine = header;
    o.separator = separator;
    o.dialect = dialect;
    return o;
}

class WorkspaceLoad : public testing::Test {
protected:
    ScratchDir dir;
    Workspace ws;
};

// ---------------------------------------------------------------------------
// Paths that hold no file

TEST_F(WorkspaceLoad, MissingPathOrDirectoryChangesNothing)
{
    ws.load(dir.write("first.csv", "id,name\n1,a\n"), options(true));
    ASSERT_EQ(ws.rowCount(), 2u);

    fs::create_directory(dir.path() / "sub");
    const std::array<fs::path, 2> paths{dir.path() / "absent.csv", dir.path() / "sub"};
    for (const auto& p : paths) {
        SCOPED_TRACE(p.filename().string());
        const LoadReport r = ws.load(p, options(false, u';', Dialect::Oracle));
        EXPECT_FALSE(r.fileExisted);
        EXPECT_FALSE(r.readFailed);
        EXPECT_EQ(r.rowCount, 2);
        EXPECT_EQ(r.filesLoaded, 1);
        EXPECT_EQ(ws.filesLoaded(), 1);
        EXPECT_EQ(rowsOf(ws), (Strings{u"id,name", u"1,a"}));
        EXPECT_EQ(ws.columnNames(), (Strings{u"id", u"name"}));
        EXPECT_EQ(ws.columnTypes(), (Strings{u"text", u"text"}));
    }
}

TEST_F(WorkspaceLoad, MissingPathOnEmptyWorkspaceCountsNothing)
{
    const LoadReport r = ws.load(dir.path() / "absent.csv", options(true));
    EXPECT_FALSE(r.fileExisted);
    EXPECT_EQ(r.rowCount, 0);
    EXPECT_EQ(r.filesLoaded, 0);
    EXPECT_EQ(ws.columnCount(), 0);
    EXPECT_TRUE(ws.columnNames().empty());
}

// ---------------------------------------------------------------------------
// Lines as read

TEST_F(WorkspaceLoad, LinesAreKeptExactlyWithoutTheirBreaks)
{
    // Mixed breaks, blanks and quotes at the edges, an empty line inside, a
    // tab, multi-byte text; the final break starts no empty row.
    const std::string bytes = "  a , \"b\" \r\n"
                              "\r\n"
                              "x\ty\r"
                              "\xC3\xA7\xC4\x9F,\xE2\x82\xAC\n"
                              "last\n";
    const LoadReport r = ws.load(dir.write("lines.csv", bytes), options(false));
    EXPECT_TRUE(r.fileExisted);
    EXPECT_FALSE(r.readFailed);
    EXPECT_EQ(r.rowCount, 5);
    EXPECT_EQ(rowsOf(ws), (Strings{u"  a , \"b\" ", u"", u"x\ty", u"\u00E7\u011F,\u20AC", u"last"}));
}

TEST_F(WorkspaceLoad, EncodingOptionReachesTheReader)
{
    LoadOptions o = options(false);
    o.encoding = TextEncoding::Ansi;
    ws.load(dir.write("ansi.csv", "d\xE9"
                                  "cimal,\x80\n"),
            o);
    EXPECT_EQ(rowsOf(ws), (Strings{u"d\u00E9cimal,\u20AC"}));
}

TEST_F(WorkspaceLoad, SameFileTwiceGivesItsLinesTwice)
{
    const fs::path file = dir.write("t.csv", "h1,h2\nv1,v2\n");
    ws.load(file, options(true));
    const LoadReport r = ws.load(file, options(true));
    EXPECT_EQ(r.rowCount, 4);
    EXPECT_EQ(r.filesLoaded, 2);
    EXPECT_EQ(rowsOf(ws), (Strings{u"h1,h2", u"v1,v2", u"h1,h2", u"v1,v2"}));
}

// ---------------------------------------------------------------------------
// First-load setup

struct SetupCase {
    const char* label;
    std::string firstFile;
    bool header;
    char16_t separator;
    std::int64_t columnCount;
    Strings names;
    Strings firstRows; // the leading rows after the load
};

// Test names show the label, not the bytes of the case.
void PrintTo(const SetupCase& c, std::ostream* out)
{
    *out << c.label;
}

class WorkspaceFirstLoad : public testing::TestWithParam<SetupCase> {};

TEST_P(WorkspaceFirstLoad, ColumnsComeFromRowZero)
{
    const SetupCase& c = GetParam();
    ScratchDir dir;
    Workspace ws;
    const LoadReport r = ws.load(dir.write("in.csv", c.firstFile), options(c.header, c.separator));
    EXPECT_EQ(r.filesLoaded, 1);
    EXPECT_EQ(ws.columnCount(), c.columnCount);
    EXPECT_EQ(ws.columnNames(), c.names);
    EXPECT_EQ(ws.columnTypes(), Strings(c.names.size(), u"text"));
    const Strings rows = rowsOf(ws);
    ASSERT_GE(rows.size(), c.firstRows.size());
    EXPECT_EQ(Strings(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(c.firstRows.size())), c.firstRows);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    WorkspaceFirstLoadCases, WorkspaceFirstLoad,
    testing::Values(
        SetupCase{"PlainHeader", "id,name,city\n1,a,b\n", true, u',', 3, {u"id", u"name", u"city"},
                  {u"id,name,city", u"1,a,b"}},
        SetupCase{"QuotedPaddedAndEmptyNames", "\"id\", \"full name\" ,\n", true, u',', 3,
                  {u"id", u"full name", u"COLUMN3"}, {u"\"id\", \"full name\" ,"}},
        SetupCase{"EmptyNameInTheMiddle", "a,,c\n", true, u',', 3, {u"a", u"COLUMN2", u"c"}, {u"a,,c"}},
        SetupCase{"QuoteInsideNameDropped", "x\"y\" ,\t\"z\"\"w\"\n", true, u',', 2, {u"xy", u"zw"}, {}},
        SetupCase{"SemicolonNoHeader", "a;b;c\n1;2;3\n", false, u';', 3, {u"COLUMN1", u"COLUMN2", u"COLUMN3"},
                  {u"a;b;c", u"1;2;3"}},
        SetupCase{"CommaIgnoredWhenSeparatorIsTab", "a,b\tc\n", false, u'\t', 2, {u"COLUMN1", u"COLUMN2"}, {}},
        SetupCase{"EmptyFirstLineWithHeader", "\nx,y\n", true, u',', 1, {}, {u"", u"x,y"}},
        SetupCase{"QuotedSeparatorHeader", "\"last, first\",age\n", true, u',', 3, {u"last, first", u"age"}, {}},
        SetupCase{"QuotedSeparatorNoHeader", "\"last, first\",age\n", false, u',', 3,
                  {u"COLUMN1", u"COLUMN2", u"COLUMN3"}, {}},
        SetupCase{"ManyColumnsNumbered", "a,b,c,d,e,f,g,h,i,j,k\n", false, u',', 11,
                  {u"COLUMN1", u"COLUMN2", u"COLUMN3", u"COLUMN4", u"COLUMN5", u"COLUMN6", u"COLUMN7",
                   u"COLUMN8", u"COLUMN9", u"COLUMN10", u"COLUMN11"},
                  {}}),
    [](const testing::TestParamInfo<SetupCase>& param) { return std::string(param.param.label); });
// clang-format on

// ---------------------------------------------------------------------------
// Repeated names

struct DuplicateCase {
    const char* label;
    std::u16string firstLine;
    Strings names;
    std::vector<ColumnRename> renames;
    TextEncoding encoding = TextEncoding::Utf8;
};

void PrintTo(const DuplicateCase& c, std::ostream* out)
{
    *out << c.label;
}

class WorkspaceDuplicateNames : public testing::TestWithParam<DuplicateCase> {};

TEST_P(WorkspaceDuplicateNames, LaterRepeatsGetTheFirstFreeSuffix)
{
    const DuplicateCase& c = GetParam();
    LoadOptions o = options(true);
    o.encoding = c.encoding;
    const ColumnSetup setup = quarrow::setUpColumns(c.firstLine, o);
    EXPECT_EQ(setup.names, c.names);
    EXPECT_EQ(setup.renames, c.renames);
    EXPECT_EQ(setup.types.size(), setup.names.size());
}

INSTANTIATE_TEST_SUITE_P(
    WorkspaceDuplicateNamesCases, WorkspaceDuplicateNames,
    testing::Values(
        DuplicateCase{
            "LetterCaseOnly", u"id,ID,Id", {u"id", u"ID_2", u"Id_3"}, {{1, u"ID", u"ID_2"}, {2, u"Id", u"Id_3"}}},
        // The suffix must be free among the names still to come as well.
        DuplicateCase{"SuffixTakenByALaterName", u"a,a,a_2", {u"a", u"a_3", u"a_2"}, {{1, u"a", u"a_3"}}},
        DuplicateCase{"SuffixTakenByAnEarlierName", u"a_2,a,a", {u"a_2", u"a", u"a_3"}, {{2, u"a", u"a_3"}}},
        DuplicateCase{"TakenSuffixInOtherCase",
                      u"b,a,B,A,b_2",
                      {u"b", u"a", u"B_3", u"A_2", u"b_2"},
                      {{2, u"B", u"B_3"}, {3, u"A", u"A_2"}}},
        DuplicateCase{"RepeatedSuffixedName", u"a_2,A_2", {u"a_2", u"A_2_2"}, {{1, u"A_2", u"A_2_2"}}},
        DuplicateCase{"SuffixOneIsNotTaken", u"x,x_1,x", {u"x", u"x_1", u"x_2"}, {{2, u"x", u"x_2"}}},
        DuplicateCase{"TwelveEqualNames",
                      u"v,v,v,v,v,v,v,v,v,v,v,v",
                      {u"v", u"v_2", u"v_3", u"v_4", u"v_5", u"v_6", u"v_7", u"v_8", u"v_9", u"v_10", u"v_11", u"v_12"},
                      {{1, u"v", u"v_2"},
                       {2, u"v", u"v_3"},
                       {3, u"v", u"v_4"},
                       {4, u"v", u"v_5"},
                       {5, u"v", u"v_6"},
                       {6, u"v", u"v_7"},
                       {7, u"v", u"v_8"},
                       {8, u"v", u"v_9"},
                       {9, u"v", u"v_10"},
                       {10, u"v", u"v_11"},
                       {11, u"v", u"v_12"}}},
        // Compared after clean-up, as the script writes them.
        DuplicateCase{"QuotesAndBlanksCleanedFirst",
                      u"\"a\", a ,\tA ",
                      {u"a", u"a_2", u"A_3"},
                      {{1, u"a", u"a_2"}, {2, u"A", u"A_3"}}},
        // An empty field's generated name is a name like any other.
        DuplicateCase{"EmptyFieldMeetsItsGeneratedName",
                      u"COLUMN2,",
                      {u"COLUMN2", u"COLUMN2_2"},
                      {{1, u"COLUMN2", u"COLUMN2_2"}}},
        DuplicateCase{
            "GeneratedNameComesFirst", u",column1", {u"COLUMN1", u"column1_2"}, {{1, u"column1", u"column1_2"}}},
        DuplicateCase{"EmptyFieldsOnly", u",,", {u"COLUMN1", u"COLUMN2", u"COLUMN3"}, {}},
        // Only ASCII letters are folded; UTF-8 holds every character apart.
        DuplicateCase{"OtherLettersKeepTheirCase",
                      u"\u00E9,\u00C9,stra\u00DFe,STRASSE,\u4E2D,\u6587",
                      {u"\u00E9", u"\u00C9", u"stra\u00DFe", u"STRASSE", u"\u4E2D", u"\u6587"},
                      {}},
        // ANSI writes these alike: two '?', two 'l', 'A' for the fullwidth A.
        DuplicateCase{"AlikeOnceWrittenInAnsi",
                      u"\u4E2D,\u6587,\u0142,L,\uFF21,a",
                      {u"\u4E2D", u"\u6587_2", u"\u0142", u"L_2", u"\uFF21", u"a_2"},
                      {{1, u"\u6587", u"\u6587_2"}, {3, u"L", u"L_2"}, {5, u"a", u"a_2"}},
                      TextEncoding::Ansi}),
    [](const testing::TestParamInfo<DuplicateCase>& param) { return std::string(param.param.label); });

// Whatever the line, no two names end up alike and only repeats change.
TEST(WorkspaceDuplicateNamesProperty, NamesEndDistinctAndFirstOccurrencesStay)
{
    const std::array<std::u16string_view, 8> pieces{u"a", u"A", u"a_2", u"A_3", u"a_2_2", u"b", u"", u"COLUMN1"};
    std::mt19937 rng(12);
    auto folded = [](std::u16string text) {
        for (char16_t& c : text)
            c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
        return text;
    };
    for (int round = 0; round < 500; ++round) {
        std::u16string line;
        // Two fields at least: an empty line holds no names at all.
        const std::size_t count = 2 + rng() % 8;
        for (std::size_t j = 0; j < count; ++j)
            line += (j ? u"," : u"") + std::u16string(pieces[rng() % pieces.size()]);
        SCOPED_TRACE(std::string(line.begin(), line.end()));
        const ColumnSetup setup = quarrow::setUpColumns(line, options(true));
        const ColumnSetup plain = [&] {
            // The names as they were before: one field at a time, where no repeat is possible.
            ColumnSetup s;
            std::size_t start = 0;
            for (std::size_t j = 0; j < count; ++j) {
                const std::size_t end = std::min(line.find(u',', start), line.size());
                const auto field = line.substr(start, end - start);
                s.names.push_back(field.empty() ? u"COLUMN" + std::u16string(1, static_cast<char16_t>(u'1' + j))
                                                : field);
                start = end + 1;
            }
            return s;
        }();
        ASSERT_EQ(setup.names.size(), count);
        std::set<std::u16string> seen;
        std::size_t renamed = 0;
        for (std::size_t j = 0; j < count; ++j) {
            const bool repeat = !seen.insert(folded(plain.names[j])).second;
            if (!repeat) {
                EXPECT_EQ(setup.names[j], plain.names[j]);
                continue;
            }
            ASSERT_LT(renamed, setup.renames.size());
            EXPECT_EQ(setup.renames[renamed].column, j);
            EXPECT_EQ(setup.renames[renamed].from, plain.names[j]);
            EXPECT_EQ(setup.renames[renamed].to, setup.names[j]);
            EXPECT_TRUE(setup.names[j].starts_with(plain.names[j] + u"_"));
            ++renamed;
        }
        EXPECT_EQ(renamed, setup.renames.size());
        std::set<std::u16string> finals;
        for (const auto& name : setup.names)
            EXPECT_TRUE(finals.insert(folded(name)).second) << "two columns alike";
    }
}

TEST_F(WorkspaceLoad, RenamesStayWithTheWorkspaceUntilClear)
{
    ws.load(dir.write("a.csv", "id,name,ID\n1,x,2\n"), options(true));
    ws.load(dir.write("b.csv", "k,k\n"), options(true));
    EXPECT_EQ(ws.columnNames(), (Strings{u"id", u"name", u"ID_2"}));
    EXPECT_EQ(ws.columnRenames(), (std::vector<ColumnRename>{{2, u"ID", u"ID_2"}}));
    ws.clear();
    EXPECT_TRUE(ws.columnRenames().empty());
    ws.load(dir.write("c.csv", "a,a\n"), options(false));
    EXPECT_EQ(ws.columnNames(), (Strings{u"COLUMN1", u"COLUMN2"}));
    EXPECT_TRUE(ws.columnRenames().empty());
}

struct DialectDefault {
    Dialect dialect;
    std::u16string type;
};

TEST(WorkspaceDefaultTypes, EachDialectSeedsItsOwnType)
{
    const std::array<DialectDefault, 7> table{{
        {Dialect::MySql, u"text"},
        {Dialect::MsSql, u"nvarchar(max)"},
        {Dialect::Access, u"longtext"},
        {Dialect::Oracle, u"clob"},
        {Dialect::PostgreSql, u"text"},
        {Dialect::IbmDb2, u"clob"},
        {Dialect::Sqlite, u"text"},
    }};
    ScratchDir dir;
    const fs::path file = dir.write("d.csv", "a,b\n");
    for (const auto& row : table) {
        SCOPED_TRACE(std::string(quarrow::dialectInfo(row.dialect).identifier));
        for (bool header : {true, false}) {
            SCOPED_TRACE(header ? "header" : "no header");
            Workspace ws;
            ws.load(file, options(header, u',', row.dialect));
            EXPECT_EQ(ws.columnTypes(), Strings(2, row.type));
        }
    }
}

// ---------------------------------------------------------------------------
// Counting files and later loads

TEST_F(WorkspaceLoad, LaterFilesKeepTheFirstFilesColumns)
{
    ws.load(dir.write("a.csv", "id,name\n1,x\n"), options(true));
    const LoadReport wider = ws.load(dir.write("b.csv", "k,l,m,n\n2,y,z,w\n"), options(true, u',', Dialect::Oracle));
    EXPECT_EQ(wider.filesLoaded, 2);
    const LoadReport narrower = ws.load(dir.write("c.csv", "only\n3\n"), options(false, u';', Dialect::MsSql));
    EXPECT_EQ(narrower.filesLoaded, 3);
    EXPECT_EQ(narrower.rowCount, 6);

    // Every header line stays a row; the names and types are the first file's.
    EXPECT_EQ(rowsOf(ws), (Strings{u"id,name", u"1,x", u"k,l,m,n", u"2,y,z,w", u"only", u"3"}));
    EXPECT_EQ(ws.columnCount(), 2);
    EXPECT_EQ(ws.columnNames(), (Strings{u"id", u"name"}));
    EXPECT_EQ(ws.columnTypes(), (Strings{u"text", u"text"}));
}

TEST_F(WorkspaceLoad, LaterLoadKeepsReplacedTypes)
{
    ws.load(dir.write("a.csv", "id,name\n"), options(true));
    ws.replaceType(1, u"varchar(20)");
    ws.load(dir.write("b.csv", "x,y\n"), options(true, u',', Dialect::Oracle));
    EXPECT_EQ(ws.columnTypes(), (Strings{u"text", u"varchar(20)"}));
}

TEST_F(WorkspaceLoad, LaterExistingFileCountsEvenWithoutLines)
{
    ws.load(dir.write("a.csv", "id,name\n"), options(true));
    const LoadReport empty = ws.load(dir.write("empty.csv", ""), options(true));
    EXPECT_TRUE(empty.fileExisted);
    EXPECT_EQ(empty.rowCount, 1);
    EXPECT_EQ(empty.filesLoaded, 2);

    const LoadReport bad = ws.load(dir.write("bad.csv", "\xFF\xFF\n"), options(true));
    EXPECT_TRUE(bad.fileExisted);
    EXPECT_TRUE(bad.readFailed);
    EXPECT_EQ(bad.rowCount, 1);
    EXPECT_EQ(bad.filesLoaded, 3);
    EXPECT_EQ(ws.columnNames(), (Strings{u"id", u"name"}));
}

TEST_F(WorkspaceLoad, EmptyFirstFileLeavesTheSetupToTheNextFile)
{
    const LoadReport first = ws.load(dir.write("empty.csv", ""), options(true));
    EXPECT_TRUE(first.fileExisted);
    EXPECT_EQ(first.rowCount, 0);
    EXPECT_EQ(first.filesLoaded, 0);
    EXPECT_EQ(ws.columnCount(), 0);
    EXPECT_TRUE(ws.columnNames().empty());
    EXPECT_TRUE(ws.columnTypes().empty());

    const LoadReport second = ws.load(dir.write("b.csv", "p;q;r\n1;2;3\n"), options(true, u';', Dialect::PostgreSql));
    EXPECT_EQ(second.filesLoaded, 1);
    EXPECT_EQ(second.rowCount, 2);
    EXPECT_EQ(ws.columnCount(), 3);
    EXPECT_EQ(ws.columnNames(), (Strings{u"p", u"q", u"r"}));
    EXPECT_EQ(ws.columnTypes(), (Strings{u"text", u"text", u"text"}));

    // Only the load that makes the count exactly 1 sets the columns up.
    ws.load(dir.write("c.csv", "a,b\n"), options(true, u',', Dialect::Oracle));
    EXPECT_EQ(ws.columnNames(), (Strings{u"p", u"q", u"r"}));
}

// ---------------------------------------------------------------------------
// Read failures

// Whole lines that fill exactly one read block, the first one `header`.
std::string oneBlockOfLines(const std::string& header, std::vector<std::string>& lines)
{
    std::string bytes = header + "\n";
    lines.push_back(header);
    for (int n = 0; bytes.size() < quarrow::kReadBlockSize; ++n) {
        // 60-character lines, then one that ends exactly at the block's end.
        const std::size_t room = quarrow::kReadBlockSize - bytes.size() - 1;
        std::string line = "r" + std::to_string(n) + ",v";
        line.resize(room < 100 ? room : 60, 'x');
        lines.push_back(line);
        bytes += line + "\n";
    }
    return bytes;
}

TEST_F(WorkspaceLoad, ReadFailureKeepsEarlierBlocksAndStillSetsUp)
{
    std::vector<std::string> lines;
    std::string bytes = oneBlockOfLines("id,name,city", lines);
    ASSERT_EQ(bytes.size(), quarrow::kReadBlockSize);
    // The second block holds a valid line, then a byte that is never UTF-8.
    bytes += "tail,ok,1\nbad\xFF line\nafter\n";
    const fs::path file = dir.write("broken.csv", bytes);

    const LoadReport r = ws.load(file, options(true, u',', Dialect::Oracle));
    EXPECT_TRUE(r.fileExisted);
    EXPECT_TRUE(r.readFailed);
    EXPECT_NE(r.failure.find(file.string()), std::string::npos) << r.failure;
    EXPECT_EQ(r.failureLine, lines.size() + 2); // the line of the byte, after "tail,ok,1"
    EXPECT_EQ(r.rowCount, static_cast<std::int64_t>(lines.size()));
    EXPECT_EQ(r.filesLoaded, 1);

    Strings expected;
    for (const auto& l : lines)
        expected.emplace_back(l.begin(), l.end());
    EXPECT_EQ(rowsOf(ws), expected);
    EXPECT_EQ(ws.columnCount(), 3);
    EXPECT_EQ(ws.columnNames(), (Strings{u"id", u"name", u"city"}));
    EXPECT_EQ(ws.columnTypes(), (Strings{u"clob", u"clob", u"clob"}));
}

TEST_F(WorkspaceLoad, FailureInTheFirstBlockOfAFirstFileCountsNothing)
{
    const LoadReport r = ws.load(dir.write("bad.csv", "id\n\xC3\x28\n"), options(true));
    EXPECT_TRUE(r.fileExisted);
    EXPECT_TRUE(r.readFailed);
    EXPECT_EQ(r.rowCount, 0);
    EXPECT_EQ(r.filesLoaded, 0);
    EXPECT_TRUE(ws.columnNames().empty());
}

// ---------------------------------------------------------------------------
// Clear and replaceType

TEST_F(WorkspaceLoad, ClearEmptiesAndTheNextLoadSeedsAfresh)
{
    ws.load(dir.write("a.csv", "id,name\n1,x\n"), options(true));
    ws.load(dir.write("b.csv", "2,y\n"), options(true));
    ws.replaceType(0, u"int");
    ws.clear();
    EXPECT_EQ(ws.rowCount(), 0u);
    EXPECT_TRUE(ws.columnNames().empty());
    EXPECT_TRUE(ws.columnTypes().empty());
    EXPECT_EQ(ws.filesLoaded(), 0);

    const LoadReport r = ws.load(dir.write("c.csv", "id,name\n"), options(true, u',', Dialect::Oracle));
    EXPECT_EQ(r.filesLoaded, 1);
    EXPECT_EQ(r.rowCount, 1);
    EXPECT_EQ(ws.columnNames(), (Strings{u"id", u"name"}));
    EXPECT_EQ(ws.columnTypes(), (Strings{u"clob", u"clob"}));
}

TEST_F(WorkspaceLoad, ReplaceTypeChangesOnlyItsEntry)
{
    ws.load(dir.write("a.csv", "a,b,c\n"), options(true, u',', Dialect::MsSql));
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        Strings expected = ws.columnTypes();
        expected[i] = u"decimal(10,2)";
        ws.replaceType(i, u"decimal(10,2)");
        EXPECT_EQ(ws.columnTypes(), expected);
    }
    EXPECT_THROW(ws.replaceType(3, u"int"), std::out_of_range);
    EXPECT_EQ(ws.columnTypes().size(), 3u);
}

TEST(WorkspaceReplaceType, EmptyWorkspaceThrows)
{
    Workspace ws;
    EXPECT_THROW(ws.replaceType(0, u"int"), std::out_of_range);
}

// ---------------------------------------------------------------------------
// RowStore

std::u16string patternLine(std::size_t length, std::size_t seed)
{
    std::u16string s(length, u'\0');
    for (std::size_t k = 0; k < length; ++k)
        s[k] = static_cast<char16_t>(u'A' + (seed * 7 + k) % 50);
    return s;
}

void expectSame(const RowStore& store, const Strings& expected)
{
    ASSERT_EQ(store.size(), expected.size());
    std::u16string scratch;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::u16string_view row = store.row(i, scratch);
        if (row != expected[i]) {
            ADD_FAILURE() << "row " << i << " differs (length " << row.size() << ", expected " << expected[i].size()
                          << ")";
            return;
        }
    }
}

// The store's smallest chunk, in bytes; pattern lines take one byte a character.
constexpr std::size_t kMinChunk = std::size_t{1} << 21;

TEST(RowStore, ManyRowsAcrossChunksReadBack)
{
    RowStore store;
    Strings expected;
    std::mt19937 gen(12345);
    std::uniform_int_distribution<std::size_t> len(0, 3000);
    // Enough to run past the first chunk several times, with empty rows in between.
    std::size_t total = 0;
    for (std::size_t i = 0; total < 3 * kMinChunk; ++i) {
        const std::size_t n = i % 13 == 0 ? 0 : len(gen);
        expected.push_back(patternLine(n, i));
        store.append(expected.back());
        total += n;
    }
    expectSame(store, expected);
}

TEST(RowStore, LineLongerThanAChunkGetsItsOwn)
{
    RowStore store;
    Strings expected;
    auto add = [&](std::u16string s) {
        store.append(s);
        expected.push_back(std::move(s));
    };
    add(u"before");
    add(patternLine(kMinChunk - 10, 1)); // leaves too little room for the next
    add(u"");
    add(patternLine(kMinChunk + 12345, 2)); // more than any chunk so far
    add(u"");                               // fits the (full) big chunk at its end
    add(u"after");
    add(patternLine(3 * kMinChunk, 3));
    add(u"x");
    expectSame(store, expected);
}

TEST(RowStore, ReserveBetweenAppendsKeepsRowsIntact)
{
    RowStore store;
    Strings expected;
    auto add = [&](std::u16string s) {
        store.append(s);
        expected.push_back(std::move(s));
    };
    store.reserve(10);
    add(u"a");
    add(u"");
    store.reserve(100); // room left: no new chunk
    add(u"bb");
    store.reserve(5 * kMinChunk); // a new chunk while the old one still has room
    add(u"ccc");
    add(u"");
    for (std::size_t i = 0; i < 50; ++i) {
        store.reserve(i * 40000);
        add(patternLine(i * 1000 + (i % 3), i));
        if (i % 7 == 0)
            add(u"");
    }
    store.reserve(0);
    add(u"end");
    expectSame(store, expected);
}

TEST(RowStore, ClearThenReuse)
{
    RowStore store;
    store.append(u"one");
    store.append(patternLine(kMinChunk + 1, 4));
    store.clear();
    EXPECT_TRUE(store.empty());
    EXPECT_EQ(store.size(), 0u);

    Strings expected{u"", u"two", patternLine(2 * kMinChunk, 5), u"three"};
    for (const auto& s : expected)
        store.append(s);
    expectSame(store, expected);
}

// Each line is held in its smallest form and reads back as it went in,
// whether it came as UTF-8 or as UTF-16, and wherever it lands in a chunk
// (a UTF-16 line after an odd-length line starts at an odd byte).
TEST(RowStore, EveryFormReadsBackAndCostsItsSmallestSize)
{
    struct Case {
        const char* what;
        std::u16string text;
        bool viaUtf8;
        std::size_t bytes; // held for the text, without its reference
    };
    const std::u16string mostlyAscii = u"12,Caf\u00e9 Euro \u20ac,3";
    const std::vector<Case> cases{
        {"empty", u"", true, 0},
        {"ASCII from UTF-8", u"1,Ann,x", true, 7},
        {"Latin-1 from UTF-8: one byte a character", u"Jos\u00e9,\u00ff\u00a0", true, 7},
        {"mostly ASCII with a euro: its UTF-8", mostlyAscii, true, toUtf8(mostlyAscii).size()},
        {"odd-length line", u"abc", false, 3},
        {"CJK from UTF-8: UTF-16 is shorter", u"\u6771\u4eac,\u5927\u962a", true, 10},
        {"Cyrillic from UTF-8: as long either way, kept as UTF-16", u"\u0416\u0416", true, 4},
        {"odd-length line", u"x", false, 1},
        {"astral characters from UTF-8", u"\U0001F600,a", true, 6},
        {"ANSI text decoded: euro sign", u"5 \u20ac", false, 6},
        {"Latin-1 from UTF-16", u"\u00e9t\u00e9", false, 3},
        {"lone surrogate from UTF-16 is kept", std::u16string(1, char16_t{0xD800}) + u"a", false, 4},
    };
    RowStore store;
    std::size_t bytes = 0;
    for (const auto& c : cases) {
        const std::uint64_t before = store.bytesUsed();
        if (c.viaUtf8)
            store.appendUtf8(toUtf8(c.text));
        else
            store.append(c.text);
        EXPECT_EQ(store.bytesUsed() - before, c.bytes + sizeof(std::uint32_t)) << c.what;
        bytes += c.bytes;
    }
    std::u16string scratch = u"left over from before, longer than any row";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(store.row(i, scratch), cases[i].text) << cases[i].what;
        // A row handed out as UTF-8 (to be formatted from it) is that text.
        if (const auto utf8 = store.utf8Row(i)) {
            EXPECT_EQ(*utf8, toUtf8(cases[i].text)) << cases[i].what;
        }
    }
    EXPECT_TRUE(store.utf8Row(1).has_value());  // ASCII
    EXPECT_FALSE(store.utf8Row(2).has_value()); // Latin-1, one byte a character
    EXPECT_TRUE(store.utf8Row(3).has_value());  // kept as the file's UTF-8
    // Backwards too: no row leans on the one read before it.
    for (std::size_t i = cases.size(); i-- > 0;)
        EXPECT_EQ(store.row(i, scratch), cases[i].text) << cases[i].what;
    store.truncate(4);
    store.append(u"\u0100");
    EXPECT_EQ(store.row(3, scratch), mostlyAscii);
    EXPECT_EQ(store.row(4, scratch), u"\u0100");
}

// Lines at the edges between the forms: the last character of one byte
// (U+00FF), the first that needs more (U+0100), NUL, the ends of ASCII and
// of the UTF-8 lengths, and mixtures of them. Each reads back as it went in,
// from UTF-16 and from UTF-8 into the store, and from a one-column UTF-8
// file through the workspace's load (alone, and after a line that puts its
// first character across the reader's 4096-byte block), plainly and
// exactly quoted.
TEST(RowStore, LinesAtTheEdgesOfEachFormReadBackEqual)
{
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::u16string text;
        std::size_t bytesFromUtf8; // held when it came as UTF-8
        bool heldAsUtf8;           // handed out as UTF-8 (ASCII, or the file's UTF-8)
    };
    const char16_t nul = u'\0';
    const std::vector<Case> cases{
        {"U+0100 alone: as long in UTF-8 as in UTF-16", u"\u0100", 2, false},
        {"U+00FF alone: one byte", u"\u00FF", 1, false},
        {"NUL alone", std::u16string(1, nul), 1, true},
        {"U+007F alone", u"\u007F", 1, true},
        {"U+0080 alone", u"\u0080", 1, false},
        {"U+00FF then U+0100", u"\u00FF\u0100", 4, false},
        {"U+0100 then U+00FF", u"\u0100\u00FF", 4, false},
        {"ASCII then U+0100: UTF-8 is shorter", u"a\u0100", 3, true},
        {"U+0100 then NUL", u"\u0100"s + nul, 3, true},
        {"NUL then U+00FF", std::u16string(1, nul) + u"\u00FF", 2, false},
        {"U+00FF, NUL, U+0100, NUL", u"\u00FF"s + nul + u"\u0100" + nul, 6, true},
        {"U+0100 three times", u"\u0100\u0100\u0100", 6, false},
        {"U+07FF, last of two UTF-8 bytes", u"\u07FF,\u0100", 5, true},
        {"U+0800, first of three UTF-8 bytes", u"\u0800\u00FF", 4, false},
        {"U+FFFD and U+10000", u"\uFFFD\U00010000", 6, false},
    };

    RowStore store;
    Strings expected;
    for (const auto& c : cases) {
        const std::uint64_t before = store.bytesUsed();
        store.appendUtf8(toUtf8(c.text));
        EXPECT_EQ(store.bytesUsed() - before, c.bytesFromUtf8 + sizeof(std::uint32_t)) << c.what;
        store.append(c.text);
        expected.push_back(c.text);
        expected.push_back(c.text);
    }
    expectSame(store, expected);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto utf8 = store.utf8Row(2 * i);
        EXPECT_EQ(utf8.has_value(), cases[i].heldAsUtf8) << cases[i].what;
        if (utf8) {
            EXPECT_EQ(*utf8, toUtf8(cases[i].text)) << cases[i].what;
        }
        // From UTF-16 only ASCII is handed out as UTF-8, and then as itself.
        if (const auto fromUtf16 = store.utf8Row(2 * i + 1)) {
            EXPECT_EQ(*fromUtf16, toUtf8(cases[i].text)) << cases[i].what;
        }
    }

    ScratchDir dir;
    const std::string pad = std::string(4094, 'p') + "\n";
    for (const auto& c : cases) {
        for (const bool exact : {false, true}) {
            for (const bool padded : {false, true}) {
                SCOPED_TRACE(std::string(c.what) + (exact ? ", exact" : "") + (padded ? ", across a block" : ""));
                LoadOptions o = options(false);
                o.exactQuoting = exact;
                Workspace ws;
                ws.load(dir.write("edge.csv", (padded ? pad : "") + toUtf8(c.text) + "\r\n"), o);
                const Strings rows = rowsOf(ws);
                ASSERT_EQ(rows.size(), padded ? 2u : 1u);
                EXPECT_EQ(rows.back(), c.text);
                std::u16string scratch;
                EXPECT_EQ(ws.row(rows.size() - 1, scratch), c.text);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Separator text and dialect lookup

TEST(SeparatorText, DecodesOrSaysWhyNot)
{
    struct Case {
        std::u16string_view text;
        std::optional<char16_t> expected;
        std::string_view refusal; // a part of the reason, when refused
    };
    const std::array<Case, 14> cases{{
        {u"\\t", u'\t', {}},
        {u",", u',', {}},
        {u";x", u';', {}},
        {u"", std::nullopt, "must not be empty"},
        {u"\\", u'\\', {}},
        {u"\\tx", u'\\', {}}, // only the exact two characters stand for Tab
        {u"\t", u'\t', {}},
        // The last units before and the first after the surrogates.
        {u"\uD7FF", u'\uD7FF', {}},
        {u"\uE000", u'\uE000', {}},
        {u"\uFFFF", u'\uFFFF', {}},
        // Beyond U+FFFF: two units, and the first half is no separator.
        {u"\U0001F600", std::nullopt, "\xF0\x9F\x98\x80 (U+1F600) lies beyond it"},
        {u"\U0001F600;", std::nullopt, "(U+1F600)"},
        {u"x\U0001F600", u'x', {}},
        // Halves on their own, or in the wrong order.
        {std::u16string_view(u"\xD83D", 1), std::nullopt, "U+D83D is half of one"},
    }};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.text.size() << " first "
                                        << (c.text.empty() ? -1 : int{c.text.front()}));
        const auto got = quarrow::decodeSeparatorText(c.text);
        const auto refusal = quarrow::separatorTextRefusal(c.text);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        EXPECT_EQ(refusal.has_value(), !got.has_value());
        if (got) {
            EXPECT_EQ(int{*got}, int{*c.expected});
        } else {
            ASSERT_TRUE(refusal.has_value());
            EXPECT_NE(refusal->find(c.refusal), std::string::npos) << *refusal;
        }
    }
    const char16_t reversed[] = {0xDE00, 0xD83D};
    const auto refusal = quarrow::separatorTextRefusal(std::u16string_view(reversed, 2));
    ASSERT_TRUE(refusal.has_value());
    EXPECT_NE(refusal->find("U+DE00 is half of one"), std::string::npos) << *refusal;
}

TEST(DialectLookup, IdentifierAndPositionRoundTrip)
{
    const std::array<std::pair<std::string_view, Dialect>, 7> table{{
        {"mysql", Dialect::MySql},
        {"mssql", Dialect::MsSql},
        {"access", Dialect::Access},
        {"oracle", Dialect::Oracle},
        {"postgresql", Dialect::PostgreSql},
        {"ibmdb2", Dialect::IbmDb2},
        {"sqlite", Dialect::Sqlite},
    }};
    for (std::size_t pos = 0; pos < table.size(); ++pos) {
        const auto& [identifier, dialect] = table[pos];
        SCOPED_TRACE(std::string(identifier));
        EXPECT_EQ(quarrow::dialectFromIdentifier(identifier), dialect);
        EXPECT_EQ(quarrow::dialectFromPosition(static_cast<int>(pos)), dialect);
        const auto& info = quarrow::dialectInfo(dialect);
        EXPECT_EQ(info.identifier, identifier);
        EXPECT_EQ(info.position, static_cast<int>(pos));
        EXPECT_EQ(quarrow::dialectFromIdentifier(info.identifier), dialect);
        EXPECT_EQ(quarrow::dialectFromPosition(info.position), dialect);
    }
}

TEST(DialectLookup, RejectsUnknown)
{
    for (std::string_view id : {"MySQL", "", "Oracle", "mysql ", "db2", "postgres"}) {
        SCOPED_TRACE(std::string(id));
        EXPECT_EQ(quarrow::dialectFromIdentifier(id), std::nullopt);
    }
    for (int pos : {7, -1, 100, -100}) {
        SCOPED_TRACE(pos);
        EXPECT_EQ(quarrow::dialectFromPosition(pos), std::nullopt);
    }
}

} // namespace
