#pragma once

#include "engine/workspace/Dialect.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// What a script does about its table before the rows: the weekly export
// that loads into the table the first week made needs another statement
// than the first week's CREATE TABLE, which a table that exists refuses.
enum class TableMode {
    Create,          // CREATE TABLE: the table must not exist (the script as it always was)
    CreateIfMissing, // the table is created unless it exists; the rows are added either way
    Replace,         // a table of that name is dropped, then created
    RowsOnly,        // no statement about the table: it exists with these columns
};

struct TableModeInfo {
    TableMode mode;
    std::string_view identifier;   // the converter's and the profile's name
    std::u16string_view itemText;  // the window's list entry
    std::u16string_view shortText; // for messages: "rows only"
};

inline constexpr std::array<TableModeInfo, 4> kTableModes{{
    {TableMode::Create, "create", u"Create the table", u"create"},
    {TableMode::CreateIfMissing, "create-if-missing", u"Create it if missing, add the rows", u"create if missing"},
    {TableMode::Replace, "replace", u"Drop it if it exists, create it", u"replace"},
    {TableMode::RowsOnly, "append", u"Rows only: the table exists", u"rows only"},
}};

constexpr const TableModeInfo& tableModeInfo(TableMode mode)
{
    return kTableModes[static_cast<std::size_t>(mode)];
}

// Identifiers are compared exactly.
std::optional<TableMode> tableModeFromIdentifier(std::string_view identifier);

// Why the database cannot be given the mode, as a sentence that names what
// to choose instead; empty when it can.
std::string tableModeRefusal(Dialect dialect, TableMode mode);

// The mode cannot be written for the table: refused by the database (see
// tableModeRefusal), or too long for the form the database needs.
class TableModeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a user must know about the table before loading a script of the
// mode, naming the table and its columns; empty for TableMode::Create,
// whose load fails plainly on a table that exists.
std::u16string tableModeNote(TableMode mode, std::u16string_view table, const std::vector<std::u16string>& columns);

// The statements about the table that come before the rows, each line
// ending in CR LF, given the table name and the column lines of CREATE
// TABLE as the script writes them; with TableMode::Create exactly
// "CREATE TABLE t (", the column lines joined by ",", ");" and an empty
// line. Nothing for TableMode::RowsOnly. Throws TableModeError.
std::u16string tableStatements(Dialect dialect, TableMode mode, std::u16string_view table,
                               const std::vector<std::u16string>& columnLines);

} // namespace quarrow
