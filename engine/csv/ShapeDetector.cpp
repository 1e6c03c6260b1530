#include "engine/csv/ShapeDetector.h"

#include "engine/csv/FormDetector.h"
#include "engine/files/FileOpen.h"
#include "engine/text/LineBreaks.h"
#include "engine/text/Utf8.h"

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <span>
#include <utility>
#include <vector>

namespace quarrow {

namespace {

// One record of the sample as a separator cuts it.
struct Record {
    std::size_t line = 0; // where it starts, 1-based
    std::vector<std::string_view> fields;
    std::size_t quotedFields = 0;
    std::size_t quotedSpecial = 0;  // quoted fields holding the separator or a line break
    std::size_t quotesInValues = 0; // fields whose value holds a double quote
};

bool isBreak(char c)
{
    return c == '\n' || c == '\r';
}

// Cuts the sample into records: a quote that opens a field runs to its
// closing quote ("" inside is one quote), across separators and line
// breaks; a quote elsewhere is part of the field, as exact quoting reads
// it. Blank lines are left out. With `dropOpenEnd`, a last record that the
// end of the sample cuts inside quotes is left out too.
std::vector<Record> splitSample(std::string_view text, char separator, bool dropOpenEnd)
{
    std::vector<Record> out;
    std::size_t i = 0;
    std::size_t line = 1;
    const std::size_t n = text.size();
    while (i < n) {
        // A blank line.
        if (isBreak(text[i])) {
            i += (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
            ++line;
            continue;
        }
        Record record;
        record.line = line;
        bool openAtEnd = false;
        while (true) {
            const std::size_t start = i;
            bool quoteInValue = false;
            if (i < n && text[i] == '"') {
                ++record.quotedFields;
                bool holdsSpecial = false;
                bool closed = false;
                ++i;
                while (i < n) {
                    if (text[i] == '"') {
                        if (i + 1 < n && text[i + 1] == '"') {
                            quoteInValue = true;
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (text[i] == separator) {
                        holdsSpecial = true;
                    } else if (isBreak(text[i])) {
                        holdsSpecial = true;
                        if (!(text[i] == '\r' && i + 1 < n && text[i + 1] == '\n'))
                            ++line;
                    }
                    ++i;
                }
                openAtEnd = !closed;
                if (holdsSpecial)
                    ++record.quotedSpecial;
            } else {
                while (i < n && text[i] != separator && !isBreak(text[i])) {
                    quoteInValue = quoteInValue || text[i] == '"';
                    ++i;
                }
            }
            while (i < n && text[i] != separator && !isBreak(text[i]))
                ++i;
            if (quoteInValue)
                ++record.quotesInValues;
            record.fields.push_back(text.substr(start, i - start));
            if (i < n && text[i] == separator) {
                ++i;
                continue;
            }
            break;
        }
        if (i < n) {
            i += (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
            ++line;
        }
        if (openAtEnd && dropOpenEnd)
            break;
        out.push_back(std::move(record));
    }
    return out;
}

struct FieldCounts {
    std::size_t fields = 0;   // the most common count (the larger on a tie)
    std::size_t matching = 0; // records with that count
    std::size_t records = 0;
};

FieldCounts countFields(std::span<const Record> records)
{
    std::map<std::size_t, std::size_t> counts;
    for (const auto& record : records)
        ++counts[record.fields.size()];
    FieldCounts out;
    out.records = records.size();
    for (const auto& [fields, matching] : counts) {
        if (matching >= out.matching) {
            out.fields = fields;
            out.matching = matching;
        }
    }
    return out;
}

std::string plural(std::size_t n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// The lines above the table, as the evidence names them: " below line 2".
std::string belowText(std::size_t firstLine)
{
    return firstLine > 1 ? " below line " + std::to_string(firstLine - 1) : "";
}

std::string countsText(const FieldCounts& c, char separator, std::size_t firstLine = 1)
{
    return std::to_string(c.matching) + " of " + plural(c.records, "line", "lines") + belowText(firstLine) + " "
           + (c.matching == 1 ? "has " : "have ") + std::to_string(c.fields) + " fields with "
           + separatorName(static_cast<char16_t>(separator));
}

// A value as the evidence quotes it: short, on one line.
std::string quoted(std::string_view value)
{
    constexpr std::size_t kShown = 24;
    std::string text;
    for (const char c : value.substr(0, kShown))
        text += c == '\t' ? ' ' : c;
    return "\"" + text + (value.size() > kShown ? "...\"" : "\"");
}

// ---------------------------------------------------------------------------
// The kind of a value, for the header line.

enum class Kind { Empty, Number, Date, Boolean, Text };

std::string_view trimmed(std::string_view value)
{
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t digitsAt(std::string_view s, std::size_t& i)
{
    const std::size_t start = i;
    while (i < s.size() && isDigit(s[i]))
        ++i;
    return i - start;
}

bool isNumber(std::string_view s)
{
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        ++i;
    std::size_t digits = digitsAt(s, i);
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
        ++i;
        digits += digitsAt(s, i);
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            ++i;
        if (digitsAt(s, i) == 0)
            return false;
    }
    return i == s.size();
}

// hh:mm, hh:mm:ss, with a fraction of a second.
bool isTime(std::string_view s)
{
    std::size_t i = 0;
    if (digitsAt(s, i) == 0 || i > 2 || i >= s.size() || s[i] != ':')
        return false;
    ++i;
    if (digitsAt(s, i) != 2)
        return false;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (digitsAt(s, i) != 2)
            return false;
        if (i < s.size() && s[i] == '.') {
            ++i;
            if (digitsAt(s, i) == 0)
                return false;
        }
    }
    return i == s.size();
}

// yyyy-mm-dd, yyyy/mm/dd, dd.mm.yyyy, dd/mm/yyyy, mm/dd/yyyy, dd-mm-yyyy;
// then a time after a blank or a T.
bool isDate(std::string_view s)
{
    std::size_t i = 0;
    const std::size_t first = digitsAt(s, i);
    if (i >= s.size() || (s[i] != '-' && s[i] != '/' && s[i] != '.'))
        return false;
    const char mark = s[i++];
    const std::size_t second = digitsAt(s, i);
    if (i >= s.size() || s[i] != mark)
        return false;
    ++i;
    const std::size_t third = digitsAt(s, i);
    const bool yearFirst = first == 4 && second >= 1 && second <= 2 && third >= 1 && third <= 2;
    const bool yearLast = first >= 1 && first <= 2 && second >= 1 && second <= 2 && (third == 4 || third == 2);
    if (!yearFirst && !yearLast)
        return false;
    if (i == s.size())
        return true;
    if (s[i] != ' ' && s[i] != 'T')
        return false;
    return isTime(s.substr(i + 1));
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? static_cast<char>(x - 'A' + 'a') : x) == y;
           });
}

Kind kindOf(std::string_view raw)
{
    const std::string_view value = trimmed(raw);
    if (value.empty())
        return Kind::Empty;
    if (isNumber(value))
        return Kind::Number;
    if (isDate(value) || isTime(value))
        return Kind::Date;
    if (equalsIgnoringCase(value, "true") || equalsIgnoringCase(value, "false"))
        return Kind::Boolean;
    return Kind::Text;
}

// A year as a column's name gives it: four digits from 1000 to 2999.
std::optional<int> yearOf(std::string_view raw)
{
    const std::string_view value = trimmed(raw);
    if (value.size() != 4 || (value[0] != '1' && value[0] != '2') || !std::all_of(value.begin(), value.end(), isDigit))
        return std::nullopt;
    return std::stoi(std::string(value));
}

// Years in a record's `columns` that rise or fall steadily from one column
// to the next, as a row of column names for years does.
bool holdsYearRun(const Record& record, const std::vector<std::size_t>& columns)
{
    std::vector<int> years;
    for (const std::size_t column : columns) {
        if (column > record.fields.size())
            return false;
        const std::optional<int> year = yearOf(record.fields[column - 1]);
        if (!year)
            return false;
        years.push_back(*year);
    }
    if (years.size() < 2)
        return false;
    auto rising = [&](auto compare) {
        return std::adjacent_find(years.begin(), years.end(), [&](int a, int b) { return !compare(a, b); })
               == years.end();
    };
    return rising(std::less<>()) || rising(std::greater<>());
}

// The outline of a text value, for telling names from the values below
// them: the case of its ASCII letters, digits and marks.
struct TextOutline {
    enum class Letters { None, Lower, Upper, Capitalized, Other };
    Letters letters = Letters::None;
    bool digit = false;
    std::bitset<128> marks; // ASCII punctuation it holds
};

TextOutline outlineOf(std::string_view value)
{
    TextOutline out;
    bool upper = false;
    bool lower = false;
    bool first = true;
    bool firstUpper = false;
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (c >= 'A' && c <= 'Z') {
            upper = true;
            firstUpper = firstUpper || first;
            first = false;
        } else if (c >= 'a' && c <= 'z') {
            lower = true;
            first = false;
        } else if (isDigit(c)) {
            out.digit = true;
        } else if (u < 128 && c != ' ') {
            out.marks.set(u);
        }
    }
    using Letters = TextOutline::Letters;
    if (upper && !lower)
        out.letters = Letters::Upper;
    else if (lower && !upper)
        out.letters = Letters::Lower;
    else if (upper && firstUpper)
        out.letters = Letters::Capitalized;
    else if (upper)
        out.letters = Letters::Other;
    return out;
}

// A name that is shaped unlike every value below it: another case of
// letters than all of them share, no digit where all hold one, no mark
// that all hold ('@' over e-mail addresses), or an underscore that none
// holds.
bool shapedUnlike(const TextOutline& name, const std::vector<TextOutline>& values)
{
    using Letters = TextOutline::Letters;
    const Letters letters = values.front().letters;
    const bool sameLetters =
        std::all_of(values.begin(), values.end(), [&](const auto& v) { return v.letters == letters; });
    if (sameLetters && letters != Letters::None && name.letters != Letters::None && name.letters != letters)
        return true;
    if (!name.digit && std::all_of(values.begin(), values.end(), [](const auto& v) { return v.digit; }))
        return true;
    std::bitset<128> shared;
    shared.set();
    for (const auto& v : values)
        shared &= v.marks;
    if ((shared & ~name.marks).any())
        return true;
    return name.marks.test('_')
           && std::none_of(values.begin(), values.end(), [](const auto& v) { return v.marks.test('_'); });
}

std::string columnList(const std::vector<std::size_t>& columns)
{
    std::string text = columns.size() == 1 ? "column " : "columns ";
    for (std::size_t i = 0; i < columns.size() && i < 8; ++i)
        text += (i == 0 ? "" : ", ") + std::to_string(columns[i]);
    if (columns.size() > 8)
        text += ", ...";
    return text;
}

// Where every column holds text: yes when the first line is plainly
// names.
ShapeChoice<bool> judgeTextHeader(std::span<const Record> records, const std::string& first,
                                  const std::optional<std::string_view>& repeated)
{
    if (repeated)
        return {false,
                "every column holds text, and " + first + " repeats \"" + std::string(*repeated) + "\": not names"};
    const std::string undecided = "every column holds text: " + first + " does not differ in kind from the lines below";
    const Record& top = records.front();
    std::vector<std::size_t> unlike;
    std::vector<std::size_t> alike;
    for (std::size_t column = 0; column < top.fields.size(); ++column) {
        const std::string_view name = trimmed(top.fields[column]);
        if (name.empty())
            return {std::nullopt, undecided + ", and column " + std::to_string(column + 1) + " has no name"};
        std::vector<TextOutline> values;
        for (const Record& record : records.subspan(1)) {
            if (column >= record.fields.size())
                continue;
            const std::string_view value = trimmed(record.fields[column]);
            if (value == name)
                return {std::nullopt, undecided + ", and its \"" + std::string(name) + "\" is a value of column "
                                          + std::to_string(column + 1) + " on line " + std::to_string(record.line)};
            if (!value.empty())
                values.push_back(outlineOf(value));
        }
        if (values.size() < 2)
            continue;
        (shapedUnlike(outlineOf(name), values) ? unlike : alike).push_back(column + 1);
    }
    if (!unlike.empty() && unlike.size() > alike.size())
        return {true, "every column holds text, and " + first
                          + " holds distinct names, none of them again below, shaped unlike the values in "
                          + columnList(unlike)};
    if (!alike.empty())
        return {std::nullopt, undecided + ", and is shaped like the values in " + columnList(alike)};
    return {std::nullopt, undecided};
}

// `records` start with the table's first line.
ShapeChoice<bool> judgeHeader(std::span<const Record> records)
{
    if (records.empty())
        return {std::nullopt, "no lines to judge"};
    const Record& top = records.front();
    const std::string first = "line " + std::to_string(top.line);
    if (records.size() == 1)
        return {std::nullopt, "one line only: nothing below " + first + " to compare it with"};
    std::vector<std::size_t> differ; // the first line differs in kind from the column below
    std::vector<std::size_t> same;   // the first line holds the column's kind
    std::set<std::string_view> names;
    std::optional<std::string_view> repeated;
    for (std::size_t column = 0; column < top.fields.size(); ++column) {
        const std::string_view name = trimmed(top.fields[column]);
        if (!name.empty() && !names.insert(name).second && !repeated)
            repeated = name;
        std::optional<Kind> below;
        bool mixed = false;
        for (const Record& record : records.subspan(1)) {
            if (column >= record.fields.size())
                continue;
            const Kind kind = kindOf(record.fields[column]);
            if (kind == Kind::Empty)
                continue;
            if (below && *below != kind)
                mixed = true;
            below = kind;
        }
        if (!below || mixed || *below == Kind::Text)
            continue;
        const Kind kind = kindOf(top.fields[column]);
        if (kind == Kind::Empty)
            continue;
        (kind == *below ? same : differ).push_back(column + 1);
    }
    // Years over other numbers: a row of column names ("2019,2020,2021"),
    // unless a line below holds such a run in the same columns too.
    std::vector<std::size_t> years;
    for (const std::size_t column : same) {
        if (yearOf(top.fields[column - 1]))
            years.push_back(column);
    }
    if (holdsYearRun(top, years)
        && std::none_of(records.begin() + 1, records.end(), [&](const Record& r) { return holdsYearRun(r, years); })) {
        std::erase_if(same,
                      [&](std::size_t column) { return std::find(years.begin(), years.end(), column) != years.end(); });
    } else {
        years.clear();
    }

    std::string overValues;
    if (!differ.empty())
        overValues = " holds names over numbers, dates or true/false in " + columnList(differ);
    if (!years.empty())
        overValues +=
            (differ.empty() ? " holds" : ", and") + std::string(" years over other numbers in ") + columnList(years);
    if (!overValues.empty() && same.empty()) {
        if (repeated)
            return {std::nullopt, first + overValues + ", but repeats \"" + std::string(*repeated) + "\": not clear"};
        return {true, first + overValues};
    }
    if (!same.empty() && overValues.empty())
        return {false, first + " holds the same kind of values as the lines below in " + columnList(same)};
    if (!same.empty()) {
        differ.insert(differ.end(), years.begin(), years.end());
        std::sort(differ.begin(), differ.end());
        return {std::nullopt, first + " differs in kind from the lines below in " + columnList(differ) + " but not in "
                                  + columnList(same)};
    }
    return judgeTextHeader(records, first, repeated);
}

// A text's line breaks before `end`, as the reader counts them.
std::size_t lineAt(std::string_view text, std::size_t end)
{
    bool afterCr = false;
    return 1 + static_cast<std::size_t>(countLineBreaks(text.data(), text.data() + end, afterCr));
}

ShapeChoice<TextEncoding> judgeEncoding(std::string_view& text, bool complete)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
        return {TextEncoding::Utf8, "the file starts with a UTF-8 byte-order mark"};
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    // A cut sample may end inside a character.
    const auto result = utf8::validate(bytes, text.size(), complete);
    if (!result.valid) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned>(bytes[result.consumed]));
        return {TextEncoding::Ansi, "byte " + std::string(byte) + " on line "
                                        + std::to_string(lineAt(text, result.consumed)) + " is not UTF-8: ANSI text"};
    }
    const auto nonAscii = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0xC0; }));
    if (nonAscii == 0)
        return {std::nullopt, "only ASCII characters: both encodings read them alike"};
    return {TextEncoding::Utf8, plural(nonAscii, "non-ASCII character", "non-ASCII characters") + ", all valid UTF-8"};
}

