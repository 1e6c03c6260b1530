#include "engine/sql/ScriptFormatter.h"

#include "engine/csv/ExactQuoting.h"
#include "engine/csv/FieldSplitter.h"
#include "engine/sql/Identifiers.h"
#include "engine/sql/NameLimits.h"
#include "engine/sql/TransactionLines.h"
#include "engine/text/AnsiCodePage.h"
#include "engine/text/FitToEncoding.h"
#include "engine/text/Scan.h"
#include "engine/text/Utf8.h"

#include <array>
#include <bit>
#include <cstring>

namespace quarrow {

namespace {

// ASCII characters that a value item writes as they are.
constexpr std::array<bool, 128> kPlainAscii = [] {
    std::array<bool, 128> plain{};
    for (std::size_t c = 0; c < plain.size(); ++c)
        plain[c] = c != '"' && c != '\'' && c != '\\';
    return plain;
}();

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Encodes one non-ASCII character starting at s[i]; advances i past it.
char* encodeNonAscii(const char16_t* s, std::size_t n, std::size_t& i, char* o, TextEncoding encoding,
                     std::uint64_t& substituted)
{
    const char16_t c = s[i];
    const bool pair = isHighSurrogate(c) && i + 1 < n && isLowSurrogate(s[i + 1]);
    const std::size_t units = pair ? 2 : 1;
    if (encoding == TextEncoding::Utf8) {
        o = utf8::encode(s + i, units, o, substituted);
    } else {
        char32_t cp = c;
        if (pair)
            cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(s[i + 1]) - 0xDC00);
        bool exact = true;
        o = ansiCodePage().encode(cp, o, exact);
        if (!exact)
            ++substituted;
    }
    i += units;
    return o;
}

char* encodeText(std::u16string_view text, char* o, TextEncoding encoding, std::uint64_t& substituted)
{
    const char16_t* s = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80)
            *o++ = static_cast<char>(s[i++]);
        else
            o = encodeNonAscii(s, n, i, o, encoding, substituted);
    }
    return o;
}

char* put(char* o, std::string_view text)
{
    std::memcpy(o, text.data(), text.size());
    return o + text.size();
}

char* writeEmptyValue(char* o, const ScriptOptions& options)
{
    return options.nullEmpty ? put(o, "NULL") : put(o, "''");
}

