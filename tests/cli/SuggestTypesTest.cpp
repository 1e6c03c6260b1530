#include "tests/support/TempDir.h"
#include "tests/cli/RunCli.h"

#include "cli/Converter.h"
#include "cli/ProfilePass.h"
#include "cli/QuarrowCli.h"
#include "engine/profile/TypeSuggestion.h"
#include "engine/profile/WorkspaceProfile.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quarrow::cli {
namespace {

using test::readFile;
using test::TempDir;

using test::Run;
using test::runCli;

// Every trap in its own column, over several reading batches: integers,
// a late 12a, leading zeros, decimals, a decimal comma, dates with an
// invalid one late, date-times, empty cells, non-ASCII text, a huge integer.
std::string typedCsv(char separator)
{
    const std::string s(1, separator);
    std::string csv = "id" + s + "late" + s + "zip" + s + "amount" + s + "comma" + s + "day" + s + "stamp" + s
                      + "sparse" + s + "name" + s + "huge\r\n";
    for (int i = 0; i < 30000; ++i) {
        csv += std::to_string(i) + s;
        csv += (i == 25000 ? std::string("12a") : std::to_string(i % 1000)) + s;
        csv += (i == 20 ? std::string("0805") : std::to_string(1000 + i)) + s;
        csv += std::to_string(i) + "." + std::to_string(i % 100) + s;
        csv += "\"" + std::to_string(i % 7) + (i == 29999 ? ",5" : "") + "\"" + s;
        csv += (i == 28000 ? std::string("2023-02-29")
                           : "2023-0" + std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10))
               + s;
        csv += "2023-01-31 10:00:0" + std::to_string(i % 10) + "." + std::to_string(i % 1000) + s;
        csv += (i % 5 == 0 ? std::string() : std::to_string(i)) + s;
        csv += (i % 3 == 0 ? std::string("Zo\xC3\xAB") : std::string("n") + std::to_string(i)) + s;
        csv += "1234567890123456789012" + std::to_string(i % 10) + (i % 4 == 0 ? "\n" : "\r\n");
    }
    return csv;
}

// The window's way: load the files, profile the workspace, put the
// suggestions in as types, write.
std::string viaWorkspace(const std::vector<std::filesystem::path>& files, const ConverterOptions& o)
{
    Workspace workspace;
    for (const auto& f : files)
        workspace.load(f, loadOptionsFor(o.script));
    const auto profile = profileWorkspace(workspace, {o.script.separator, o.script.headerLine, o.script.exactQuoting});
    const auto suggestions = suggestTypes(profile, o.script.dialect, o.script.nullEmpty);
    for (std::size_t i = 0; i < suggestions.size(); ++i)
        workspace.replaceType(i, suggestions[i].type);
    StringSink sink;
    Donustur(workspace, o.script, sink);
    return sink.bytes;
}

std::string headOf(const std::string& script)
{
    return script.substr(0, script.find(");\r\n"));
}

