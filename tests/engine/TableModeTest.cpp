// What a script does about its table before the rows: create it (the
// script as it always was), create it if missing, drop and create it, or
// nothing (rows only), in each database's own statements.

#include "tests/engine/ScriptExport.h"

#include "engine/settings/ConversionProfile.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/sql/TableMode.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarrow {
namespace {

using test::crlf;
using test::exportCsv;

constexpr std::string_view kExampleCsv = "id,name\r\n1,Anna\r\n2,\r\n";

ScriptOptions exampleOptions(Dialect dialect, TableMode mode, bool transaction = false)
{
    ScriptOptions options;
    options.dialect = dialect;
    options.headerLine = true;
    options.multiRow = true;
    options.transaction = transaction;
    options.tableMode = mode;
    return options;
}

// The part of a script before its first INSERT (or COPY).
std::string head(const std::string& script)
{
    const auto at = script.find("INSERT INTO ");
    return script.substr(0, at);
}

TEST(TableModes, EachDatabaseGetsItsOwnStatements)
{
    struct Case {
        Dialect dialect;
        TableMode mode;
        std::string head;
    };
    constexpr std::string_view kOracleCreate = "CREATE TABLE NEW_TABLE (\nid clob,\nname clob\n)";
    // clang-format off
    const std::vector<Case> cases = {
        {Dialect::Sqlite, TableMode::CreateIfMissing, "\nCREATE TABLE IF NOT EXISTS NEW_TABLE (\nid text,\nname text\n);\n\n"},
        {Dialect::Sqlite, TableMode::Replace, "\nDROP TABLE IF EXISTS NEW_TABLE;\nCREATE TABLE NEW_TABLE (\nid text,\nname text\n);\n\n"},
        {Dialect::PostgreSql, TableMode::CreateIfMissing, "\nCREATE TABLE IF NOT EXISTS NEW_TABLE (\nid text,\nname text\n);\n\n"},
        {Dialect::PostgreSql, TableMode::Replace, "\nDROP TABLE IF EXISTS NEW_TABLE;\nCREATE TABLE NEW_TABLE (\nid text,\nname text\n);\n\n"},
        {Dialect::MySql, TableMode::CreateIfMissing, "\nCREATE TABLE IF NOT EXISTS NEW_TABLE (\n`id` text,\n`name` text\n);\n\n"},
        {Dialect::MySql, TableMode::Replace, "\nDROP TABLE IF EXISTS NEW_TABLE;\nCREATE TABLE NEW_TABLE (\n`id` text,\n`name` text\n);\n\n"},
        {Dialect::MsSql, TableMode::CreateIfMissing,
         "\nIF OBJECT_ID(N'NEW_TABLE', N'U') IS NULL\nCREATE TABLE NEW_TABLE (\n[id] nvarchar(max),\n[name] nvarchar(max)\n);\n\n"},
        {Dialect::MsSql, TableMode::Replace,
         "\nDROP TABLE IF EXISTS NEW_TABLE;\nCREATE TABLE NEW_TABLE (\n[id] nvarchar(max),\n[name] nvarchar(max)\n);\n\n"},
        {Dialect::Oracle, TableMode::Replace,
         "\nBEGIN\n  EXECUTE IMMEDIATE 'DROP TABLE NEW_TABLE';\nEXCEPTION\n  WHEN OTHERS THEN\n"
         "    IF SQLCODE != -942 THEN\n      RAISE;\n    END IF;\nEND;\n/\n"
         "CREATE TABLE NEW_TABLE (\nid clob,\nname clob\n);\n\n"},
        {Dialect::Oracle, TableMode::CreateIfMissing,
         "\nBEGIN\n  EXECUTE IMMEDIATE '" + std::string(kOracleCreate) + "';\nEXCEPTION\n  WHEN OTHERS THEN\n"
         "    IF SQLCODE != -955 THEN\n      RAISE;\n    END IF;\nEND;\n/\n\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(dialectInfo(c.dialect).identifier) + " "
                     + std::string(tableModeInfo(c.mode).identifier));
        const std::string script = exportCsv(std::string(kExampleCsv), exampleOptions(c.dialect, c.mode));
        EXPECT_EQ(head(script), crlf(c.head));
        // The rows are those of the script that creates the table.
        const std::string created = exportCsv(std::string(kExampleCsv), exampleOptions(c.dialect, TableMode::Create));
        EXPECT_EQ(script.substr(head(script).size()), created.substr(head(created).size()));
    }
}

TEST(TableModes, CreateIsTheScriptAsItWasAndRowsOnlyLeavesTheTableAlone)
{
    for (const auto& info : kDialects) {
        SCOPED_TRACE(std::string(info.identifier));
        ScriptOptions plain = exampleOptions(info.dialect, TableMode::Create);
        EXPECT_EQ(ScriptOptions{}.tableMode, TableMode::Create);
        const std::string created = exportCsv(std::string(kExampleCsv), plain);
        EXPECT_TRUE(created.starts_with("\r\nCREATE TABLE NEW_TABLE (\r\n")) << created;
        const std::string rowsOnly =
            exportCsv(std::string(kExampleCsv), exampleOptions(info.dialect, TableMode::RowsOnly));
        // The empty line, then straight to the rows.
        EXPECT_EQ(rowsOnly, "\r\n" + created.substr(created.find("INSERT INTO ")));
    }
}

TEST(TableModes, TransactionLinesStayWhereEachDatabaseNeedsThem)
{
    struct Case {
        Dialect dialect;
        TableMode mode;
        std::string_view head;
    };
    // SQLite, PostgreSQL and SQL Server roll DDL back, so the transaction
    // begins before the DROP: a load that fails keeps the old table. MySQL's
    // DROP and CREATE commit implicitly: it begins after them. Rows only: it
    // begins at once.
    // clang-format off
    const std::vector<Case> cases = {
        {Dialect::Sqlite, TableMode::Replace,
         "\nBEGIN TRANSACTION;\nDROP TABLE IF EXISTS NEW_TABLE;\nCREATE TABLE NEW_TABLE (\nid text,\nname text\n);\n\n"},
        {Dialect::Sqlite, TableMode::RowsOnly, "\nBEGIN TRANSACTION;\n"},
        {Dialect::PostgreSql, TableMode::CreateIfMissing,
         "\nBEGIN;\nCREATE TABLE IF NOT EXISTS NEW_TABLE (\nid text,\nname text\n);\n\n"},
        {Dialect::MsSql, TableMode::Replace,
         "\nBEGIN TRANSACTION;\nDROP TABLE IF EXISTS NEW_TABLE;\nCREATE TABLE NEW_TABLE (\n[id] nvarchar(max),\n[name] nvarchar(max)\n);\n\n"},
        {Dialect::MySql, TableMode::Replace,
         "\nDROP TABLE IF EXISTS NEW_TABLE;\nCREATE TABLE NEW_TABLE (\n`id` text,\n`name` text\n);\n\nSTART TRANSACTION;\n"},
        {Dialect::MySql, TableMode::RowsOnly, "\nSTART TRANSACTION;\n"},
        {Dialect::Access, TableMode::RowsOnly, "\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(dialectInfo(c.dialect).identifier) + " "
                     + std::string(tableModeInfo(c.mode).identifier));
        const std::string script = exportCsv(std::string(kExampleCsv), exampleOptions(c.dialect, c.mode, true));
        EXPECT_EQ(head(script), crlf(c.head));
        if (c.dialect != Dialect::Access) {
            EXPECT_TRUE(script.ends_with(c.dialect == Dialect::MsSql ? "COMMIT TRANSACTION;\r\n" : "COMMIT;\r\n"));
        }
    }
}

TEST(TableModes, CopyFollowsWhateverTheModeWrites)
{
    ScriptOptions options = exampleOptions(Dialect::PostgreSql, TableMode::RowsOnly);
    options.copy = true;
    EXPECT_EQ(exportCsv(std::string(kExampleCsv), options),
              crlf("\nCOPY NEW_TABLE (id,name) FROM stdin;\n1\tAnna\n2\t\n\\.\n"));
    options.tableMode = TableMode::Replace;
    options.transaction = true;
    EXPECT_EQ(exportCsv(std::string(kExampleCsv), options),
              crlf("\nBEGIN;\nDROP TABLE IF EXISTS NEW_TABLE;\nCREATE TABLE NEW_TABLE (\nid text,\nname text\n);\n\n"
                   "COPY NEW_TABLE (id,name) FROM stdin;\n1\tAnna\n2\t\n\\.\nCOMMIT;\n"));
}

TEST(TableModes, NamesInsideLiteralsCannotEndThem)
{
    // The table name is the user's SQL, written as typed; where it goes into
    // a string literal (SQL Server's OBJECT_ID, Oracle's EXECUTE IMMEDIATE)
    // its apostrophes are doubled, and so are those of a type.
    ScriptOptions options = exampleOptions(Dialect::MsSql, TableMode::CreateIfMissing);
    options.tableName = u"[o'brien]";
    EXPECT_TRUE(exportCsv(std::string(kExampleCsv), options)
                    .starts_with("\r\nIF OBJECT_ID(N'[o''brien]', N'U') IS NULL\r\nCREATE TABLE [o'brien] (\r\n"));
    const std::vector<std::u16string> lines = {u"a varchar2(5) DEFAULT 'x'"};
    EXPECT_TRUE(tableStatements(Dialect::Oracle, TableMode::CreateIfMissing, u"\"it's\"", lines)
                    .starts_with(u"BEGIN\r\n  EXECUTE IMMEDIATE 'CREATE TABLE \"it''s\" (\r\na varchar2(5) DEFAULT "
                                 u"''x''\r\n)';\r\n"));
    EXPECT_TRUE(tableStatements(Dialect::Oracle, TableMode::Replace, u"it's", lines)
                    .starts_with(u"BEGIN\r\n  EXECUTE IMMEDIATE 'DROP TABLE it''s';\r\n"));
}

TEST(TableModes, RefusedWhereTheDatabaseHasNoForm)
{
    for (const auto& info : kDialects) {
        for (const auto& mode : kTableModes) {
            SCOPED_TRACE(std::string(info.identifier) + " " + std::string(mode.identifier));
            const bool refused = (info.dialect == Dialect::Access || info.dialect == Dialect::IbmDb2)
                                 && (mode.mode == TableMode::CreateIfMissing || mode.mode == TableMode::Replace);
            EXPECT_EQ(!tableModeRefusal(info.dialect, mode.mode).empty(), refused);
            if (refused) {
                EXPECT_THROW(exportCsv(std::string(kExampleCsv), exampleOptions(info.dialect, mode.mode)),
                             TableModeError);
            }
        }
    }
    // Oracle takes the guarded CREATE TABLE as one PL/SQL string of at most
    // 32,767 bytes.
    std::vector<std::u16string> lines(1000, std::u16string(u"\"a_column_name_of_some_length\" varchar2(100)"));
    EXPECT_THROW(tableStatements(Dialect::Oracle, TableMode::CreateIfMissing, u"t", lines), TableModeError);
    lines.resize(600);
    EXPECT_NO_THROW(tableStatements(Dialect::Oracle, TableMode::CreateIfMissing, u"t", lines));
    EXPECT_NO_THROW(
        tableStatements(Dialect::Oracle, TableMode::Replace, u"t", std::vector<std::u16string>(1000, lines[0])));
}

TEST(TableModes, ProfilesKeepTheModeAndOlderOnesReadAsCreate)
{
    for (const auto& mode : kTableModes) {
        ConversionProfile profile;
        profile.script.dialect = Dialect::PostgreSql;
        profile.script.tableMode = mode.mode;
        EXPECT_EQ(parseProfile(profileText(profile), "p.toml").script.tableMode, mode.mode) << mode.identifier;
    }
    EXPECT_EQ(parseProfile("version = 1\ndatabase = \"sqlite\"\n", "old.toml").script.tableMode, TableMode::Create);
    for (const auto& [text, reason] : std::vector<std::pair<std::string, std::string>>{
             {"version = 1\ntable-mode = \"upsert\"\n",
              "Cannot read profile p.toml: line 2, key \"table-mode\": unknown table mode \"upsert\" (create, "
              "create-if-missing, replace, append)"},
             {"version = 1\ntable-mode = true\n",
              "Cannot read profile p.toml: line 2, key \"table-mode\": expected a string in quotes, found true or "
              "false"},
             {"version = 1\ntable-mode = \"replace\"\ndatabase = \"access\"\n",
              "Cannot read profile p.toml: line 2, key \"table-mode\": Access SQL has no IF EXISTS or IF NOT EXISTS: "
              "choose \"create\" (a new table) or \"append\" (rows only, into the table that exists)"},
         }) {
        try {
            parseProfile(text, "p.toml");
            ADD_FAILURE() << "taken: " << text;
        } catch (const ProfileError& e) {
            EXPECT_EQ(std::string(e.what()), reason);
        }
    }
}

TEST(TableModes, NotesNameTheTableAndItsColumns)
{
    const std::vector<std::u16string> columns = {u"id", u"name"};
    EXPECT_EQ(tableModeNote(TableMode::RowsOnly, u"orders", columns),
              u"rows only: the table orders must exist with these columns: id, name");
    EXPECT_TRUE(tableModeNote(TableMode::Create, u"orders", columns).empty());
    EXPECT_NE(tableModeNote(TableMode::Replace, u"orders", columns).find(u"dropped"), std::u16string::npos);
    EXPECT_NE(tableModeNote(TableMode::CreateIfMissing, u"orders", columns).find(u"id, name"), std::u16string::npos);
}

} // namespace
} // namespace quarrow
