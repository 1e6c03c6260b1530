#include "engine/profile/ColumnProfile.h"

#include "engine/csv/ExactQuoting.h"
#include "engine/csv/FieldSplitter.h"
#include "engine/text/Scan.h"
#include "engine/text/Utf8.h"
#include "engine/types/CalendarDigits.h"

#include <algorithm>
#include <limits>

namespace quarrow {

namespace {

// Longer values are never numbers or dates that some dialect can hold
// exactly, so they are not looked at.
constexpr std::size_t kMaxShapedChars = 128;
// Characters of a value kept to explain why a kind was ruled out.
constexpr std::size_t kSampleChars = 40;

template <typename Unit>
constexpr bool trimmed(Unit c) noexcept
{
    return c <= Unit{' '} || c == static_cast<Unit>(kQuote);
}

struct Measure {
    std::uint64_t chars = 0;
    std::uint64_t bytes = 0;
    std::uint64_t utf16Units = 0;
    bool ascii = true;
    bool quotes = false; // double quotes inside, dropped from the value
};

// Lengths of the value that [p, end) gives once its double quotes are gone,
// or with `keepQuotes` (a value read exactly) as it stands.
template <typename Unit>
Measure measure(const Unit* p, const Unit* const end, bool keepQuotes) noexcept
{
    using Lanes = scan::Lanes<Unit>;
    Measure m;
    std::uint64_t plain = 0; // ASCII units other than the quote
    for (;;) {
        if constexpr (scan::kWordScan) {
            while (static_cast<std::size_t>(end - p) >= Lanes::kPerWord) {
                const std::uint64_t v = scan::loadWord(p);
                const std::uint64_t stop = scan::nonAsciiLanes<Unit>(v) | scan::lanesEqual<Unit>(v, kQuote);
                if (stop != 0) {
                    const std::size_t n = scan::firstLane<Unit>(stop);
                    plain += n;
                    p += n;
                    break;
                }
                plain += Lanes::kPerWord;
                p += Lanes::kPerWord;
            }
        }
        if (p == end)
            break;
        const auto c = static_cast<std::uint32_t>(*p++);
        if (c == kQuote && !keepQuotes) {
            m.quotes = true;
        } else if (c < 0x80) {
            ++plain;
        } else if constexpr (sizeof(Unit) == 1) {
            m.ascii = false;
            ++m.bytes;
            if ((c & 0xC0) != 0x80) {
                ++m.chars;
                ++m.utf16Units;
                if (c >= 0xF0)
                    ++m.utf16Units; // a pair of surrogates in UTF-16
            }
        } else {
            m.ascii = false;
            ++m.utf16Units;
            if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
                ++p;
                ++m.utf16Units;
                ++m.chars;
                m.bytes += 4;
            } else {
                ++m.chars;
                m.bytes += c < 0x800 ? 2 : 3; // a lone surrogate is written as U+FFFD
            }
        }
    }
    m.chars += plain;
    m.bytes += plain;
    m.utf16Units += plain;
    return m;
}

// Whether [p, end) holds only ASCII units.
template <typename Unit>
bool asciiOnly(const Unit* p, const Unit* const end) noexcept
{
    using Lanes = scan::Lanes<Unit>;
    std::uint64_t high = 0;
    if constexpr (scan::kWordScan) {
        for (; static_cast<std::size_t>(end - p) >= Lanes::kPerWord; p += Lanes::kPerWord)
            high |= scan::nonAsciiLanes<Unit>(scan::loadWord(p));
    }
    for (; p < end; ++p)
        high |= static_cast<std::uint64_t>(*p) >= 0x80 ? 1 : 0;
    return high == 0;
}

// Whether a value of `units` code units could be longer than the longest
// seen by one of the counts. In UTF-8 no count exceeds the bytes; in UTF-16
// a unit takes at most 3 bytes, 1 when it is ASCII.
template <typename Unit>
bool longerThanSeen(const ColumnProfile& column, std::uint64_t units, bool ascii) noexcept
{
    if (sizeof(Unit) == 1 || ascii)
        return units > std::min({column.maxChars, column.maxBytes, column.maxUtf16Units});
    else
        return units > std::min(column.maxChars, column.maxUtf16Units) || 3 * units > column.maxBytes;
}

// The value as UTF-8, double quotes dropped unless `keepQuotes`, cut after
// kSampleChars characters.
template <typename Unit>
std::string sample(const Unit* p, const Unit* const end, bool keepQuotes)
{
    std::string out;
    std::size_t chars = 0;
    if constexpr (sizeof(Unit) == 1) {
        for (; p < end; ++p) {
            if (*p == kQuote && !keepQuotes)
                continue;
            if ((*p & 0xC0) != 0x80 && ++chars > kSampleChars)
                return out + "...";
            out.push_back(static_cast<char>(*p));
        }
    } else {
        std::u16string units;
        for (; p < end; ++p) {
            if (*p == kQuote && !keepQuotes)
                continue;
            if (!(*p >= 0xDC00 && *p <= 0xDFFF && !units.empty()) && ++chars > kSampleChars)
                break;
            units.push_back(*p);
        }
        out.resize(units.size() * 3);
        std::uint64_t replaced = 0;
        out.resize(
            static_cast<std::size_t>(utf8::encode(units.data(), units.size(), out.data(), replaced) - out.data()));
        if (p < end)
            out += "...";
    }
    return out;
}

// Which kinds one value fits, with what the types need to know of it.
struct Shape {
    bool integer = false;
    bool decimal = false; // a number with a fractional part
    bool date = false;
    bool dateTime = false; // with a time of day
    bool beyond64Bits = false;
    std::int64_t value = 0;
    std::uint32_t integerDigits = 0; // 0 for the integer part of 0.5
    std::uint32_t scale = 0;
    int year = 0;
    std::uint32_t fractionDigits = 0;
};

constexpr bool digit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

bool digitsAt(const char* s, std::size_t n, std::size_t at, std::size_t count) noexcept
{
    if (at + count > n)
        return false;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!digit(s[i]))
            return false;
    }
    return true;
}

