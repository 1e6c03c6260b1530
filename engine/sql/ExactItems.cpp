#include "engine/sql/ExactItems.h"

#include "engine/csv/FieldSplitter.h"
#include "engine/sql/ItemEncoding.h"
#include "engine/sql/LiteralPieces.h"
#include "engine/sql/PlainRuns.h"

#include <cstring>
#include <optional>
#include <string_view>

namespace quarrow::items {

namespace {

// Exact values. A string literal may hold a line break in every dialect, but
// the command-line clients do not all load one unchanged (the sqlite3 shell
// and the mariadb client drop the CR of a CR LF inside a literal; SQL*Plus
// ends a statement at an empty line), so outside PostgreSQL a CR or LF is
// written as a call of the dialect's character function, joined to the
// literal pieces around it by the dialect's concatenation:
// - SQLite: char(X) "returns a string composed of characters having the
//   unicode code point values" given; || concatenates (sqlite.org, Built-In
//   Scalar SQL Functions, and SQL Language Expressions, Operators).
// - MySQL and MariaDB: CONCAT(str1,str2,...); CHAR(N USING charset_name)
//   gives the character of code N in that character set (MySQL Reference
//   Manual, String Functions and Operators; MariaDB Knowledge Base, CHAR
//   Function). || is a logical OR there unless PIPES_AS_CONCAT is set.
// - SQL Server: NCHAR(integer_expression) returns the Unicode character of
//   that code, + is string concatenation (Transact-SQL reference, NCHAR and
//   "+ (String Concatenation)"); CAST(NCHAR(n) AS nvarchar(max)) past the
//   4,000 characters where a concatenation would be cut (kMsSqlConcatUnits).
// - Oracle: CHR(n) returns the character of binary value n in the database
//   character set, || concatenates (SQL Language Reference, CHR and
//   Concatenation Operator); SQL*Plus's SQLBLANKLINES is OFF by default, so
//   an empty line inside a literal would end the statement: LF is written
//   the same way. Past the 4000-byte literal limit the concatenation must be
//   a CLOB, hence TO_CLOB(CHR(n)).
// - Db2: CHR(n) returns the character of ASCII code n, || is CONCAT (SQL
//   Reference, CHR scalar function and Expressions); CLOB(CHR(n)) past the
//   32,672-byte limit of a VARCHAR result.
// - Access: Chr(charcode) returns the character of that code, & joins
//   strings (Office support, Chr Function and & Operator).
// - PostgreSQL: a string constant holds any character but NUL, line breaks
//   included, and psql sends it unchanged (Lexical Structure, String
//   Constants): breaks stay in the literal.
// The parts are grouped in parentheses (JoinedParts.h), so that a value with
// thousands of breaks stays a shallow expression. SQL Server also counts
// the constants of an expression, 65,535 at most (error 8632, "An
// expression services limit has been reached"): a value of more than about
// 32,000 line breaks passes that whatever its shape.

std::string_view breakCall(Dialect dialect, bool carriageReturn, bool asLargeObject) noexcept
{
    switch (dialect) {
    case Dialect::Sqlite: return carriageReturn ? "char(13)" : "char(10)";
    case Dialect::MySql: return carriageReturn ? "CHAR(13 USING utf8mb4)" : "CHAR(10 USING utf8mb4)";
    case Dialect::MsSql:
        if (asLargeObject)
            return carriageReturn ? "CAST(NCHAR(13) AS nvarchar(max))" : "CAST(NCHAR(10) AS nvarchar(max))";
        return carriageReturn ? "NCHAR(13)" : "NCHAR(10)";
    case Dialect::Access: return carriageReturn ? "Chr(13)" : "Chr(10)";
    case Dialect::Oracle:
        if (asLargeObject)
            return carriageReturn ? "TO_CLOB(CHR(13))" : "TO_CLOB(CHR(10))";
        return carriageReturn ? "CHR(13)" : "CHR(10)";
    case Dialect::IbmDb2:
        if (asLargeObject)
            return carriageReturn ? "CLOB(CHR(13))" : "CLOB(CHR(10))";
        return carriageReturn ? "CHR(13)" : "CHR(10)";
    case Dialect::PostgreSql: break;
    }
    return {};
}

// SQL Server truncates a concatenation of strings that are not of a max type
// at 8,000 bytes, 4,000 characters of nvarchar ("+ (String Concatenation)":
// no truncation when one of the strings is a large value type). The n of
// nvarchar(n) counts byte-pairs, UTF-16 units ("nchar and nvarchar"), so
// that is what is counted, whatever form the record comes in and whatever
// encoding the script is written in: a record of CJK text takes three
// bytes a character in UTF-8 and one unit, and must decide alike either way.
constexpr std::size_t kMsSqlConcatUnits = 4000;

// Whether the rest of the record, from `p`, has more UTF-16 units than SQL
// Server concatenates without a large value type.
template <typename Unit>
bool mayPassMsSqlConcat(const Unit* p, const Unit* const end) noexcept
{
    const auto units = static_cast<std::size_t>(end - p);
    if (units <= kMsSqlConcatUnits)
        return false; // a UTF-8 byte count is at least the unit count
    if constexpr (sizeof(Unit) == 2) {
        return true;
    } else {
        // Valid UTF-8: a unit for every byte but a continuation byte, two
        // for a four-byte character.
        std::size_t utf16Units = 0;
        for (; p < end; ++p) {
            const auto b = static_cast<unsigned char>(*p);
            if ((b & 0xC0) != 0x80)
                utf16Units += b >= 0xF0 ? 2 : 1;
            if (utf16Units > kMsSqlConcatUnits)
                return true;
        }
        return false;
    }
}

// Whether the value that starts at `p` may take more than `limit` bytes in
// the script: then Oracle and Db2 need the concatenation of its pieces and
// line breaks to be a large object. The value ends somewhere before `end`,
// so its bytes are at most those of the rest of the record, counted in the
// script's encoding: UTF-8 bytes of a UTF-8 record as they are, of a UTF-16
// one as it will be written (a pair takes four, a lone surrogate the three
// of U+FFFD), and at most two bytes a unit in a code page. UTF-8 and UTF-16
// records thus decide alike.
template <typename Unit>
bool mayPassLiteralLimit(const Unit* p, const Unit* const end, std::size_t limit, TextEncoding encoding) noexcept
{
    const auto units = static_cast<std::size_t>(end - p);
    if (limit == 0)
        return false;
    if constexpr (sizeof(Unit) == 1) {
        return units > limit;
    } else {
        if (encoding != TextEncoding::Utf8)
            return units * 2 > limit;
        if (units > limit)
            return true;
        if (units * 3 <= limit)
            return false;
        std::size_t bytes = 0;
        for (; p < end; ++p) {
            const char16_t c = *p;
            if (c < 0x80)
                bytes += 1;
            else if (c < 0x800)
                bytes += 2;
            else if (isHighSurrogate(c) && p + 1 < end && isLowSurrogate(p[1]))
                bytes += 4, ++p;
            else
                bytes += 3;
        }
        return bytes > limit;
    }
}

// The value item of the field that starts at `p`, written straight from
// the record in one pass, as writeFieldItem() does for the default reading;
// returns where the field ends (the separator, a NUL or `end`). The value is
// the field's text as forEachExactField() and forEachValueRun() take it,
// nothing dropped or trimmed; apostrophes are doubled, and for MySQL
// backslashes too; line breaks are written as above. A value without a line
// break is one literal, N'' in SQL Server when it holds a non-ASCII
// character; with breaks, each literal piece gets its own N as needed (an
// ASCII piece loses nothing as varchar). Whether a break is a large object
// is decided from the rest of the record, as the field's end is not known
// yet. `Breaks` says whether the record may hold a line break that is
// written as a call: a record without one (most of them) skips looking for
// breaks as it copies.
template <bool Breaks, typename Unit>
const Unit* writeExactItem(const Unit* p, const Unit* const end, char*& out, const ScriptOptions& options,
                           const PlainRuns<Unit, Breaks>& plainRuns, std::uint64_t& substituted)
{
    constexpr auto quote = static_cast<Unit>(kQuote);
    const auto separator = static_cast<Unit>(options.separator);
    const Dialect dialect = options.dialect;
    const bool national = dialect == Dialect::MsSql;
    const bool doubleBackslash = dialect == Dialect::MySql;
    const bool callBreaks = dialect != Dialect::PostgreSql;
    const std::size_t limit = literalLimit(dialect);
    // SQL Server's count is put off to the first break: most values have none.
    const Unit* const itemStart = p;
    std::optional<bool> asLargeObject;
    if (dialect != Dialect::MsSql)
        asLargeObject = mayPassLiteralLimit(p, end, limit, options.encoding);
    // UTF-8 bytes of non-ASCII characters are written as they are, so they
    // need a look only while an N may still be due.
    const bool nonAsciiLooks = sizeof(Unit) == 2 || national;

    char* o = out;
    char* const item = o;
    // The literal pieces and calls, joined (MySQL: as CONCAT's arguments).
    JoinedParts parts(partJoiner(dialect), dialect != Dialect::MySql);
    JoinedParts beforeLiteral = parts;
    bool concat = false;
    char* literal = o; // where the open literal piece begins, its joiner included
    char* open = o;    // its opening quote, or its N
    bool pieceNational = false;
    bool nonAsciiStops = nonAsciiLooks;
    auto openLiteral = [&] {
        literal = o;
        beforeLiteral = parts;
        o = parts.next(o);
        open = o;
        *o++ = '\'';
        pieceNational = false;
        nonAsciiStops = nonAsciiLooks;
    };
    auto closeLiteral = [&] {
        if (o == open + (pieceNational ? 2 : 1)) {
            o = literal; // nothing in it
            parts = beforeLiteral;
            return;
        }
        *o++ = '\'';
        o = writeLiteralInPieces(open, o, options, parts);
    };

    bool quoted = p < end && *p == quote;
    if (quoted)
        ++p;
    openLiteral();
    for (;;) {
        if constexpr (scan::kWordScan)
            plainRuns.copy(p, end, o, nonAsciiStops);
        if (p == end)
            break;
        const Unit c = *p;
        if (c == 0)
            break;
        if (c == quote && quoted) {
            if (end - p >= 2 && p[1] == quote) {
                *o++ = '"';
                p += 2;
                continue;
            }
            ++p; // the closing quote: what follows is appended as it stands
            quoted = false;
            continue;
        }
        if (c == separator && !quoted)
            break;
        if (c < 0x80) {
            ++p;
            if (Breaks && (c == '\r' || c == '\n') && callBreaks) {
                closeLiteral();
                if (dialect == Dialect::MySql && !concat) {
                    std::memmove(item + 7, item, static_cast<std::size_t>(o - item));
                    std::memcpy(item, "CONCAT(", 7);
                    o += 7;
                    concat = true;
                }
                o = parts.next(o);
                if (!asLargeObject)
                    asLargeObject = mayPassMsSqlConcat(itemStart, end);
                o = put(o, breakCall(dialect, c == '\r', *asLargeObject));
                openLiteral();
                continue;
            }
            *o++ = static_cast<char>(c);
            if (c == '\'' || (c == '\\' && doubleBackslash))
                *o++ = static_cast<char>(c);
            continue;
        }
        if (national && !pieceNational) {
            // A plain literal goes through the server's code page; N'' keeps every character.
            std::memmove(open + 1, open, static_cast<std::size_t>(o - open));
            *open = 'N';
            ++o;
            pieceNational = true;
            if constexpr (sizeof(Unit) == 1)
                nonAsciiStops = false;
        }
        if constexpr (sizeof(Unit) == 1) {
            *o++ = static_cast<char>(c);
            ++p;
        } else {
            std::size_t k = 0;
            o = encodeNonAscii(p, static_cast<std::size_t>(end - p), k, o, options.encoding, substituted);
            p += k;
        }
    }
    closeLiteral();
    if (parts.count() == 0) {
        o = writeEmptyValue(item, options);
    } else {
        o = parts.finish(o);
        if (concat)
            *o++ = ')';
    }
    out = o;
    return p;
}

} // namespace

template <bool Breaks, typename Unit>
std::size_t writeExactItems(const Unit* p, const Unit* const end, std::size_t columns, char*& o,
                            const ScriptOptions& options, std::uint64_t& substituted, FormedItems* formed)
{
    const auto separator = static_cast<Unit>(options.separator);
    const PlainRuns<Unit, Breaks> plainRuns(separator, options.dialect == Dialect::MySql);
    std::size_t column = 0;
    while (column < columns && p < end && *p != 0) {
        if (column++ > 0)
            *o++ = ',';
        const Unit* const field = p;
        char* const item = o;
        p = writeExactItem<Breaks>(p, end, o, options, plainRuns, substituted);
        if (formed != nullptr)
            o = formed->rewrite(item, o, field, p, column - 1);
        if (p < end && *p == separator && separator != 0) {
            ++p;
            if (p == end || *p == 0)
                break; // the empty field after it is written with the missing ones
        }
    }
    return column;
}

template std::size_t writeExactItems<false, char16_t>(const char16_t*, const char16_t*, std::size_t, char*&,
                                                      const ScriptOptions&, std::uint64_t&, FormedItems*);
template std::size_t writeExactItems<true, char16_t>(const char16_t*, const char16_t*, std::size_t, char*&,
                                                     const ScriptOptions&, std::uint64_t&, FormedItems*);
template std::size_t writeExactItems<false, unsigned char>(const unsigned char*, const unsigned char*, std::size_t,
                                                           char*&, const ScriptOptions&, std::uint64_t&, FormedItems*);
template std::size_t writeExactItems<true, unsigned char>(const unsigned char*, const unsigned char*, std::size_t,
                                                          char*&, const ScriptOptions&, std::uint64_t&, FormedItems*);

} // namespace quarrow::items