// The text after a UTF-16 byte-order mark, as UTF-8. A cut sample may end
// inside a unit or between the halves of a pair: that tail is left out.
std::string fromUtf16(std::string_view bytes, bool littleEndian, bool complete)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(littleEndian ? a | (b << 8) : (a << 8) | b));
    }
    if (!complete && !units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF)
        units.pop_back();
    std::string text(units.size() * 3, '\0');
    std::uint64_t replaced = 0;
    text.resize(
        static_cast<std::size_t>(utf8::encode(units.data(), units.size(), text.data(), replaced) - text.data()));
    return text;
}

// ---------------------------------------------------------------------------
// The separator.

struct Tried {
    char separator = ',';
    std::vector<Record> records;
    std::size_t from = 0; // the table's first record
    FieldCounts counts;   // of the table's records

    std::span<const Record> table() const { return std::span(records).subspan(from); }
};

// The numbers of `other`'s fields that `t`'s separator would cut: "1,5"
// under ';' for ','. The first is kept for the evidence.
std::size_t numbersCut(const Tried& t, const Tried& other, std::string_view& example)
{
    std::size_t cut = 0;
    for (const Record& record : other.table()) {
        for (const std::string_view field : record.fields) {
            const std::string_view value = trimmed(field);
            if (value.find(t.separator) != std::string_view::npos && isNumber(value)) {
                if (cut++ == 0)
                    example = value;
            }
        }
    }
    return cut;
}