int numberAt(const char* s, std::size_t at, std::size_t count) noexcept
{
    return calendar::digitsValue(std::string_view(s, at + count), at, count);
}

using calendar::daysInMonth;

// YYYY-MM-DD, a real calendar date, then optionally " HH:MM:SS[.f+]".
Shape dateShape(const char* s, std::size_t n) noexcept
{
    Shape shape;
    if (n < 10 || !digitsAt(s, n, 0, 4) || s[4] != '-' || !digitsAt(s, n, 5, 2) || s[7] != '-' || !digitsAt(s, n, 8, 2))
        return shape;
    const int year = numberAt(s, 0, 4);
    const int month = numberAt(s, 5, 2);
    const int day = numberAt(s, 8, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return shape;
    shape.year = year;
    if (n == 10) {
        shape.date = true;
        return shape;
    }
    if (n < 19 || s[10] != ' ' || !digitsAt(s, n, 11, 2) || s[13] != ':' || !digitsAt(s, n, 14, 2) || s[16] != ':'
        || !digitsAt(s, n, 17, 2))
        return shape;
    if (numberAt(s, 11, 2) > 23 || numberAt(s, 14, 2) > 59 || numberAt(s, 17, 2) > 59)
        return shape;
    if (n == 19) {
        shape.dateTime = true;
        return shape;
    }
    if (s[19] != '.' || n == 20 || !digitsAt(s, n, 20, n - 20))
        return shape;
    shape.dateTime = true;
    shape.fractionDigits = static_cast<std::uint32_t>(n - 20);
    return shape;
}

// Only plain forms count: a leading zero, a plus sign, blanks, a decimal
// comma, group separators or an exponent would each be changed or refused
// by some database, so they keep the column text. Every value of a number
// or date column is looked at here: inlined, its shape is no trip through
// memory.
[[gnu::always_inline]] inline Shape classify(const char* s, std::size_t n) noexcept
{
    // A dash after four characters is where a date has one and no number
    // does: such a value goes straight to the date test.
    if (n >= 10 && s[4] == '-')
        return dateShape(s, n);
    Shape shape;
    // -?(0|[1-9][0-9]*)(\.[0-9]+)?
    std::size_t i = s[0] == '-' ? 1 : 0;
    const std::size_t digitsBegin = i;
    std::uint64_t magnitude = 0;
    bool overflow = false;
    // 19 digits always fit 64 bits; past them each step is checked.
    for (const std::size_t unchecked = std::min(n, digitsBegin + 19); i < unchecked && digit(s[i]); ++i)
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(s[i] - '0');
    for (; i < n && digit(s[i]); ++i) {
        const auto d = static_cast<std::uint64_t>(s[i] - '0');
        if (overflow || magnitude > (std::numeric_limits<std::uint64_t>::max() - d) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + d;
    }
    const std::size_t digits = i - digitsBegin;
    if (digits > 0 && !(digits > 1 && s[digitsBegin] == '0')) {
        shape.integerDigits = digits == 1 && s[digitsBegin] == '0' ? 0 : static_cast<std::uint32_t>(digits);
        if (i == n) {
            shape.integer = true;
            shape.integerDigits = static_cast<std::uint32_t>(digits);
            constexpr auto kMaxPositive = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
            const bool negative = digitsBegin == 1;
            if (overflow || magnitude > kMaxPositive + (negative ? 1 : 0))
                shape.beyond64Bits = true;
            else if (negative)
                shape.value = magnitude == kMaxPositive + 1 ? std::numeric_limits<std::int64_t>::min()
                                                            : -static_cast<std::int64_t>(magnitude);
            else
                shape.value = static_cast<std::int64_t>(magnitude);
            return shape;
        }
        if (s[i] == '.' && i + 1 < n) {
            std::size_t j = i + 1;
            while (j < n && digit(s[j]))
                ++j;
            if (j == n) {
                shape.decimal = true;
                shape.scale = static_cast<std::uint32_t>(n - i - 1);
                return shape;
            }
        }
    }
    return dateShape(s, n);
}

// A value read in `forms`: the shape of its plain form, and whether that
// differs from the value. With the numbers' form chosen, a number is only
// one in that form (1.5 is no number with a decimal comma). A date is tried
// without a time first, so that it stays a date.
template <typename Unit>
Shape formedShape(const Unit* b, const Unit* e, bool exact, const ValueForms& forms, bool* changed = nullptr) noexcept
{
    char value[kMaxFormedChars];
    const auto n = exact ? gatherPlainValue(b, e, value) : gatherFormValue(b, e, false, value);
    if (!n || *n == 0)
        return {};
    const std::string_view v(value, *n);
    char plain[kMaxPlainChars];
    std::size_t p = 0;
    if (forms.numbersChosen())
        p = normaliseNumber(v, forms, plain);
    if (p == 0 && forms.datesChosen()) {
        p = normaliseDate(v, forms.dates, false, false, plain);
        if (p == 0)
            p = normaliseDate(v, forms.dates, true, false, plain);
    }
    if (p == 0 && !forms.numbersChosen()) {
        // Numbers as they stand, where no form of them was chosen.
        const Shape asIs = classify(value, *n);
        if (asIs.integer || asIs.decimal)
            return asIs;
    }
    if (changed != nullptr)
        *changed = p != *n || std::string_view(plain, p) != v;
    return p == 0 ? Shape{} : classify(plain, p);
}

bool isNumberShape(const Shape& s) noexcept
{
    return s.integer || s.decimal;
}

bool isDateShape(const Shape& s) noexcept
{
    return s.date || s.dateTime;
}

// The value as it stands, as classify() reads it.
template <typename Unit>
Shape plainShape(const Unit* b, const Unit* e, bool exact) noexcept
{
    char value[kMaxFormedChars];
    const auto n = exact ? gatherPlainValue(b, e, value) : gatherFormValue(b, e, false, value);
    if (!n || *n == 0)
        return {};
    return classify(value, *n);
}

// Keeps only what the alternatives still holding need, so that a column
// profiled in parts and added up equals one profiled whole: a part that
// starts afresh would otherwise count values the whole no longer looked at.
void settleAlternatives(ColumnProfile& column) noexcept
{
    column.alternativesUsed &= column.alternativesHold;
    std::uint8_t numbers = 0;
    for (std::size_t k = 0; k < kAlternativeForms.size(); ++k) {
        if (kAlternativeForms[k].numbersChosen())
            numbers = static_cast<std::uint8_t>(numbers | (1u << k));
    }
    if ((column.alternativesHold & numbers) == 0) {
        column.alternativeIntegerDigits = 0;
        column.alternativeScale = 0;
    }
    if ((column.alternativesHold & ~numbers & 0xFF) == 0) {
        column.alternativeMinYear = 9999;
        column.alternativeFractionDigits = 0;
        column.alternativeTime = false;
    }
}

// Tries the value in the forms not chosen that still hold for the column
// (ColumnProfile::alternativesHold); `asIs` is its shape as it stands or in
// the chosen forms.
template <typename Unit>
void tryAlternatives(ColumnProfile& column, const Unit* b, const Unit* e, bool exact, const Shape& asIs)
{
    std::uint8_t& hold = column.alternativesHold;
    const bool number = isNumberShape(asIs);
    const bool date = isDateShape(asIs);
    auto note = [&](const Shape& shape, bool numberForm) {
        if (numberForm) {
            column.alternativeIntegerDigits = std::max(column.alternativeIntegerDigits, shape.integerDigits);
            column.alternativeScale = std::max(column.alternativeScale, shape.scale);
        } else {
            column.alternativeMinYear = std::min(column.alternativeMinYear, shape.year);
            column.alternativeFractionDigits = std::max(column.alternativeFractionDigits, shape.fractionDigits);
            column.alternativeTime = column.alternativeTime || shape.dateTime;
        }
    };
    for (std::size_t k = 0; k < kAlternativeForms.size(); ++k) {
        const auto bit = static_cast<std::uint8_t>(1u << k);
        if ((hold & bit) == 0)
            continue;
        const bool numberForm = kAlternativeForms[k].numbersChosen();
        // A number or date as it stands fits every form of its kind.
        if (numberForm ? number : date) {
            note(asIs, numberForm);
            continue;
        }
        const Shape shape = number || date ? Shape{} : formedShape(b, e, exact, kAlternativeForms[k]);
        if (numberForm ? !isNumberShape(shape) : !isDateShape(shape)) {
            hold = static_cast<std::uint8_t>(hold & ~bit);
            continue;
        }
        column.alternativesUsed = static_cast<std::uint8_t>(column.alternativesUsed | bit);
        note(shape, numberForm);
    }
    settleAlternatives(column);
}

// The figures of numbers and dates as before the first value.
void clearFigures(ColumnProfile& column) noexcept
{
    column.minInteger = std::numeric_limits<std::int64_t>::max();
    column.maxInteger = std::numeric_limits<std::int64_t>::min();
    column.beyond64Bits = false;
    column.integerDigits = 0;
    column.scale = 0;
    column.minYear = 9999;
    column.fractionDigits = 0;
    column.formed = false;
}

bool before(const ValueSite& a, const ValueSite& b) noexcept
{
    return a.file != b.file ? a.file < b.file : a.line < b.line;
}

// A site of a later part, its line moved on by the lines its file's
// earlier records spanned.
ValueSite shifted(const ValueSite& site, const std::vector<FileShape>& files)
{
    ValueSite moved = site;
    if (moved && moved.file < files.size())
        moved.line += files[moved.file].spannedLines;
    return moved;
}

} // namespace

std::uint8_t alternativesBeside(const ValueForms& forms) noexcept
{
    std::uint8_t bits = 0;
    for (std::size_t k = 0; k < kAlternativeForms.size(); ++k) {
        const bool number = kAlternativeForms[k].numbersChosen();
        if (number ? !forms.numbersChosen() : !forms.datesChosen())
            bits = static_cast<std::uint8_t>(bits | (1u << k));
    }
    return bits;
}

std::string_view kindName(ValueKind kind) noexcept
{
    switch (kind) {
    case ValueKind::Integer: return "integer";
    case ValueKind::Decimal: return "decimal";
    case ValueKind::Date: return "date";
    case ValueKind::DateTime: return "date-time";
    case ValueKind::Text: return "text";
    }
    return "text";
}

ValueKind ColumnProfile::kind(bool nullEmpty) const noexcept
{
    if ((!nullEmpty && empty > 0) || nonEmpty == 0)
        return ValueKind::Text;
    for (std::size_t k = 0; k < kNarrowKinds; ++k) {
        if (holds[k])
            return static_cast<ValueKind>(k);
    }
    return ValueKind::Text;
}

const ValueSite* ColumnProfile::whyNotNarrower(bool nullEmpty) const noexcept
{
    if (!nullEmpty && empty > 0)
        return &firstEmpty;
    switch (kind(nullEmpty)) {
    case ValueKind::Integer:
    case ValueKind::Date: return nullptr;
    case ValueKind::Decimal: return &ruledOutBy[static_cast<std::size_t>(ValueKind::Integer)];
    case ValueKind::DateTime: return &ruledOutBy[static_cast<std::size_t>(ValueKind::Date)];
    case ValueKind::Text: break;
    }
    if (nonEmpty == 0)
        return nullptr;
    const ValueSite& numbers = ruledOutBy[static_cast<std::size_t>(ValueKind::Decimal)];
    const ValueSite& dates = ruledOutBy[static_cast<std::size_t>(ValueKind::DateTime)];
    return before(numbers, dates) ? &dates : &numbers;
}

std::uint64_t TableProfile::longRows() const noexcept
{
    std::uint64_t n = 0;
    for (const auto& f : files)
        n += f.longRows;
    return n;
}

std::uint64_t TableProfile::shortRows() const noexcept
{
    std::uint64_t n = 0;
    for (const auto& f : files)
        n += f.shortRows;
    return n;
}

std::string TableProfile::where(const ValueSite& site) const
{
    std::string text = "line " + std::to_string(site.line);
    if (site.file < files.size() && !files[site.file].name.empty())
        text += " of " + files[site.file].name;
    return text;
}

TableProfiler::TableProfiler(std::size_t columns, char16_t separator, bool exactQuoting)
    : m_separator(separator), m_exact(exactQuoting)
{
    setColumns(columns);
}

void TableProfiler::setColumns(std::size_t columns, bool shapesOnly)
{
    m_shapesOnly = shapesOnly;
    m_profile.columns.assign(shapesOnly ? 0 : columns, ColumnProfile{});
    for (auto& column : m_profile.columns) {
        clearFigures(column);
        column.alternativesHold = alternativesBeside(m_forms);
    }
    m_columns = columns;
}

void TableProfiler::setValueForms(const ValueForms& forms)
{
    m_forms = forms;
    m_profile.forms = forms;
    for (auto& column : m_profile.columns)
        column.alternativesHold = alternativesBeside(m_forms);
}

bool TableProfiler::takesUtf8(char16_t separator) noexcept
{
    return separator != u'\0' && separator != kQuote && separator < 0x80;
}

void TableProfiler::startFile(std::string name)
{
    m_profile.files.push_back(FileShape{std::move(name), 0, 0, 0, {}, {}});
    m_line = 0;
}

void TableProfiler::resumeFile(std::size_t file, std::string name, std::uint64_t recordsBefore)
{
    m_profile.files.resize(file + 1);
    m_profile.files[file].name = std::move(name);
    m_line = recordsBefore;
}

void TableProfile::append(const TableProfile& later)
{
    rows += later.rows;
    if (nullMarkerCells.size() < later.nullMarkerCells.size())
        nullMarkerCells.resize(later.nullMarkerCells.size());
    for (std::size_t m = 0; m < later.nullMarkerCells.size(); ++m)
        nullMarkerCells[m] += later.nullMarkerCells[m];
    if (files.size() < later.files.size())
        files.resize(later.files.size());
    // The columns' sites are moved on before the files count the later
    // part's spanned lines.
    for (std::size_t c = 0; c < columns.size() && c < later.columns.size(); ++c) {
        ColumnProfile& column = columns[c];
        const ColumnProfile& next = later.columns[c];
        column.nonEmpty += next.nonEmpty;
        column.nullMarkers += next.nullMarkers;
        if (column.empty == 0)
            column.firstEmpty = shifted(next.firstEmpty, files);
        column.empty += next.empty;
        column.maxChars = std::max(column.maxChars, next.maxChars);
        column.maxBytes = std::max(column.maxBytes, next.maxBytes);
        column.maxUtf16Units = std::max(column.maxUtf16Units, next.maxUtf16Units);
        column.nonAscii = column.nonAscii || next.nonAscii;
        column.formed = column.formed || next.formed;
        column.alternativesHold &= next.alternativesHold;
        column.alternativesUsed |= next.alternativesUsed;
        column.alternativeIntegerDigits = std::max(column.alternativeIntegerDigits, next.alternativeIntegerDigits);
        column.alternativeScale = std::max(column.alternativeScale, next.alternativeScale);
        column.alternativeMinYear = std::min(column.alternativeMinYear, next.alternativeMinYear);
        column.alternativeFractionDigits = std::max(column.alternativeFractionDigits, next.alternativeFractionDigits);
        column.alternativeTime = column.alternativeTime || next.alternativeTime;
        settleAlternatives(column);
        bool typed = false;
        for (std::size_t k = 0; k < kNarrowKinds; ++k) {
            if (column.holds[k] && !next.holds[k]) {
                column.holds[k] = false;
                column.ruledOutBy[k] = shifted(next.ruledOutBy[k], files);
            }
            typed = typed || column.holds[k];
        }
        // While a narrow kind holds, neither part ever stopped keeping the
        // figures; once none does, the whole keeps none.
        if (!typed) {
            clearFigures(column);
            continue;
        }
        column.minInteger = std::min(column.minInteger, next.minInteger);
        column.maxInteger = std::max(column.maxInteger, next.maxInteger);
        column.beyond64Bits = column.beyond64Bits || next.beyond64Bits;
        column.integerDigits = std::max(column.integerDigits, next.integerDigits);
        column.scale = std::max(column.scale, next.scale);
        column.minYear = std::min(column.minYear, next.minYear);
        column.fractionDigits = std::max(column.fractionDigits, next.fractionDigits);
    }
    for (std::size_t f = 0; f < later.files.size(); ++f) {
        FileShape& file = files[f];
        const FileShape& next = later.files[f];
        if (file.name.empty())
            file.name = next.name;
        file.rows += next.rows;
        file.longRows += next.longRows;
        file.shortRows += next.shortRows;
        for (const auto line : next.firstLongLines) {
            if (file.firstLongLines.size() < kShapeLinesKept)
                file.firstLongLines.push_back(line + file.spannedLines);
        }
        for (const auto line : next.firstShortLines) {
            if (file.firstShortLines.size() < kShapeLinesKept)
                file.firstShortLines.push_back(line + file.spannedLines);
        }
        file.spannedLines += next.spannedLines;
    }
}

void TableProfiler::skipLine(std::u16string_view record)
{
    ++m_line;
    if (m_exact)
        endRecord(record.data(), record.data() + record.size());
}

void TableProfiler::skipUtf8Line(std::string_view record)
{
    ++m_line;
    if (m_exact) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(record.data());
        endRecord(bytes, bytes + record.size());
    }
}

