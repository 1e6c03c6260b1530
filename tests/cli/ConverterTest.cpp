#include "tests/support/TempDir.h"
#include "tests/cli/RunCli.h"
#include "tests/cli/ScriptTargets.h"

#include "cli/Converter.h"
#include "cli/QuarrowCli.h"
#include "engine/settings/ConversionProfile.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/types/TypeListFile.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <set>

#include "cli/InterruptCleanup.h"

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <random>
#include <sstream>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace quarrow::cli {
namespace {

using test::readFile;
using test::TempDir;

using test::Run;
using test::runCli;

struct Script {
    std::string bytes;
    std::uint64_t substituted = 0; // characters ANSI could not hold
};

// What the writer makes of a workspace loaded file by file, as the window does.
Script viaWorkspace(const std::vector<std::filesystem::path>& files, const ConverterOptions& o)
{
    Workspace workspace;
    for (const auto& f : files)
        workspace.load(f, loadOptionsFor(o.script));
    StringSink sink;
    const ExportResult result = Donustur(workspace, o.script, sink);
    return {sink.bytes, result.substituted};
}

Script viaConverter(const std::vector<std::filesystem::path>& files, ConverterOptions o)
{
    o.inputs = files;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(convert(o, out, err, false), kExitOk) << err.str();
    // "quarrow-cli: warning: N characters could not be written in ANSI ..."
    std::uint64_t substituted = 0;
    const std::string warning = err.str();
    if (const auto line = warning.find(" could not be written in ANSI"); line != std::string::npos) {
        const auto at = warning.rfind("warning: ", line);
        substituted = std::stoull(warning.substr(at + 9));
    }
    return {out.str(), substituted};
}

// A larger file: several reading batches, values that need escaping,
// non-ASCII text, short and long rows, empty lines, a header line.
std::string largeCsv()
{
    std::string csv = "id,name,note,\"city, country\"\r\n";
    for (int i = 0; i < 40000; ++i) {
        csv += std::to_string(i) + ",";
        csv += (i % 3 == 0) ? "O'Brien\\" : (i % 3 == 1 ? "\"Zo\xC3\xAB \"\"Z\"\"\"" : "\xE4\xB8\xAD\xE6\x96\x87");
        if (i % 7 != 0)
            csv += ",note " + std::to_string(i * 31) + ",";
        if (i % 11 == 0)
            csv += "\r\n";
        csv += (i % 5 == 0) ? "\n" : "\r\n";
    }
    return csv;
}

// UTF-16 LE with its mark: text that the converter cannot keep as UTF-8.
std::string utf16Csv()
{
    const std::u16string text = u"name,note\r\nZo\u00eb,\U0001F600 \"q\"\r\n\u4e2d\u6587,'x'\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// Rows of very different lengths, some longer than a statement may be and
// than a reading batch, so that statements are cut at many places relative
// to the batches.
std::string sizedCsv()
{
    std::mt19937 random(11);
    std::string csv = "id,text\r\n";
    for (int i = 0; csv.size() < 5'000'000; ++i) {
        const std::size_t size = i % 50 == 49 ? 600'000 + random() % 700'000 : random() % 20'000;
        csv += std::to_string(i) + ",\"" + std::string(size, static_cast<char>('a' + i % 26)) + "'\xC3\xA9\"\r\n";
    }
    return csv;
}

// Lines of 32,768 characters, 16 to a reading batch of 2^19, whose value
// lines (the 8 trailing blanks trimmed) are 32,767 bytes: 32 rows fill a
// statement, so the cut falls on the first row of a batch.
std::string batchAlignedCsv()
{
    std::string csv = "c\r\n";
    for (int i = 0; i < 100; ++i)
        csv += std::string(32'760, static_cast<char>('a' + i % 26)) + std::string(8, ' ') + "\r\n";
    return csv;
}

// A line longer than a whole batch, and a CR LF cut by the 4096-byte
// reading block, a non-ASCII character cut by it too.
std::string longLineCsv()
{
    std::string csv = "a,b\r\n";
    csv += std::string(4095 - csv.size(), 'x') + "\r\n";
    csv += std::string(8191 - csv.size(), 'y') + "\xC3\xA9,1\r\n";
    csv += std::string(700000, 'z') + ",\xE4\xB8\xAD\r\n";
    csv += "last,row";
    return csv;
}

TEST(ConverterEquivalence, StreamingMatchesTheWorkspaceWriter)
{
    TempDir dir;
    const auto big = dir.write("big.csv", largeCsv());
    const auto marked = dir.write("marked.csv", "\xEF\xBB\xBF" + largeCsv());
    const auto small = dir.write("small.csv", "a;b\r\nx;y\r\n");
    const auto empty = dir.write("empty.csv", "");
    const auto utf16 = dir.write("utf16.csv", utf16Csv());
    const auto longLine = dir.write("long.csv", longLineCsv());
    const auto ansi = dir.write("ansi.csv", "a,b\r\n\x80\xE9,\xFF'\\\r\n");
    const auto sized = dir.write("sized.csv", sizedCsv());
    const auto aligned = dir.write("aligned.csv", batchAlignedCsv());
    // Names repeated outright, in other letter case, against an empty
    // field's generated name, and (in ANSI) written alike.
    const auto repeated = dir.write("repeated.csv", "id,ID,a,a,a_2,,COLUMN6,city\r\n" + largeCsv());
    const auto alikeInAnsi =
        dir.write("alike.csv", "\xEF\xBB\xBF\xE4\xB8\xAD,\xE6\x96\x87,\xC5\x82,L\r\n" + largeCsv());
    struct Row {
        const char* name;
        std::vector<std::filesystem::path> files;
        Dialect dialect;
        bool header;
        bool nullEmpty;
        bool multiRow;
        TextEncoding encoding;
        char16_t separator = u',';
        bool transaction = false;
        bool copy = false;
    };
    const std::vector<Row> rows = {
        {"mysql plain", {big}, Dialect::MySql, true, false, false, TextEncoding::Utf8},
        {"mssql multi null", {big}, Dialect::MsSql, true, true, true, TextEncoding::Utf8},
        {"sqlite no header", {big}, Dialect::Sqlite, false, false, true, TextEncoding::Utf8},
        {"postgresql ansi", {big}, Dialect::PostgreSql, true, true, false, TextEncoding::Ansi},
        {"three files", {empty, big, small, big}, Dialect::Oracle, true, false, true, TextEncoding::Utf8},
        {"mark, long line, cut breaks", {marked, longLine}, Dialect::MySql, true, false, false, TextEncoding::Utf8},
        {"utf-16 among utf-8", {big, utf16, small, utf16}, Dialect::MsSql, true, true, true, TextEncoding::Utf8},
        {"utf-16 first", {utf16, big}, Dialect::MySql, true, false, false, TextEncoding::Utf8},
        {"ansi bytes, utf-8 mark", {ansi, marked}, Dialect::MsSql, true, false, false, TextEncoding::Ansi},
        {"semicolon", {big, small}, Dialect::IbmDb2, true, false, false, TextEncoding::Utf8, u';'},
        {"quote as separator", {big}, Dialect::PostgreSql, false, true, false, TextEncoding::Utf8, u'"'},
        {"mysql statements cut by size", {big, sized, big}, Dialect::MySql, true, false, true, TextEncoding::Utf8},
        {"db2 statements cut, ansi", {sized, ansi, big}, Dialect::IbmDb2, true, true, true, TextEncoding::Ansi},
        {"db2 statements cut, utf-16 among",
         {sized, utf16, big},
         Dialect::IbmDb2,
         true,
         false,
         true,
         TextEncoding::Utf8},
        {"db2 cut at a batch's first row", {aligned}, Dialect::IbmDb2, true, false, true, TextEncoding::Utf8},
        {"access multi-row", {big, small}, Dialect::Access, true, false, true, TextEncoding::Utf8},
        {"repeated names", {repeated, small}, Dialect::Sqlite, true, false, true, TextEncoding::Utf8},
        {"after an empty file", {empty, repeated}, Dialect::MySql, true, true, false, TextEncoding::Utf8},
        {"names alike in ansi", {alikeInAnsi}, Dialect::MsSql, true, false, false, TextEncoding::Ansi},
        {"sqlite transaction, cut", {big, sized}, Dialect::Sqlite, true, false, true, TextEncoding::Utf8, u',', true},
        {"mysql transaction", {empty, big, small}, Dialect::MySql, true, true, false, TextEncoding::Utf8, u',', true},
        {"access transaction", {big}, Dialect::Access, true, false, true, TextEncoding::Ansi, u',', true},
        {"postgresql copy",
         {marked, utf16, longLine},
         Dialect::PostgreSql,
         true,
         true,
         true,
         TextEncoding::Utf8,
         u',',
         true,
         true},
        {"postgresql copy, ansi",
         {big, ansi},
         Dialect::PostgreSql,
         false,
         false,
         false,
         TextEncoding::Ansi,
         u';',
         false,
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ConverterOptions o;
        o.script.dialect = row.dialect;
        o.script.headerLine = row.header;
        o.script.nullEmpty = row.nullEmpty;
        o.script.multiRow = row.multiRow;
        o.script.encoding = row.encoding;
        o.script.separator = row.separator;
        o.script.transaction = row.transaction;
        o.script.copy = row.copy;
        o.script.tableName = u"t\u2603"; // substituted in ANSI, in every INSERT header
        const Script expected = viaWorkspace(row.files, o);
        const Script actual = viaConverter(row.files, o);
        ASSERT_GT(expected.bytes.size(), 1000u);
        EXPECT_TRUE(actual.bytes == expected.bytes)
            << "converter output differs from the writer's (" << actual.bytes.size() << " vs " << expected.bytes.size()
            << " bytes)";
        EXPECT_EQ(actual.substituted, expected.substituted);
    }
}

// The bench files' first megabytes (ASCII, international text, 200 short
// columns), written by the window's writer from its row store and by the
// converter, in every database and both output encodings: the store keeps
// rows in several forms, and each must give the same script.
TEST(ConverterEquivalence, BenchFilesGiveTheSameScriptInEveryDialectAndEncoding)
{
#ifndef QUARROW_GEN_CSV
    GTEST_SKIP() << "the bench files' generator is not built";
#else
    TempDir dir;
    std::vector<std::filesystem::path> files;
    for (const char* profile : {"ascii", "intl", "wide"}) {
        const auto path = dir.path() / (std::string(profile) + ".csv");
        const std::string command =
            std::string(QUARROW_GEN_CSV) + " " + profile + " 1 " + path.string() + " > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        files.push_back(path);
    }
    for (const auto& file : files) {
        for (const auto& info : quarrow::kDialects) {
            for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Ansi}) {
                SCOPED_TRACE(file.filename().string() + ", " + std::string(info.identifier)
                             + (encoding == TextEncoding::Utf8 ? ", UTF-8" : ", ANSI"));
                ConverterOptions o;
                o.script.dialect = info.dialect;
                o.script.headerLine = true;
                o.script.encoding = encoding;
                // Every other database with multi-row statements and NULL for empty cells.
                o.script.multiRow = o.script.nullEmpty = info.position % 2 == 1;
                const Script expected = viaWorkspace({file}, o);
                const Script actual = viaConverter({file}, o);
                ASSERT_GT(expected.bytes.size(), 1'000'000u);
                EXPECT_TRUE(actual.bytes == expected.bytes)
                    << "converter output differs from the window's (" << actual.bytes.size() << " vs "
                    << expected.bytes.size() << " bytes)";
                EXPECT_EQ(actual.substituted, expected.substituted);
            }
        }
    }
#endif
}

// Lines far longer than a batch, several in a row and more than the reading
// may hold at once (as UTF-16 text above all): each is formatted on its own
// while the reading waits, and the script is the workspace writer's.
TEST(ConverterEquivalence, SeveralVeryLongLinesInARow)
{
    TempDir dir;
    std::string csv = "id,text\r\n1,short\r\n";
    for (int i = 0; i < 4; ++i)
        csv += std::to_string(10 + i) + ",'" + std::string(5'000'000, static_cast<char>('a' + i)) + "\xC3\xA9\r\n";
    csv += "2,short\r\n";
    const auto path = dir.write("long.csv", csv);
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Ansi}) {
        SCOPED_TRACE(encoding == TextEncoding::Utf8 ? "UTF-8" : "ANSI");
        ConverterOptions o;
        o.script.encoding = encoding;
        o.script.headerLine = true;
        const Script script = viaConverter({path}, o);
        EXPECT_GT(script.bytes.size(), 20'000'000u);
        const Script expected = viaWorkspace({path}, o);
        EXPECT_TRUE(script.bytes == expected.bytes) << "the scripts differ";
        EXPECT_EQ(script.substituted, expected.substituted);
    }
}