// One value item: the field cleaned (every double quote removed, trimmed),
// apostrophes doubled, and for MySQL backslashes doubled too, so that no
// value can end its string early.
inline char* writeValue(char* o, std::u16string_view field, const ScriptOptions& options, std::uint64_t& substituted)
{
    const auto [b, e] = cleanBounds(field);
    if (b == e)
        return writeEmptyValue(o, options);
    const char16_t* s = field.data();
    if (options.dialect == Dialect::MsSql) {
        // A plain literal goes through the server's code page; N'' keeps every character.
        for (std::size_t i = b; i < e; ++i) {
            if (s[i] > 0x7F) {
                *o++ = 'N';
                break;
            }
        }
    }
    const bool doubleBackslash = options.dialect == Dialect::MySql;
    *o++ = '\'';
    std::size_t i = b;
    while (i < e) {
        if constexpr (scan::kWordScan) {
            // Runs of ASCII that need no escaping go four units at a time.
            while (e - i >= 4) {
                const std::uint64_t v = scan::load4(s + i);
                if (!scan::plainAscii4(v, u'"', u'\'', u'\\'))
                    break;
                o = scan::narrow4(v, o);
                i += 4;
            }
            if (i == e)
                break;
        }
        const char16_t c = s[i];
        if (c < 0x80) {
            ++i;
            if (kPlainAscii[c]) {
                *o++ = static_cast<char>(c);
            } else if (c == u'\'') {
                *o++ = '\'';
                *o++ = '\'';
            } else if (c == u'\\') {
                *o++ = '\\';
                if (doubleBackslash)
                    *o++ = '\\';
            }
            // A double quote is dropped.
        } else if (isHighSurrogate(c) && i + 1 < e && s[i + 1] == u'"') {
            // Dropping the quotes between the halves of a pair joins them.
            std::size_t j = i + 1;
            while (j < e && s[j] == u'"')
                ++j;
            if (j < e && isLowSurrogate(s[j])) {
                const char16_t pair[2] = {c, s[j]};
                std::size_t k = 0;
                o = encodeNonAscii(pair, 2, k, o, options.encoding, substituted);
                i = j + 1;
            } else {
                o = encodeNonAscii(s, e, i, o, options.encoding, substituted);
            }
        } else {
            o = encodeNonAscii(s, e, i, o, options.encoding, substituted);
        }
    }
    *o++ = '\'';
    return o;
}

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
char* writeLongLiteralInPieces(char* item, char* end, const ScriptOptions& options, const std::size_t limit)
{
    if (*item != '\'')
        return end;
    // The value is shorter than its bytes by one for every doubled apostrophe.
    const char* const first = item + 1;
    const char* const last = end - 1; // the closing quote
    std::size_t valueBytes = 0;
    for (const char* c = first; c < last; ++c) {
        if (*c == '\'')
            ++c;
        ++valueBytes;
    }
    if (valueBytes <= limit)
        return end;

    thread_local std::string content;
    content.assign(first, last);
    const bool utf8 = options.encoding == TextEncoding::Utf8;
    const AnsiCodePage& ansi = ansiCodePage();
    const std::string_view open = options.dialect == Dialect::Oracle ? "TO_CLOB('" : "CLOB('";
    char* o = item;
    std::size_t i = 0;
    while (i < content.size()) {
        if (i > 0)
            o = put(o, "||");
        o = put(o, open);
        std::size_t pieceBytes = 0;
        while (i < content.size()) {
            std::size_t units = 1;
            const auto lead = static_cast<unsigned char>(content[i]);
            if (lead == '\'')
                units = 2;
            else if (utf8 && lead >= 0xF0)
                units = 4;
            else if (utf8 && lead >= 0xE0)
                units = 3;
            else if (utf8 && lead >= 0xC0)
                units = 2;
            else if (!utf8 && lead >= 0x80)
                units = ansi.characterBytes(lead);
            const std::size_t value = lead == '\'' ? 1 : units;
            if (pieceBytes + value > limit)
                break;
            o = put(o, std::string_view(content).substr(i, units));
            i += units;
            pieceBytes += value;
        }
        o = put(o, "')");
    }
    return o;
}

// The above for a literal that may be too long; called for every item, and
// most items are far shorter than the limit, where there is one at all.
inline char* writeLiteralInPieces(char* item, char* end, const ScriptOptions& options)
{
    const std::size_t limit = literalLimit(options.dialect);
    if (limit == 0 || static_cast<std::size_t>(end - item) <= limit + 2)
        return end;
    return writeLongLiteralInPieces(item, end, options, limit);
}

// Copies runs of units that are written as they are, sixteen bytes or a
// word at a time. A run ends at NUL, a double quote, an apostrophe, the
// separator, a backslash where it is doubled, a line break where `Breaks`
// says it is written as a call, and a non-ASCII unit where the caller asks
// (UTF-8 bytes go out as they are once no N can be due). For UTF-8 rows of
// the default reading it also writes whole fields that are such a run
// (writePlainFields). Built once a row, so that the comparison values are
// not set up again for every field.
template <typename Unit, bool Breaks = false>
class PlainRuns {
public:
    PlainRuns(Unit separator, bool doubleBackslash) noexcept
        : m_separator(separator), m_backslash(doubleBackslash ? Unit{'\\'} : Unit{'\''})
    {
#if defined(__GNUC__)
        const auto separatorByte = static_cast<std::uint8_t>(separator);
        const auto backslashByte = static_cast<std::uint8_t>(m_backslash);
        m_separators = scan::ByteVector{} + separatorByte;
        m_backslashes = scan::ByteVector{} + backslashByte;
#endif
    }

