#pragma once

#include "engine/workspace/Dialect.h"

#include <optional>
#include <string_view>

namespace quarrow {

// The lines that make a script one transaction, in the database's own form,
// each ending in CR LF like the rest of the script. They are ASCII, so the
// same bytes in every output encoding; a line is empty where the database
// needs none:
//   the empty line, beforeCreate, CREATE TABLE ..., the empty line,
//   beforeInserts, the INSERT statements, end
// A database that can roll the CREATE TABLE back begins before it, so that a
// load that fails part way leaves no table behind either; one whose DDL
// commits on its own begins after it.
struct TransactionLines {
    std::string_view beforeCreate;
    std::string_view beforeInserts;
    std::string_view end;
};

// None for Access: Access SQL has no transaction statements.
std::optional<TransactionLines> transactionLines(Dialect dialect) noexcept;

} // namespace quarrow