TEST(ConverterEquivalence, TypeListIsAppliedAfterLoading)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "a,b,c\r\n1,2,3\r\n");
    const auto types = dir.write("types.txt", "\xEF\xBB\xBF"
                                              "int\r\n\r\n");
    const auto run = runCli({"-H", "-d", "postgresql", "--types", types.string(), csv.string()});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_NE(run.out.find("\r\na int,\r\nb ,\r\nc text\r\n"), std::string::npos) << run.out;
}

TEST(ConverterOptionsParsing, OptionsReachTheScript)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\ty\r\n1\t\r\n");
    const auto run = runCli({"--header", "--separator", "\\t", "--database", "mssql", "--table", "dbo.T\xC3\xBC", "-n",
                             "-m", csv.string()});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "\r\nCREATE TABLE dbo.T\xC3\xBC (\r\n[x] nvarchar(max),\r\n[y] nvarchar(max)\r\n);\r\n\r\n"
                       "INSERT INTO dbo.T\xC3\xBC ([x],[y]) VALUES\r\n('1',NULL);\r\n");
}

TEST(ConverterOptionsParsing, BadUsageExitsTwoWithUsage)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\r\n").string();
    // clang-format off
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus", csv}, {"-d", "MySQL", csv}, {"-d", "db2", csv}, {"-s", "", csv},
        {"-e", "latin1", csv}, {}, {"-t"},
    };
    // clang-format on
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        SCOPED_TRACE(joined);
        const auto run = runCli(args);
        EXPECT_EQ(run.status, kExitUsage);
        EXPECT_NE(run.err.find("--database"), std::string::npos) << "usage expected on stderr: " << run.err;
        EXPECT_TRUE(run.out.empty());
    }
}