    // Writes the plain units from `p` on, up to the first stop or as far as
    // whole vectors and words go; the caller goes on from there. Whole
    // vectors and words are written before they are looked at: the bytes
    // past the stop are rewritten by the caller, and the room is there, as
    // every unit left may take three bytes.
    void copy(const Unit*& p, const Unit* const end, char*& o, const bool nonAscii) const noexcept
    {
        using Lanes = scan::Lanes<Unit>;
#if defined(__GNUC__)
        if constexpr (scan::kVectorScan && sizeof(Unit) == 1) {
            // Comparing sixteen bytes costs about what a word's lane tricks
            // do for eight. (UTF-16 text gains nothing measurable by vectors
            // of eight units: it goes a word at a time.)
            while (end - p >= 16) {
                scan::ByteVector v;
                std::memcpy(&v, p, sizeof v);
                std::memcpy(o, &v, sizeof v);
                const std::size_t plain = scan::firstMarkedLane<Unit>(stops(v, nonAscii));
                o += plain;
                p += plain;
                if (plain < 16)
                    return;
            }
        }
#endif
        const std::uint64_t nonAsciiMask = nonAscii ? ~std::uint64_t{0} : 0;
        while (static_cast<std::size_t>(end - p) >= Lanes::kPerWord) {
            const std::uint64_t v = scan::loadWord(p);
            std::uint64_t stop = (scan::nonAsciiLanes<Unit>(v) & nonAsciiMask) | scan::zeroLanes<Unit>(v)
                                 | scan::lanesEqual<Unit>(v, kQuote) | scan::lanesEqual<Unit>(v, '\'')
                                 | scan::lanesEqual(v, m_backslash) | scan::lanesEqual(v, m_separator);
            if constexpr (Breaks)
                stop |= scan::lanesEqual<Unit>(v, '\r') | scan::lanesEqual<Unit>(v, '\n');
            if constexpr (sizeof(Unit) == 1)
                std::memcpy(o, &v, sizeof v);
            else
                scan::narrow4(v, o);
            if (stop == 0) {
                o += Lanes::kPerWord;
                p += Lanes::kPerWord;
                continue;
            }
            const std::size_t plain = scan::firstLane<Unit>(stop);
            o += plain;
            p += plain;
            return;
        }
    }

#if defined(__GNUC__)
    // Writes the items of the fields from `p` on that need nothing but their
    // quotes, straight from a window of the next kWindow bytes of the line:
    // fields ended by the separator within the window, not quoted, with no
    // blank or control character first or last, nothing in them that ends a
    // plain run; and empty fields. Most fields of a typical file are such,
    // and their bounds are found in one pass over the window instead of a
    // scan for each. Stops at the first field that is not such, for the
    // caller to write, or at the last column. A field is copied sixteen
    // bytes at a time, never reading past `end`; what that writes past its
    // item is less than the rest of the line, which has three bytes of room
    // a unit.
    void writePlainFields(const Unit*& p, const Unit* const end, std::size_t& column, const std::size_t columns,
                          char*& o, const bool nonAscii, const std::string_view emptyValue) const noexcept
    {
        static_assert(sizeof(Unit) == 1);
        constexpr std::size_t kWindow = 64;
        while (static_cast<std::size_t>(end - p) >= kWindow && column < columns) {
            std::uint64_t stopBits = 0;
            std::uint64_t separatorBits = 0;
            std::uint64_t blankBits = 0;
            for (std::size_t i = 0; i < kWindow; i += 16) {
                scan::ByteVector v;
                std::memcpy(&v, p + i, sizeof v);
                stopBits |= std::uint64_t{scan::byteMarks(stops(v, nonAscii))} << i;
                separatorBits |= std::uint64_t{scan::byteMarks(v == m_separators)} << i;
                blankBits |= std::uint64_t{scan::byteMarks(v <= 0x20)} << i;
            }
            const auto left = static_cast<std::size_t>(end - p);
            std::size_t at = 0;
            for (; at < kWindow && column < columns; ++column) {
                const auto length = static_cast<std::size_t>(std::countr_zero(stopBits >> at));
                if (at + length >= kWindow)
                    break; // the field goes on past the window
                const bool trimmed = length > 0 && ((blankBits >> at | blankBits >> (at + length - 1)) & 1) != 0;
                const std::size_t copied = (length + 15) / 16 * 16;
                if ((separatorBits >> (at + length) & 1) == 0 || trimmed || at + copied > left)
                    break;
                if (column > 0)
                    *o++ = ',';
                if (length == 0) {
                    o = put(o, emptyValue);
                } else {
                    *o++ = '\'';
                    for (std::size_t i = 0; i < length; i += 16)
                        std::memcpy(o + i, p + at + i, 16);
                    o += length;
                    *o++ = '\'';
                }
                at += length + 1;
            }
            p += at;
            if (at < kWindow && column < columns)
                return; // a field for the caller
        }
    }
#endif

private:
#if defined(__GNUC__)
    // The lanes of the sixteen bytes `v` that end a plain run. The double
    // quote is a char here: Clang 14 crashes comparing a byte vector with
    // kQuote, a char16_t.
    auto stops(const scan::ByteVector& v, const bool nonAscii) const noexcept
    {
        auto hit = (v == 0) | (v == '"') | (v == '\'') | (v == m_separators) | (v == m_backslashes);
        if constexpr (Breaks)
            hit |= (v == '\r') | (v == '\n');
        if (nonAscii)
            hit |= v > 0x7F;
        return hit;
    }
#endif