TEST(SuggestedTypes, StreamingSuggestsWhatTheWorkspaceSuggests)
{
    TempDir dir;
    const auto comma = dir.write("comma.csv", typedCsv(','));
    const auto semicolon = dir.write("semicolon.csv", typedCsv(';'));
    const auto tab = dir.write("tab.csv", typedCsv('\t'));
    const auto late = dir.write("late.csv", "1,2,3\r\n");
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("7,x,0,1.5,1,2023-01-01,2023-01-01 00:00:00,,\xE9,1\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    const auto utf16File = dir.write("utf16.csv", utf16);
    struct Row {
        const char* name;
        std::vector<std::filesystem::path> files;
        Dialect dialect;
        bool nullEmpty;
        TextEncoding encoding;
        char16_t separator;
    };
    const std::vector<Row> rows = {
        {"mysql, utf-8 as it is", {comma}, Dialect::MySql, true, TextEncoding::Utf8, u','},
        {"postgresql, empty text", {comma}, Dialect::PostgreSql, false, TextEncoding::Utf8, u','},
        {"mssql, ansi", {comma}, Dialect::MsSql, true, TextEncoding::Ansi, u','},
        {"db2, semicolon, a short file after", {semicolon, late}, Dialect::IbmDb2, true, TextEncoding::Utf8, u';'},
        {"sqlite, tab", {tab}, Dialect::Sqlite, true, TextEncoding::Utf8, u'\t'},
        {"oracle, utf-16 file among utf-8", {comma, utf16File}, Dialect::Oracle, true, TextEncoding::Utf8, u','},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ConverterOptions o;
        o.inputs = row.files;
        o.script.dialect = row.dialect;
        o.script.headerLine = true;
        o.script.nullEmpty = row.nullEmpty;
        o.script.encoding = row.encoding;
        o.script.separator = row.separator;
        o.suggestTypes = true;
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(convert(o, out, err, false), kExitOk) << err.str();
        const std::string expected = viaWorkspace(row.files, o);
        EXPECT_EQ(headOf(out.str()), headOf(expected));
        EXPECT_TRUE(out.str() == expected) << "the rows differ";
    }
}

TEST(SuggestedTypes, EveryTrapKeepsItsColumnText)
{
    TempDir dir;
    const auto csv = dir.write("data.csv", typedCsv(','));
    const auto run = runCli({"-H", "-n", "-d", "postgresql", "--suggest-types", "--explain", csv.string()});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(headOf(run.out), "\r\nCREATE TABLE NEW_TABLE (\r\nid smallint,\r\nlate text,\r\nzip text,\r\n"
                               "amount numeric(7,2),\r\ncomma text,\r\nday text,\r\nstamp timestamp,\r\n"
                               "sparse smallint,\r\nname text,\r\nhuge numeric(23,0)\r\n");
    // Why, with the file and line of the value.
    const std::string file = csv.string();
    EXPECT_NE(run.err.find("line 25002 of " + file + ": '12a'"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("line 22 of " + file + ": '0805'"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("line 30001 of " + file + ": '4,5'"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("line 28002 of " + file + ": '2023-02-29'"), std::string::npos) << run.err;

    // Without NULL for empty cells the sparse column holds '' and stays text.
    const auto withEmpty = runCli({"-H", "-d", "postgresql", "--suggest-types", csv.string()});
    EXPECT_NE(withEmpty.out.find("\r\nsparse text,\r\n"), std::string::npos);
}

TEST(SuggestedTypes, TypeListStillOverrides)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "a,b,c\r\n1,2,x\r\n");
    const auto types = dir.write("types.txt", "varchar(9)\r\n");
    const auto run = runCli({"-H", "-d", "mysql", "--suggest-types", "--types", types.string(), csv.string()});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(headOf(run.out), "\r\nCREATE TABLE NEW_TABLE (\r\n`a` varchar(9),\r\n`b` tinyint,\r\n`c` varchar(1)\r\n");
}

// Only --suggest-types changes the script; --explain and --strict read the
// inputs first but write the same bytes.
TEST(SuggestedTypes, ExplainAndStrictLeaveTheScriptAsItWas)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", typedCsv(','));
    const auto plain = runCli({"-H", "-m", csv.string()});
    ASSERT_EQ(plain.status, kExitOk);
    EXPECT_EQ(plain.err, "");
    for (const char* option : {"--explain", "--strict"}) {
        const auto run = runCli({"-H", "-m", option, csv.string()});
        EXPECT_EQ(run.status, kExitOk) << option;
        EXPECT_TRUE(run.out == plain.out) << option;
    }
    const auto explained = runCli({"-H", "--explain", csv.string()});
    EXPECT_EQ(explained.err.rfind("column  type ", 0), 0u) << explained.err;
    std::istringstream lines(explained.err);
    std::string header;
    std::getline(lines, header);
    std::vector<std::string> id(6);
    lines >> id[0] >> id[1] >> id[2] >> id[3] >> id[4] >> id[5];
    EXPECT_EQ(id, (std::vector<std::string>{"id", "smallint", "30000", "0", "5", "5"})) << explained.err;
}

// A long script that commits every row gets one note under --explain naming
// the forms that load it fast; the script stays as asked.
TEST(SuggestedTypes, ExplainNamesTheFastFormsForALongScriptThatCommitsEveryRow)
{
    TempDir dir;
    auto rows = [&](const char* name, int count) {
        std::string csv = "id,name\r\n";
        for (int i = 0; i < count; ++i)
            csv += std::to_string(i) + ",n" + std::to_string(i) + "\r\n";
        return dir.write(name, csv).string();
    };
    const std::string many = rows("many.csv", 6000);
    // The second file's header line is a row of the table: 6,000 + 1 + 4,000.
    const std::string more = rows("more.csv", 4000);
    const std::string limit = rows("limit.csv", 10000);
    const std::string insertNote = "quarrow-cli: note: 10001 rows, one INSERT each and no transaction: the database "
                                   "commits every row, which loads slowly; --transaction -m loads it fast (the script "
                                   "is written as asked)\n";
    const std::string copyNote = "quarrow-cli: note: 10001 rows, one INSERT each and no transaction: the database "
                                 "commits every row, which loads slowly; --copy loads it fastest, --transaction -m "
                                 "fast (the script is written as asked)\n";
    const struct {
        std::vector<std::string> args;
        std::string note; // empty: none
    } cases[] = {
        {{"-d", "sqlite", many, more}, insertNote},
        {{"-d", "mysql", many, more}, insertNote},
        {{"-d", "postgresql", many, more}, copyNote},
        {{"-d", "sqlite", limit}, ""},
        {{"-d", "sqlite", "-m", many, more}, ""},
        {{"-d", "sqlite", "--transaction", many, more}, ""},
        {{"-d", "postgresql", "--copy", many, more}, ""},
        {{"-d", "access", many, more}, ""},
        {{"-d", "oracle", many, more}, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"-H", "-q", "--explain"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto explained = runCli(args);
        ASSERT_EQ(explained.status, kExitOk) << explained.err;
        const std::size_t at = explained.err.find("quarrow-cli: note:");
        EXPECT_EQ(at == std::string::npos ? std::string() : explained.err.substr(at), c.note) << c.args[1];

        args.erase(args.begin() + 2);
        const auto plain = runCli(args);
        EXPECT_EQ(plain.err, "") << c.args[1];
        EXPECT_TRUE(plain.out == explained.out) << c.args[1];
    }
}

TEST(StructureWarnings, CountedPerFileOnStderrAndRefusedUnderStrict)
{
    TempDir dir;
    std::string longer = "a,b\r\n";
    for (int i = 0; i < 8; ++i)
        longer += "1,2,3\r\n";
    const auto first = dir.write("first.csv", longer);
    const auto second = dir.write("second.csv", "1\r\n1,2\r\n\r\n");
    const std::string expected =
        "quarrow-cli: warning: 8 rows have more fields than the 2 columns (the extra fields are not written): "
        + first.string() + " lines 2, 3, 4, 5, 6 and 3 more\n"
        + "quarrow-cli: warning: 2 rows have fewer fields than the 2 columns (the missing ones are written empty): "
        + second.string() + " lines 1, 3\n";
    for (const bool twice : {false, true}) {
        std::vector<std::string> args = {"-H", "-q", first.string(), second.string()};
        if (twice)
            args.push_back("--suggest-types");
        const auto run = runCli(args);
        EXPECT_EQ(run.status, kExitOk);
        EXPECT_EQ(run.err, expected);
        EXPECT_NE(run.out.find("('1','2');"), std::string::npos);
    }

    const auto target = dir.path() / "out.sql";
    const auto strict = runCli({"-H", "--strict", "-o", target.string(), first.string(), second.string()});
    EXPECT_EQ(strict.status, kExitFailure);
    EXPECT_EQ(strict.out, "");
    EXPECT_NE(strict.err.find("8 rows have more fields"), std::string::npos) << strict.err;
    EXPECT_FALSE(std::filesystem::exists(target));
    const auto toStdout = runCli({"-H", "--strict", first.string()});
    EXPECT_EQ(toStdout.status, kExitFailure);
    EXPECT_EQ(toStdout.out, "");
}

// The writing pass counts each batch's rows on its worker and adds the
// counts up in order: over many batches, a line longer than a batch may be
// and several files, the warnings are those of the first reading, which
// counts every line in order, the earliest lines first.
TEST(StructureWarnings, WritingPassCountsEveryBatchInOrder)
{
    TempDir dir;
    std::string text = "a,b\r\n";
    for (int line = 2; line <= 40001; ++line) {
        if (line == 25000)
            text += "x," + std::string(std::size_t{5} << 20, 'y') + ",z\r\n";
        else if (line == 3 || (line >= 16385 && line <= 16387) || line == 30000 || line == 40001)
            text += "1,2,3\r\n";
        else if (line % 9000 == 0)
            text += "1\r\n";
        else
            text += "1,2\r\n";
    }
    const auto many = dir.write("many.csv", text);
    const auto empty = dir.write("empty.csv", "");
    const auto last = dir.write("last.csv", "1,2\r\n\"1\"\r\n");
    struct Reading {
        const char* name;
        std::vector<std::string> args;
    };
    const Reading readings[] = {{"utf-8", {}}, {"exact", {"--rfc4180"}}, {"ansi", {"-e", "ansi"}}};
    for (const auto& reading : readings) {
        SCOPED_TRACE(reading.name);
        std::vector<std::string> args = {"-H", "-q", "-o", (dir.path() / "out.sql").string()};
        args.insert(args.end(), reading.args.begin(), reading.args.end());
        args.insert(args.end(), {many.string(), empty.string(), last.string()});
        const auto plain = runCli(args);
        ASSERT_EQ(plain.status, kExitOk) << plain.err;
        EXPECT_NE(plain.err.find("7 rows have more fields than the 2 columns (the extra fields are not written): "
                                 + many.string() + " lines 3, 16385, 16386, 16387, 25000 and 2 more\n"),
                  std::string::npos)
            << plain.err;
        EXPECT_NE(plain.err.find("5 rows have fewer fields"), std::string::npos) << plain.err;
        EXPECT_NE(plain.err.find(many.string() + " lines 9000, 18000, 27000, 36000"), std::string::npos) << plain.err;
        EXPECT_NE(plain.err.find(last.string() + " line 2"), std::string::npos) << plain.err;
        args.push_back("--suggest-types");
        const auto twice = runCli(args);
        ASSERT_EQ(twice.status, kExitOk) << twice.err;
        EXPECT_EQ(plain.err, twice.err);
    }
}

// The one profiler that sees every line in order, as the first reading was
// made before it was cut into batches.
TableProfile profiledInOneGo(const ConverterOptions& o)
{
    ProfilingSink sink(o.script, false);
    for (const auto& path : o.inputs) {
        sink.startFile(path.string());
        readLines(path, o.script.encoding, sink, nullptr, {o.script.exactQuoting, o.script.separator});
    }
    return sink.profile();
}

// The first reading profiles batches of lines on worker threads and adds
// them up in order: whatever the batch size, the result is what one
// profiler gives. Kinds are ruled out in different batches and files, an
// empty file lies between others, and lines longer than a reading block
// reach the batches in pieces.
TEST(FirstReading, BatchesAddUpToWhatOneProfilerSees)
{
    TempDir dir;
    const std::string longText(3 * kReadBlockSize, 'w');
    const auto first = dir.write("first.csv", "id,amount,day,note\r\n1,2.5,2023-01-01,a\r\n2,3,2023-01-02,\r\n"
                                              "3,4,"
                                                  + longText + ",b\r\n4,5.25,2023-01-04 10:00:00,c\r\n");
    const auto empty = dir.write("empty.csv", "");
    const auto second = dir.write("second.csv", "5,6,2023-01-05,\"d, e\"\r\n6," + longText
                                                    + "1,,f\r\n"
                                                      "7x,7,2023-01-07,g,extra\r\n8\r\n9,0.5,2023-02-30,\xc3\xa9\r\n");
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("10,1e5,2023-01-10,h\r\n11,2,,i\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    const auto third = dir.write("third.csv", utf16);
    const auto exact = dir.write("exact.csv", "id,note\r\n1,\"two\r\nlines\"\r\n2x,b\r\n3,\"" + longText + "\"\r\n");
    const auto tabs = dir.write("tabs.csv", "a\tb\r\n1\t2\r\n3\t4.5\r\nx\ty\r\n");

    struct Case {
        const char* name;
        std::vector<std::filesystem::path> files;
        TextEncoding encoding;
        char16_t separator;
        bool exactQuoting;
    };
    const Case cases[] = {
        {"utf-8 as it is", {first, empty, second, third}, TextEncoding::Utf8, u',', false},
        {"ansi", {first, empty, second}, TextEncoding::Ansi, u',', false},
        {"a separator beyond ASCII", {tabs, first}, TextEncoding::Utf8, u'\u00A7', false},
        {"tab", {tabs}, TextEncoding::Utf8, u'\t', false},
        {"exact quoting", {exact, first}, TextEncoding::Utf8, u',', true},
    };
    for (const auto& c : cases) {
        ConverterOptions o;
        o.inputs = c.files;
        o.script.headerLine = true;
        o.script.encoding = c.encoding;
        o.script.separator = c.separator;
        o.script.exactQuoting = c.exactQuoting;
        const TableProfile expected = profiledInOneGo(o);
        for (const std::size_t batchLines : {std::size_t{1}, std::size_t{2}, std::size_t{3}, kBatchLines}) {
            SCOPED_TRACE(std::string(c.name) + ", batches of " + std::to_string(batchLines) + " lines");
            std::atomic<std::uint64_t> bytesRead{0};
            const InputProfile read = profileInputs(o, bytesRead, nullptr, batchLines);
            ASSERT_FALSE(read.error) << *read.error;
            ASSERT_TRUE(read.started);
            EXPECT_TRUE(read.profile == expected);
            EXPECT_EQ(describeStructure(read.profile, read.columns.names.size()),
                      describeStructure(expected, read.columns.names.size()));
        }
    }

    // The line numbers themselves, after lines that came in pieces.
    ConverterOptions o;
    o.inputs = {first, empty, second};
    o.script.headerLine = true;
    std::atomic<std::uint64_t> bytesRead{0};
    const InputProfile read = profileInputs(o, bytesRead, nullptr, 2);
    const auto& columns = read.profile.columns;
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(read.profile.where(columns[0].ruledOutBy[0]), "line 3 of " + second.string());
    EXPECT_EQ(read.profile.where(columns[1].ruledOutBy[2]), "line 2 of " + first.string());
    EXPECT_EQ(read.profile.where(columns[2].ruledOutBy[2]), "line 4 of " + first.string());
    EXPECT_EQ(columns[2].ruledOutBy[3].value, "wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww...");
    EXPECT_EQ(read.profile.files[2].firstShortLines, std::vector<std::uint64_t>{4});
    EXPECT_EQ(read.profile.files[2].firstLongLines, std::vector<std::uint64_t>{3});
}

TEST(FirstReading, ReadFailureStopsItWithTheFileAndLine)
{
    TempDir dir;
    const auto good = dir.write("good.csv", "a\r\n1\r\n");
    const auto bad = dir.write("bad.csv", "2\r\n3\r\ncaf\xE9\r\n");
    ConverterOptions o;
    o.inputs = {good, bad, good};
    for (const std::size_t batchLines : {std::size_t{1}, kBatchLines}) {
        std::atomic<std::uint64_t> bytesRead{0};
        const InputProfile read = profileInputs(o, bytesRead, nullptr, batchLines);
        ASSERT_TRUE(read.error);
        EXPECT_EQ(read.error->rfind("File load error! ", 0), 0u) << *read.error;
        EXPECT_NE(read.error->find("bad.csv"), std::string::npos) << *read.error;
    }
}

TEST(SuggestedTypes, ReadFailureInTheFirstReadingWritesNothing)
{
    TempDir dir;
    const auto csv = dir.write("bad.csv", "a\r\n1\r\ncaf\xE9\r\n");
    const auto target = dir.write("out.sql", "previous script");
    const auto run = runCli({"--suggest-types", "-o", target.string(), csv.string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("File load error!"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad.csv"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(target), "previous script");
}

} // namespace
} // namespace quarrow::cli
