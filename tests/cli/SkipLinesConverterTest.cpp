#include "tests/cli/RunCli.h"
#include "tests/support/TempDir.h"

#include "cli/Converter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarrow::cli {
namespace {

using test::runCli;
using test::TempDir;

// An export with a title and a blank line above the header, a comment
// between the rows, and a short row on line 7 of the file.
constexpr std::string_view kCsv = "Orders export\r\n\r\nid,city\r\n1,Oslo\r\n# checked\r\n2,Rome\r\n3\r\n";

TEST(ConverterSkipLines, SkippedAndCommentLinesNeverReachTheScript)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", std::string(kCsv)).string();
    const test::Run run = runCli({"-q", "-H", "-d", "sqlite", "--skip-lines", "2", "--comment", "#", csv});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "\r\nCREATE TABLE NEW_TABLE (\r\nid text,\r\ncity text\r\n);\r\n\r\n"
                       "INSERT INTO NEW_TABLE (`id`,`city`) VALUES\r\n('1','Oslo');\r\n"
                       "INSERT INTO NEW_TABLE (`id`,`city`) VALUES\r\n('2','Rome');\r\n"
                       "INSERT INTO NEW_TABLE (`id`,`city`) VALUES\r\n('3','');\r\n")
        << run.out;
}

// Errors and warnings name the file's own line numbers, whichever pass
// (streaming, profiling, explaining) finds the row.
TEST(ConverterSkipLines, LineNumbersStayTheFilesOwn)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", std::string(kCsv)).string();
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--strict"}, std::vector<std::string>{"--suggest-types", "--strict"},
          std::vector<std::string>{"--rfc4180", "--strict"}}) {
        std::vector<std::string> args = {"-q", "-H", "--skip-lines", "2", "--comment", "#"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(csv);
        const test::Run run = runCli(args);
        EXPECT_NE(run.err.find("line 7"), std::string::npos) << extra.front() << ": " << run.err;
    }
}

TEST(ConverterSkipLines, AutoTakesTheDetectedLinesAbove)
{
    TempDir dir;
    const auto csv = dir.write("t.csv", "Sales report 2026\nregion;amount\nnorth;12\nsouth;7\neast;3\n").string();
    const test::Run detect = runCli({"--detect", csv});
    ASSERT_EQ(detect.status, kExitOk) << detect.err;
    EXPECT_NE(detect.out.find("lines above the table: 1\n"), std::string::npos) << detect.out;
    EXPECT_NE(detect.out.find("--skip-lines 1"), std::string::npos) << detect.out;

    const test::Run run = runCli({"-s", "auto", "-H", "auto", "--skip-lines", "auto", "-d", "sqlite", csv});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_NE(run.err.find("skip 1 lines (detected: line 1 is not of the table's shape"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("`region`"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Sales"), std::string::npos) << run.out;

    // Not skipped: the warning names the option that would.
    const test::Run unskipped = runCli({"-q", "-s", "auto", csv});
    EXPECT_NE(unskipped.err.find("(--skip-lines 1 leaves them out"), std::string::npos) << unskipped.err;
}

TEST(ConverterSkipLines, ProfileKeepsTheSettings)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", std::string(kCsv)).string();
    const auto profile = (dir.path() / "p.toml").string();
    const test::Run saved = runCli({"-q", "-H", "--skip-lines", "2", "--comment", "#", "--save-profile", profile, csv});
    ASSERT_EQ(saved.status, kExitOk) << saved.err;
    const std::string text = test::readFile(profile);
    EXPECT_NE(text.find("skip-lines = 2"), std::string::npos) << text;
    EXPECT_NE(text.find("comment = \"#\""), std::string::npos) << text;
    const test::Run again = runCli({"-q", "--profile", profile, csv});
    EXPECT_EQ(again.out, saved.out);

    // Off by default: a profile without them is written without them.
    const test::Run plain = runCli({"-q", "-H", "--save-profile", profile, csv});
    EXPECT_EQ(test::readFile(profile).find("skip-lines"), std::string::npos);
    EXPECT_EQ(test::readFile(profile).find("comment"), std::string::npos);
}

TEST(ConverterSkipLines, BadValuesAreBadUsage)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", std::string(kCsv)).string();
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"--skip-lines", "-1"}, "--skip-lines: takes a number of lines"},
        {{"--skip-lines", "two"}, "--skip-lines: takes a number of lines"},
        {{"--comment", "##"}, "--comment: takes one character"},
        {{"--comment", ","}, "--comment: the comment character must differ from the separator"},
        {{"-s", ";", "--comment", ";"}, "--comment: the comment character must differ from the separator"},
        {{"--comment", "\""}, "--comment: the comment character cannot be the double quote"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"-q"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(csv);
        const test::Run run = runCli(args);
        EXPECT_EQ(run.status, kExitUsage) << c.message;
        EXPECT_NE(run.err.find("quarrow-cli: " + c.message), std::string::npos) << run.err;
    }
}

} // namespace
} // namespace quarrow::cli