    Unit m_separator;
    Unit m_backslash; // a second apostrophe where backslashes are not doubled
#if defined(__GNUC__)
    scan::ByteVector m_separators; // used with UTF-8 bytes only
    scan::ByteVector m_backslashes;
#endif
};

// The one-pass row loop below relies on the separator being an ASCII unit
// that no other rule gives a meaning: a double quote or NUL as separator
// changes how fields end, so such lines go field by field instead.
bool onePassSeparator(char16_t separator) noexcept
{
    return separator != u'\0' && separator != kQuote && separator < 0x80;
}

// Writes the value item of the field that starts at `p` (just past its
// opening quote when `quoted`) straight from the line: splitting, clean-up,
// escaping and encoding in one pass. Returns where the field ends: at its
// closing quote, the separator, a NUL or `end`. The result equals
// writeValue() on the field's raw text. `Unit` is char16_t for UTF-16 text,
// or unsigned char for valid UTF-8 written as UTF-8. `out` must have room
// for three bytes per unit up to `end` plus the item's quotes.
template <typename Unit>
const Unit* writeFieldItem(const Unit* p, const Unit* const end, const bool quoted, char*& out,
                           const ScriptOptions& options, const PlainRuns<Unit>& plainRuns, std::uint64_t& substituted)
{
    const auto separator = static_cast<Unit>(options.separator);
    const bool doubleBackslash = options.dialect == Dialect::MySql;
    const bool national = options.dialect == Dialect::MsSql;

    // Leading blanks, control characters and double quotes are dropped.
    while (p < end && (*p <= u' ' || *p == kQuote)) {
        const Unit c = *p;
        if (c == 0 || (!quoted && c == separator))
            break;
        if (c == kQuote && quoted) {
            if (end - p < 2 || p[1] != kQuote)
                break; // the closing quote
            p += 2;
            continue;
        }
        ++p;
    }

    char* o = out;
    char* item = o;
    *o++ = '\'';
    // Trailing blanks and control characters are trimmed after the fact, by
    // stepping back over the bytes they wrote; never past this point, since
    // a non-ASCII character may be written as such a byte in ANSI.
    char* kept = o;
    bool nationalWritten = false;
    // UTF-8 bytes of non-ASCII characters are written as they are, so they
    // need a look only while an 'N' may still be due.
    bool nonAsciiStops = sizeof(Unit) == 2 || national;
    for (;;) {
        if constexpr (scan::kWordScan)
            plainRuns.copy(p, end, o, nonAsciiStops);
        if (p == end)
            break;
        const Unit c = *p;
        if (c == 0)
            break;
        if (c == kQuote) {
            if (!quoted) {
                ++p; // dropped
                continue;
            }
            if (end - p < 2 || p[1] != kQuote)
                break; // the closing quote
            p += 2;    // a doubled quote, dropped as well
            continue;
        }
        if (c == separator && !quoted)
            break;
        if (c < 0x80) {
            ++p;
            *o++ = static_cast<char>(c);
            if (c == '\'' || (c == '\\' && doubleBackslash))
                *o++ = static_cast<char>(c);
            continue;
        }
        if (national && !nationalWritten) {
            // A plain literal goes through the server's code page; N'' keeps every character.
            std::memmove(item + 1, item, static_cast<std::size_t>(o - item));
            *item = 'N';
            ++o;
            nationalWritten = true;
            if constexpr (sizeof(Unit) == 1)
                nonAsciiStops = false;
        }
        if constexpr (sizeof(Unit) == 1) {
            // Valid UTF-8 comes out of UTF-16 and back unchanged, byte for byte.
            *o++ = static_cast<char>(c);
            ++p;
        } else {
            if (isHighSurrogate(c) && end - p >= 2 && p[1] == kQuote) {
                // Dropping the quotes between the halves of a pair joins them;
                // in a quoted field only doubled quotes lie inside it.
                const char16_t* q = p + 1;
                while (q < end && *q == kQuote)
                    ++q;
                const bool inside = !quoted || (q - (p + 1)) % 2 == 0;
                if (inside && q < end && isLowSurrogate(*q)) {
                    const char16_t pair[2] = {c, *q};
                    std::size_t k = 0;
                    o = encodeNonAscii(pair, 2, k, o, options.encoding, substituted);
                    p = q + 1;
                    kept = o;
                    continue;
                }
            }
            std::size_t k = 0;
            o = encodeNonAscii(p, static_cast<std::size_t>(end - p), k, o, options.encoding, substituted);
            p += k;
        }
        kept = o;
    }
    while (o > kept && static_cast<unsigned char>(o[-1]) <= 0x20)
        --o;
    if (o == item + 1) {
        o = writeEmptyValue(item, options);
    } else {
        *o++ = '\'';
    }
    out = o;
    return p;
}

