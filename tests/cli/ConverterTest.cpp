#include "TempDir.h"

#include "Converter.h"
#include "QuarrowCli.h"
#include "sql/Donustur.h"
#include "types/TypeListFile.h"
#include "workspace/Workspace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace quarrow::cli {
namespace {

using test::readFile;
using test::TempDir;

struct Run {
    int status = -1;
    std::string out;
    std::string err;
};

Run runCli(std::vector<std::string> args)
{
    args.insert(args.begin(), "quarrow-cli");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out;
    std::ostringstream err;
    Run run;
    run.status = runQuarrowCli(static_cast<int>(argv.size()), argv.data(), out, err, false);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// What the writer makes of a workspace loaded file by file, as the window does.
std::string viaWorkspace(const std::vector<std::filesystem::path>& files, const ConverterOptions& o)
{
    Workspace workspace;
    for (const auto& f : files)
        workspace.load(f, loadOptionsFor(o.script));
    StringSink sink;
    Donustur(workspace, o.script, sink);
    return sink.bytes;
}

std::string viaConverter(const std::vector<std::filesystem::path>& files, ConverterOptions o)
{
    o.inputs = files;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(convert(o, out, err, false), kExitOk) << err.str();
    return out.str();
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
    struct Row {
        const char* name;
        std::vector<std::filesystem::path> files;
        Dialect dialect;
        bool header;
        bool nullEmpty;
        bool multiRow;
        TextEncoding encoding;
        char16_t separator = u',';
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
        o.script.tableName = u"t";
        const std::string expected = viaWorkspace(row.files, o);
        const std::string actual = viaConverter(row.files, o);
        ASSERT_GT(expected.size(), 1000u);
        EXPECT_TRUE(actual == expected) << "converter output differs from the writer's (" << actual.size() << " vs "
                                        << expected.size() << " bytes)";
    }
}

TEST(ConverterEquivalence, TypeListIsAppliedAfterLoading)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "a,b,c\r\n1,2,3\r\n");
    const auto types = dir.write("types.txt", "\xEF\xBB\xBF" "int\r\n\r\n");
    const auto run = runCli({"-H", "-d", "postgresql", "--types", types.string(), csv.string()});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_NE(run.out.find("\r\na int,\r\nb ,\r\nc text\r\n"), std::string::npos) << run.out;
}

TEST(ConverterOptionsParsing, OptionsReachTheScript)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\ty\r\n1\t\r\n");
    const auto run = runCli({"--header", "--separator", "\\t", "--database", "mssql", "--table", "dbo.T\xC3\xBC", "-n", "-m", csv.string()});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "\r\nCREATE TABLE dbo.T\xC3\xBC (\r\n[x] nvarchar(max),\r\n[y] nvarchar(max)\r\n);\r\n\r\n"
                       "INSERT INTO dbo.T\xC3\xBC ([x],[y]) VALUES\r\n('1',NULL);\r\n");
}

TEST(ConverterOptionsParsing, BadUsageExitsTwoWithUsage)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\r\n").string();
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus", csv}, {"-d", "MySQL", csv}, {"-d", "db2", csv}, {"-s", "", csv},
        {"-e", "latin1", csv}, {}, {"-t"},
    };
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
    EXPECT_NE(run.err.find("line "), std::string::npos) << run.err;
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
    const auto csv = dir.write("a.csv", "\xEF\xBB\xBF" "x\r\n\xC5\x82\xE4\xB8\xAD\r\n");
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

#ifndef _WIN32
// The binary itself: exit statuses and a full disk on standard output (on
// Windows: tests/windows).
int shell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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

TEST(ConverterBinary, InterruptedRunLeavesNoTemporaryFile)
{
    // The input is a pipe that never ends, so the run is still writing when
    // the signal comes.
    TempDir dir;
    const std::string script = "cd '" + dir.path().string() + "' && mkfifo in.csv && { '" +
                               std::string(QUARROW_CLI_BINARY) +
                               "' -q -o out.sql in.csv & pid=$!; exec 3>in.csv; printf 'a\\n1\\n' >&3; i=0; "
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
