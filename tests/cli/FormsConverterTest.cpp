#include "tests/cli/RunCli.h"
#include "tests/support/TempDir.h"

#include "cli/Converter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace quarrow::cli {
namespace {

using test::readFile;
using test::runCli;
using test::TempDir;

// Amounts and dates as a German export writes them, some in no form, over
// many reading batches and across the 4096-byte block boundary.
std::string germanCsv()
{
    std::string csv = "name;amount;day;at\r\n";
    for (int i = 0; i < 30000; ++i) {
        csv += (i % 4 == 0 ? "M\xC3\xBCller \"" + std::to_string(i) + "\"" : "n" + std::to_string(i)) + ";";
        csv += i % 97 == 0
                   ? "1.5x"
                   : std::to_string(1 + i % 999) + "." + std::to_string(100 + i % 900) + "," + std::to_string(i % 10);
        csv +=
            ";" + std::to_string(1 + i % 28) + "." + std::to_string(1 + i % 12) + "." + std::to_string(1990 + i % 30);
        csv += i % 13 == 0 ? ";" : ";31.12.2024 " + std::to_string(1 + i % 12) + ":0" + std::to_string(i % 10) + " PM";
        csv += "\r\n";
    }
    return csv;
}

const std::vector<std::u16string> kTypes{u"text", u"decimal(12,2)", u"date", u"timestamp"};

struct Written {
    std::string bytes;
    std::string warnings;
};

// The window's writer: a workspace loaded as the window loads it.
Written viaWorkspace(const std::filesystem::path& file, const ScriptOptions& script)
{
    Workspace workspace;
    workspace.load(file, loadOptionsFor(script));
    for (std::size_t i = 0; i < kTypes.size(); ++i)
        workspace.replaceType(i, kTypes[i]);
    StringSink sink;
    const ExportResult result = Donustur(workspace, script, sink);
    std::vector<std::string> names{"name", "amount", "day", "at"};
    return {sink.bytes, describeMisfits(result.misfits, names, script.forms)};
}

Written viaConverter(const std::filesystem::path& file, const ScriptOptions& script)
{
    ConverterOptions o;
    o.inputs = {file};
    o.script = script;
    o.profileTypes = kTypes;
    o.quiet = true;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(convert(o, out, err, false), kExitOk) << err.str();
    // Only the misfit lines, without the program's prefix.
    std::string warnings;
    std::istringstream lines(err.str());
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" not in the form ") != std::string::npos)
            warnings += line.substr(line.find("column ")) + "\n";
    }
    return {out.str(), warnings};
}

// One formatting path: the converter's streaming batches give the window
// writer's bytes and the same misfits, in every form of statement.
TEST(FormsConverter, StreamingMatchesTheWorkspaceWriter)
{
    TempDir dir;
    const auto file = dir.write("de.csv", germanCsv());
    struct Case {
        Dialect dialect;
        bool multiRow;
        bool copy;
        bool exact;
    };
    for (const Case c : {Case{Dialect::MySql, false, false, false}, Case{Dialect::PostgreSql, true, false, false},
                         Case{Dialect::PostgreSql, false, true, false}, Case{Dialect::MsSql, true, false, false},
                         Case{Dialect::Sqlite, false, false, true}, Case{Dialect::Oracle, true, false, false},
                         Case{Dialect::Oracle, false, false, true}, Case{Dialect::Access, false, false, false}}) {
        ScriptOptions script;
        script.dialect = c.dialect;
        script.separator = u';';
        script.headerLine = true;
        script.multiRow = c.multiRow;
        script.copy = c.copy;
        script.exactQuoting = c.exact;
        script.nullEmpty = true;
        script.forms = {DecimalMark::Comma, GroupMark::Point, DateOrder::Dmy};
        SCOPED_TRACE(std::string(dialectInfo(c.dialect).identifier) + (c.copy ? " copy" : "")
                     + (c.exact ? " exact" : ""));
        const Written window = viaWorkspace(file, script);
        const Written converter = viaConverter(file, script);
        EXPECT_TRUE(window.bytes == converter.bytes);
        EXPECT_EQ(window.warnings, converter.warnings);
        if (c.dialect == Dialect::Access) {
            // Dates only: U.S. date literals; the rest as the file has it.
            EXPECT_NE(window.bytes.find(",#2/2/1991#,"), std::string::npos);
            EXPECT_NE(window.bytes.find("'2.101,1'"), std::string::npos);
            EXPECT_NE(window.bytes.find("'31.12.2024 2:01 PM'"), std::string::npos);
            continue;
        }
        if (c.dialect == Dialect::Oracle) {
            // Typed literals, never the plain form quoted.
            EXPECT_EQ(window.bytes.find("'1234.5'"), std::string::npos);
            EXPECT_NE(window.bytes.find(",2101.1,DATE '1991-02-02',TIMESTAMP '2024-12-31 14:01:00')"),
                      std::string::npos);
            EXPECT_NE(window.warnings.find("column 2 (amount): 310 values not in the form"), std::string::npos)
                << window.warnings;
            continue;
        }
        EXPECT_NE(window.bytes.find(c.copy ? "\t2101.1\t" : "'2101.1'"), std::string::npos);
        EXPECT_NE(window.bytes.find(c.copy ? "\t2024-12-31 13:00:00" : "2024-12-31"), std::string::npos);
        EXPECT_NE(window.warnings.find("column 2 (amount): 310 values not in the form"), std::string::npos)
            << window.warnings;
    }
}