// The value items of a row, one pass over the line, by the field rules of
// forEachRawField; fields beyond `columns` are dropped. Returns how many
// items were written; `fields` is set to the line's field count, dropped
// ones included.
template <typename Unit>
std::size_t writeRowItems(const Unit* p, const Unit* const end, std::size_t columns, char*& o,
                          const ScriptOptions& options, std::uint64_t& substituted, std::size_t& fields)
{
    const auto separator = static_cast<Unit>(options.separator);
    const PlainRuns<Unit> plainRuns(separator, options.dialect == Dialect::MySql);
    std::size_t column = 0;
    bool emptyLast = false; // a separator ended the line: one more, empty field
    while (column < columns && p < end && *p != 0) {
#if defined(__GNUC__)
        if constexpr (scan::kVectorScan && sizeof(Unit) == 1) {
            plainRuns.writePlainFields(p, end, column, columns, o, options.dialect == Dialect::MsSql,
                                       options.nullEmpty ? "NULL" : "''");
            if (column == columns || p == end || *p == 0) {
                // Fields taken here end at a separator.
                emptyLast = p == end || *p == 0;
                break;
            }
        }
#endif
        if (column++ > 0)
            *o++ = ',';
        const bool quoted = *p == kQuote;
        char* const item = o;
        p = writeFieldItem(quoted ? p + 1 : p, end, quoted, o, options, plainRuns, substituted);
        o = writeLiteralInPieces(item, o, options);
        if (quoted && p < end && *p == kQuote)
            ++p;
        if (p < end && *p == separator) {
            ++p;
            if (p == end || *p == 0) {
                emptyLast = true; // written with the missing ones
                break;
            }
        }
    }
    fields = column + (emptyLast ? 1 : 0);
    if (!emptyLast && p < end && *p != 0)
        fields += countRawFields(p, end, separator); // dropped, but counted
    return column;
}

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

