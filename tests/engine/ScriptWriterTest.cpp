#include "tests/engine/ScriptExport.h"
#include "tests/support/TempDir.h"

#include "engine/csv/FieldSplitter.h"
#include "engine/sql/Identifiers.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/text/Cp1252.h"
#include "engine/text/FitToEncoding.h"
#include "engine/text/Utf8.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quarrow {
namespace {

using test::crlf;
using test::TempDir;

struct ExportSetup {
    Dialect loadDialect = Dialect::MySql; // gives the default types
    Dialect dialect = Dialect::MySql;     // the script's dialect
    bool header = true;
    bool nullEmpty = false;
    bool multiRow = false;
    bool transaction = false;
    char16_t separator = u',';
    TextEncoding encoding = TextEncoding::Utf8;
    std::u16string table = u"NEW_TABLE";
};

struct Exported {
    std::string bytes;
    ExportResult result;
};

Exported exportFiles(const std::vector<std::string>& files, const ExportSetup& setup)
{
    TempDir dir;
    Workspace workspace;
    LoadOptions load{setup.encoding, setup.header, setup.separator, setup.loadDialect};
    for (std::size_t i = 0; i < files.size(); ++i)
        workspace.load(dir.write("in" + std::to_string(i) + ".csv", files[i]), load);
    ScriptOptions options;
    options.dialect = setup.dialect;
    options.tableName = setup.table;
    options.separator = setup.separator;
    options.headerLine = setup.header;
    options.nullEmpty = setup.nullEmpty;
    options.multiRow = setup.multiRow;
    options.transaction = setup.transaction;
    options.encoding = setup.encoding;
    StringSink sink;
    Exported out;
    out.result = Donustur(workspace, options, sink);
    out.bytes = sink.bytes;
    return out;
}

std::string exportCsv(const std::string& csv, const ExportSetup& setup)
{
    return exportFiles({csv}, setup).bytes;
}

// The worked examples: id,name / 1,Anna / 2, with the header option on.
constexpr std::string_view kExampleCsv = "id,name\r\n1,Anna\r\n2,\r\n";

TEST(ScriptWriterExamples, SqlServerOneStatementPerRow)
{
    ExportSetup s;
    s.loadDialect = s.dialect = Dialect::MsSql;
    EXPECT_EQ(exportCsv(std::string(kExampleCsv), s), crlf("\n"
                                                           "CREATE TABLE NEW_TABLE (\n"
                                                           "[id] nvarchar(max),\n"
                                                           "[name] nvarchar(max)\n"
                                                           ");\n"
                                                           "\n"
                                                           "INSERT INTO NEW_TABLE ([id],[name]) VALUES\n"
                                                           "('1','Anna');\n"
                                                           "INSERT INTO NEW_TABLE ([id],[name]) VALUES\n"
                                                           "('2','');\n"));
}

TEST(ScriptWriterExamples, OracleMultiRowWithNulls)
{
    ExportSetup s;
    s.loadDialect = s.dialect = Dialect::Oracle;
    s.multiRow = s.nullEmpty = true;
    EXPECT_EQ(exportCsv(std::string(kExampleCsv), s), crlf("\n"
                                                           "CREATE TABLE NEW_TABLE (\n"
                                                           "id clob,\n"
                                                           "name clob\n"
                                                           ");\n"
                                                           "\n"
                                                           "INSERT INTO NEW_TABLE (id,name) VALUES\n"
                                                           "('1','Anna'),\n"
                                                           "('2',NULL);\n"));
}

TEST(ScriptWriterExamples, MySqlUsesGraveAccentsEverywhere)
{
    ExportSetup s;
    EXPECT_EQ(exportCsv(std::string(kExampleCsv), s), crlf("\n"
                                                           "CREATE TABLE NEW_TABLE (\n"
                                                           "`id` text,\n"
                                                           "`name` text\n"
                                                           ");\n"
                                                           "\n"
                                                           "INSERT INTO NEW_TABLE (`id`,`name`) VALUES\n"
                                                           "('1','Anna');\n"
                                                           "INSERT INTO NEW_TABLE (`id`,`name`) VALUES\n"
                                                           "('2','');\n"));
}

TEST(ScriptWriterExamples, SqliteBareInCreateGraveInInsert)
{
    ExportSetup s;
    s.loadDialect = s.dialect = Dialect::Sqlite;
    s.multiRow = s.nullEmpty = true;
    EXPECT_EQ(exportCsv(std::string(kExampleCsv), s), crlf("\n"
                                                           "CREATE TABLE NEW_TABLE (\n"
                                                           "id text,\n"
                                                           "name text\n"
                                                           ");\n"
                                                           "\n"
                                                           "INSERT INTO NEW_TABLE (`id`,`name`) VALUES\n"
                                                           "('1','Anna'),\n"
                                                           "('2',NULL);\n"));
}

TEST(ScriptWriterExamples, EveryDialectHasItsQuotingAndDefaultType)
{
    struct Row {
        Dialect dialect;
        std::string createLine;
        std::string insertHeader;
    };
    const std::vector<Row> rows = {
        {Dialect::MySql, "`id` text", "INSERT INTO T (`id`) VALUES"},
        {Dialect::MsSql, "[id] nvarchar(max)", "INSERT INTO T ([id]) VALUES"},
        {Dialect::Access, "[id] longtext", "INSERT INTO T ([id]) VALUES"},
        {Dialect::Oracle, "id clob", "INSERT INTO T (id) VALUES"},
        {Dialect::PostgreSql, "id text", "INSERT INTO T (id) VALUES"},
        {Dialect::IbmDb2, "id clob", "INSERT INTO T (id) VALUES"},
        {Dialect::Sqlite, "id text", "INSERT INTO T (`id`) VALUES"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(dialectInfo(row.dialect).identifier));
        ExportSetup s;
        s.loadDialect = s.dialect = row.dialect;
        s.table = u"T";
        EXPECT_EQ(exportCsv("id\r\n7\r\n", s),
                  crlf("\nCREATE TABLE T (\n" + row.createLine + "\n);\n\n" + row.insertHeader + "\n('7');\n"));
    }
}

// The value lines of a one-column-or-more script, without the head.
std::string insertPart(const std::string& script)
{
    const auto at = script.find(");\r\n\r\n");
    return at == std::string::npos ? script : script.substr(at + 6);
}

TEST(ScriptWriterEdges, EmptyTableNameLeavesTwoSpaces)
{
    ExportSetup s;
    s.table.clear();
    const std::string script = exportCsv("a\r\n1\r\n", s);
    EXPECT_NE(script.find("CREATE TABLE  (\r\n"), std::string::npos);
    EXPECT_NE(script.find("INSERT INTO  (`a`) VALUES\r\n"), std::string::npos);
}

TEST(ScriptWriterEdges, NoColumnNames)
{
    // An empty first line with the header option on gives no columns.
    ExportSetup s;
    EXPECT_EQ(exportCsv("\r\nx\r\n", s), crlf("\n"
                                              "CREATE TABLE NEW_TABLE (\n"
                                              ");\n"
                                              "\n"
                                              "INSERT INTO NEW_TABLE () VALUES\n"
                                              "();\n"));
}

TEST(ScriptWriterEdges, HeaderOnlyGivesNoInsert)
{
    ExportSetup s;
    s.multiRow = true;
    EXPECT_EQ(exportCsv("a,b\r\n", s), crlf("\nCREATE TABLE NEW_TABLE (\n`a` text,\n`b` text\n);\n\n"));
}

TEST(ScriptWriterEdges, ValueItems)
{
    struct Row {
        const char* name;
        std::string line; // one data row under the header a,b
        bool nullEmpty;
        std::string values;
    };
    // clang-format off
    const std::vector<Row> rows = {
        {"single row, multi-row", "1,2", false, "('1','2');\n"},
        {"extra fields dropped", "1,2,3,4", false, "('1','2');\n"},
        {"missing fields empty", "1", false, "('1','');\n"},
        {"missing fields NULL", "1", true, "('1',NULL);\n"},
        {"empty line", "", false, "('','');\n"},
        {"empty line NULL", "", true, "(NULL,NULL);\n"},
        {"quotes and blanks only", "\" \"\" \",x", true, "(NULL,'x');\n"},
        {"quoted name with apostrophe", "  \"O'Brien\"  ,x", false, "('O''Brien','x');\n"},
        {"text NULL stays a string", "NULL,null", true, "('NULL','null');\n"},
        {"trailing backslash doubled", "abc\\,x", false, "('abc\\\\','x');\n"},
        {"tab and control characters trimmed", "\t a \x01,b", false, "('a','b');\n"},
        {"no-break space kept", "\xC2\xA0" "a,b", false, "('\xC2\xA0" "a','b');\n"},
        {"quoted separator", "\"x,y\",z", false, "('x,y','z');\n"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ExportSetup s;
        s.multiRow = true;
        s.nullEmpty = row.nullEmpty;
        EXPECT_EQ(insertPart(exportCsv("a,b\r\n" + row.line + "\r\n", s)),
                  crlf("INSERT INTO NEW_TABLE (`a`,`b`) VALUES\n" + row.values));
    }
}

TEST(ScriptWriterEdges, LaterFilesHeaderLinesAreData)
{
    ExportSetup s;
    s.multiRow = true;
    const auto out = exportFiles({"a\r\n1\r\n", "a\r\n2\r\n", "a\r\n3\r\n"}, s);
    EXPECT_EQ(insertPart(out.bytes),
              crlf("INSERT INTO NEW_TABLE (`a`) VALUES\n('1'),\n('a'),\n('2'),\n('a'),\n('3');\n"));
    EXPECT_EQ(out.result.rowsExported, 5u);
}

TEST(ScriptWriterEdges, TypesComeFromTheLoadNotTheExportDialect)
{
    ExportSetup s;
    s.loadDialect = Dialect::MySql;
    s.dialect = Dialect::Oracle;
    EXPECT_NE(exportCsv("a\r\n1\r\n", s).find("\r\na text\r\n"), std::string::npos);
}

TEST(ScriptWriterEdges, HeaderOptionOffExportsTheFirstLine)
{
    ExportSetup s;
    s.header = false;
    s.separator = u';';
    EXPECT_EQ(insertPart(exportCsv("a;b\r\n", s)),
              crlf("INSERT INTO NEW_TABLE (`COLUMN1`,`COLUMN2`) VALUES\n('a','b');\n"));
}

TEST(ScriptWriterEdges, SameWorkspaceTwiceIsByteIdentical)
{
    TempDir dir;
    Workspace workspace;
    workspace.load(dir.write("a.csv", "x,y\r\n1,\"2\"\r\n3,4\r\n"),
                   LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
    ScriptOptions options;
    options.headerLine = true;
    StringSink first;
    StringSink second;
    Donustur(workspace, options, first);
    Donustur(workspace, options, second);
    EXPECT_EQ(first.bytes, second.bytes);
    EXPECT_EQ(workspace.rowCount(), 3u);
}

// Values can never end their string early, whatever the dialect.
TEST(ScriptWriterEscaping, ApostrophesAndBackslashes)
{
    struct Row {
        Dialect dialect;
        std::string expected;
    };
    // Fields: O'Brien | abc\ | a\'b | ''
    const std::string csv = "a,b,c,d\r\nO'Brien,abc\\,a\\'b,''\r\n";
    const std::vector<Row> rows = {
        {Dialect::MySql, "('O''Brien','abc\\\\','a\\\\''b','''''');"},
        {Dialect::MsSql, "('O''Brien','abc\\','a\\''b','''''');"},
        {Dialect::Access, "('O''Brien','abc\\','a\\''b','''''');"},
        {Dialect::Oracle, "('O''Brien','abc\\','a\\''b','''''');"},
        {Dialect::PostgreSql, "('O''Brien','abc\\','a\\''b','''''');"},
        {Dialect::IbmDb2, "('O''Brien','abc\\','a\\''b','''''');"},
        {Dialect::Sqlite, "('O''Brien','abc\\','a\\''b','''''');"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(dialectInfo(row.dialect).identifier));
        ExportSetup s;
        s.dialect = row.dialect;
        const std::string script = exportCsv(csv, s);
        EXPECT_NE(script.find("\r\n" + row.expected + "\r\n"), std::string::npos) << script;
    }
}

TEST(ScriptWriterEscaping, MariaDbInjectionRowStaysOneValue)
{
    // A value ending in a backslash must not escape its closing apostrophe.
    ExportSetup s;
    s.header = false;
    const std::string script = exportCsv("abc\\,\",1);CREATE TABLE injected (x int);#\"\r\n", s);
    // The quoted commas count for the column count (three columns), not for the split (two fields).
    EXPECT_NE(script.find("\r\n('abc\\\\',',1);CREATE TABLE injected (x int);#','');\r\n"), std::string::npos)
        << script;
}

// Separators that the row loop leaves to the field-by-field path (a NUL, a
// double quote, a character beyond ASCII) still have MySQL's backslashes
// doubled, in both encodings of the script.
TEST(ScriptWriterEscaping, MySqlBackslashesDoubledWhateverTheSeparator)
{
    struct Case {
        const char* name;
        char16_t separator;
        std::string utf8; // the separator in a UTF-8 file
        std::string ansi; // in an ANSI file; empty where Windows-1252 has no such character
        std::string inserts;
    };
    // Fields: x\y | z\ | \'
    const std::string three = crlf("INSERT INTO NEW_TABLE (`a`,`b`,`c`) VALUES\n('x\\\\y','z\\\\','\\\\''');\n");
    const std::vector<Case> cases = {
        // A NUL ends the line for splitting: one column, one field.
        {"NUL", u'\0', std::string(1, '\0'), std::string(1, '\0'),
         crlf("INSERT INTO NEW_TABLE (`a`) VALUES\n('x\\\\y');\n")},
        {"double quote", u'"', "\"", "\"", three},
        {"section sign", u'\u00A7', "\xC2\xA7", "\xA7", three},
        {"CJK", u'\u4E2D', "\xE4\xB8\xAD", "", three},
    };
    for (const auto& c : cases) {
        for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Ansi}) {
            const std::string& sep = encoding == TextEncoding::Utf8 ? c.utf8 : c.ansi;
            if (sep.empty())
                continue;
            SCOPED_TRACE(std::string(c.name) + (encoding == TextEncoding::Utf8 ? ", UTF-8" : ", ANSI"));
            ExportSetup s;
            s.separator = c.separator;
            s.encoding = encoding;
            const std::string csv = "a" + sep + "b" + sep + "c\r\nx\\y" + sep + "z\\" + sep + "\\'\r\n";
            EXPECT_EQ(insertPart(exportCsv(csv, s)), c.inserts);
        }
    }
}

// Oracle takes a string literal of at most 4,000 bytes, Db2 of 32,672: a
// longer value goes in pieces, each within the limit, never cut inside a
// character or a doubled apostrophe; values within the limit stay as they are.
// Oracle's pieces are within a line (kOracleLineBytes), 2,400 bytes with
// their quotes, and large objects past the 4,000 bytes of a literal; Db2's
// are large objects past 32,672 bytes. The items are compared with the
// line breaks between their pieces taken out (OracleLines tests those).
TEST(ScriptWriterEscaping, LongLiteralsGoInPiecesWithinTheLimit)
{
    const auto a = [](std::size_t n) { return std::string(n, 'a'); };
    const std::string e = "\xC3\xA9";             // é, two bytes
    const std::string emoji = "\xF0\x9F\x98\x80"; // four bytes
    struct Case {
        const char* label;
        Dialect dialect;
        TextEncoding encoding;
        std::string value; // the CSV field, UTF-8
        std::string item;  // as written
    };
    const Case cases[] = {
        {"a piece at its limit", Dialect::Oracle, TextEncoding::Utf8, a(2398), "'" + a(2398) + "'"},
        {"one over", Dialect::Oracle, TextEncoding::Utf8, a(2399), "'" + a(2398) + "'||'a'"},
        {"doubled apostrophe kept whole", Dialect::Oracle, TextEncoding::Utf8, a(2397) + "'",
         "'" + a(2397) + "'||''''"},
        {"two-byte character kept whole", Dialect::Oracle, TextEncoding::Utf8, a(2397) + e,
         "'" + a(2397) + "'||'" + e + "'"},
        {"four-byte character kept whole", Dialect::Oracle, TextEncoding::Utf8, a(2395) + emoji,
         "'" + a(2395) + "'||'" + emoji + "'"},
        {"ANSI counts its own bytes", Dialect::Oracle, TextEncoding::Ansi, a(2397) + e, "'" + a(2397) + "\xE9'"},
        {"a literal at 4,000 bytes", Dialect::Oracle, TextEncoding::Utf8, a(4000),
         "'" + a(2398) + "'||'" + a(1602) + "'"},
        {"a doubled apostrophe counts once", Dialect::Oracle, TextEncoding::Utf8, a(3999) + "'",
         "'" + a(2398) + "'||'" + a(1601) + "'''"},
        {"one over 4,000: large objects", Dialect::Oracle, TextEncoding::Utf8, a(4001),
         "TO_CLOB('" + a(2398) + "')||TO_CLOB('" + a(1603) + "')"},
        {"three pieces", Dialect::Oracle, TextEncoding::Utf8, std::string(6000, 'b'),
         "TO_CLOB('" + std::string(2398, 'b') + "')||TO_CLOB('" + std::string(2398, 'b') + "')||TO_CLOB('"
             + std::string(1204, 'b') + "')"},
        {"db2 at its limit", Dialect::IbmDb2, TextEncoding::Utf8, std::string(32672, 'c'),
         "'" + std::string(32672, 'c') + "'"},
        {"db2 over", Dialect::IbmDb2, TextEncoding::Utf8, std::string(32673, 'c'),
         "CLOB('" + std::string(32672, 'c') + "')||CLOB('c')"},
        {"db2 doubled apostrophe kept whole", Dialect::IbmDb2, TextEncoding::Utf8, std::string(32671, 'c') + "''",
         "CLOB('" + std::string(32671, 'c') + "''')||CLOB('''')"},
        {"postgresql has no such limit", Dialect::PostgreSql, TextEncoding::Utf8, std::string(40000, 'd'),
         "'" + std::string(40000, 'd') + "'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        // The one-pass row loop, and the field-by-field one of a separator
        // that is not ASCII.
        for (const std::string separator : {",", "\xC2\xA7"}) {
            SCOPED_TRACE("separator " + separator);
            ExportSetup s;
            s.dialect = c.dialect;
            s.encoding = c.encoding;
            s.header = false;
            s.separator = separator == "," ? u',' : u'\u00A7';
            const std::string csv = "\xEF\xBB\xBF"
                                    "1"
                                    + separator + c.value + "\r\n";
            const std::string script = exportCsv(csv, s);
            std::string row = script.substr(script.rfind("VALUES\r\n") + 8);
            std::erase(row, '\r');
            std::erase(row, '\n');
            EXPECT_TRUE(row == "('1'," + c.item + ");") << row.substr(row.size() - 60);
        }
    }
}

TEST(ScriptWriterEscaping, SqlServerNationalLiteralsOnlyForNonAscii)
{
    ExportSetup s;
    s.dialect = Dialect::MsSql;
    s.nullEmpty = true;
    const std::string script = exportCsv("a,b,c,d\r\nplain,Köln,\xE4\xB8\xAD,\r\n", s);
    EXPECT_NE(script.find("\r\n('plain',N'K\xC3\xB6ln',N'\xE4\xB8\xAD',NULL);\r\n"), std::string::npos) << script;
    s.dialect = Dialect::Access;
    EXPECT_NE(
        exportCsv("a,b,c,d\r\nplain,Köln,\xE4\xB8\xAD,\r\n", s).find("('plain','K\xC3\xB6ln','\xE4\xB8\xAD',NULL);"),
        std::string::npos);
}

TEST(ScriptWriterNames, QuotedSoTheyCannotBreakOut)
{
    struct Row {
        const char* name;
        Dialect dialect;
        std::u16string create;
        std::u16string insert;
    };
    const std::vector<Row> rows = {
        {"plain", Dialect::PostgreSql, u"full_name2", u"full_name2"},
        {"space", Dialect::PostgreSql, u"\"full name\"", u"\"full name\""},
        {"space sqlite", Dialect::Sqlite, u"\"full name\"", u"`full name`"},
        {"digit first", Dialect::Oracle, u"\"1st\"", u"\"1st\""},
        {"reserved any case", Dialect::Oracle, u"\"Order\"", u"\"Order\""},
        {"reserved sqlite", Dialect::Sqlite, u"\"select\"", u"`select`"},
        {"reserved db2", Dialect::IbmDb2, u"\"USER\"", u"\"USER\""},
        {"not reserved keeps case", Dialect::PostgreSql, u"City", u"City"},
        {"non-ASCII letters plain", Dialect::PostgreSql, u"\u015fehir", u"\u015fehir"},
        {"double quote doubled", Dialect::Oracle, u"\"a\"\"b\"", u"\"a\"\"b\""},
        {"grave accent doubled", Dialect::MySql, u"`a``b`", u"`a``b`"},
        {"grave accent doubled sqlite insert", Dialect::Sqlite, u"\"a`b\"", u"`a``b`"},
        {"bracket doubled", Dialect::MsSql, u"[a]]b]", u"[a]]b]"},
        {"bracket doubled access", Dialect::Access, u"[x]];--]", u"[x]];--]"},
        {"mysql reserved word just quoted", Dialect::MySql, u"`order`", u"`order`"},
        {"hyphen", Dialect::IbmDb2, u"\"a-b\"", u"\"a-b\""},
        {"empty", Dialect::PostgreSql, u"\"\"", u"\"\""},
        // Oracle and Db2 take a bare name only in ASCII, beginning with a letter.
        {"leading underscore oracle", Dialect::Oracle, u"\"_u\"", u"\"_u\""},
        {"leading underscore db2", Dialect::IbmDb2, u"\"_u\"", u"\"_u\""},
        {"superscript oracle", Dialect::Oracle, u"\"m\u00B2\"", u"\"m\u00B2\""},
        {"euro db2", Dialect::IbmDb2, u"\"Preis\u20AC\"", u"\"Preis\u20AC\""},
        {"no-break space db2", Dialect::IbmDb2, u"\"a\u00A0b\"", u"\"a\u00A0b\""},
        {"non-ASCII letter oracle", Dialect::Oracle, u"\"\u015fehir\"", u"\"\u015fehir\""},
        {"ASCII with underscore and digit oracle", Dialect::Oracle, u"a_1", u"a_1"},
        {"ASCII with underscore and digit db2", Dialect::IbmDb2, u"Z9_", u"Z9_"},
        // PostgreSQL and SQLite take both bare.
        {"leading underscore postgresql", Dialect::PostgreSql, u"_u", u"_u"},
        {"superscript sqlite", Dialect::Sqlite, u"m\u00B2", u"`m\u00B2`"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::u16string name = row.name == std::string("double quote doubled") ? u"a\"b" : u"";
        if (name.empty()) {
            // The bare name is what the create column holds once its quoting is undone.
            std::u16string n = row.create;
            if (n.size() >= 2 && (n.front() == u'"' || n.front() == u'[' || n.front() == u'`')) {
                const char16_t close = n.front() == u'[' ? u']' : n.front();
                n = n.substr(1, n.size() - 2);
                std::u16string undone;
                for (std::size_t i = 0; i < n.size(); ++i) {
                    undone.push_back(n[i]);
                    if (n[i] == close && i + 1 < n.size() && n[i + 1] == close)
                        ++i;
                }
                n = undone;
            }
            name = n;
        }
        EXPECT_EQ(quoteColumnName(row.dialect, NamePlace::CreateTable, name), row.create);
        EXPECT_EQ(quoteColumnName(row.dialect, NamePlace::InsertList, name), row.insert);
    }
}

TEST(ScriptWriterNames, TableNameAndTypesStayAsTyped)
{
    TempDir dir;
    Workspace workspace;
    workspace.load(dir.write("a.csv", "full name,order\r\n1,2\r\n"),
                   LoadOptions{TextEncoding::Utf8, true, u',', Dialect::PostgreSql});
    workspace.replaceType(0, u"varchar(20) NOT NULL");
    ScriptOptions options;
    options.dialect = Dialect::PostgreSql;
    options.tableName = u"my schema.\"T\"";
    options.headerLine = true;
    StringSink sink;
    Donustur(workspace, options, sink);
    EXPECT_EQ(sink.bytes,
              crlf("\nCREATE TABLE my schema.\"T\" (\n\"full name\" varchar(20) NOT NULL,\n\"order\" text\n);\n\n"
                   "INSERT INTO my schema.\"T\" (\"full name\",\"order\") VALUES\n('1','2');\n"));
}

TEST(ScriptWriterStatements, SqlServerStartsANewInsertEvery1000Rows)
{
    std::string csv = "n\r\n";
    for (int i = 1; i <= 2001; ++i)
        csv += std::to_string(i) + "\r\n";
    ExportSetup s;
    s.dialect = Dialect::MsSql;
    s.multiRow = true;
    const std::string script = exportCsv(csv, s);
    const std::string header = "INSERT INTO NEW_TABLE ([n]) VALUES\r\n";
    EXPECT_EQ(script.find(header + "('1'),\r\n"), script.find(header));
    EXPECT_NE(script.find("('999'),\r\n('1000');\r\n" + header + "('1001'),\r\n"), std::string::npos);
    EXPECT_NE(script.find("('2000');\r\n" + header + "('2001');\r\n"), std::string::npos);
    std::size_t headers = 0;
    for (auto at = script.find(header); at != std::string::npos; at = script.find(header, at + 1))
        ++headers;
    EXPECT_EQ(headers, 3u);
    EXPECT_TRUE(script.ends_with("('2001');\r\n"));

    // Other dialects keep one statement.
    s.dialect = Dialect::PostgreSql;
    const std::string one = exportCsv(csv, s);
    EXPECT_EQ(one.find("INSERT"), one.rfind("INSERT"));
    EXPECT_NE(one.find("('1000'),\r\n('1001'),"), std::string::npos);
}

// The statements of a script's INSERT part: each from its header up to and
// including the line end after ";".
std::vector<std::string_view> statementsOf(std::string_view inserts, std::string_view header)
{
    std::vector<std::string_view> statements;
    std::size_t at = 0;
    while (at < inserts.size()) {
        const std::size_t next = inserts.find(header, at + 1);
        const std::size_t end = next == std::string_view::npos ? inserts.size() : next;
        statements.push_back(inserts.substr(at, end - at));
        at = end;
    }
    return statements;
}

std::string statementSizes(std::string_view inserts, std::string_view header)
{
    std::string sizes;
    for (const auto statement : statementsOf(inserts, header))
        sizes += (sizes.empty() ? "" : " ") + std::to_string(statement.size());
    return sizes;
}

// A value item as the dialect writes it, for ASCII values without
// apostrophes: one literal, or past Oracle's 4,000 or Db2's 32,672 bytes a
// concatenation of pieces within that limit.
// A value's item as the writer puts it in a one-row script of one column
// (for Oracle and Db2, long values in pieces, and Oracle's long lines
// broken): what each row of a multi-row statement must hold too.
std::string literalItem(Dialect dialect, const std::string& value)
{
    ExportSetup s;
    s.dialect = dialect;
    const std::string script = exportCsv("c\r\n" + value + "\r\n", s);
    const auto at = script.find("VALUES\r\n(") + 9;
    return script.substr(at, script.size() - at - 4);
}

// A value line's bytes: "(", the item, ")" and its terminator with CR LF.
std::size_t valueLineBytes(Dialect dialect, const std::string& value)
{
    return literalItem(dialect, value).size() + 5;
}

TEST(ScriptWriterStatements, MultiRowStatementsEndBeforeTheyPassTheDialectsSize)
{
    // Rows of one column, sized by the header of the dialect so that the
    // first statement ends exactly at the limit. `statements` groups the rows
    // by the statement that must hold them.
    struct Case {
        const char* name;
        std::vector<std::string> values;
        std::vector<std::vector<std::size_t>> statements;
    };
    // The sizes: only SQLite's changes inside one transaction.
    struct Cut {
        Dialect dialect;
        bool transaction;
        std::size_t limit;
    };
    const std::vector<Cut> cuts = {
        {Dialect::MySql, false, 1048576},      {Dialect::MySql, true, 1048576},      {Dialect::IbmDb2, false, 1048576},
        {Dialect::PostgreSql, false, 1048576}, {Dialect::PostgreSql, true, 1048576}, {Dialect::Sqlite, false, 1048576},
        {Dialect::Sqlite, true, 262144},       {Dialect::Oracle, false, 65536},
    };
    for (const auto& [dialect, transaction, limit] : cuts) {
        ASSERT_EQ(statementBytesFor(dialect, transaction), limit);
        const bool grave = dialect == Dialect::MySql || dialect == Dialect::Sqlite;
        const std::string header = grave ? "INSERT INTO t (`c`) VALUES\r\n" : "INSERT INTO t (c) VALUES\r\n";
        // Db2 and Oracle write so long a value in pieces, which take some
        // hundred bytes more (Oracle's also its line breaks).
        const bool pieces = dialect == Dialect::IbmDb2 || dialect == Dialect::Oracle;
        const std::size_t fill = limit - header.size() - 2 * 7 - 10 - (pieces ? 1000 : 0);
        const std::string atLimit(fill, 'a');
        const std::size_t rest = limit - header.size() - valueLineBytes(dialect, atLimit) - 7;
        const std::string oversized(limit, 'z');
        const std::vector<Case> cases = {
            {"exactly at the limit, then one byte past it", {atLimit, std::string(rest, 'b'), "c"}, {{0, 1}, {2}}},
            {"a row that would pass the limit starts the next statement",
             {atLimit, std::string(rest + 1, 'b'), "c"},
             {{0}, {1, 2}}},
            // A statement that a cut began counts its INSERT header too.
            {"after a cut, exactly at the limit",
             {atLimit, std::string(rest, 'b'), std::string(fill, 'd'), std::string(rest, 'e'), "f"},
             {{0, 1}, {2, 3}, {4}}},
            {"after a cut, one byte past the limit",
             {atLimit, std::string(rest, 'b'), std::string(fill, 'd'), std::string(rest + 1, 'e'), "f"},
             {{0, 1}, {2}, {3, 4}}},
            {"an oversized row stands alone between two statements", {"a", oversized, "b", "c"}, {{0}, {1}, {2, 3}}},
            {"an oversized first row stands alone", {oversized, "b"}, {{0}, {1}}},
            {"two oversized rows", {oversized, oversized + "y"}, {{0}, {1}}},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(dialectInfo(dialect).identifier) + (transaction ? " one transaction: " : ": ")
                         + c.name);
            std::string csv = "c\r\n";
            for (const auto& v : c.values)
                csv += v + "\r\n";
            std::string expected;
            for (const auto& statement : c.statements) {
                expected += header;
                for (std::size_t i = 0; i < statement.size(); ++i)
                    expected += "(" + literalItem(dialect, c.values[statement[i]]) + ")"
                                + (i + 1 < statement.size() ? ",\r\n" : ";\r\n");
            }
            ExportSetup s;
            s.dialect = dialect;
            s.multiRow = true;
            s.transaction = transaction;
            s.table = u"t";
            std::string actual = insertPart(exportCsv(csv, s));
            if (transaction) {
                if (actual.starts_with("START TRANSACTION;\r\n"))
                    actual.erase(0, 20);
                ASSERT_TRUE(actual.ends_with(";\r\nCOMMIT;\r\n"));
                actual.resize(actual.size() - 9);
            }
            EXPECT_TRUE(actual == expected) << "statement sizes " << statementSizes(actual, header) << ", expected "
                                            << statementSizes(expected, header);
        }
        // The first case's first statement is exactly the limit long.
        ASSERT_EQ(header.size() + valueLineBytes(dialect, atLimit) + valueLineBytes(dialect, std::string(rest, 'b')),
                  limit);
    }
}

TEST(ScriptWriterStatements, HeadersAddedByTheCutCountTheirSubstitutes)
{
    // A table name that ANSI cannot hold is substituted in the head and in
    // every INSERT header, also in those that the size cut adds.
    const std::string row(kStatementBytes / 2, 'v');
    const std::string csv = "c\r\n" + row + "\r\n" + row + "\r\n" + row + "\r\n";
    ExportSetup s;
    s.multiRow = true;
    s.encoding = TextEncoding::Ansi;
    s.table = u"t\u2603";
    const auto out = exportFiles({csv}, s);
    const std::string header = "INSERT INTO t? (`c`) VALUES\r\n";
    const std::string line = "('" + row + "')";
    EXPECT_TRUE(insertPart(out.bytes) == header + line + ";\r\n" + header + line + ";\r\n" + header + line + ";\r\n");
    EXPECT_EQ(out.result.substituted, 4u);
}

TEST(ScriptWriterStatements, AccessWritesAnInsertPerRowWithTheMultiRowOption)
{
    // Access SQL has no multi-row VALUES.
    ExportSetup s;
    s.loadDialect = s.dialect = Dialect::Access;
    s.multiRow = true;
    const std::string script = exportCsv(std::string(kExampleCsv), s);
    EXPECT_EQ(insertPart(script), crlf("INSERT INTO NEW_TABLE ([id],[name]) VALUES\n('1','Anna');\n"
                                       "INSERT INTO NEW_TABLE ([id],[name]) VALUES\n('2','');\n"));
    s.multiRow = false;
    EXPECT_EQ(exportCsv(std::string(kExampleCsv), s), script);
}

TEST(ScriptWriterStatements, SqlServerKeepsOneStatementPastTheSize)
{
    // Statements of well over 1 MiB: SQL Server's cut counts rows, and these
    // are fewer than 1000.
    struct Case {
        Dialect dialect;
        std::string header;
    };
    const std::vector<Case> cases = {
        {Dialect::MsSql, "INSERT INTO t ([c]) VALUES\r\n"},
    };
    const std::string oversized(kStatementBytes, 'z');
    const std::string csv = "c\r\na\r\n" + oversized + "\r\nb\r\n" + oversized + "\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(dialectInfo(c.dialect).identifier));
        ExportSetup s;
        s.dialect = c.dialect;
        s.multiRow = true;
        s.table = u"t";
        const std::string item = literalItem(c.dialect, oversized);
        EXPECT_TRUE(insertPart(exportCsv(csv, s))
                    == c.header + "('a'),\r\n(" + item + "),\r\n('b'),\r\n(" + item + ");\r\n");
    }
}

TEST(ScriptWriterStatements, EveryStatementIsAsFullAsTheLimitAllows)
{
    // Rows of many sizes, some with values that grow when escaped, over
    // several of the writer's flushes: every statement keeps within the
    // limit unless it holds one row, and the next statement's first row
    // would have taken it past the limit.
    // MySQL's 1 MiB, and SQLite's smaller cut inside one transaction.
    for (const auto& [dialect, transaction] : {std::pair{Dialect::MySql, false}, std::pair{Dialect::Sqlite, true}}) {
        SCOPED_TRACE(dialectInfo(dialect).identifier);
        const std::size_t limit = statementBytesFor(dialect, transaction);
        std::mt19937 random(7);
        std::string csv = "a,b\r\n";
        std::size_t rows = 0;
        while (csv.size() < 6 * limit) {
            const std::size_t size = random() % 16 == 0 ? random() % (limit + 1000) : random() % 3000;
            std::string value;
            while (value.size() < size) {
                static constexpr std::string_view kPieces[] = {"xxxxxxxx", "'", "\\", "\xC3\xA9"};
                value += kPieces[random() % 4];
            }
            csv += std::to_string(rows++) + "," + value + "\r\n";
        }
        ExportSetup s;
        s.dialect = dialect;
        s.multiRow = true;
        s.transaction = transaction;
        const std::string script = exportCsv(csv, s);
        const std::string header = "INSERT INTO NEW_TABLE (`a`,`b`) VALUES\r\n";
        std::string inserts = insertPart(script);
        if (transaction) {
            ASSERT_TRUE(inserts.ends_with("\r\nCOMMIT;\r\n"));
            inserts.resize(inserts.size() - 9);
        }
        const auto statements = statementsOf(inserts, header);
        ASSERT_GT(statements.size(), 6u);
        std::size_t lines = 0;
        for (std::size_t i = 0; i < statements.size(); ++i) {
            SCOPED_TRACE("statement " + std::to_string(i));
            const std::string_view statement = statements[i];
            ASSERT_TRUE(statement.starts_with(header) && statement.ends_with(");\r\n"));
            const std::size_t statementLines =
                static_cast<std::size_t>(std::count(statement.begin(), statement.end(), '\n')) - 1;
            lines += statementLines;
            EXPECT_TRUE(statement.size() <= limit || statementLines == 1) << statement.size() << " bytes";
            if (i + 1 < statements.size()) {
                const std::string_view next = statements[i + 1].substr(header.size());
                const std::size_t firstLine = next.find("\r\n") + 2;
                EXPECT_GT(statement.size() + firstLine, limit) << "the next row would have fitted";
            }
        }
        EXPECT_EQ(lines, rows);
    }
}

TEST(ScriptWriterEncoding, AnsiOutputSubstitutesAndCounts)
{
    ExportSetup s;
    s.encoding = TextEncoding::Ansi;
    // Read as ANSI: bytes are Windows-1252. A UTF-8 file with its mark is
    // read as UTF-8 whatever the choice, which lets the test hold characters
    // that Windows-1252 lacks.
    const auto out = exportFiles({"\xEF\xBB\xBF"
                                  "a\xC5\x82,b\r\n\xE2\x82\xAC\xC3\xA9,\xE4\xB8\xAD\xF0\x9F\x98\x80\r\n"},
                                 s);
    EXPECT_EQ(out.bytes, "\r\nCREATE TABLE NEW_TABLE (\r\n`al` text,\r\n`b` text\r\n);\r\n\r\n"
                         "INSERT INTO NEW_TABLE (`al`,`b`) VALUES\r\n('\x80\xE9','?"
                         "?');\r\n");
    // ł in the create line and in the insert header, 中 and the emoji.
    EXPECT_EQ(out.result.substituted, 4u);
}

// A cell or a name that tries to leave its literal or its quotes through a
// character the code page lacks: its substitute must never be the quote,
// backslash or bracket that the escaping already went past.
TEST(ScriptWriterEncoding, AnsiSubstitutesCannotBreakOut)
{
    struct Case {
        Dialect dialect;
        const char* header; // UTF-8
        const char* value;  // UTF-8
        std::string expectedHead;
        std::string expectedRow;
    };
    const std::string fullwidthApostrophe = "x\xEF\xBC\x87);DROP TABLE t;--"; // x＇);DROP TABLE t;--
    const Case cases[] = {
        {Dialect::PostgreSql, "a", fullwidthApostrophe.c_str(), "a text", "('1','x?);DROP TABLE t;--');"},
        {Dialect::MySql, "a", fullwidthApostrophe.c_str(), "`a` text", "('1','x?);DROP TABLE t;--');"},
        {Dialect::MsSql, "a", fullwidthApostrophe.c_str(), "[a] nvarchar(max)", "('1',N'x?);DROP TABLE t;--');"},
        {Dialect::MySql, "a", "y\xEF\xBC\xBC", "`a` text", "('1','y?');"}, // y＼
        {Dialect::MySql,
         "c\xEF\xBD\x80"
         "d",
         "v", "`c?d` text", "('1','v');"}, // c｀d
        {Dialect::MsSql,
         "e\xEF\xBC\xBD"
         "f",
         "v", "[e?f] nvarchar(max)", "('1','v');"}, // e］f
        {Dialect::Access,
         "e\xEF\xBC\xBD"
         "f",
         "v", "[e?f] longtext", "('1','v');"},
        {Dialect::PostgreSql,
         "a\xEF\xBC\x89\xEF\xBC\x9B"
         "b",
         "v", "\"a??b\" text", "('1','v');"}, // a）；b
        // Fullwidth letters become ASCII letters, and then a reserved word.
        {Dialect::PostgreSql, "\xEF\xBD\x93\xEF\xBD\x85\xEF\xBD\x8C\xEF\xBD\x85\xEF\xBD\x83\xEF\xBD\x94", "v",
         "\"select\" text", "('1','v');"},
        {Dialect::Oracle,
         "\xEF\xBC\x91"
         "a",
         "v", "\"1a\" clob", "('1','v');"}, // a fullwidth digit first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "dialect " << static_cast<int>(c.dialect) << ", " << c.header);
        ExportSetup s;
        s.loadDialect = s.dialect = c.dialect;
        s.encoding = TextEncoding::Ansi;
        const std::string csv = std::string("\xEF\xBB\xBF") + "id," + c.header + "\r\n1," + c.value + "\r\n";
        const std::string script = exportCsv(csv, s);
        EXPECT_NE(script.find("\r\n" + c.expectedHead + "\r\n"), std::string::npos) << script;
        EXPECT_TRUE(script.ends_with(c.expectedRow + "\r\n")) << script;
    }
}

// Substituting before quoting and escaping means an ANSI script is the
// script of the text as the code page holds it, for every character of the
// Basic Multilingual Plane and a sample beyond, as a value and as a name.
TEST(ScriptWriterEncoding, AnsiScriptEqualsTheScriptOfTheFittedText)
{
    std::vector<char32_t> codePoints;
    for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp)
        codePoints.push_back(cp); // lone surrogates included
    for (char32_t cp = 0x10000; cp <= 0x10FFFF; cp += 0x1FF)
        codePoints.push_back(cp);
    auto append = [](std::u16string& text, char32_t cp) {
        if (cp < 0x10000) {
            text.push_back(static_cast<char16_t>(cp));
        } else {
            text.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
    };
    constexpr std::size_t kColumns = 512;
    for (const auto& info : kDialects) {
        const Dialect dialect = info.dialect;
        SCOPED_TRACE(std::string(info.identifier));
        ScriptOptions options;
        options.dialect = dialect;
        options.encoding = TextEncoding::Ansi;
        for (std::size_t first = 0; first < codePoints.size(); first += kColumns) {
            const std::size_t count = std::min(kColumns, codePoints.size() - first);
            std::vector<std::u16string> names, fittedNames, types(count, u"text");
            std::u16string row, fittedRow;
            for (std::size_t k = 0; k < count; ++k) {
                // Alone, and between characters that would need quoting or
                // escaping; the é keeps SQL Server's N'' in both scripts.
                std::u16string name, value = u"\u00E9'\\";
                append(name, codePoints[first + k]);
                if (k % 2 == 1)
                    name = u"a" + name + u"]`\"";
                append(value, codePoints[first + k]);
                value += u"'\\]`";
                std::uint64_t ignored = 0;
                names.push_back(name);
                fittedNames.push_back(fitToEncoding(name, TextEncoding::Ansi, ignored));
                if (k > 0) {
                    row += u',';
                    fittedRow += u',';
                }
                row += value;
                fittedRow += fitToEncoding(value, TextEncoding::Ansi, ignored);
            }
            ScriptFormatter formatter(options, names, types);
            ScriptFormatter fitted(options, fittedNames, types);
            OutBuffer a, b;
            formatter.appendHead(a);
            formatter.appendRow(a, row, 0);
            fitted.appendHead(b);
            fitted.appendRow(b, fittedRow, 0);
            ASSERT_EQ(std::string(a.data(), a.size()), std::string(b.data(), b.size()))
                << "code points from U+" << std::hex << static_cast<unsigned>(codePoints[first]);
            EXPECT_EQ(fitted.substituted(), 0u);
            EXPECT_GT(formatter.substituted(), 0u);
        }
    }
}

TEST(ScriptWriterEncoding, Utf8OutputHasNoMarkAndKeepsEverything)
{
    ExportSetup s;
    const auto out = exportFiles({"\xEF\xBB\xBF"
                                  "a\r\n\xF0\x9F\x98\x80 \xE4\xB8\xAD\r\n"},
                                 s);
    EXPECT_EQ(out.bytes.substr(0, 2), "\r\n");
    EXPECT_NE(out.bytes.find("('\xF0\x9F\x98\x80 \xE4\xB8\xAD');"), std::string::npos);
    EXPECT_EQ(out.result.substituted, 0u);
}

TEST(ScriptWriterRoundTrip, DistinctValuesAcrossTheBlockBoundary)
{
    // Rows long enough that several straddle the 4096-byte reading blocks,
    // with a distinct value in every column.
    std::string csv = "c1,c2,c3\r\n";
    std::string expected;
    for (int r = 0; r < 600; ++r) {
        const std::string v1 = "r" + std::to_string(r) + "\xC3\xA9";
        const std::string v2 = "\"q" + std::to_string(r) + ",x\"";
        const std::string v3 = "it's " + std::to_string(r * 7);
        csv += v1 + "," + v2 + "," + v3 + "\r\n";
        expected += std::string(r == 0 ? "" : ",\r\n") + "('" + v1 + "','q" + std::to_string(r) + ",x','it''s "
                    + std::to_string(r * 7) + "')";
    }
    ASSERT_GT(csv.size(), 3 * 4096u);
    ExportSetup s;
    s.multiRow = true;
    EXPECT_EQ(insertPart(exportCsv(csv, s)), "INSERT INTO NEW_TABLE (`c1`,`c2`,`c3`) VALUES\r\n" + expected + ";\r\n");
}

// A sink that accepts a number of bytes, then fails as a full disk would.
class FailingSink final : public ByteSink {
public:
    explicit FailingSink(std::size_t limit) : m_limit(limit) {}
    void write(const char* data, std::size_t size) override
    {
        if (bytes.size() + size > m_limit)
            throw OutputError("failing.sql", "Cannot write", 28 /* ENOSPC */);
        bytes.append(data, size);
    }
    std::string bytes;

private:
    std::size_t m_limit;
};

TEST(ScriptWriterFailures, SinkFailureStopsTheExportAndKeepsWhatWasWritten)
{
    TempDir dir;
    Workspace workspace;
    std::string csv = "a\r\n";
    for (int i = 0; i < 200000; ++i)
        csv += "value number " + std::to_string(i) + "\r\n";
    workspace.load(dir.write("a.csv", csv), LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
    ScriptOptions options;
    options.headerLine = true;
    FailingSink sink(ScriptWriter::kFlushBytes * 2);
    EXPECT_THROW(Donustur(workspace, options, sink), OutputError);
    EXPECT_GT(sink.bytes.size(), 0u);
    EXPECT_TRUE(sink.bytes.starts_with("\r\nCREATE TABLE NEW_TABLE (\r\n"));
}

TEST(ScriptWriterFailures, FullDiskCarriesTheSystemsReason)
{
    TempDir dir;
    Workspace workspace;
    workspace.load(dir.write("a.csv", "a\r\n1\r\n"), LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
    ScriptOptions options;
    options.headerLine = true;
    try {
        Donustur(workspace, options, std::filesystem::path("/dev/full"));
        FAIL() << "writing to a full device succeeded";
    } catch (const OutputError& e) {
        EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("/dev/full"), std::string::npos) << e.what();
    }
}

TEST(ScriptWriterFailures, MissingFolderCannotBeCreated)
{
    TempDir dir;
    Workspace workspace;
    workspace.load(dir.write("a.csv", "a\r\n1\r\n"), LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
    const auto target = dir.path() / "missing" / "out.sql";
    try {
        Donustur(workspace, ScriptOptions{}, target);
        FAIL() << "created a file in a missing folder";
    } catch (const OutputError& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(ScriptWriterFailures, ExistingFileIsReplacedWhole)
{
    TempDir dir;
    Workspace workspace;
    workspace.load(dir.write("a.csv", "a\r\n1\r\n"), LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
    const auto target = dir.write("out.sql", std::string(100000, 'x'));
    ScriptOptions options;
    options.headerLine = true;
    Donustur(workspace, options, target);
    EXPECT_EQ(test::readFile(target),
              crlf("\nCREATE TABLE NEW_TABLE (\n`a` text\n);\n\nINSERT INTO NEW_TABLE (`a`) VALUES\n('1');\n"));
}

} // namespace
} // namespace quarrow

namespace quarrow {
namespace {

using namespace std::string_literals;

// The text as the output encoding writes it, character by character.
std::string encodeExpected(std::u16string_view text, TextEncoding encoding, std::uint64_t& substituted)
{
    if (encoding == TextEncoding::Utf8) {
        std::string bytes(text.size() * 3, '\0');
        char* end = utf8::encode(text.data(), text.size(), bytes.data(), substituted);
        bytes.resize(static_cast<std::size_t>(end - bytes.data()));
        return bytes;
    }
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        const auto encoded = cp1252::encode(cp);
        bytes += static_cast<char>(encoded.byte);
        if (!encoded.exact)
            ++substituted;
    }
    return bytes;
}

// The UTF-8 form of text without lone surrogates; nothing for other text.
std::optional<std::string> validUtf8(std::u16string_view text)
{
    std::uint64_t replaced = 0;
    std::string bytes = encodeExpected(text, TextEncoding::Utf8, replaced);
    if (replaced > 0)
        return std::nullopt;
    return bytes;
}

// Halves of a surrogate pair (from a UTF-16 file) with double quotes between
// them: the quotes are dropped and the halves join, but only while the quotes
// lie inside one field. A lone half is written as U+FFFD and counted.
TEST(ScriptWriterEdges, SurrogateHalvesAroundQuotes)
{
    struct Row {
        const char* name;
        std::u16string line;
        std::string values;
        std::uint64_t substituted;
    };
    const std::string emoji = "\xF0\x9F\x98\x80";
    const std::string replacement = "\xEF\xBF\xBD";
    const std::vector<Row> rows = {
        {"doubled quote between, unquoted", u"\xD83D\"\"\xDE00,x", "('" + emoji + "','x')", 0},
        {"single quote between, unquoted", u"\xD83D\"\xDE00,x", "('" + emoji + "','x')", 0},
        {"doubled quote inside a quoted field", u"\"\xD83D\"\"\xDE00\",x", "('" + emoji + "','x')", 0},
        {"closing quote between", u"\"\xD83D\"\xDE00,x", "('" + replacement + "','" + replacement + "')", 2},
        {"doubled and closing quote between", u"\"\xD83D\"\"\"\xDE00\",x",
         "('" + replacement + "','" + replacement + "')", 2},
        {"separator between", u"\xD83D\", \xDE00", "('" + replacement + "','" + replacement + "')", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptOptions options;
        options.multiRow = true;
        ScriptFormatter formatter(options, {u"a", u"b"}, {u"text", u"text"});
        OutBuffer out;
        formatter.appendRow(out, row.line, 1);
        EXPECT_EQ(std::string(out.data(), out.size()), ",\r\n" + row.values);
        EXPECT_EQ(formatter.substituted(), row.substituted);
    }
}

// The formatter writes value items straight from each field's raw text; the
// result must be what field splitting and clean-up give, for any line. A
// line given as UTF-8 must come out byte for byte as its UTF-16 text does.
TEST(ScriptWriterProperty, ValueLineMatchesSplitAndCleanUp)
{
    // Pieces a line is made of: the separators of the table below, quotes,
    // blanks and controls, the escaped characters, characters of 2, 3 and 4
    // UTF-8 bytes, halves of a surrogate pair, and a character that ANSI
    // writes as a best-fit letter. Runs of plain letters reach the word-wide
    // scans, and longer lines the sixteen-byte ones of UTF-8 rows, with
    // their stops at every place in a vector.
    const std::u16string pieces[] = {u"a",          u"b",      u"xyzw",   u"longer plain run",
                                     u",",          u";",      u"\t",     u"\"",
                                     u"\"\"",       u" ",      u"\x01",   u"\0"s,
                                     u"'",          u"\\",     u"\u00e9", u"\u4e2d",
                                     u"\U0001F600", u"\xD83D", u"\xDE00", u"\u0142"};
    const char16_t separators[] = {u',', u';', u'\t', u'\'', u'\\', u'"', u'\0', u'\u00e9'};
    const Dialect dialects[] = {Dialect::MySql, Dialect::MsSql, Dialect::Sqlite, Dialect::PostgreSql};
    std::uint64_t seed = 20261210;
    if (const char* env = std::getenv("QUARROW_TEST_SEED"))
        seed = std::strtoull(env, nullptr, 10);
    SCOPED_TRACE("seed " + std::to_string(seed) + " (set QUARROW_TEST_SEED to replay)");
    std::mt19937_64 random(seed);

    std::size_t utf8Lines = 0;
    for (int round = 0; round < 6000; ++round) {
        std::u16string line;
        const auto length = random() % 4 == 0 ? random() % 48 : random() % 16;
        for (std::uint64_t i = 0; i < length; ++i)
            line += pieces[random() % std::size(pieces)];
        const std::size_t columns = random() % 6;
        std::vector<std::u16string> names;
        for (std::size_t c = 0; c < columns; ++c)
            names.push_back(u"c" + std::u16string(1, static_cast<char16_t>(u'0' + c)));
        const std::vector<std::u16string> types(columns, u"text");

        ScriptOptions options;
        options.multiRow = true;
        options.nullEmpty = random() % 2 == 0;
        options.dialect = dialects[random() % std::size(dialects)];
        options.separator = random() % 2 == 0 ? u',' : separators[random() % std::size(separators)];
        options.encoding = random() % 4 == 0 ? TextEncoding::Ansi : TextEncoding::Utf8;
        ScriptFormatter formatter(options, names, types);
        OutBuffer out;
        formatter.appendRow(out, line, 1); // a later row of a statement: no header
        const std::string actual(out.data(), out.size());

        // The reference: exact fields, then clean-up, then quoting.
        FieldSplitter splitter;
        splitter.split(line, options.separator);
        std::u16string expected = u",\r\n(";
        for (std::size_t c = 0; c < columns; ++c) {
            const std::u16string value = c < splitter.size() ? cleanField(splitter[c]) : std::u16string();
            if (c > 0)
                expected += u',';
            if (value.empty() && options.nullEmpty) {
                expected += u"NULL";
                continue;
            }
            const bool national = std::any_of(value.begin(), value.end(), [](char16_t ch) { return ch > 0x7F; });
            if (options.dialect == Dialect::MsSql && national)
                expected += u'N';
            expected += u'\'';
            for (char16_t ch : value) {
                expected += ch;
                if (ch == u'\'' || (ch == u'\\' && options.dialect == Dialect::MySql))
                    expected += ch;
            }
            expected += u'\'';
        }
        expected += u')';
        std::uint64_t expectedSubstituted = 0;
        const std::string expectedBytes = encodeExpected(expected, options.encoding, expectedSubstituted);
        ASSERT_EQ(actual, expectedBytes) << "round " << round;
        ASSERT_EQ(formatter.substituted(), expectedSubstituted) << "round " << round;

        if (const auto bytes = validUtf8(line)) {
            ++utf8Lines;
            ScriptFormatter fromUtf8(options, names, types);
            OutBuffer utf8Out;
            // Rows lie back to back in a batch: what follows a row is the
            // next one, never to be read as part of it.
            const std::string batch = *bytes + "\"next\" row,'\\";
            fromUtf8.appendUtf8Row(utf8Out, std::string_view(batch).substr(0, bytes->size()), 1);
            ASSERT_EQ(std::string(utf8Out.data(), utf8Out.size()), actual) << "round " << round << ", as UTF-8";
            ASSERT_EQ(fromUtf8.substituted(), formatter.substituted()) << "round " << round << ", as UTF-8";
        }
    }
    EXPECT_GT(utf8Lines, 1000u); // enough lines without a lone surrogate
}

// UTF-8 rows are worked on as they are, plain fields a window of bytes at a
// time; they must give the bytes of their UTF-16 text (checked against
// splitting and clean-up above) for rows of any length and mix of fields:
// plain ones of lengths around those of a vector and a window, empty ones,
// and ones with a blank, control, escaped, non-ASCII or quote character
// first, last or inside. The rows lie back to back, as in a batch of the
// converter, so that reading past a row's end shows.
TEST(ScriptWriterProperty, Utf8RowsGiveTheBytesOfTheirUtf16Text)
{
    const std::u16string letters = u"abcdefghij0123456789.-@";
    const std::u16string marks[] = {u" ", u"\t", u"\x01", u"'", u"\\", u"\u00e9", u"\"", u" x "};
    const Dialect dialects[] = {Dialect::MySql, Dialect::MsSql, Dialect::Sqlite, Dialect::Oracle};
    const char16_t separators[] = {u',', u';', u'\t'};
    std::mt19937_64 random(20261211);
    for (int round = 0; round < 400; ++round) {
        ScriptOptions options;
        options.multiRow = true;
        options.nullEmpty = random() % 2 == 0;
        options.dialect = dialects[random() % std::size(dialects)];
        options.separator = separators[random() % std::size(separators)];
        const std::size_t columns = 1 + random() % 40;
        const std::vector<std::u16string> names(columns, u"c");
        const std::vector<std::u16string> types(columns, u"text");

        std::vector<std::u16string> rows(8);
        std::string batch;
        std::vector<std::size_t> ends;
        for (auto& row : rows) {
            const auto fields = random() % 45;
            for (std::uint64_t f = 0; f < fields; ++f) {
                if (f > 0)
                    row += options.separator;
                if (random() % 6 == 0)
                    continue; // empty
                std::u16string field;
                for (auto length = 1 + random() % 70; length > 0; --length)
                    field += letters[random() % letters.size()];
                if (random() % 3 == 0) {
                    const std::size_t at = std::array<std::size_t, 3>{0, field.size(), field.size() / 2}[random() % 3];
                    field.insert(at, marks[random() % std::size(marks)]);
                }
                if (random() % 12 == 0)
                    field = u'"' + field + u'"';
                row += field;
            }
            batch += *validUtf8(row);
            ends.push_back(batch.size());
        }
        // Exactly as long as its rows, so that the sanitizer sees a read past the last.
        const std::vector<char> bytes(batch.begin(), batch.end());
        ScriptFormatter fromUtf16(options, names, types);
        ScriptFormatter fromUtf8(options, names, types);
        OutBuffer expected;
        OutBuffer actual;
        std::size_t begin = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            // The field count the structure warnings take from the formatter:
            // the splitter's, those beyond the columns included.
            std::size_t fields = 0;
            forEachRawField(rows[i], options.separator, [&](const char16_t*, const char16_t*, bool) { ++fields; });
            EXPECT_EQ(fromUtf16.appendRow(expected, rows[i], i), fields) << "round " << round << " row " << i;
            EXPECT_EQ(fromUtf8.appendUtf8Row(actual, std::string_view(bytes.data() + begin, ends[i] - begin), i),
                      fields)
                << "round " << round << " row " << i;
            begin = ends[i];
        }
        ASSERT_EQ(std::string(actual.data(), actual.size()), std::string(expected.data(), expected.size()))
            << "round " << round;
    }
}

} // namespace
} // namespace quarrow