template <typename Unit>
void TableProfiler::endRecord(const Unit* begin, const Unit* end)
{
    addSpannedLines(countLineBreaks(begin, end));
}

void TableProfiler::addSpannedLines(std::uint64_t lines)
{
    m_line += lines;
    if (lines > 0 && !m_profile.files.empty())
        m_profile.files.back().spannedLines += lines;
}

void TableProfiler::addRow(std::u16string_view line)
{
    addRowOf(line.data(), line.data() + line.size());
}

void TableProfiler::addUtf8Row(std::string_view line)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
    addRowOf(bytes, bytes + line.size());
}

template <typename Unit>
void TableProfiler::addRowOf(const Unit* begin, const Unit* end)
{
    beginRow();
    const auto separator = static_cast<Unit>(m_separator);
    // Read exactly, the record's line breaks: a break outside quotes would
    // have ended it, so only quoted fields, and what a NUL cut off from the
    // fields, are looked at.
    std::uint64_t breaks = 0;
    const Unit* counted = begin;
    auto countBreaks = [&](const Unit* b, const Unit* e) {
        if (b < e && *b == static_cast<Unit>(kQuote))
            breaks += countLineBreaks(b, e);
        counted = e;
    };
    auto endExactRecord = [&] {
        if (counted < end)
            breaks += countLineBreaks(counted, end);
        addSpannedLines(breaks);
    };
    if (m_shapesOnly) {
        std::size_t fields = 0;
        if (m_exact)
            forEachExactField(begin, end, separator, [&](const Unit* b, const Unit* e) {
                ++fields;
                countBreaks(b, e);
            });
        else
            fields = countRawFields(begin, end, separator);
        recordFields(fields);
        if (m_exact)
            endExactRecord();
        return;
    }
    ColumnProfile* const columns = m_profile.columns.data();
    const std::size_t columnCount = m_profile.columns.size();
    // In an ASCII row a value's lengths need not be measured when it is no
    // longer than the longest of a text column, as most values are.
    const bool asciiRow = asciiOnly(begin, end);
    std::size_t fields = 0;
    if (m_exact) {
        forEachExactField(begin, end, separator, [&](const Unit* b, const Unit* e) {
            countBreaks(b, e);
            if (fields < columnCount)
                addExactField(columns[fields], b, e, asciiRow);
            ++fields;
        });
    } else {
        forEachRawFieldIn(begin, end, separator, [&](const Unit* b, const Unit* e, bool) {
            if (fields < columnCount)
                addValue(columns[fields], b, e, asciiRow);
            ++fields;
        });
    }
    for (std::size_t c = fields; c < columnCount; ++c)
        addEmpty(columns[c]);
    recordFields(fields);
    if (m_exact)
        endExactRecord();
}

