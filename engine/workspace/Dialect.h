#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace quarrow {

// The seven script targets, in the order of the window's Database list.
enum class Dialect { MySql, MsSql, Access, Oracle, PostgreSql, IbmDb2, Sqlite };

struct DialectInfo {
    Dialect dialect;
    int position;                 // position in the Database list
    std::string_view identifier;  // mysql, mssql, ...
    std::u16string_view itemText; // the Database list's entry
    // The type every column gets at the first load: one that takes any text
    // the script can hold. SQL Server's varchar keeps only what the column
    // collation's code page holds and replaces the rest by '?' without an
    // error, so nvarchar; Db2 requires a length after VARCHAR and Access SQL
    // knows TEXT(n) or LONGTEXT, not VARCHAR(MAX).
    std::u16string_view defaultType;
};

inline constexpr std::array<DialectInfo, 7> kDialects{{
    {Dialect::MySql, 0, "mysql", u"MySQL / MariaDB", u"text"},
    {Dialect::MsSql, 1, "mssql", u"Microsoft SQL Server", u"nvarchar(max)"},
    {Dialect::Access, 2, "access", u"Microsoft Access", u"longtext"},
    {Dialect::Oracle, 3, "oracle", u"Oracle", u"clob"},
    {Dialect::PostgreSql, 4, "postgresql", u"PostgreSQL", u"text"},
    {Dialect::IbmDb2, 5, "ibmdb2", u"IBM Db2", u"clob"},
    {Dialect::Sqlite, 6, "sqlite", u"SQLite", u"text"},
}};

constexpr const DialectInfo& dialectInfo(Dialect d)
{
    return kDialects[static_cast<std::size_t>(d)];
}

// Identifiers are compared exactly (lower-case ASCII).
std::optional<Dialect> dialectFromIdentifier(std::string_view identifier);
std::optional<Dialect> dialectFromPosition(int position);

} // namespace quarrow
