#include "TempDir.h"
#include "RunCli.h"

#include "Converter.h"
#include "QuarrowCli.h"
#include "profile/TypeSuggestion.h"
#include "profile/WorkspaceProfile.h"
#include "sql/Donustur.h"
#include "workspace/Workspace.h"

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
    const auto profile = profileWorkspace(workspace, o.script.separator, o.script.headerLine);
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
