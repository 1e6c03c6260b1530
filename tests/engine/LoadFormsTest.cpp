// The script forms that make loading fast: the whole script as one
// transaction, in each database's own statements, and (further below)
// PostgreSQL's COPY.

#include "tests/support/TempDir.h"

#include "engine/sql/ScriptFormatter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarrow {
namespace {

using test::TempDir;

// Expected scripts are written with \n; every line of a script ends in CR LF.
std::string crlf(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

std::string exportCsv(const std::string& csv, const ScriptOptions& options)
{
    TempDir dir;
    Workspace workspace;
    workspace.load(dir.write("in.csv", csv), loadOptionsFor(options));
    StringSink sink;
    Donustur(workspace, options, sink);
    return sink.bytes;
}

constexpr std::string_view kExampleCsv = "id,name\r\n1,Anna\r\n2,\r\n";

ScriptOptions exampleOptions(Dialect dialect, bool multiRow, bool transaction)
{
    ScriptOptions options;
    options.dialect = dialect;
    options.headerLine = true;
    options.multiRow = multiRow;
    options.transaction = transaction;
    return options;
}

TEST(TransactionScripts, EachDatabaseGetsItsOwnStatementsWhereTheyBelong)
{
    struct Case {
        Dialect dialect;
        bool multiRow;
        std::string_view script;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {Dialect::Sqlite, false,
         "\nBEGIN TRANSACTION;\nCREATE TABLE NEW_TABLE (\nid text,\nname text\n);\n\n"
         "INSERT INTO NEW_TABLE (`id`,`name`) VALUES\n('1','Anna');\n"
         "INSERT INTO NEW_TABLE (`id`,`name`) VALUES\n('2','');\nCOMMIT;\n"},
        {Dialect::Sqlite, true,
         "\nBEGIN TRANSACTION;\nCREATE TABLE NEW_TABLE (\nid text,\nname text\n);\n\n"
         "INSERT INTO NEW_TABLE (`id`,`name`) VALUES\n('1','Anna'),\n('2','');\nCOMMIT;\n"},
        {Dialect::PostgreSql, true,
         "\nBEGIN;\nCREATE TABLE NEW_TABLE (\nid text,\nname text\n);\n\n"
         "INSERT INTO NEW_TABLE (id,name) VALUES\n('1','Anna'),\n('2','');\nCOMMIT;\n"},
        {Dialect::MySql, false,
         "\nCREATE TABLE NEW_TABLE (\n`id` text,\n`name` text\n);\n\nSTART TRANSACTION;\n"
         "INSERT INTO NEW_TABLE (`id`,`name`) VALUES\n('1','Anna');\n"
         "INSERT INTO NEW_TABLE (`id`,`name`) VALUES\n('2','');\nCOMMIT;\n"},
        {Dialect::MsSql, true,
         "\nBEGIN TRANSACTION;\nCREATE TABLE NEW_TABLE (\n[id] nvarchar(max),\n[name] nvarchar(max)\n);\n\n"
         "INSERT INTO NEW_TABLE ([id],[name]) VALUES\n('1','Anna'),\n('2','');\nCOMMIT TRANSACTION;\n"},
        {Dialect::Oracle, true,
         "\nCREATE TABLE NEW_TABLE (\nid clob,\nname clob\n);\n\n"
         "INSERT INTO NEW_TABLE (id,name) VALUES\n('1','Anna'),\n('2','');\nCOMMIT;\n"},
        {Dialect::IbmDb2, false,
         "\nCREATE TABLE NEW_TABLE (\nid clob,\nname clob\n);\n\n"
         "INSERT INTO NEW_TABLE (id,name) VALUES\n('1','Anna');\n"
         "INSERT INTO NEW_TABLE (id,name) VALUES\n('2','');\nCOMMIT;\n"},
        // Access SQL has none: the script is the one without the option.
        {Dialect::Access, false,
         "\nCREATE TABLE NEW_TABLE (\n[id] longtext,\n[name] longtext\n);\n\n"
         "INSERT INTO NEW_TABLE ([id],[name]) VALUES\n('1','Anna');\n"
         "INSERT INTO NEW_TABLE ([id],[name]) VALUES\n('2','');\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(dialectInfo(c.dialect).identifier) + (c.multiRow ? " -m" : ""));
        EXPECT_EQ(exportCsv(std::string(kExampleCsv), exampleOptions(c.dialect, c.multiRow, true)), crlf(c.script));
    }
}

TEST(TransactionScripts, AddsOnlyItsLinesToTheScriptWithoutIt)
{
    // Every dialect, with and without rows, one statement or many: taking
    // the transaction's lines out gives back today's script byte for byte.
    const std::vector<std::string> inputs = {std::string(kExampleCsv), "id,name\r\n"};
    for (const auto& info : kDialects) {
        for (const auto& csv : inputs) {
            for (const bool multiRow : {false, true}) {
                SCOPED_TRACE(std::string(info.identifier) + (multiRow ? " -m" : "") + " rows: " + csv);
                const std::string without = exportCsv(csv, exampleOptions(info.dialect, multiRow, false));
                std::string with = exportCsv(csv, exampleOptions(info.dialect, multiRow, true));
                if (info.dialect == Dialect::Access) {
                    EXPECT_EQ(with, without);
                    continue;
                }
                for (std::string_view line : {"BEGIN TRANSACTION;\r\n", "BEGIN;\r\n", "START TRANSACTION;\r\n",
                                              "COMMIT TRANSACTION;\r\n", "COMMIT;\r\n"}) {
                    if (const auto at = with.find(line); at != std::string::npos)
                        with.erase(at, line.size());
                }
                EXPECT_EQ(with, without);
                EXPECT_TRUE(exportCsv(csv, exampleOptions(info.dialect, multiRow, true)).ends_with("COMMIT;\r\n")
                            || info.dialect == Dialect::MsSql);
            }
        }
    }
}

} // namespace
} // namespace quarrow