std::string_view breakJoiner(Dialect dialect) noexcept
{
    switch (dialect) {
    case Dialect::MySql: return ",";
    case Dialect::MsSql: return "+";
    case Dialect::Access: return "&";
    default: return "||";
    }
}

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
// no truncation when one of the strings is a large value type).
constexpr std::size_t kMsSqlConcatUnits = 4000;

// Units of room a line break may take beyond the three bytes of its own
// unit: two joiners, the longest call, the quotes and N of the next literal
// piece, and MySQL's CONCAT( ).
constexpr std::size_t kBreakRoomUnits = 14;

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

template <typename Unit>
std::size_t countBreaks(const Unit* p, const Unit* const end) noexcept
{
    std::size_t breaks = 0;
    for (;; ++p, ++breaks) {
        p = scan::findAny(p, end, static_cast<Unit>('\r'), static_cast<Unit>('\n'), static_cast<Unit>('\n'));
        if (p == end)
            return breaks;
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
    const auto restUnits = static_cast<std::size_t>(end - p);
    const bool asLargeObject = dialect == Dialect::MsSql ? restUnits > kMsSqlConcatUnits
                                                         : mayPassLiteralLimit(p, end, limit, options.encoding);
    const std::string_view join = breakJoiner(dialect);
    // UTF-8 bytes of non-ASCII characters are written as they are, so they
    // need a look only while an N may still be due.
    const bool nonAsciiLooks = sizeof(Unit) == 2 || national;

    char* o = out;
    char* const item = o;
    std::size_t parts = 0;
    bool concat = false;
    char* literal = o; // where the open literal piece begins, its joiner included
    char* open = o;    // its opening quote, or its N
    bool pieceNational = false;
    bool nonAsciiStops = nonAsciiLooks;
    auto openLiteral = [&] {
        literal = o;
        if (parts > 0)
            o = put(o, join);
        open = o;
        *o++ = '\'';
        pieceNational = false;
        nonAsciiStops = nonAsciiLooks;
    };
    auto closeLiteral = [&] {
        if (o == open + (pieceNational ? 2 : 1)) {
            o = literal; // nothing in it
            return;
        }
        *o++ = '\'';
        o = writeLiteralInPieces(open, o, options);
        ++parts;
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
                if (parts > 0)
                    o = put(o, join);
                o = put(o, breakCall(dialect, c == '\r', asLargeObject));
                ++parts;
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
    if (parts == 0)
        o = writeEmptyValue(item, options);
    else if (concat)
        *o++ = ')';
    out = o;
    return p;
}

// The value items of a record, by the field rules of forEachExactField();
// fields beyond `columns` are dropped. Returns how many items were written.
template <bool Breaks, typename Unit>
std::size_t writeExactItems(const Unit* p, const Unit* const end, std::size_t columns, char*& o,
                            const ScriptOptions& options, std::uint64_t& substituted)
{
    const auto separator = static_cast<Unit>(options.separator);
    const PlainRuns<Unit, Breaks> plainRuns(separator, options.dialect == Dialect::MySql);
    std::size_t column = 0;
    while (column < columns && p < end && *p != 0) {
        if (column++ > 0)
            *o++ = ',';
        p = writeExactItem<Breaks>(p, end, o, options, plainRuns, substituted);
        if (p < end && *p == separator && separator != 0) {
            ++p;
            if (p == end || *p == 0)
                break; // the empty field after it is written with the missing ones
        }
    }
    return column;
}
} // namespace

ScriptFormatter::ScriptFormatter(const ScriptOptions& options, const std::vector<std::u16string>& names,
                                 const std::vector<std::u16string>& types)
    : m_options(options), m_columns(names.size())
{
    // Every text of the head is first brought into what the output encoding
    // holds, and only then quoted: a substitute decides whether a name may
    // stand bare (a fullwidth "ｓｅｌｅｃｔ" is the reserved word select once
    // written in ANSI), and nothing written afterwards is replaced again.
    const TextEncoding encoding = options.encoding;
    std::uint64_t tableSubstituted = 0;
    m_tableName = fitToEncoding(options.tableName, encoding, tableSubstituted);
    std::uint64_t namesSubstituted = 0;
    std::uint64_t typesSubstituted = 0;
    std::vector<std::u16string> fitted;
    fitted.reserve(names.size());
    for (const auto& name : names)
        fitted.push_back(fitToEncoding(name, encoding, namesSubstituted));
    // Then cut to the database's length limit, and unique again.
    WrittenNames written = limitColumnNames(options.dialect, fitted);
    for (auto& renamed : written.renamed)
        renamed.from = names[renamed.column];
    m_renamed = std::move(written.renamed);
    m_createLines.reserve(names.size());
    std::u16string header(u"INSERT INTO ");
    header.append(m_tableName).append(u" (");
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::u16string& name = written.names[i];
        std::u16string line = quoteColumnName(options.dialect, NamePlace::CreateTable, name);
        line += u' ';
        if (i < types.size())
            line += fitToEncoding(types[i], encoding, typesSubstituted);
        m_createLines.push_back(std::move(line));
        if (i > 0)
            header += u',';
        header += quoteColumnName(options.dialect, NamePlace::InsertList, name);
    }
    header += u") VALUES";
    m_headSubstituted = tableSubstituted + namesSubstituted + typesSubstituted;
    m_insertHeaderSubstituted = tableSubstituted + namesSubstituted;
    m_insertHeader.resize(header.size() * 3 + 2);
    std::uint64_t none = 0; // fitted already
    char* end = encodeText(header, m_insertHeader.data(), options.encoding, none);
    end = put(end, "\r\n");
    m_insertHeader.resize(static_cast<std::size_t>(end - m_insertHeader.data()));
    if (options.copy && options.dialect == Dialect::PostgreSql)
        m_copyRows.emplace(options.encoding, options.separator, options.exactQuoting, options.nullEmpty, m_columns);
}

