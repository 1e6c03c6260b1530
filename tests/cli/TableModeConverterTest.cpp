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

constexpr std::string_view kCsv = "id,name\r\n1,Anna\r\n2,Bob\r\n";

TEST(ConverterTableMode, OptionProfileAndSavedProfileGiveTheSameScript)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", std::string(kCsv)).string();
    const test::Run given = runCli({"-q", "-H", "-d", "sqlite", "-t", "weekly", "--table-mode", "append",
                                    "--save-profile", (dir.path() / "saved.toml").string(), csv});
    ASSERT_EQ(given.status, kExitOk) << given.err;
    EXPECT_EQ(given.out, "\r\nINSERT INTO weekly (`id`,`name`) VALUES\r\n('1','Anna');\r\n"
                         "INSERT INTO weekly (`id`,`name`) VALUES\r\n('2','Bob');\r\n");
    const test::Run fromSaved = runCli({"-q", "--profile", (dir.path() / "saved.toml").string(), csv});
    ASSERT_EQ(fromSaved.status, kExitOk) << fromSaved.err;
    EXPECT_EQ(fromSaved.out, given.out);

    // The command line wins over the profile's mode.
    const test::Run replaced =
        runCli({"-q", "--profile", (dir.path() / "saved.toml").string(), "--table-mode", "create-if-missing", csv});
    ASSERT_EQ(replaced.status, kExitOk) << replaced.err;
    EXPECT_TRUE(replaced.out.starts_with("\r\nCREATE TABLE IF NOT EXISTS weekly (\r\n")) << replaced.out;

    // Without the option the script is the one it always was.
    const test::Run plain = runCli({"-q", "-H", "-d", "sqlite", "-t", "weekly", csv});
    EXPECT_TRUE(plain.out.starts_with("\r\nCREATE TABLE weekly (\r\n")) << plain.out;
}

TEST(ConverterTableMode, DatabasesWithoutTheFormAreRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", std::string(kCsv)).string();
    const auto profile = dir.write("p.toml", "version = 1\ntable-mode = \"replace\"\n").string();
    const auto output = dir.path() / "out.sql";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"-d", "access", "--table-mode", "replace"}, "quarrow-cli: --table-mode replace: Access SQL has no IF EXISTS"},
        {{"-d", "ibmdb2", "--table-mode", "create-if-missing"},
         "quarrow-cli: --table-mode create-if-missing: Db2 has no IF EXISTS"},
        // The profile's mode does not follow the database given instead.
        {{"--profile", profile, "-d", "ibmdb2"}, "quarrow-cli: --table-mode replace: Db2 has no IF EXISTS"},
        {{"--table-mode", "upsert"}, "quarrow-cli: --table-mode: upsert not in {"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-q", "-H", "-o", output.string(), csv});
        const test::Run run = runCli(args);
        EXPECT_EQ(run.status, kExitUsage) << c.message;
        EXPECT_TRUE(run.err.starts_with(c.message)) << run.err;
        EXPECT_FALSE(std::filesystem::exists(output));
    }
    // Rows only and create need no form of their own: every database takes them.
    for (const std::string mode : {"append", "create"}) {
        EXPECT_EQ(runCli({"-q", "-H", "-d", "access", "--table-mode", mode, csv}).status, kExitOk);
        EXPECT_EQ(runCli({"-q", "-H", "-d", "ibmdb2", "--table-mode", mode, csv}).status, kExitOk);
    }
}

TEST(ConverterTableMode, ExplainSaysWhatTheTableMustBe)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", std::string(kCsv)).string();
    const test::Run rowsOnly = runCli({"-q", "-H", "-t", "orders", "--table-mode", "append", "--explain", csv});
    ASSERT_EQ(rowsOnly.status, kExitOk) << rowsOnly.err;
    EXPECT_NE(rowsOnly.err.find("rows only: the table orders must exist with these columns: id, name\n"),
              std::string::npos)
        << rowsOnly.err;
    const test::Run created = runCli({"-q", "-H", "-t", "orders", "--explain", csv});
    EXPECT_EQ(created.err.find("must exist"), std::string::npos) << created.err;
}

} // namespace
} // namespace quarrow::cli