// Fields after the first that `t`'s separator leaves with a blank at their
// start: the ", " of text inside values, where it is not the separator.
std::size_t blanksLeft(const Tried& t)
{
    std::size_t blanks = 0;
    for (const Record& record : t.table()) {
        for (std::size_t f = 1; f < record.fields.size(); ++f) {
            if (!record.fields[f].empty() && record.fields[f].front() == ' ')
                ++blanks;
        }
    }
    return blanks;
}

// Of two separators that give the same share of lines one count: the one
// that keeps numbers whole, then the one that leaves no blank at the start
// of fields. Nothing where neither tells them apart.
struct TieBreak {
    const Tried* winner = nullptr;
    std::string evidence; // what the loser does
};

TieBreak breakTie(const Tried& a, const Tried& b)
{
    std::string_view exampleA;
    std::string_view exampleB;
    const std::size_t cutA = numbersCut(a, b, exampleA);
    const std::size_t cutB = numbersCut(b, a, exampleB);
    if ((cutA == 0) != (cutB == 0)) {
        const Tried& loser = cutA > 0 ? a : b;
        const Tried& winner = cutA > 0 ? b : a;
        const std::size_t cut = std::max(cutA, cutB);
        return {&winner, separatorName(static_cast<char16_t>(loser.separator)) + " would cut "
                             + plural(cut, "number", "numbers") + " such as " + quoted(cutA > 0 ? exampleA : exampleB)
                             + " that " + separatorName(static_cast<char16_t>(winner.separator)) + " keeps whole"};
    }
    const std::size_t blanksA = blanksLeft(a);
    const std::size_t blanksB = blanksLeft(b);
    if ((blanksA == 0) != (blanksB == 0)) {
        const Tried& loser = blanksA > 0 ? a : b;
        const Tried& winner = blanksA > 0 ? b : a;
        return {&winner, separatorName(static_cast<char16_t>(loser.separator)) + " would leave a blank at the start of "
                             + plural(std::max(blanksA, blanksB), "field", "fields") + ", "
                             + separatorName(static_cast<char16_t>(winner.separator)) + " of none"};
    }
    return {};
}

