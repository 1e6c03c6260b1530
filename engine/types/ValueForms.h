#pragma once

#include "engine/csv/ExactQuoting.h"
#include "engine/workspace/Dialect.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// How a file writes its numbers and dates, and the plain forms a database
// reads them in. A value in the chosen form becomes the plain form
// (1.234,56 -> 1234.56, 31.12.2024 -> 2024-12-31); anything else does not
// fit and is left to the caller to keep as it is.
namespace quarrow {

enum class DecimalMark : std::uint8_t {
    None, // not chosen: numbers are taken only as they stand
    Point,
    Comma,
};

enum class GroupMark : std::uint8_t {
    None,
    Comma,
    Point,
    Blank, // a space, U+00A0 or U+202F
    Apostrophe,
};

enum class DateOrder : std::uint8_t {
    None, // not chosen: dates are taken only as they stand
    Iso,  // year-month-day with '-', a time after a blank or T
    Dmy,
    Mdy,
    Ymd, // year first with '/', '.' or '-'
};

struct ValueForms {
    DecimalMark decimal = DecimalMark::None;
    GroupMark group = GroupMark::None;
    DateOrder dates = DateOrder::None;

    bool numbersChosen() const noexcept { return decimal != DecimalMark::None; }
    bool datesChosen() const noexcept { return dates != DateOrder::None; }
    bool chosen() const noexcept { return numbersChosen() || datesChosen(); }
    friend bool operator==(const ValueForms&, const ValueForms&) = default;
};

// A group mark the same as the decimal mark would make 1,234 mean two
// things; such a pair is refused where forms are chosen.
constexpr bool formsConflict(const ValueForms& forms) noexcept
{
    return (forms.decimal == DecimalMark::Comma && forms.group == GroupMark::Comma)
           || (forms.decimal == DecimalMark::Point && forms.group == GroupMark::Point);
}

// The names used by the converter's options and the profiles:
// decimal "point" "comma"; group "none" "," "." "blank" "'"; dates "iso"
// "dmy" "mdy" "ymd"; "" for a form not chosen.
std::string_view decimalMarkName(DecimalMark mark) noexcept;
std::string_view groupMarkName(GroupMark mark) noexcept;
std::string_view dateOrderName(DateOrder order) noexcept;
std::optional<DecimalMark> decimalMarkFromName(std::string_view name) noexcept;
std::optional<GroupMark> groupMarkFromName(std::string_view name) noexcept;
std::optional<DateOrder> dateOrderFromName(std::string_view name) noexcept;
// For people: "decimal comma", "day.month.year", "group separator '.'".
std::string_view decimalMarkWords(DecimalMark mark) noexcept;
std::string_view dateOrderWords(DateOrder order) noexcept;
// All forms chosen, in words: "decimal comma, group separator '.', day.month.year".
std::string describeForms(const ValueForms& forms);

// What a column type holds, as far as the forms go. Decided from the type's
// first word, in any letter case: integer, exact and approximate number
// types; date; the date-time types.
enum class FormedKind : std::uint8_t { Text, Number, Date, DateTime };
FormedKind formedKindOfType(std::u16string_view type) noexcept;

// Whether the dialect's scripts get the plain form of a column of `kind`.
// Oracle and Access read a decimal or date string by the session's NLS
// settings or the Windows regional settings, so a plain string is no safer
// there than the file's; what each writes instead is a literal its SQL reads
// alike under every setting (typedLiteral()):
// - Oracle, SQL Language Reference, Literals: "Numeric literals are SQL
//   syntax elements, which are not sensitive to NLS settings. The decimal
//   separator character in numeric literals is always the period"; the ANSI
//   date literal DATE 'YYYY-MM-DD' must be in that format, and TIMESTAMP
//   'YYYY-MM-DD HH24:MI:SS.FF' takes up to 9 fraction digits. Every kind.
// - Access SQL, WHERE clause: "date literals must be in U.S. format, even if
//   you are not using the U.S. version" of the database engine, enclosed in
//   number signs (#5/10/96#); Access VBA, "Format dates as U.S. dates
//   regardless of regional settings", builds them #m/d/yyyy#. Dates only: no
//   vendor document says how a time of day or a decimal written in a
//   statement is read whatever the regional settings, so those stay as the
//   file has them.
constexpr bool dialectTakesForm(Dialect dialect, FormedKind kind) noexcept
{
    switch (dialect) {
    case Dialect::Oracle: return kind != FormedKind::Text;
    case Dialect::Access: return kind == FormedKind::Date;
    default: return kind != FormedKind::Text;
    }
}

// Whether the dialect takes every form.
constexpr bool dialectTakesForms(Dialect dialect) noexcept
{
    return dialectTakesForm(dialect, FormedKind::Number) && dialectTakesForm(dialect, FormedKind::DateTime);
}

// The longest value looked at; no number or date of a form is longer.
inline constexpr std::size_t kMaxFormedChars = 48;
// The longest plain form written: a date-time with nine fraction digits,
// a sign, and the digits of the longest value.
inline constexpr std::size_t kMaxPlainChars = kMaxFormedChars + 8;

// A value written in a form, into `out` in its plain form. Returns the
// plain form's length, 0 when the value does not fit. `in` is the value as
// ASCII, a non-breaking or narrow no-break space given as a blank (see
// gatherFormValue). The number form is tried only with a decimal mark
// chosen, dates only with an order chosen:
// - Number: -?digits with the chosen group mark between groups of three
//   (the first of one to three digits), then the decimal mark and digits;
//   ",5" is 0.5. Digits are kept as written (0805 stays 0805).
// - Date: day, month and year in the chosen order with '.', '/' or '-'
//   (the same twice), one or two digits for day and month, four for the
//   year, a real calendar date; an ISO date is taken in every order.
// - DateTime: such a date, then after a blank or T h:mm, h:mm:ss or
//   h:mm:ss.fraction (one to nine digits), optionally AM or PM (either
//   case, after a blank or not); 24:00 and 13 PM are not times. A date
//   alone is midnight. `tSeparator` writes T instead of the blank.
// Two-digit years are never taken: whether 01.02.24 is 1924 or 2024 is a
// guess no file says.
std::size_t normaliseNumber(std::string_view in, const ValueForms& forms, char* out) noexcept;
std::size_t normaliseDate(std::string_view in, DateOrder order, bool withTime, bool tSeparator, char* out) noexcept;
// The above for a column of `kind` in `dialect`.
std::size_t normaliseValue(std::string_view in, const ValueForms& forms, FormedKind kind, Dialect dialect,
                           char* out) noexcept;

// The longest literal typedLiteral() writes.
inline constexpr std::size_t kMaxLiteralChars = kMaxPlainChars + 12;
// The literal of a plain form (normaliseValue()'s) of a column of `kind`, as
// `dialect` reads it whatever its settings (see dialectTakesForm()), into
// `out`: '1234.56' and '2024-12-31' in most dialects; in Oracle the number
// unquoted, DATE '2024-12-31' and TIMESTAMP '2024-12-31 10:00:00.5'; in
// Access #12/31/2024#. Returns its length, 0 when the dialect has no such
// literal for the value (Access: a year before 1000, whose U.S. form no
// document fixes).
std::size_t typedLiteral(std::string_view plain, FormedKind kind, Dialect dialect, char* out) noexcept;

namespace forms_detail {

template <typename Unit>
constexpr bool blankOrQuote(Unit c) noexcept
{
    return c <= Unit{' '} || c == static_cast<Unit>(kQuote);
}

// Appends the units [b, e) to buf as ASCII; false when one is neither ASCII
// nor a no-break space, or the value grows too long.
template <typename Unit>
bool appendAscii(const Unit* b, const Unit* e, bool dropQuotes, char* buf, std::size_t& n) noexcept
{
    for (const Unit* p = b; p < e; ++p) {
        const auto c = static_cast<std::uint32_t>(*p);
        if (c == kQuote && dropQuotes)
            continue;
        char a = 0;
        if (c < 0x80) {
            a = static_cast<char>(c);
        } else if constexpr (sizeof(Unit) == 1) {
            // U+00A0 is C2 A0, U+202F is E2 80 AF in UTF-8.
            if (c == 0xC2 && e - p >= 2 && p[1] == 0xA0) {
                p += 1;
            } else if (c == 0xE2 && e - p >= 3 && p[1] == 0x80 && p[2] == 0xAF) {
                p += 2;
            } else {
                return false;
            }
            a = ' ';
        } else {
            if (c != 0xA0 && c != 0x202F)
                return false;
            a = ' ';
        }
        if (n == kMaxFormedChars)
            return false;
        buf[n++] = a;
    }
    return true;
}

} // namespace forms_detail

// The value of the raw field [b, e) as the script writes it (double quotes
// dropped and blanks trimmed; with `exact` the value read exactly), as
// normaliseValue() takes it, into `buf` (kMaxFormedChars). Returns its
// length, 0 for the empty value; nothing when it is too long or holds
// non-ASCII characters other than the no-break spaces, so is no form's.
template <typename Unit>
std::optional<std::size_t> gatherFormValue(const Unit* b, const Unit* e, bool exact, char* buf) noexcept
{
    std::size_t n = 0;
    bool ok = true;
    if (exact) {
        forEachValueRun(b, e, [&](const Unit* run, const Unit* runEnd) {
            ok = ok && forms_detail::appendAscii(run, runEnd, false, buf, n);
        });
    } else {
        while (b < e && forms_detail::blankOrQuote(*b))
            ++b;
        while (e > b && forms_detail::blankOrQuote(e[-1]))
            --e;
        ok = forms_detail::appendAscii(b, e, true, buf, n);
    }
    if (!ok)
        return std::nullopt;
    return n;
}

// The same for a value already taken out of its field: as it stands.
template <typename Unit>
std::optional<std::size_t> gatherPlainValue(const Unit* b, const Unit* e, char* buf) noexcept
{
    std::size_t n = 0;
    if (!forms_detail::appendAscii(b, e, false, buf, n))
        return std::nullopt;
    return n;
}

} // namespace quarrow
