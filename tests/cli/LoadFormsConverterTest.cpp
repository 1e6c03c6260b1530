// The converter's options for the script forms that load fast.

#include "tests/cli/RunCli.h"
#include "tests/support/TempDir.h"

#include "cli/Converter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarrow::cli {
namespace {

using test::runCli;
using test::TempDir;

TEST(TransactionOption, WrapsTheScriptInTheDatabasesStatements)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x,y\r\n1,\r\n2,b\r\n").string();
    struct Case {
        std::vector<std::string> args;
        std::string script;
    };
    const std::vector<Case> cases = {
        {{"-d", "postgresql", "-m", "-n"},
         "\r\nBEGIN;\r\nCREATE TABLE t (\r\nx text,\r\ny text\r\n);\r\n\r\n"
         "INSERT INTO t (x,y) VALUES\r\n('1',NULL),\r\n('2','b');\r\nCOMMIT;\r\n"},
        {{"-d", "mysql"},
         "\r\nCREATE TABLE t (\r\n`x` text,\r\n`y` text\r\n);\r\n\r\nSTART TRANSACTION;\r\n"
         "INSERT INTO t (`x`,`y`) VALUES\r\n('1','');\r\nINSERT INTO t (`x`,`y`) VALUES\r\n('2','b');\r\nCOMMIT;\r\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-H", "-t", "t", "--transaction", csv};
        args.insert(args.begin(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args[1]);
        const auto run = runCli(args);
        EXPECT_EQ(run.status, kExitOk) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, c.script);
    }
}

TEST(TransactionOption, AccessSaysItHasNoTransactionStatements)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x\r\n1\r\n").string();
    const auto with = runCli({"-H", "-d", "access", "--transaction", csv});
    const auto without = runCli({"-H", "-d", "access", csv});
    EXPECT_EQ(with.status, kExitOk);
    EXPECT_EQ(with.out, without.out);
    EXPECT_NE(with.err.find("Access SQL has no transaction statements"), std::string::npos) << with.err;
}

TEST(CopyOption, WritesCopyDataForPostgreSqlOnly)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "x,y\r\n1,\r\n2,b\\\r\n").string();
    auto run = runCli({"-H", "-n", "-d", "postgresql", "-t", "t", "--copy", "--transaction", csv});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "\r\nBEGIN;\r\nCREATE TABLE t (\r\nx text,\r\ny text\r\n);\r\n\r\n"
                       "COPY t (x,y) FROM stdin;\r\n1\t\\N\r\n2\tb\\\\\r\n\\.\r\nCOMMIT;\r\n");
    for (const char* database : {"sqlite", "mysql", "mssql", "access", "oracle", "ibmdb2"}) {
        SCOPED_TRACE(database);
        run = runCli({"-H", "-d", database, "--copy", csv});
        EXPECT_EQ(run.status, kExitUsage);
        EXPECT_NE(run.err.find("only PostgreSQL"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

// COPY data is not a statement: rows past the size at which -m cuts its
// INSERT statements give the same script as without -m, in the converter
// and in the window's writer, read by either rule.
TEST(CopyOption, LongRowsWithMultiRowGiveTheSameScriptAsWithout)
{
    TempDir dir;
    std::string text = "x,y\r\n";
    for (char c = 'a'; c < 'e'; ++c)
        text += std::string(1, c) + ",\"" + std::string(300'000, c) + "\r\n" + std::string(300'000, c) + "\"\r\n";
    const auto csv = dir.write("long.csv", text);
    for (const bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "--rfc4180" : "default reading");
        std::vector<std::string> args = {"-H", "-d", "postgresql", "--copy", csv.string()};
        if (exact)
            args.insert(args.begin(), "--rfc4180");
        const auto without = runCli(args);
        args.insert(args.begin(), "-m");
        const auto with = runCli(args);
        EXPECT_EQ(with.status, kExitOk) << with.err;
        EXPECT_TRUE(with.out == without.out) << with.out.size() << " vs " << without.out.size() << " bytes";
        EXPECT_EQ(with.out.find("INSERT"), std::string::npos);
        EXPECT_GT(with.out.size(), std::size_t{2'400'000});

        ScriptOptions script;
        script.dialect = Dialect::PostgreSql;
        script.headerLine = true;
        script.copy = true;
        script.multiRow = true;
        script.exactQuoting = exact;
        Workspace workspace;
        workspace.load(csv, loadOptionsFor(script));
        StringSink sink;
        Donustur(workspace, script, sink);
        EXPECT_TRUE(sink.bytes == without.out);
    }
}

} // namespace
} // namespace quarrow::cli