void TableProfiler::addShape(std::size_t fields, std::uint64_t lineBreaks)
{
    beginRow();
    recordFields(fields);
    addSpannedLines(lineBreaks);
}

void TableProfiler::beginRow()
{
    if (m_profile.files.empty())
        startFile({});
    ++m_line;
    ++m_profile.rows;
    ++m_profile.files.back().rows;
}

void TableProfiler::recordFields(std::size_t fields)
{
    FileShape& file = m_profile.files.back();
    if (fields > m_columns) {
        if (file.longRows++ < kShapeLinesKept)
            file.firstLongLines.push_back(m_line);
    } else if (fields < m_columns) {
        if (file.shortRows++ < kShapeLinesKept)
            file.firstShortLines.push_back(m_line);
    }
}

void TableProfiler::addEmpty(ColumnProfile& column)
{
    if (column.empty++ == 0)
        column.firstEmpty = ValueSite{static_cast<std::uint32_t>(m_profile.files.size() - 1), m_line, {}};
}

void TableProfiler::ruleOut(ColumnProfile& column, std::size_t kind, const std::string& value)
{
    column.holds[kind] = false;
    column.ruledOutBy[kind] = ValueSite{static_cast<std::uint32_t>(m_profile.files.size() - 1), m_line, value};
}