void ScriptFormatter::appendText(OutBuffer& out, std::u16string_view text)
{
    char* o = out.reserveTail(text.size() * 3);
    out.setEnd(encodeText(text, o, m_options.encoding, m_substituted));
}

void ScriptFormatter::appendHead(OutBuffer& out)
{
    const auto transaction = m_options.transaction ? transactionLines(m_options.dialect) : std::nullopt;
    out.append("\r\n", 2);
    if (transaction)
        out.append(transaction->beforeCreate.data(), transaction->beforeCreate.size());
    m_substituted += m_headSubstituted;
    out.append("CREATE TABLE ", 13);
    appendText(out, m_tableName);
    out.append(" (\r\n", 4);
    for (std::size_t i = 0; i < m_createLines.size(); ++i) {
        appendText(out, m_createLines[i]);
        if (i + 1 < m_createLines.size())
            out.append(",", 1);
        out.append("\r\n", 2);
    }
    out.append(");\r\n\r\n", 6);
    if (transaction)
        out.append(transaction->beforeInserts.data(), transaction->beforeInserts.size());
}

bool ScriptFormatter::headerDue(std::uint64_t index) const noexcept
{
    // Access SQL has no multi-row VALUES: an INSERT per row whatever the option.
    if (!m_options.multiRow || index == 0 || m_options.dialect == Dialect::Access)
        return true;
    return m_options.dialect == Dialect::MsSql && index % kMsSqlRowsPerInsert == 0;
}

std::size_t ScriptFormatter::statementBytesLimit() const noexcept
{
    return m_options.multiRow && !m_copyRows ? statementBytesFor(m_options.dialect, m_options.transaction) : 0;
}

char* ScriptFormatter::beginRow(OutBuffer& out, std::size_t units, std::uint64_t index)
{
    // Worst case: every unit takes three bytes, every column "N''," or "NULL,".
    const std::size_t room =
        units * 3 + pieceRoom(units * 3, literalLimit(m_options.dialect)) + m_columns * 8 + m_insertHeader.size() + 16;
    char* o = out.reserveTail(room);
    const bool header = headerDue(index);
    if (index > 0)
        o = put(o, header ? ";\r\n" : ",\r\n");
    if (header) {
        o = put(o, m_insertHeader);
        m_substituted += m_insertHeaderSubstituted;
    }
    *o++ = '(';
    return o;
}