// The separator is one UTF-16 unit: a character beyond U+FFFF would split
// values between its halves. Refused before anything is read or written:
// the script that was there stays, and no profile is saved.
TEST(ConverterOptionsParsing, SeparatorBeyondUPlusFfffIsRefusedWhole)
{
    TempDir dir;
    const std::string smile = "\xF0\x9F\x98\x80"; // U+1F600
    const auto csv = dir.write("a.csv", "a" + smile + "b\r\n1" + smile + "2\r\n").string();
    const auto target = dir.write("out.sql", "previous script");
    const auto profile = dir.path() / "p.toml";
    struct Case {
        std::string separator;
        std::string message;
    };
    const std::vector<Case> cases{
        {smile, "--separator: the separator must be one character from U+0000 to U+FFFF (the Basic Multilingual "
                "Plane): "
                    + smile + " (U+1F600) lies beyond it"},
        {smile + ";", "(U+1F600) lies beyond it"},
        {"\xED\xA0\xBD", "not valid UTF-8"}, // a surrogate written as UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto run = runCli({"-s", c.separator, "-o", target.string(), "--save-profile", profile.string(), csv});
        EXPECT_EQ(run.status, kExitUsage);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(test::readFile(target), "previous script");
        EXPECT_FALSE(std::filesystem::exists(profile));
    }

    // A character of three UTF-8 bytes is one unit: it splits, and the saved
    // profile holds it.
    const std::string bullet = "\xE2\x80\xA2"; // U+2022
    const auto bullets = dir.write("b.csv", "a" + bullet + "b\r\n1" + bullet + "\xC3\xA9\r\n").string();
    const auto run = runCli({"-s", bullet, "-H", "--save-profile", profile.string(), bullets});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_NE(run.out.find("('1','\xC3\xA9')"), std::string::npos) << run.out;
    EXPECT_EQ(quarrow::readProfileFile(profile).script.separator, u'\u2022');
}