void TableProfiler::setNullMarkers(std::shared_ptr<const NullMarkers> markers)
{
    m_markers = markers && !markers->empty() ? std::move(markers) : nullptr;
    m_profile.nullMarkerCells.assign(m_markers ? m_markers->texts().size() : 0, 0);
}

bool TableProfiler::isNullMarker(ColumnProfile& column, std::optional<std::size_t> marker)
{
    if (!marker)
        return false;
    ++column.nullMarkers;
    ++m_profile.nullMarkerCells[*marker];
    return true;
}

template <typename Unit>
inline void TableProfiler::addValue(ColumnProfile& column, const Unit* b, const Unit* e, bool ascii)
{
    if (m_markers && isNullMarker(column, m_markers->matchRaw(b, e)))
        return;
    while (b < e && trimmed(*b))
        ++b;
    while (e > b && trimmed(e[-1]))
        --e;
    addWrittenValue(column, b, e, ascii);
}

template <typename Unit>
void TableProfiler::addExactField(ColumnProfile& column, const Unit* b, const Unit* e, bool ascii)
{
    // Nothing is trimmed: only a field whose value has no character is
    // empty. A quoted field's value is put together from its runs; it is
    // never a NULL marker.
    if (m_markers && (b == e || *b != static_cast<Unit>(kQuote)) && isNullMarker(column, m_markers->matchValue(b, e)))
        return;
    if (b < e && *b == static_cast<Unit>(kQuote)) {
        auto& value = [this]() -> std::vector<Unit>& {
            if constexpr (sizeof(Unit) == 1)
                return m_exactBytes;
            else
                return m_exactText;
        }();
        value.clear();
        forEachValueRun(b, e, [&](const Unit* run, const Unit* runEnd) { value.insert(value.end(), run, runEnd); });
        b = value.data();
        e = b + value.size();
    }
    addWrittenValue(column, b, e, ascii);
}