void ScriptFormatter::endRow(OutBuffer& out, char* o, std::size_t column)
{
    // Missing fields are empty.
    for (; column < m_columns; ++column) {
        if (column > 0)
            *o++ = ',';
        o = writeEmptyValue(o, m_options);
    }
    *o++ = ')';
    out.setEnd(o);
}

template <typename Unit>
void ScriptFormatter::appendExactRow(OutBuffer& out, const Unit* row, std::size_t units, std::uint64_t index)
{
    const std::size_t breaks = m_options.dialect == Dialect::PostgreSql ? 0 : countBreaks(row, row + units);
    char* o = beginRow(out, units + breaks * kBreakRoomUnits, index);
    const std::size_t column = breaks > 0
                                   ? writeExactItems<true>(row, row + units, m_columns, o, m_options, m_substituted)
                                   : writeExactItems<false>(row, row + units, m_columns, o, m_options, m_substituted);
    endRow(out, o, column);
}

std::optional<std::size_t> ScriptFormatter::appendRow(OutBuffer& out, std::u16string_view row, std::uint64_t index)
{
    if (m_copyRows) {
        if (index == 0) {
            const std::string statement = copyStatement(m_insertHeader);
            out.append(statement.data(), statement.size());
            m_substituted += m_insertHeaderSubstituted;
        }
        return m_copyRows->append(out, row, m_substituted);
    }
    if (m_options.exactQuoting) {
        appendExactRow(out, row.data(), row.size(), index);
        return std::nullopt;
    }
    char* o = beginRow(out, row.size(), index);
    std::size_t column = 0;
    std::size_t fields = 0;
    if (onePassSeparator(m_options.separator)) {
        column = writeRowItems(row.data(), row.data() + row.size(), m_columns, o, m_options, m_substituted, fields);
    } else {
        // Value items drop every double quote, so a quoted field's raw text (its
        // doubled quotes not yet reduced) gives the same item as the field.
        forEachRawField(row, m_options.separator, [&](const char16_t* begin, const char16_t* end, bool) {
            ++fields;
            if (column == m_columns)
                return; // fields beyond the column names are dropped
            if (column++ > 0)
                *o++ = ',';
            char* const item = o;
            o = writeValue(o, std::u16string_view(begin, static_cast<std::size_t>(end - begin)), m_options,
                           m_substituted);
            o = writeLiteralInPieces(item, o, m_options);
        });
    }
    endRow(out, o, column);
    return fields;
}

bool ScriptFormatter::formatsUtf8Directly(const ScriptOptions& options) noexcept
{
    return options.encoding == TextEncoding::Utf8 && onePassSeparator(options.separator) && !options.copy;
}

std::optional<std::size_t> ScriptFormatter::appendUtf8Row(OutBuffer& out, std::string_view row, std::uint64_t index)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(row.data());
    if (!formatsUtf8Directly(m_options)) {
        m_scratch.resize(row.size());
        const auto decoded = utf8::decode(bytes, row.size(), m_scratch.data(), true);
        return appendRow(out, std::u16string_view(m_scratch.data(), decoded.written), index);
    }
    if (m_options.exactQuoting) {
        appendExactRow(out, bytes, row.size(), index);
        return std::nullopt;
    }
    char* o = beginRow(out, row.size(), index);
    std::size_t fields = 0;
    const std::size_t column = writeRowItems(bytes, bytes + row.size(), m_columns, o, m_options, m_substituted, fields);
    endRow(out, o, column);
    return fields;
}

void ScriptFormatter::appendEnd(OutBuffer& out, std::uint64_t exportedRows)
{
    if (exportedRows > 0 && m_copyRows)
        out.append(kCopyEnd.data(), kCopyEnd.size());
    else if (exportedRows > 0)
        out.append(";\r\n", 3);
    if (const auto transaction = m_options.transaction ? transactionLines(m_options.dialect) : std::nullopt)
        out.append(transaction->end.data(), transaction->end.size());
}

} // namespace quarrow