TEST(ConverterOptionsParsing, HelpAndVersion)
{
    auto run = runCli({"--version"});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_NE(run.out.find("2.1"), std::string::npos);
    run = runCli({"-h"});
    EXPECT_EQ(run.status, kExitOk);
    for (const char* option : {"--output", "--database", "--table", "--separator", "--header", "--encoding",
                               "--null-empty", "--multi-row", "--types", "--quiet", "--version"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

TEST(ConverterFailures, MissingFileWritesNothing)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\r\n1\r\n");
    const auto target = dir.path() / "out.sql";
    const auto run = runCli({"-o", target.string(), csv.string(), (dir.path() / "nope.csv").string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("nope.csv"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(ConverterFailures, DecodeFailureKeepsTheExistingFileAndLeavesNoTemporary)
{
    TempDir dir;
    std::string bad;
    for (int i = 0; i < 500; ++i)
        bad += "line " + std::to_string(i) + "\r\n";
    bad += "caf\xE9\r\n"; // Windows-1252, not UTF-8
    const auto csv = dir.write("bad.csv", bad);
    const auto target = dir.write("out.sql", "previous script");
    const auto run = runCli({"-o", target.string(), csv.string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("File load error!"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad.csv"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("invalid UTF-8"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad.csv: line 501: invalid UTF-8 at byte "), std::string::npos) << run.err;
    EXPECT_EQ(readFile(target), "previous script");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2u) << "a temporary file was left behind";

    // The same bytes read as ANSI convert.
    EXPECT_EQ(runCli({"-e", "ansi", "-o", target.string(), csv.string()}).status, kExitOk);
    EXPECT_NE(readFile(target).find("('caf\xE9');"), std::string::npos);
}

TEST(ConverterFailures, NoInput)
{
    TempDir dir;
    const auto empty = dir.write("empty.csv", "");
    const auto run = runCli({empty.string(), empty.string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("No input!"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
}

TEST(ConverterFailures, OutputFolderMissing)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\r\n");
    const auto run = runCli({"-o", (dir.path() / "no" / "out.sql").string(), csv.string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
}

TEST(ConverterFailures, TypeListUnreadable)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\r\n");
    const auto run = runCli({"--types", (dir.path() / "types.txt").string(), csv.string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("types.txt"), std::string::npos) << run.err;
}

TEST(ConverterWarnings, SubstitutedCharactersAreCounted)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "\xEF\xBB\xBF"
                                        "x\r\n\xC5\x82\xE4\xB8\xAD\r\n");
    const auto run = runCli({"-e", "ansi", csv.string()});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_NE(run.out.find("('l?');"), std::string::npos);
    EXPECT_NE(run.err.find("2 characters could not be written in ANSI"), std::string::npos) << run.err;
}

TEST(ConverterWarnings, ShortenedColumnNamesAreListed)
{
    TempDir dir;
    const std::string n(70, 'n');
    const auto csv = dir.write("a.csv", n + "," + n + "x,id\r\n1,2,3\r\n");
    struct Case {
        const char* database;
        std::string warning;
    };
    const Case cases[] = {
        {"mysql", "quarrow-cli: warning: 2 column names were shortened to the 64 characters that mysql takes:\n"
                  "  \""
                      + n + "\" -> \"" + std::string(64, 'n')
                      + "\"\n"
                        "  \""
                      + n + "x\" -> \"" + std::string(62, 'n') + "_2\"\n"},
        {"postgresql", "quarrow-cli: warning: 2 column names were shortened to the 63 bytes that postgresql takes:\n"
                       "  \""
                           + n + "\" -> \"" + std::string(63, 'n')
                           + "\"\n"
                             "  \""
                           + n + "x\" -> \"" + std::string(61, 'n') + "_2\"\n"},
        {"sqlite", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.database);
        const auto run = runCli({"-H", "-d", c.database, csv.string()});
        EXPECT_EQ(run.status, kExitOk);
        EXPECT_EQ(run.err, c.warning);
    }
}

TEST(ConverterWarnings, NamesWithCharactersTheDatabaseRefusesAreChangedAndListed)
{
    // Exact quoting keeps a double quote in a name; Oracle takes none.
    TempDir dir;
    const auto csv = dir.write("a.csv", "\"say \"\"hi\"\"\",say _hi_\r\n1,2\r\n");
    const auto run = runCli({"-H", "--rfc4180", "-d", "oracle", csv.string()});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_EQ(run.err, "quarrow-cli: warning: 1 column name was changed to names that oracle takes (a double quote or "
                       "NUL becomes _, at most 128 bytes):\n"
                       "  \"say \"hi\"\" -> \"say _hi__2\"\n");
    EXPECT_NE(run.out.find("CREATE TABLE NEW_TABLE (\r\n\"say _hi__2\" clob,\r\n\"say _hi_\" clob\r\n);"),
              std::string::npos)
        << run.out;
    // PostgreSQL takes the name as it is, its quote doubled.
    const auto postgres = runCli({"-H", "--rfc4180", "-d", "postgresql", csv.string()});
    EXPECT_EQ(postgres.err, "");
    EXPECT_NE(postgres.out.find("\"say \"\"hi\"\"\" text"), std::string::npos) << postgres.out;
}

TEST(ConverterWarnings, RepeatedNamesAreRenamedAndSaid)
{
    TempDir dir;
    // The control character must not reach a terminal as it is.
    const auto csv = dir.write("a.csv", "id,ID,Id,\"x\x1B[2J\",x\x1B[2J,a_2,a,a\r\n1,2,3,4,5,6,7,8\r\n");
    const auto run = runCli({"-H", "-q", csv.string()});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_NE(
        run.out.find("CREATE TABLE NEW_TABLE (\r\n`id` text,\r\n`ID_2` text,\r\n`Id_3` text,\r\n`x\x1B[2J` text,\r\n"
                     "`x\x1B[2J_2` text,\r\n`a_2` text,\r\n`a` text,\r\n`a_3` text\r\n);"),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("INSERT INTO NEW_TABLE (`id`,`ID_2`,`Id_3`,`x\x1B[2J`,`x\x1B[2J_2`,`a_2`,`a`,`a_3`) VALUES"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.err,
              "quarrow-cli: warning: column 2 \"ID\" renamed to \"ID_2\": it repeats an earlier column's name\n"
              "quarrow-cli: warning: column 3 \"Id\" renamed to \"Id_3\": it repeats an earlier column's name\n"
              "quarrow-cli: warning: column 5 \"x\\x1B[2J\" renamed to \"x\\x1B[2J_2\": it repeats an earlier "
              "column's name\n"
              "quarrow-cli: warning: column 8 \"a\" renamed to \"a_3\": it repeats an earlier column's name\n");

    // Without a header line the generated names never repeat.
    const auto plain = runCli({"-q", csv.string()});
    EXPECT_EQ(plain.status, kExitOk);
    EXPECT_EQ(plain.err, "");
}

// -o: where the script goes. The reference is the script on standard output.
class ConverterTargets : public test::ScriptTargets {
protected:
    // Nothing but the named entries in the folder: no temporary file left.
    void expectOnly(const std::filesystem::path& folder, std::set<std::string> names)
    {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            found.insert(entry.path().filename().string());
        EXPECT_EQ(found, names);
    }
};

TEST_F(ConverterTargets, DashMeansStandardOutput)
{
    const auto run = runCli({"-H", "-o", "-", m_csv.string()});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, m_script);
    expectOnly(m_dir.path(), {"a.csv"});
}

#ifndef _WIN32
// Links, FIFOs, devices and modes: Windows has its own tests of the target
// (tests/windows).
TEST_F(ConverterTargets, SymbolicLinksAreFollowedToTheFileTheyName)
{
    namespace fs = std::filesystem;
    const fs::path folder = m_dir.path();
    fs::create_directories(folder / "sub");
    m_dir.write("final.sql", "previous script");
    // One link, a chain of relative links across folders, and a link to a
    // name not yet taken.
    fs::create_symlink("final.sql", folder / "one.sql");
    fs::create_symlink("../one.sql", folder / "sub" / "two.sql");
    fs::create_symlink("sub/two.sql", folder / "three.sql");
    fs::create_symlink("new.sql", folder / "sub" / "dangling.sql");
    struct Case {
        fs::path link;
        fs::path target;
    };
    for (const Case& c :
         {Case{folder / "one.sql", folder / "final.sql"}, Case{folder / "three.sql", folder / "final.sql"},
          Case{folder / "sub" / "dangling.sql", folder / "sub" / "new.sql"}}) {
        SCOPED_TRACE(c.link.string());
        fs::remove(c.target);
        m_dir.write(c.target.lexically_relative(folder).string(), "previous script");
        if (c.link.filename() == "dangling.sql")
            fs::remove(c.target);
        const auto run = convertTo(c.link);
        EXPECT_EQ(run.status, kExitOk) << run.err;
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(c.link)));
        EXPECT_EQ(readFile(c.target), m_script);
    }
    EXPECT_EQ(fs::read_symlink(folder / "one.sql"), "final.sql");
    expectOnly(folder, {"a.csv", "final.sql", "one.sql", "sub", "three.sql"});
    expectOnly(folder / "sub", {"dangling.sql", "new.sql", "two.sql"});
}

TEST_F(ConverterTargets, LinkLoopFailsWithTheSystemsReason)
{
    namespace fs = std::filesystem;
    fs::create_symlink("b.sql", m_dir.path() / "a.sql");
    fs::create_symlink("a.sql", m_dir.path() / "b.sql");
    const auto run = convertTo(m_dir.path() / "a.sql");
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("Too many levels of symbolic links"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(m_dir.path() / "a.sql")));
    expectOnly(m_dir.path(), {"a.csv", "a.sql", "b.sql"});
}

TEST_F(ConverterTargets, FifoIsWrittenDirectly)
{
    const auto fifo = m_dir.path() / "pipe.sql";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(fifo); });
    const auto run = convertTo(fifo);
    reader.join();
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(received, m_script);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    expectOnly(m_dir.path(), {"a.csv", "pipe.sql"});
}

TEST_F(ConverterTargets, FifoBehindALinkIsWrittenDirectly)
{
    const auto fifo = m_dir.path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("pipe", m_dir.path() / "link.sql");
    std::string received;
    std::thread reader([&] { received = readFile(fifo); });
    const auto run = convertTo(m_dir.path() / "link.sql");
    reader.join();
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(received, m_script);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(m_dir.path() / "link.sql")));
    expectOnly(m_dir.path(), {"a.csv", "link.sql", "pipe"});
}

TEST_F(ConverterTargets, CharacterDevicesStayDevices)
{
    const auto run = convertTo("/dev/null");
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    for (const auto& entry : std::filesystem::directory_iterator("/dev"))
        EXPECT_NE(entry.path().filename().string().rfind(".null.", 0), 0u) << "left behind: " << entry.path();
}

TEST_F(ConverterTargets, ReplacedFileKeepsItsModeAndOwner)
{
    const auto target = m_dir.write("out.sql", "previous script");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    // Only a privileged run can give a file away; elsewhere the owner is ours anyway.
    const bool privileged = ::geteuid() == 0;
    if (privileged) {
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    }
    const auto run = convertTo(target);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(readFile(target), m_script);
    struct stat after {};
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    if (privileged) {
        EXPECT_EQ(after.st_uid, 65534u);
        EXPECT_EQ(after.st_gid, 65534u);
    }
    expectOnly(m_dir.path(), {"a.csv", "out.sql"});
}

TEST_F(ConverterTargets, NewFileGetsTheUsualMode)
{
    const auto target = m_dir.path() / "out.sql";
    const mode_t mask = ::umask(022);
    const auto run = convertTo(target);
    ::umask(mask);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    struct stat after {};
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0644u);
}