// Counts `t`'s records that start on `firstLine` or after: the table's.
void measureTable(Tried& t, std::size_t firstLine)
{
    t.from = static_cast<std::size_t>(
        std::find_if(t.records.begin(), t.records.end(), [&](const Record& r) { return r.line >= firstLine; })
        - t.records.begin());
    t.counts = countFields(t.table());
}

// Judges the separators on the records that start on `firstLine` or after.
// Returns the one chosen, if any, and sets `choice`.
const Tried* chooseSeparator(std::vector<Tried>& tried, std::size_t firstLine, ShapeChoice<char16_t>& choice)
{
    for (auto& t : tried)
        measureTable(t, firstLine);
    std::vector<const Tried*> viable;
    for (const auto& t : tried) {
        if (t.counts.fields >= 2)
            viable.push_back(&t);
    }
    // Best first: the larger share of lines with one count.
    auto share = [](const Tried* a, const Tried* b) {
        return a->counts.matching * b->counts.records <=> b->counts.matching * a->counts.records;
    };
    std::stable_sort(viable.begin(), viable.end(), [&](const Tried* a, const Tried* b) { return share(a, b) > 0; });

    if (viable.empty()) {
        choice = {std::nullopt, "every line" + belowText(firstLine)
                                    + " has one field with each of ',', ';', Tab and '|': one column, or another "
                                      "separator"};
        return nullptr;
    }
    const Tried* best = viable[0];
    std::string evidence = countsText(best->counts, best->separator, firstLine);
    if (viable.size() == 1 || share(viable[0], viable[1]) > 0) {
        if (viable.size() > 1)
            evidence += " (" + countsText(viable[1]->counts, viable[1]->separator, firstLine) + ")";
        choice = {static_cast<char16_t>(best->separator), evidence};
        return best;
    }
    // A tie: the one that wins against every other of the same share.
    const Tried* winner = nullptr;
    std::string why;
    for (const Tried* candidate : viable) {
        if (share(candidate, best) != 0)
            break;
        std::string reasons;
        for (const Tried* other : viable) {
            if (share(other, best) != 0)
                break;
            if (other == candidate)
                continue;
            const TieBreak tie = breakTie(*candidate, *other);
            if (tie.winner != candidate) {
                reasons.clear();
                break;
            }
            reasons += (reasons.empty() ? "" : "; ") + tie.evidence;
        }
        if (!reasons.empty()) {
            winner = candidate;
            why = reasons;
            break;
        }
    }
    if (winner == nullptr) {
        choice = {std::nullopt,
                  evidence + ", and " + countsText(viable[1]->counts, viable[1]->separator, firstLine) + ": not clear"};
        return nullptr;
    }
    const Tried* other = winner == viable[0] ? viable[1] : viable[0];
    choice = {static_cast<char16_t>(winner->separator),
              countsText(winner->counts, winner->separator, firstLine) + ", as "
                  + countsText(other->counts, other->separator, firstLine) + ", but " + why};
    return winner;
}

