#pragma once

#include "engine/workspace/Dialect.h"

#include <string>
#include <string_view>

namespace quarrow {

enum class NamePlace { CreateTable, InsertList };

// A column name as it stands in the script, quoted so that it can never break
// out of its quotes: grave accents (doubled inside) for MySQL and SQLite's
// INSERT list, square brackets (closing bracket doubled) for SQL Server and
// Access, and elsewhere bare only when it is a plain identifier (for Oracle
// and Db2 an ASCII one) that is not a reserved word, else in double quotes
// (doubled inside).
std::u16string quoteColumnName(Dialect dialect, NamePlace place, std::u16string_view name);

// ASCII letters, digits, underscores and characters above U+007F, the first
// not a digit.
bool isPlainIdentifier(std::u16string_view name) noexcept;

// An ASCII letter followed by ASCII letters, digits and underscores.
bool isAsciiOrdinaryIdentifier(std::u16string_view name) noexcept;

} // namespace quarrow
