#pragma once

#include "engine/sql/ScriptFormatter.h"

#include <cstddef>

// String literals longer than Oracle and Db2 take, written as a
// concatenation of large objects.
namespace quarrow::items {

// The longest string literal, in bytes of its value, that Oracle and Db2
// accept; 0 for no limit. Oracle: "Text literals ... can have a maximum
// length of 4000 bytes" (SQL Language Reference, Literals; ORA-01704 beyond,
// with MAX_STRING_SIZE = STANDARD, the default). Db2: a character string
// constant holds at most 32,672 bytes (SQL Reference, Constants; "SQL and
// XML limits": longest string constant).
constexpr std::size_t literalLimit(Dialect dialect) noexcept
{
    switch (dialect) {
    case Dialect::Oracle: return 4000;
    case Dialect::IbmDb2: return 32672;
    default: return 0;
    }
}

// Bytes that writing a literal of `bytes` bytes in pieces may add: a piece
// of at least a quarter of the limit (a cut never falls inside a character
// of at most four bytes) costs "TO_CLOB(", ")" and "||" beside its quotes.
constexpr std::size_t pieceRoom(std::size_t bytes, std::size_t limit) noexcept
{
    return limit == 0 ? 0 : (bytes / (limit / 4) + 1) * 16;
}

// A literal whose value is longer than the dialect takes is written as a
// concatenation of character large objects, each piece within the limit:
// Oracle TO_CLOB('...')||TO_CLOB('...'), Db2 CLOB('...')||CLOB('...') (the
// CLOB scalar function; || concatenates). A cut never falls inside a
// character's bytes or between the two apostrophes of a doubled one.
// [item, end) is the item as written, in quotes; returns the new end. The
// buffer must have pieceRoom() bytes of room beyond `end`.
char* writeLongLiteralInPieces(char* item, char* end, const ScriptOptions& options, std::size_t limit);

// The above for a literal that may be too long; called for every item, and
// most items are far shorter than the limit, where there is one at all.
inline char* writeLiteralInPieces(char* item, char* end, const ScriptOptions& options)
{
    const std::size_t limit = literalLimit(options.dialect);
    if (limit == 0 || static_cast<std::size_t>(end - item) <= limit + 2)
        return end;
    return writeLongLiteralInPieces(item, end, options, limit);
}

} // namespace quarrow::items
