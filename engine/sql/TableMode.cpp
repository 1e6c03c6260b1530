#include "engine/sql/TableMode.h"

namespace quarrow {

namespace {

// A PL/SQL string holds at most 32,767 bytes (Oracle PL/SQL Language
// Reference, "VARCHAR2 Data Type"), and EXECUTE IMMEDIATE takes the
// statement as one.
constexpr std::size_t kPlSqlStringBytes = 32767;

std::u16string createStatement(std::u16string_view table, const std::vector<std::u16string>& columnLines)
{
    std::u16string text(u"CREATE TABLE ");
    text.append(table).append(u" (\r\n");
    for (std::size_t i = 0; i < columnLines.size(); ++i) {
        text += columnLines[i];
        if (i + 1 < columnLines.size())
            text += u',';
        text += u"\r\n";
    }
    text += u')';
    return text;
}

// The text inside a string literal: apostrophes doubled.
std::u16string literalText(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size() + 2);
    for (const char16_t c : text) {
        out += c;
        if (c == u'\'')
            out += u'\'';
    }
    return out;
}

std::size_t utf8Bytes(std::u16string_view text)
{
    std::size_t bytes = 0;
    for (const char16_t c : text)
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : (c >= 0xD800 && c <= 0xDFFF) ? 2 : 3; // a pair: 4
    return bytes;
}

// Oracle before 23ai has no IF [NOT] EXISTS: the statement runs in an
// anonymous PL/SQL block through EXECUTE IMMEDIATE, and the one error that
// means "already so" is taken as success (Oracle Database Error Messages:
// ORA-00955 "name is already used by an existing object", ORA-00942 "table
// or view does not exist"); any other error is raised again. SQL*Plus runs
// a block at the "/" line that follows it (SQL*Plus User's Guide,
// "Running PL/SQL Blocks").
std::u16string oracleGuarded(std::u16string_view statement, std::u16string_view errorCode)
{
    const std::u16string literal = literalText(statement);
    if (const std::size_t bytes = utf8Bytes(literal); bytes > kPlSqlStringBytes)
        throw TableModeError("Oracle takes the statement of \"create-if-missing\" as a PL/SQL string of at most "
                             "32,767 bytes, and this table's CREATE TABLE takes "
                             + std::to_string(bytes) + ": choose \"replace\" or \"create\"");
    std::u16string text(u"BEGIN\r\n  EXECUTE IMMEDIATE '");
    text.append(literal).append(u"';\r\nEXCEPTION\r\n  WHEN OTHERS THEN\r\n    IF SQLCODE != ");
    text.append(errorCode).append(u" THEN\r\n      RAISE;\r\n    END IF;\r\nEND;\r\n/\r\n");
    return text;
}

} // namespace

std::optional<TableMode> tableModeFromIdentifier(std::string_view identifier)
{
    for (const auto& info : kTableModes) {
        if (info.identifier == identifier)
            return info.mode;
    }
    return std::nullopt;
}

std::string tableModeRefusal(Dialect dialect, TableMode mode)
{
    if (mode == TableMode::Create || mode == TableMode::RowsOnly)
        return {};
    switch (dialect) {
    case Dialect::Access:
        // Access SQL's CREATE TABLE and DROP TABLE have no IF [NOT] EXISTS
        // (Microsoft Access SQL reference, "CREATE TABLE statement", "DROP
        // statement"), nor a statement to test for a table.
        return "Access SQL has no IF EXISTS or IF NOT EXISTS: choose \"create\" (a new table) or \"append\" (rows "
               "only, into the table that exists)";
    case Dialect::IbmDb2:
        // Db2 for Linux, UNIX and Windows documents no IF [NOT] EXISTS on
        // CREATE TABLE or DROP TABLE (Db2 SQL Reference, "CREATE TABLE",
        // "DROP"); a compound statement with a handler would need another
        // statement terminator than the ";" the command line processor
        // reads the script with (db2 -tvf).
        return "Db2 has no IF EXISTS or IF NOT EXISTS for tables: choose \"create\" (a new table) or \"append\" (rows "
               "only, into the table that exists)";
    case Dialect::MySql:
    case Dialect::MsSql:
    case Dialect::Oracle:
    case Dialect::PostgreSql:
    case Dialect::Sqlite: break;
    }
    return {};
}

std::u16string tableModeNote(TableMode mode, std::u16string_view table, const std::vector<std::u16string>& columns)
{
    std::u16string list;
    for (const auto& column : columns)
        list.append(list.empty() ? u"" : u", ").append(column);
    std::u16string note;
    switch (mode) {
    case TableMode::Create: return {};
    case TableMode::CreateIfMissing:
        note.append(u"create if missing: a table ")
            .append(table)
            .append(u" that exists keeps its columns and takes the rows, so it must have these columns: ");
        break;
    case TableMode::Replace:
        note.append(u"replace: a table ")
            .append(table)
            .append(u" that exists is dropped with its rows; the new one has "
                    u"these columns: ");
        break;
    case TableMode::RowsOnly:
        note.append(u"rows only: the table ").append(table).append(u" must exist with these columns: ");
        break;
    }
    return note + list;
}

std::u16string tableStatements(Dialect dialect, TableMode mode, std::u16string_view table,
                               const std::vector<std::u16string>& columnLines)
{
    if (mode == TableMode::RowsOnly)
        return {};
    if (const std::string refusal = tableModeRefusal(dialect, mode); !refusal.empty())
        throw TableModeError(refusal);
    const std::u16string create = createStatement(table, columnLines);
    std::u16string text;
    if (mode == TableMode::Replace) {
        if (dialect == Dialect::Oracle) {
            text = oracleGuarded(u"DROP TABLE " + std::u16string(table), u"-942");
        } else {
            // SQLite "DROP TABLE", PostgreSQL "DROP TABLE", MySQL "DROP TABLE
            // Statement" (MariaDB the same), SQL Server "DROP TABLE
            // (Transact-SQL)" from SQL Server 2016 (13.x): IF EXISTS makes a
            // missing table no error.
            text.append(u"DROP TABLE IF EXISTS ").append(table).append(u";\r\n");
        }
        text += create;
        text += u";\r\n\r\n";
        return text;
    }
    if (mode == TableMode::CreateIfMissing) {
        switch (dialect) {
        case Dialect::Oracle: return oracleGuarded(create, u"-955") + u"\r\n";
        case Dialect::MsSql:
            // SQL Server has no CREATE TABLE IF NOT EXISTS; OBJECT_ID with the
            // type N'U' is NULL unless a user table of that name exists
            // ("OBJECT_ID (Transact-SQL)", whose example guards a DROP TABLE
            // the same way), and IF runs the one statement after it.
            text.append(u"IF OBJECT_ID(N'").append(literalText(table)).append(u"', N'U') IS NULL\r\n");
            break;
        case Dialect::Sqlite:
        case Dialect::PostgreSql:
        case Dialect::MySql:
            // SQLite "CREATE TABLE", PostgreSQL "CREATE TABLE" (9.1 and
            // later), MySQL "CREATE TABLE Statement" (MariaDB the same): IF
            // NOT EXISTS leaves a table that exists as it is.
            text.append(create).insert(13, u"IF NOT EXISTS ");
            return text + u";\r\n\r\n";
        case Dialect::Access:
        case Dialect::IbmDb2: break; // refused above
        }
    }
    text += create;
    text += u";\r\n\r\n";
    return text;
}

} // namespace quarrow
