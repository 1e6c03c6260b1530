#pragma once

#include "engine/sql/JoinedParts.h"
#include "engine/sql/ScriptFormatter.h"

#include <cstddef>
#include <string_view>

// String literals longer than Oracle and Db2 take, written as a
// concatenation of large objects; and for Oracle, literals longer than a
// script line may be, as a concatenation of shorter ones.
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

// The most bytes a literal piece may take in the script, its quotes
// included; 0 for no limit. Oracle's scripts keep every line within
// SQL*Plus's line limit (sql/ScriptLines.h), so a piece, with the joiner,
// call and parentheses around it, must fit on a line of its own.
constexpr std::size_t literalPieceBytes(Dialect dialect) noexcept
{
    return dialect == Dialect::Oracle ? 2400 : 0;
}

// What joins the parts of a value in each dialect: MySQL's are the
// arguments of CONCAT( ); SQL Server joins with +, Access with &, the others
// with the standard ||.
constexpr std::string_view partJoiner(Dialect dialect) noexcept
{
    switch (dialect) {
    case Dialect::MySql: return ",";
    case Dialect::MsSql: return "+";
    case Dialect::Access: return "&";
    default: return "||";
    }
}

// Bytes that writing a literal of `bytes` bytes in pieces may add: a piece
// of at least a quarter of the limit (a cut never falls inside a character
// of at most four bytes) costs "TO_CLOB(", ")", "||", its quotes and a few
// parentheses of the grouping (JoinedParts) beside its text.
constexpr std::size_t pieceRoom(std::size_t bytes, Dialect dialect) noexcept
{
    const std::size_t pieceLimit = literalPieceBytes(dialect);
    const std::size_t limit = pieceLimit != 0 ? pieceLimit : literalLimit(dialect);
    return limit == 0 ? 0 : (bytes / (limit / 4) + 1) * 24 + JoinedParts::kMostParentheses;
}

// A literal whose value is longer than the dialect takes is written as a
// concatenation of character large objects, each piece within the limit:
// Oracle TO_CLOB('...')||TO_CLOB('...'), Db2 CLOB('...')||CLOB('...') (the
// CLOB scalar function; || concatenates). An Oracle literal within the limit
// but longer than literalPieceBytes() is written as plain pieces,
// '...'||'...': a concatenation of strings of at most 4,000 bytes in all is
// a string (SQL Language Reference, Concatenation Operator). A cut never
// falls inside a character's bytes or between the two apostrophes of a
// doubled one, so no piece adds or loses a character. [item, end) is the
// item as written, in quotes, the part of `parts` it begins already begun;
// returns the new end. The buffer must have pieceRoom() bytes of room beyond
// `end`.
char* writeLongLiteralInPieces(char* item, char* end, const ScriptOptions& options, JoinedParts& parts);

// Whether the literal [item, end) may need writing in pieces; most items are
// far shorter than the limits, where there are any.
inline bool mayNeedPieces(const char* item, const char* end, Dialect dialect) noexcept
{
    const std::size_t limit = literalLimit(dialect);
    if (limit == 0)
        return false;
    const auto bytes = static_cast<std::size_t>(end - item);
    const std::size_t pieceLimit = literalPieceBytes(dialect);
    return bytes > limit + 2 || (pieceLimit != 0 && bytes > pieceLimit);
}

// The above for a literal among other parts of a value.
inline char* writeLiteralInPieces(char* item, char* end, const ScriptOptions& options, JoinedParts& parts)
{
    return mayNeedPieces(item, end, options.dialect) ? writeLongLiteralInPieces(item, end, options, parts) : end;
}

// The above for a literal that is a whole value item.
inline char* writeLiteralInPieces(char* item, char* end, const ScriptOptions& options)
{
    if (!mayNeedPieces(item, end, options.dialect))
        return end;
    JoinedParts parts(partJoiner(options.dialect), true);
    parts.next(item); // the first part: nothing before it
    return parts.finish(writeLongLiteralInPieces(item, end, options, parts));
}

} // namespace quarrow::items
