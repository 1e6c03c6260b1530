#pragma once

#include "engine/csv/FieldSplitter.h"
#include "engine/text/Scan.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The exact reading of CSV (RFC 4180, with the lenient rules most readers
// share): a record may span lines, and a value is taken as it stands in the
// file. A field that begins with a double quote is quoted: inside it a
// doubled quote stands for one quote, and a separator or a line break is
// part of the value; text after its closing quote is appended to the value.
// In any other field a quote is an ordinary character. Nothing is removed
// from a value and nothing is trimmed.
//
// The line reader delivers such records whole, quotes and line breaks
// included; the functions here take a record apart.
namespace quarrow {

// Calls onField(begin, end) with the raw text of every field of one record,
// its quotes still in it. A separator that ends the record leaves one more,
// empty field; an empty record has no field. A NUL ends the record, as in
// the default reading (databases refuse it inside a string).
template <typename Unit, typename OnField>
inline void forEachExactField(const Unit* p, const Unit* const end, const Unit separator, OnField&& onField)
{
    constexpr auto quote = static_cast<Unit>(kQuote);
    while (p < end && *p != 0) {
        const Unit* const begin = p;
        if (*p == quote) {
            ++p;
            for (;;) {
                p = scan::findEither(p, end, quote, Unit{0});
                if (p == end || *p == 0)
                    break; // not closed: the reader refuses that at the end of the file
                if (end - p >= 2 && p[1] == quote) {
                    p += 2;
                    continue;
                }
                ++p; // the closing quote
                break;
            }
        }
        if (p < end && *p != 0 && *p != separator)
            p = scan::findEither(p, end, separator, Unit{0});
        onField(begin, p);
        if (p < end && *p == separator && separator != 0) {
            ++p;
            if (p == end || *p == 0) {
                onField(p, p);
                break;
            }
        }
    }
}

// Calls onRun(begin, end) with the pieces of a raw field's value in order:
// for a quoted field the text inside its quotes, a doubled quote giving one
// quote, then the text after the closing quote as it stands; any other field
// whole. Empty pieces are left out.
template <typename Unit, typename OnRun>
inline void forEachValueRun(const Unit* p, const Unit* const end, OnRun&& onRun)
{
    constexpr auto quote = static_cast<Unit>(kQuote);
    if (p == end)
        return;
    if (*p != quote) {
        onRun(p, end);
        return;
    }
    const Unit* run = ++p;
    for (;;) {
        p = scan::findEither(p, end, quote, quote);
        if (p == end) {
            if (p > run)
                onRun(run, p);
            return;
        }
        if (end - p >= 2 && p[1] == quote) {
            onRun(run, p + 1); // the first of the two stands for the quote
            p += 2;
            run = p;
            continue;
        }
        if (p > run)
            onRun(run, p);
        if (p + 1 < end)
            onRun(p + 1, end);
        return;
    }
}

// How many line breaks (CR LF, LF or a lone CR) [p, end) holds: for a
// record read exactly, the physical lines it spans beyond its first.
template <typename Unit>
inline std::uint64_t countLineBreaks(const Unit* p, const Unit* const end) noexcept
{
    constexpr auto cr = static_cast<Unit>('\r');
    constexpr auto lf = static_cast<Unit>('\n');
    std::uint64_t breaks = 0;
    while ((p = scan::findEither(p, end, cr, lf)) != end) {
        ++breaks;
        if (*p == cr && end - p >= 2 && p[1] == lf)
            ++p;
        ++p;
    }
    return breaks;
}

// The value of a raw field, as forEachValueRun() gives it.
std::u16string exactValue(std::u16string_view rawField);

// A column name from a header field read exactly: its value with every run
// of line breaks (CR, LF, in any mix) made one blank, then blanks and
// control characters (code 32 or less) trimmed from both ends, since names
// are identifiers written on one line, and some databases refuse one that
// ends in a space.
std::u16string exactColumnName(std::u16string_view rawField);

// How many fields a record holds, read exactly.
std::size_t exactFieldCount(std::u16string_view record, char16_t separator);

} // namespace quarrow
