// The script forms that make loading fast: the whole script as one
// transaction, in each database's own statements, and (further below)
// PostgreSQL's COPY.

#include "tests/engine/ScriptExport.h"
#include "tests/support/TempDir.h"

#include "engine/sql/ScriptFormatter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarrow {
namespace {

using test::crlf;
using test::exportCsv;
using test::TempDir;

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
    // the transaction's lines out gives back today's script byte for byte
    // (for inputs this small: SQLite's multi-row statements are cut smaller
    // inside one transaction, see ScriptWriterStatements).
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

ScriptOptions copyOptions(bool nullEmpty = false, bool exact = false, TextEncoding encoding = TextEncoding::Utf8)
{
    ScriptOptions options;
    options.dialect = Dialect::PostgreSql;
    options.tableName = u"t";
    options.headerLine = true;
    options.copy = true;
    options.nullEmpty = nullEmpty;
    options.exactQuoting = exact;
    options.encoding = encoding;
    return options;
}

// The data lines of a COPY script: what follows the COPY line.
std::string copyData(const std::string& script)
{
    const std::string copy = "COPY t (a,b) FROM stdin;\r\n";
    const auto at = script.find(copy);
    return at == std::string::npos ? "no COPY line in: " + script : script.substr(at + copy.size());
}

TEST(CopyScripts, WholeScript)
{
    const std::string csv = "id,name\r\n1,Anna\r\n2,\r\n";
    ScriptOptions options = copyOptions(true);
    options.tableName = u"NEW_TABLE";
    EXPECT_EQ(exportCsv(csv, options), crlf("\nCREATE TABLE NEW_TABLE (\nid text,\nname text\n);\n\n"
                                            "COPY NEW_TABLE (id,name) FROM stdin;\n1\tAnna\n2\t\\N\n\\.\n"));
    options.transaction = true;
    options.multiRow = true; // no statements to cut
    EXPECT_EQ(exportCsv(csv, options), crlf("\nBEGIN;\nCREATE TABLE NEW_TABLE (\nid text,\nname text\n);\n\n"
                                            "COPY NEW_TABLE (id,name) FROM stdin;\n1\tAnna\n2\t\\N\n\\.\nCOMMIT;\n"));
    // No rows: no COPY either, as no INSERT without them.
    EXPECT_EQ(exportCsv("id,name\r\n", copyOptions()), crlf("\nCREATE TABLE t (\nid text,\nname text\n);\n\n"));
    // Only PostgreSQL has it.
    ScriptOptions sqlite = copyOptions();
    sqlite.dialect = Dialect::Sqlite;
    ScriptOptions plain = sqlite;
    plain.copy = false;
    EXPECT_EQ(exportCsv(csv, sqlite), exportCsv(csv, plain));
}

TEST(CopyScripts, ValuesAreEscapedAsTheTextFormatSays)
{
    struct Case {
        const char* name;
        std::string csvRow; // two fields
        ScriptOptions options;
        std::string data; // the data line(s), CR LF included
    };
    const std::string longValue(100'000, 'x');
    // clang-format off
    const std::vector<Case> cases = {
        {"empty as text", "1,", copyOptions(), "1\t\r\n"},
        {"empty as NULL", "1,", copyOptions(true), "1\t\\N\r\n"},
        {"blank and quotes only are empty", "1,\" \"\"\" ", copyOptions(true), "1\t\\N\r\n"},
        {"missing field", "1", copyOptions(true), "1\t\\N\r\n"},
        {"extra fields dropped", "1,a,b,c", copyOptions(), "1\ta\r\n"},
        {"empty line", "", copyOptions(), "\t\r\n"},
        {"the text NULL stays text", "1,NULL", copyOptions(true), "1\tNULL\r\n"},
        {"backslash", "1,a\\b\\", copyOptions(), "1\ta\\\\b\\\\\r\n"},
        {"a value that reads as the end marker", "\\.,x", copyOptions(), "\\\\.\tx\r\n"},
        {"tab inside", "1,a\tb", copyOptions(), "1\ta\\tb\r\n"},
        {"apostrophes as they are", "1,O'Brien", copyOptions(), "1\tO'Brien\r\n"},
        {"quotes removed", "1,\"x\"\"y\"", copyOptions(), "1\txy\r\n"},
        {"non-ASCII in UTF-8", "1,\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", copyOptions(),
         "1\t\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\r\n"},
        {"long", "1," + longValue, copyOptions(), "1\t" + longValue + "\r\n"},
        {"exact: CR LF, LF, CR", "1,\"a\r\nb\nc\rd\"", copyOptions(false, true), "1\ta\\r\\nb\\nc\\rd\r\n"},
        {"exact: blanks and quotes kept", "1,\" \"\"q\"\" \"", copyOptions(false, true), "1\t \"q\" \r\n"},
        {"exact: empty as NULL", "1,", copyOptions(true, true), "1\t\\N\r\n"},
        {"exact: quoted empty as NULL", "1,\"\"", copyOptions(true, true), "1\t\\N\r\n"},
        {"exact: extra fields dropped, breaks and all", "1,x,\"y\r\nz\"", copyOptions(false, true), "1\tx\r\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string script = exportCsv("a,b\r\n" + c.csvRow + "\r\n", c.options);
        EXPECT_EQ(copyData(script), c.data + "\\.\r\n");
    }
}

// COPY writes the values that the INSERT form writes for the same record,
// whatever its shape: fields beyond the columns dropped (a line break in
// one does not start a row), missing ones empty.
TEST(CopyScripts, RecordsOfAnyShapeGiveTheValuesOfTheInsertForm)
{
    struct Case {
        const char* name;
        std::string csvRow;
        std::string data;      // COPY's data line
        std::string insertRow; // the INSERT form's value line
    };
    const std::vector<Case> cases = {
        {"more fields than columns", "1,x,\"y\r\nz\"", "1\tx", "('1','x')"},
        {"a break before the extra field", "1,\"x\r\ny\",z", "1\tx\\r\\ny", "('1','x\r\ny')"},
        {"many extra fields", "1,x,\"a\nb\",c,\"d\re\"", "1\tx", "('1','x')"},
        {"fewer fields than columns", "\"1\r\n\"", "1\\r\\n\t", "('1\r\n','')"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string csv = "a,b\r\n" + c.csvRow + "\r\n";
        ScriptOptions options = copyOptions(false, true);
        EXPECT_EQ(copyData(exportCsv(csv, options)), c.data + "\r\n\\.\r\n");
        options.copy = false;
        const std::string insert = exportCsv(csv, options);
        EXPECT_EQ(insert.substr(insert.find("VALUES\r\n") + 8), c.insertRow + ";\r\n");
    }
}

TEST(CopyScripts, AnsiOutputSubstitutesAndCounts)
{
    // Read as UTF-8 (the mark), written in Windows-1252: e-acute is held,
    // the CJK character and the emoji (a surrogate pair: one substitute) are not.
    TempDir dir;
    Workspace workspace;
    const ScriptOptions options = copyOptions(false, false, TextEncoding::Ansi);
    workspace.load(dir.write("in.csv", "\xEF\xBB\xBF"
                                       "a,b\r\n1,\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\\\r\n"),
                   loadOptionsFor(options));
    StringSink sink;
    const ExportResult result = Donustur(workspace, options, sink);
    EXPECT_EQ(copyData(sink.bytes), "1\t\xE9??\\\\\r\n\\.\r\n");
    EXPECT_EQ(result.substituted, 2u);
}

} // namespace
} // namespace quarrow