// The lines at the top of `t`'s records that are not of its table's shape:
// one field, or a '#' comment of another count, over at least two lines of
// the table's count that are most of the lines below. Returns the first
// line of the table, 1 where there are none.
std::size_t tableStart(const Tried& t)
{
    constexpr std::size_t kMostAbove = 8;
    const std::size_t fields = t.counts.fields;
    if (fields < 2)
        return 1;
    std::size_t above = 0;
    while (above < t.records.size() && above < kMostAbove) {
        const Record& r = t.records[above];
        const bool comment = !r.fields.empty() && !r.fields.front().empty() && r.fields.front().front() == '#';
        if (r.fields.size() != 1 && !(comment && r.fields.size() != fields))
            break;
        ++above;
    }
    if (above == 0 || above == t.records.size())
        return 1;
    const FieldCounts rest = countFields(std::span(t.records).subspan(above));
    if (rest.fields != fields || rest.matching < 2 || rest.matching * 2 <= rest.records)
        return 1;
    return t.records[above].line;
}

} // namespace

std::string separatorName(char16_t separator)
{
    if (separator == u'\t')
        return "Tab";
    if (separator < 0x80)
        return std::string("'") + static_cast<char>(separator) + "'";
    char16_t unit = separator;
    char bytes[4];
    std::uint64_t replaced = 0;
    std::string name = "'";
    name.append(bytes, utf8::encode(&unit, 1, bytes, replaced));
    name += '\'';
    return name;
}

