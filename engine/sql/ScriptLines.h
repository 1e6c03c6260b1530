#pragma once

#include <cstddef>

namespace quarrow {

// SQL*Plus reads a script line by line and ignores a line longer than its
// command-line limit, 2,500 characters in the "SQL*Plus Limits" appendix of
// the SQL*Plus User's Guide and Reference from release 8 to 19c (5,000 in
// the newest), with "SP2-0027: Input is too long (> 2499 characters) - line
// ignored": the statement loses that line and fails, or worse, loads
// without it. Every line of an Oracle script is kept within 2,499 bytes,
// which holds for the characters of any encoding, the CR of a CR LF aside.
inline constexpr std::size_t kOracleLineBytes = 2499;

// Breaks the text [begin, end), which begins a line and holds no line
// break, into lines of at most kOracleLineBytes bytes where it is longer,
// and returns its new end. A line ends only after a comma between values
// or column names, or before a || that joins the parts of a value: never
// inside a string literal or a quoted name, so that no value changes. The
// last line keeps room for `reserve` more bytes (a statement's terminator).
// Breaks fit where the parts of a value are within the limit, as
// literalPieceBytes() makes them. There must be room for two bytes for
// every kOracleLineBytes / 2 bytes of text, and two more, beyond `end`.
char* breakLongLine(char* begin, char* end, std::size_t reserve);

// The room breakLongLine() needs beyond the text of `bytes` bytes.
constexpr std::size_t lineBreakRoom(std::size_t bytes) noexcept
{
    return bytes / (kOracleLineBytes / 2) * 2 + 4;
}

} // namespace quarrow