#endif

TEST_F(ConverterTargets, FolderIsRefused)
{
    std::filesystem::create_directory(m_dir.path() / "out.sql");
    const auto run = convertTo(m_dir.path() / "out.sql");
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("Is a directory"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.path() / "out.sql"));
    expectOnly(m_dir.path(), {"a.csv", "out.sql"});
}

#ifndef _WIN32
TEST_F(ConverterTargets, FullDiskFailsAndTheDeviceStays)
{
    const auto run = convertTo("/dev/full");
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("Cannot write /dev/full: No space left on device"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

// A signal that comes while the temporary file is being created and named
// to the clean-up waits until both are done.
int g_hangups = 0;
extern "C" void countHangup(int)
{
    ++g_hangups;
}

TEST(ConverterInterrupts, SignalsWaitWhileHeld)
{
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = countHangup;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGHUP, &action, &previous), 0);
    g_hangups = 0;
    {
        const InterruptsHeld held;
        std::raise(SIGHUP);
        EXPECT_EQ(g_hangups, 0);
    }
    EXPECT_EQ(g_hangups, 1);
    sigaction(SIGHUP, &previous, nullptr);
}

// The binary itself: exit statuses and a full disk on standard output (on
// Windows: tests/windows).
using test::shell;

TEST(ConverterBinary, ExitStatusesAndFullDisk)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\r\n1\r\n");
    const std::string cli = QUARROW_CLI_BINARY;
    EXPECT_EQ(shell(cli + " -q '" + csv.string() + "' >/dev/null 2>&1"), 0);
    EXPECT_EQ(shell(cli + " --nope '" + csv.string() + "' >/dev/null 2>&1"), 2);
    const auto err = dir.path() / "err.txt";
    EXPECT_EQ(shell(cli + " -q '" + csv.string() + "' >/dev/full 2>'" + err.string() + "'"), 1);
    EXPECT_NE(readFile(err).find("No space left on device"), std::string::npos) << readFile(err);
    // No progress display when stderr is not a terminal.
    EXPECT_EQ(shell(cli + " '" + csv.string() + "' >/dev/null 2>'" + err.string() + "'"), 0);
    EXPECT_EQ(readFile(err), "");
}