CsvShape detectCsvShape(std::string_view sample, bool complete, char16_t currentSeparator)
{
    CsvShape shape;
    std::string decoded;
    std::string_view text = sample;
    const bool utf16Le = sample.substr(0, 2) == "\xFF\xFE";
    const bool utf16 = utf16Le || sample.substr(0, 2) == "\xFE\xFF";
    if (utf16) {
        // Judged as the reader gives it: the text, not its bytes.
        decoded = fromUtf16(sample.substr(2), utf16Le, complete);
        text = decoded;
    }
    if (!complete) {
        // The lines that start in the sample; a line longer than it stays.
        const auto lastBreak = text.find_last_of("\r\n");
        if (lastBreak != std::string_view::npos)
            text = text.substr(0, lastBreak + 1);
    }
    if (utf16)
        shape.encoding = {std::nullopt, "the file starts with a UTF-16 byte-order mark: it is read as UTF-16 "
                                        "whatever the encoding setting"};
    else
        shape.encoding = judgeEncoding(text, complete);
    if (text.find_first_not_of("\r\n") == std::string_view::npos) {
        const std::string empty = text.empty() ? "the file is empty" : "the file holds blank lines only";
        shape.separator = {std::nullopt, empty};
        shape.headerLine = {std::nullopt, empty};
        shape.exactQuoting = {std::nullopt, empty};
        shape.numberForm = {std::nullopt, empty};
        shape.dateOrder = {std::nullopt, empty};
        if (!shape.encoding.value && !utf16)
            shape.encoding.evidence = empty;
        return shape;
    }

    // The separators tried; the current one too, where it is a byte of its own.
    std::vector<char> candidates{',', ';', '\t', '|'};
    if (currentSeparator < 0x80 && currentSeparator != u'"' && currentSeparator != u'\r' && currentSeparator != u'\n'
        && std::find(candidates.begin(), candidates.end(), static_cast<char>(currentSeparator)) == candidates.end())
        candidates.push_back(static_cast<char>(currentSeparator));
    std::vector<Tried> tried;
    tried.reserve(candidates.size() + 1);
    for (const char candidate : candidates)
        tried.push_back({candidate, splitSample(text, candidate, !complete), 0, {}});

    const Tried* chosen = chooseSeparator(tried, 1, shape.separator);
    // A title or a comment above the table, measured against the table's
    // shape (the chosen separator's, else the steadiest one's): everything
    // is judged again on the lines below it.
    const Tried* reference = chosen;
    if (reference == nullptr) {
        reference = &*std::max_element(tried.begin(), tried.end(), [](const Tried& a, const Tried& b) {
            return a.counts.matching * b.counts.records < b.counts.matching * a.counts.records;
        });
    }
    const std::size_t firstLine = tableStart(*reference);
    if (firstLine > 1) {
        chosen = chooseSeparator(tried, firstLine, shape.separator);
        if (chosen != nullptr)
            reference = chosen;
        const std::string lines = firstLine == 2 ? "line 1 is" : "lines 1 to " + std::to_string(firstLine - 1) + " are";
        shape.linesAbove = {firstLine - 1, lines + " not of the table's shape ("
                                               + countsText(reference->counts, reference->separator, firstLine)
                                               + "): a title or a comment above it, which the reading takes for the "
                                                 "table's first line; the separator and header line are judged on "
                                                 "the lines below it"};
    }

    // Undecided: the current separator cuts the lines for the rest.
    if (chosen == nullptr) {
        for (const auto& t : tried) {
            if (t.separator == static_cast<char>(currentSeparator) && currentSeparator < 0x80)
                chosen = &t;
        }
    }
    if (chosen == nullptr) {
        tried.push_back({'\n', splitSample(text, '\n', !complete), 0, {}});
        measureTable(tried.back(), firstLine);
        chosen = &tried.back();
    }
    shape.lines = chosen->records.size();
    const std::span<const Record> table = chosen->table();
    shape.headerLine = judgeHeader(table);

    std::size_t quotedFields = 0;
    std::size_t special = 0;
    std::size_t specialLine = 0;
    std::size_t quotes = 0;
    std::size_t quoteLine = 0;
    for (const Record& record : table) {
        quotedFields += record.quotedFields;
        if (record.quotedSpecial > 0 && special == 0)
            specialLine = record.line;
        special += record.quotedSpecial;
        if (record.quotesInValues > 0 && quotes == 0)
            quoteLine = record.line;
        quotes += record.quotesInValues;
    }
    std::string needs;
    if (special > 0)
        needs = plural(special, "quoted field holds", "quoted fields hold")
                + " the separator or a line break (first on line " + std::to_string(specialLine)
                + "): exact quoting keeps them whole";
    if (quotes > 0)
        needs += (needs.empty() ? "" : "; ") + plural(quotes, "value holds", "values hold")
                 + " a double quote, doubled or inside an unquoted field (first on line " + std::to_string(quoteLine)
                 + "): the default reading drops it, exact quoting keeps it";
    if (!needs.empty())
        shape.exactQuoting = {true, needs};
    else if (quotedFields > 0)
        shape.exactQuoting = {std::nullopt, "no quoted field holds the separator or a line break"};
    else
        shape.exactQuoting = {std::nullopt, "no quoted fields"};

    // The forms are judged on the table, not on a title above it.
    FormVotes votes;
    for (const Record& record : table) {
        for (const auto field : record.fields)
            votes.add(field, record.line);
    }
    const FormVotes::NumberChoice numbers = votes.numbers();
    shape.numberForm.evidence = numbers.evidence;
    if (numbers.decimal)
        shape.numberForm.value = ValueForms{*numbers.decimal, numbers.group, DateOrder::None};
    const FormVotes::DateChoice dates = votes.dates();
    shape.dateOrder = {dates.order, dates.evidence};
    return shape;
}

CsvShape detectCsvShapeOfFile(const std::filesystem::path& path, char16_t currentSeparator, std::size_t sampleBytes)
{
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ShapeReadError("Cannot read " + pathText(path) + ": " + std::strerror(errno != 0 ? errno : ENOENT));
    std::string sample(sampleBytes + 1, '\0');
    in.read(sample.data(), static_cast<std::streamsize>(sample.size()));
    if (in.bad())
        throw ShapeReadError("Cannot read " + pathText(path) + ": " + std::strerror(errno != 0 ? errno : EIO));
    sample.resize(static_cast<std::size_t>(in.gcount()));
    return detectCsvShapeOfStart(std::move(sample), currentSeparator, sampleBytes);
}

CsvShape detectCsvShapeOfStart(std::string sample, char16_t currentSeparator, std::size_t sampleBytes)
{
    const bool complete = sample.size() <= sampleBytes;
    if (!complete)
        sample.resize(sampleBytes);
    return detectCsvShape(sample, complete, currentSeparator);
}

} // namespace quarrow