// Oracle reads the typed literals whatever its NLS settings: the one
// command types its decimals and dates too.
TEST(FormsConverter, OneCommandTypesOracleDecimalsAndDates)
{
    TempDir dir;
    const auto csv = dir.write("bank.csv", "Kunde;Betrag;Datum\r\nM\xC3\xBCller;1,50;01.02.2024 10:00\r\n"
                                           "Schmidt;20,25;13.02.2024\r\n");
    const auto run = runCli({"-s", "auto", "-H", "auto", "--decimal", "auto", "--dates", "auto", "--suggest-types",
                             "-d", "oracle", "-q", csv.string()});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "\r\nCREATE TABLE NEW_TABLE (\r\nKunde varchar2(7),\r\nBetrag number(4,2),\r\n"
                       "Datum timestamp(0)\r\n);\r\n\r\n"
                       "INSERT INTO NEW_TABLE (Kunde,Betrag,Datum) VALUES\r\n"
                       "('M\xC3\xBCller',1.50,TIMESTAMP '2024-02-01 10:00:00');\r\n"
                       "INSERT INTO NEW_TABLE (Kunde,Betrag,Datum) VALUES\r\n"
                       "('Schmidt',20.25,TIMESTAMP '2024-02-13 00:00:00');\r\n");
}

TEST(FormsConverter, OneCommandTypesADecimalCommaDayFirstFile)
{
    TempDir dir;
    const auto csv = dir.write("bank.csv", "Kunde;Betrag;Datum\r\nM\xC3\xBCller;1,50;01.02.2024\r\n"
                                           "Schmidt;20,25;13.02.2024\r\n");
    const auto run = runCli({"-s", "auto", "-H", "auto", "--decimal", "auto", "--dates", "auto", "--suggest-types",
                             "-d", "postgresql", csv.string()});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "\r\nCREATE TABLE NEW_TABLE (\r\nKunde text,\r\nBetrag numeric(4,2),\r\nDatum date\r\n);\r\n\r\n"
                       "INSERT INTO NEW_TABLE (Kunde,Betrag,Datum) VALUES\r\n('M\xC3\xBCller','1.50','2024-02-01');\r\n"
                       "INSERT INTO NEW_TABLE (Kunde,Betrag,Datum) VALUES\r\n('Schmidt','20.25','2024-02-13');\r\n");
    EXPECT_NE(run.err.find("quarrow-cli: numbers: decimal comma (detected: decimal comma in '1,50' (line 2))"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("quarrow-cli: dates: day.month.year (detected: "), std::string::npos) << run.err;

    // Not chosen: text as today, and --explain says what would type them.
    const auto plain = runCli({"-s", ";", "-H", "--explain", "-d", "postgresql", "-q", csv.string()});
    ASSERT_EQ(plain.status, kExitOk) << plain.err;
    EXPECT_NE(plain.err.find("with decimal comma: numeric(4,2)"), std::string::npos) << plain.err;
    EXPECT_NE(plain.err.find("with day.month.year: date"), std::string::npos) << plain.err;

    // --detect prints the options that give them.
    const auto detect = runCli({"--detect", csv.string()});
    EXPECT_NE(detect.out.find("numbers: decimal comma\n  decimal comma in '1,50' (line 2)\n"), std::string::npos)
        << detect.out;
    EXPECT_NE(detect.out.find("options: -s ';' -H -e utf8 --decimal comma --dates dmy\n"), std::string::npos)
        << detect.out;
}

TEST(FormsConverter, ProfilesKeepTheFormsAndOptionsWin)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "a;b\r\n1.234,5;01.02.2024\r\n");
    const auto types = dir.write("t.txt", "decimal(10,2)\r\ndate\r\n");
    const auto profile = dir.path() / "p.toml";
    const auto first = runCli({"-s", ";", "-H", "--decimal", "comma", "--group", ".", "--dates", "dmy", "--types",
                               types.string(), "--save-profile", profile.string(), "-q", csv.string()});
    ASSERT_EQ(first.status, kExitOk) << first.err;
    EXPECT_NE(first.out.find("('1234.5','2024-02-01')"), std::string::npos) << first.out;
    const std::string saved = readFile(profile);
    EXPECT_NE(saved.find("decimal = \"comma\""), std::string::npos) << saved;
    const auto again = runCli({"--profile", profile.string(), "-q", csv.string()});
    EXPECT_EQ(again.out, first.out);
    // Turned off on the command line: as the file has them.
    const auto off =
        runCli({"--profile", profile.string(), "--decimal", "none", "--dates", "none", "-q", csv.string()});
    EXPECT_NE(off.out.find("('1.234,5','01.02.2024')"), std::string::npos) << off.out;
}

TEST(FormsConverter, BadFormsAreUsageErrors)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\r\n").string();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--decimal", "Comma", csv},
                                                 {"--decimal", "comma", "--group", ",", csv},
                                                 {"--decimal", "point", "--group", ".", csv},
                                                 {"--group", ".", csv},
                                                 {"--dates", "dm", csv}}) {
        const auto run = runCli(args);
        EXPECT_EQ(run.status, kExitUsage) << args[1] << " " << run.err;
    }
    // Access has a literal for dates only: the rest is said to stay as it is.
    const auto access = runCli({"--decimal", "comma", "-d", "access", "-q", csv});
    EXPECT_EQ(access.status, kExitOk);
    EXPECT_NE(access.err.find("access reads decimals and date-times by its own settings"), std::string::npos)
        << access.err;
    const auto oracle = runCli({"--decimal", "comma", "-d", "oracle", "-q", csv});
    EXPECT_EQ(oracle.status, kExitOk);
    EXPECT_EQ(oracle.err, "");
}

} // namespace
} // namespace quarrow::cli