TEST(ConverterBinary, StandardOutputByNameIsWrittenNotReplaced)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\r\n1\r\n");
    const std::string cli = QUARROW_CLI_BINARY;
    const auto expected = dir.path() / "expected.sql";
    ASSERT_EQ(shell(cli + " -q '" + csv.string() + "' >'" + expected.string() + "'"), 0);
    // Standard output a file, a pipe; /dev/stdout, /dev/fd/1 and "-".
    for (const std::string name : {"/dev/stdout", "/dev/fd/1", "-"}) {
        SCOPED_TRACE(name);
        const auto file = dir.path() / "file.sql";
        EXPECT_EQ(shell(cli + " -q -o " + name + " '" + csv.string() + "' >'" + file.string() + "'"), 0);
        EXPECT_EQ(readFile(file), readFile(expected));
        const auto piped = dir.path() / "piped.sql";
        EXPECT_EQ(shell(cli + " -q -o " + name + " '" + csv.string() + "' | cat >'" + piped.string() + "'"), 0);
        EXPECT_EQ(readFile(piped), readFile(expected));
        EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status("/dev/stdout")));
    }
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"a.csv", "expected.sql", "file.sql", "piped.sql"}));
}

TEST(ConverterBinary, InterruptedRunLeavesNoTemporaryFile)
{
    // The input is a pipe that never ends, so the run is still writing when
    // the signal comes.
    TempDir dir;
    const std::string script =
        "cd '" + dir.path().string() + "' && mkfifo in.csv && { '" + std::string(QUARROW_CLI_BINARY)
        + "' -q -o out.sql in.csv & pid=$!; exec 3>in.csv; printf 'a\\n1\\n' >&3; i=0; "
          "while ! ls -a | grep -q '^[.]out[.]sql[.].*[.]tmp$' && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done; "
          "ls -a | grep -q '^[.]out[.]sql[.].*[.]tmp$' || exit 3; "
          "kill -TERM $pid; wait $pid; echo $? > status; }";
    ASSERT_EQ(shell(script), 0);
    EXPECT_EQ(readFile(dir.path() / "status"), "143\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const auto name = entry.path().filename().string();
        EXPECT_TRUE(name == "in.csv" || name == "status") << "left behind: " << name;
    }
}
#endif

} // namespace
} // namespace quarrow::cli
