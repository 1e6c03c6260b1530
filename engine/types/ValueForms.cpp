#include "engine/types/ValueForms.h"

#include "engine/types/CalendarDigits.h"

#include <array>
#include <string>

namespace quarrow {

namespace {

constexpr bool digit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

constexpr char lower(char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char groupChar(GroupMark mark) noexcept
{
    switch (mark) {
    case GroupMark::Comma: return ',';
    case GroupMark::Point: return '.';
    case GroupMark::Blank: return ' ';
    case GroupMark::Apostrophe: return '\'';
    case GroupMark::None: break;
    }
    return 0;
}

// Digits from `i` on, at most `most`; returns how many.
std::size_t digitsFrom(std::string_view s, std::size_t i, std::size_t most) noexcept
{
    std::size_t n = 0;
    while (i + n < s.size() && n < most && digit(s[i + n]))
        ++n;
    return n;
}

int numberOf(std::string_view s, std::size_t at, std::size_t count) noexcept
{
    return calendar::digitsValue(s, at, count);
}
using calendar::daysInMonth;

char* twoDigits(char* o, int v) noexcept
{
    *o++ = static_cast<char>('0' + v / 10);
    *o++ = static_cast<char>('0' + v % 10);
    return o;
}

struct DateParts {
    int year = 0;
    int month = 0;
    int day = 0;
    std::size_t end = 0; // where the date ends in the value
};

// Three numbers with the same separator, in `order`; an ISO date in any.
bool readDate(std::string_view s, DateOrder order, DateParts& parts) noexcept
{
    std::size_t lengths[3] = {};
    char separators[2] = {};
    std::size_t i = 0;
    for (int k = 0; k < 3; ++k) {
        lengths[k] = digitsFrom(s, i, 5);
        i += lengths[k];
        if (k < 2) {
            if (i >= s.size())
                return false;
            separators[k] = s[i++];
        }
    }
    if (separators[0] != separators[1])
        return false;
    const char sep = separators[0];
    if (sep != '-' && sep != '.' && sep != '/')
        return false;
    const std::size_t at1 = 0;
    const std::size_t at2 = lengths[0] + 1;
    const std::size_t at3 = at2 + lengths[1] + 1;
    const bool isoShape = sep == '-' && lengths[0] == 4 && lengths[1] == 2 && lengths[2] == 2;
    auto short12 = [](std::size_t n) { return n == 1 || n == 2; };
    if (isoShape) {
        parts = {numberOf(s, at1, 4), numberOf(s, at2, 2), numberOf(s, at3, 2), i};
    } else {
        switch (order) {
        case DateOrder::Dmy:
        case DateOrder::Mdy: {
            if (!short12(lengths[0]) || !short12(lengths[1]) || lengths[2] != 4)
                return false;
            const int first = numberOf(s, at1, lengths[0]);
            const int second = numberOf(s, at2, lengths[1]);
            const int year = numberOf(s, at3, 4);
            parts = order == DateOrder::Dmy ? DateParts{year, second, first, i} : DateParts{year, first, second, i};
            break;
        }
        case DateOrder::Ymd:
            if (lengths[0] != 4 || !short12(lengths[1]) || !short12(lengths[2]))
                return false;
            parts = {numberOf(s, at1, 4), numberOf(s, at2, lengths[1]), numberOf(s, at3, lengths[2]), i};
            break;
        case DateOrder::Iso:
        case DateOrder::None: return false;
        }
    }
    return parts.year >= 1 && parts.month >= 1 && parts.month <= 12 && parts.day >= 1
           && parts.day <= daysInMonth(parts.year, parts.month);
}

} // namespace

std::string_view decimalMarkName(DecimalMark mark) noexcept
{
    switch (mark) {
    case DecimalMark::Point: return "point";
    case DecimalMark::Comma: return "comma";
    case DecimalMark::None: break;
    }
    return "";
}

std::string_view groupMarkName(GroupMark mark) noexcept
{
    switch (mark) {
    case GroupMark::None: return "none";
    case GroupMark::Comma: return ",";
    case GroupMark::Point: return ".";
    case GroupMark::Blank: return "blank";
    case GroupMark::Apostrophe: return "'";
    }
    return "none";
}

std::string_view dateOrderName(DateOrder order) noexcept
{
    switch (order) {
    case DateOrder::Iso: return "iso";
    case DateOrder::Dmy: return "dmy";
    case DateOrder::Mdy: return "mdy";
    case DateOrder::Ymd: return "ymd";
    case DateOrder::None: break;
    }
    return "";
}

std::optional<DecimalMark> decimalMarkFromName(std::string_view name) noexcept
{
    for (const auto mark : {DecimalMark::Point, DecimalMark::Comma}) {
        if (name == decimalMarkName(mark))
            return mark;
    }
    return std::nullopt;
}

std::optional<GroupMark> groupMarkFromName(std::string_view name) noexcept
{
    for (const auto mark :
         {GroupMark::None, GroupMark::Comma, GroupMark::Point, GroupMark::Blank, GroupMark::Apostrophe}) {
        if (name == groupMarkName(mark))
            return mark;
    }
    return std::nullopt;
}

std::optional<DateOrder> dateOrderFromName(std::string_view name) noexcept
{
    for (const auto order : {DateOrder::Iso, DateOrder::Dmy, DateOrder::Mdy, DateOrder::Ymd}) {
        if (name == dateOrderName(order))
            return order;
    }
    return std::nullopt;
}

std::string_view decimalMarkWords(DecimalMark mark) noexcept
{
    switch (mark) {
    case DecimalMark::Point: return "decimal point";
    case DecimalMark::Comma: return "decimal comma";
    case DecimalMark::None: break;
    }
    return "";
}

std::string_view dateOrderWords(DateOrder order) noexcept
{
    switch (order) {
    case DateOrder::Iso: return "year-month-day";
    case DateOrder::Dmy: return "day.month.year";
    case DateOrder::Mdy: return "month/day/year";
    case DateOrder::Ymd: return "year/month/day";
    case DateOrder::None: break;
    }
    return "";
}

std::string describeForms(const ValueForms& forms)
{
    std::string text;
    auto add = [&](std::string_view part) {
        if (!text.empty())
            text += ", ";
        text += part;
    };
    if (forms.numbersChosen()) {
        add(decimalMarkWords(forms.decimal));
        if (forms.group != GroupMark::None) {
            add("group separator ");
            text += forms.group == GroupMark::Blank ? std::string("blank")
                                                    : "'" + std::string(groupMarkName(forms.group)) + "'";
        }
    }
    if (forms.datesChosen())
        add(dateOrderWords(forms.dates));
    return text;
}

FormedKind formedKindOfType(std::u16string_view type) noexcept
{
    // The first word, lower case: letters and digits up to a blank or '('.
    std::array<char, 24> word{};
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < type.size() && type[i] == u' ')
        ++i;
    for (; i < type.size() && n < word.size(); ++i) {
        const char16_t c = type[i];
        if (c >= 0x80)
            return FormedKind::Text;
        const char a = lower(static_cast<char>(c));
        if (!((a >= 'a' && a <= 'z') || digit(a)))
            break;
        word[n++] = a;
    }
    if (n == word.size())
        return FormedKind::Text;
    const std::string_view w(word.data(), n);
    static constexpr std::string_view kNumbers[] = {
        "tinyint", "smallint", "mediumint", "int",        "integer", "bigint", "int2",   "int4",
        "int8",    "decimal",  "numeric",   "dec",        "number",  "real",   "float",  "float4",
        "float8",  "double",   "money",     "smallmoney", "byte",    "long",   "single", "currency"};
    for (const auto name : kNumbers) {
        if (w == name)
            return FormedKind::Number;
    }
    if (w == "date")
        return FormedKind::Date;
    if (w == "datetime" || w == "datetime2" || w == "smalldatetime" || w == "timestamp")
        return FormedKind::DateTime;
    return FormedKind::Text;
}

std::size_t normaliseNumber(std::string_view s, const ValueForms& forms, char* out) noexcept
{
    if (forms.decimal == DecimalMark::None || s.empty() || s.size() > kMaxFormedChars)
        return 0;
    const char mark = forms.decimal == DecimalMark::Comma ? ',' : '.';
    const char group = groupChar(forms.group);
    char* o = out;
    std::size_t i = 0;
    if (s[0] == '-') {
        *o++ = '-';
        ++i;
    }
    // The integer part: groups of three after a first of one to three
    // digits once a group mark shows, else digits alone.
    const std::size_t firstDigits = digitsFrom(s, i, kMaxFormedChars);
    for (std::size_t k = 0; k < firstDigits; ++k)
        *o++ = s[i + k];
    i += firstDigits;
    if (group != 0 && i < s.size() && s[i] == group) {
        if (firstDigits == 0 || firstDigits > 3 || s[i - firstDigits] == '0')
            return 0;
        while (i < s.size() && s[i] == group) {
            if (digitsFrom(s, i + 1, 4) != 3)
                return 0;
            for (std::size_t k = 1; k <= 3; ++k)
                *o++ = s[i + k];
            i += 4;
        }
    }
    const bool integerPart = firstDigits > 0;
    if (i == s.size())
        return integerPart ? static_cast<std::size_t>(o - out) : 0;
    if (s[i] != mark)
        return 0;
    const std::size_t fraction = digitsFrom(s, i + 1, kMaxFormedChars);
    if (fraction == 0 || i + 1 + fraction != s.size())
        return 0;
    if (!integerPart)
        *o++ = '0';
    *o++ = '.';
    for (std::size_t k = 0; k < fraction; ++k)
        *o++ = s[i + 1 + k];
    return static_cast<std::size_t>(o - out);
}

std::size_t normaliseDate(std::string_view s, DateOrder order, bool withTime, bool tSeparator, char* out) noexcept
{
    if (order == DateOrder::None || s.size() > kMaxFormedChars)
        return 0;
    DateParts date;
    if (!readDate(s, order, date))
        return 0;
    char* o = out;
    const int y = date.year;
    *o++ = static_cast<char>('0' + y / 1000);
    *o++ = static_cast<char>('0' + y / 100 % 10);
    *o++ = static_cast<char>('0' + y / 10 % 10);
    *o++ = static_cast<char>('0' + y % 10);
    *o++ = '-';
    o = twoDigits(o, date.month);
    *o++ = '-';
    o = twoDigits(o, date.day);
    std::size_t i = date.end;
    if (i == s.size()) {
        if (withTime)
            o = std::char_traits<char>::copy(o, tSeparator ? "T00:00:00" : " 00:00:00", 9) + 9;
        return static_cast<std::size_t>(o - out);
    }
    if (!withTime || (s[i] != ' ' && s[i] != 'T'))
        return 0;
    ++i;
    const std::size_t hourDigits = digitsFrom(s, i, 3);
    if (hourDigits == 0 || hourDigits > 2 || i + hourDigits >= s.size() || s[i + hourDigits] != ':')
        return 0;
    int hour = numberOf(s, i, hourDigits);
    i += hourDigits + 1;
    if (digitsFrom(s, i, 3) != 2)
        return 0;
    const int minute = numberOf(s, i, 2);
    i += 2;
    int second = 0;
    std::size_t fractionAt = 0;
    std::size_t fraction = 0;
    if (i < s.size() && s[i] == ':') {
        if (digitsFrom(s, i + 1, 3) != 2)
            return 0;
        second = numberOf(s, i + 1, 2);
        i += 3;
        if (i < s.size() && s[i] == '.') {
            fraction = digitsFrom(s, i + 1, 10);
            if (fraction == 0 || fraction > 9)
                return 0;
            fractionAt = i + 1;
            i += 1 + fraction;
        }
    }
    // AM or PM, in either case, after a blank or not.
    std::size_t meridiem = 0; // 1 AM, 2 PM
    std::size_t j = i < s.size() && s[i] == ' ' ? i + 1 : i;
    if (j + 2 == s.size() && lower(s[j + 1]) == 'm') {
        if (lower(s[j]) == 'a')
            meridiem = 1;
        else if (lower(s[j]) == 'p')
            meridiem = 2;
        else
            return 0;
        i = s.size();
    }
    if (i != s.size() || minute > 59 || second > 59)
        return 0;
    if (meridiem != 0) {
        if (hour < 1 || hour > 12)
            return 0;
        hour = hour % 12 + (meridiem == 2 ? 12 : 0);
    } else if (hour > 23) {
        return 0;
    }
    *o++ = tSeparator ? 'T' : ' ';
    o = twoDigits(o, hour);
    *o++ = ':';
    o = twoDigits(o, minute);
    *o++ = ':';
    o = twoDigits(o, second);
    if (fraction > 0) {
        *o++ = '.';
        for (std::size_t k = 0; k < fraction; ++k)
            *o++ = s[fractionAt + k];
    }
    return static_cast<std::size_t>(o - out);
}

std::size_t normaliseValue(std::string_view in, const ValueForms& forms, FormedKind kind, Dialect dialect,
                           char* out) noexcept
{
    switch (kind) {
    case FormedKind::Number: return normaliseNumber(in, forms, out);
    case FormedKind::Date: return normaliseDate(in, forms.dates, false, false, out);
    case FormedKind::DateTime:
        // SQL Server reads yyyy-mm-ddThh:mm:ss the same under every SET
        // LANGUAGE and SET DATEFORMAT for datetime and smalldatetime too,
        // the form with a blank only for datetime2 (Transact-SQL reference,
        // datetime: "Supported string literal formats", ISO 8601).
        return normaliseDate(in, forms.dates, true, dialect == Dialect::MsSql, out);
    case FormedKind::Text: break;
    }
    return 0;
}

std::size_t typedLiteral(std::string_view plain, FormedKind kind, Dialect dialect, char* out) noexcept
{
    if (plain.empty() || plain.size() > kMaxPlainChars || kind == FormedKind::Text)
        return 0;
    char* o = out;
    auto copy = [&o](std::string_view text) {
        o = std::char_traits<char>::copy(o, text.data(), text.size()) + text.size();
    };
    if (dialect == Dialect::Access) {
        // yyyy-mm-dd as m/d/yyyy, as the vendor's own MakeUSDate builds it.
        if (kind != FormedKind::Date || plain.size() != 10 || plain[0] == '0')
            return 0;
        auto number = [&](std::size_t at) {
            if (plain[at] != '0')
                *o++ = plain[at];
            *o++ = plain[at + 1];
        };
        *o++ = '#';
        number(5);
        *o++ = '/';
        number(8);
        *o++ = '/';
        copy(plain.substr(0, 4));
        *o++ = '#';
        return static_cast<std::size_t>(o - out);
    }
    if (dialect == Dialect::Oracle) {
        if (kind == FormedKind::Number) {
            copy(plain);
            return static_cast<std::size_t>(o - out);
        }
        copy(kind == FormedKind::Date ? "DATE " : "TIMESTAMP ");
    }
    *o++ = '\'';
    copy(plain);
    *o++ = '\'';
    return static_cast<std::size_t>(o - out);
}

} // namespace quarrow