template <typename Unit>
inline void TableProfiler::addWrittenValue(ColumnProfile& column, const Unit* b, const Unit* e, bool ascii)
{
    if (b == e) {
        addEmpty(column);
        return;
    }
    ++column.nonEmpty;
    const auto& holds = column.holds;
    if (!(holds[0] || holds[1] || holds[2] || holds[3]) && column.alternativesHold == 0
        && !longerThanSeen<Unit>(column, static_cast<std::uint64_t>(e - b), ascii)) {
        // Text that cannot be longer than the longest by any count: only
        // whether it is ASCII is left to learn.
        if (!ascii && !column.nonAscii && !asciiOnly(b, e))
            column.nonAscii = true;
        return;
    }
    measureAndType(column, b, e);
}

template <typename Unit>
void TableProfiler::measureAndType(ColumnProfile& column, const Unit* b, const Unit* e)
{
    auto& holds = column.holds;
    const bool typed = holds[0] || holds[1] || holds[2] || holds[3];
    const auto units = static_cast<std::size_t>(e - b);
    Shape shape;
    bool shaped = false;
    if (sizeof(Unit) == 1 && typed && units <= kMaxShapedChars) {
        // A number or a date as it stands is ASCII without quotes: its
        // length is every count, and the value needs no measuring.
        shape = classify(reinterpret_cast<const char*>(b), units);
        shaped = shape.integer || shape.decimal || shape.date || shape.dateTime;
    }
    // Read exactly, a quote is part of the value: never a number or a date.
    const Measure m = shaped ? Measure{units, units, units, true, false} : measure(b, e, m_exact);
    column.maxChars = std::max(column.maxChars, m.chars);
    column.maxBytes = std::max(column.maxBytes, m.bytes);
    column.maxUtf16Units = std::max(column.maxUtf16Units, m.utf16Units);
    column.nonAscii = column.nonAscii || !m.ascii;
    if (!typed) {
        if (column.alternativesHold != 0)
            tryAlternatives(column, b, e, m_exact, units <= kMaxShapedChars ? plainShape(b, e, m_exact) : Shape{});
        return;
    }

    if (!shaped && m.ascii && m.chars <= kMaxShapedChars && (sizeof(Unit) == 2 || m.quotes)) {
        char text[kMaxShapedChars];
        std::size_t n = 0;
        for (const Unit* p = b; p < e; ++p) {
            if (*p != static_cast<Unit>(kQuote) || m_exact)
                text[n++] = static_cast<char>(*p);
        }
        shape = classify(text, n);
    }
    const bool asIs = isNumberShape(shape) || isDateShape(shape);
    if (m_forms.chosen() && (!asIs || (m_forms.numbersChosen() && isNumberShape(shape))) && units <= kMaxShapedChars) {
        bool changed = false;
        shape = formedShape(b, e, m_exact, m_forms, &changed);
        column.formed = column.formed || (changed && (isNumberShape(shape) || isDateShape(shape)));
    }
    if (column.alternativesHold != 0)
        tryAlternatives(column, b, e, m_exact, shape);
    const bool fits[kNarrowKinds] = {shape.integer, shape.integer || shape.decimal, shape.date,
                                     shape.date || shape.dateTime};
    bool ruledOut = false;
    for (std::size_t k = 0; k < kNarrowKinds; ++k)
        ruledOut = ruledOut || (holds[k] && !fits[k]);
    if (ruledOut) {
        const std::string value = sample(b, e, m_exact);
        for (std::size_t k = 0; k < kNarrowKinds; ++k) {
            if (holds[k] && !fits[k])
                ruleOut(column, k, value);
        }
        if (!(holds[0] || holds[1] || holds[2] || holds[3])) {
            // Text now: the figures of numbers and dates describe no type.
            clearFigures(column);
            return;
        }
    }
    if (shape.integer) {
        if (shape.beyond64Bits) {
            column.beyond64Bits = true;
        } else {
            column.minInteger = std::min(column.minInteger, shape.value);
            column.maxInteger = std::max(column.maxInteger, shape.value);
        }
    }
    if (shape.integer || shape.decimal) {
        column.integerDigits = std::max(column.integerDigits, shape.integerDigits);
        column.scale = std::max(column.scale, shape.scale);
    }
    if (shape.date || shape.dateTime) {
        column.minYear = std::min(column.minYear, shape.year);
        column.fractionDigits = std::max(column.fractionDigits, shape.fractionDigits);
    }
}

} // namespace quarrow
