#include "engine/csv/ShapeDetector.h"

#include "engine/csv/FormDetector.h"
#include "engine/files/FileOpen.h"
#include "engine/text/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <vector>

namespace quarrow {

namespace {

// One record of the sample as a separator cuts it.
struct Record {
    std::size_t line = 0; // where it starts, 1-based
    std::vector<std::string_view> fields;
};

struct Split {
    std::vector<Record> records;
    std::size_t quotedSpecial = 0; // quoted fields holding the separator or a line break
    std::size_t quotedFields = 0;
    std::size_t firstSpecialLine = 0;
};

bool isBreak(char c)
{
    return c == '\n' || c == '\r';
}

// Cuts the sample into records: a quote that opens a field runs to its
// closing quote ("" inside is one quote), across separators and line
// breaks. Blank lines are left out. With `dropOpenEnd`, a last record that
// the end of the sample cuts inside quotes is left out too.
Split splitSample(std::string_view text, char separator, bool dropOpenEnd)
{
    Split out;
    std::size_t i = 0;
    std::size_t line = 1;
    const std::size_t n = text.size();
    while (i < n) {
        Record record;
        record.line = line;
        bool openAtEnd = false;
        std::size_t quoted = 0;
        std::size_t special = 0;
        // A blank line.
        if (isBreak(text[i])) {
            i += (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
            ++line;
            continue;
        }
        while (true) {
            const std::size_t start = i;
            if (i < n && text[i] == '"') {
                ++quoted;
                bool holdsSpecial = false;
                bool closed = false;
                ++i;
                while (i < n) {
                    if (text[i] == '"') {
                        if (i + 1 < n && text[i + 1] == '"') {
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
                    ++special;
            }
            while (i < n && text[i] != separator && !isBreak(text[i]))
                ++i;
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
        out.quotedFields += quoted;
        if (special > 0 && out.quotedSpecial == 0)
            out.firstSpecialLine = record.line;
        out.quotedSpecial += special;
        out.records.push_back(std::move(record));
    }
    return out;
}

struct FieldCounts {
    std::size_t fields = 0;   // the most common count (the larger on a tie)
    std::size_t matching = 0; // records with that count
    std::size_t records = 0;
};

FieldCounts countFields(const Split& split)
{
    std::map<std::size_t, std::size_t> counts;
    for (const auto& record : split.records)
        ++counts[record.fields.size()];
    FieldCounts out;
    out.records = split.records.size();
    for (const auto& [fields, records] : counts) {
        if (records >= out.matching) {
            out.fields = fields;
            out.matching = records;
        }
    }
    return out;
}

std::string plural(std::size_t n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string countsText(const FieldCounts& c, char separator)
{
    return std::to_string(c.matching) + " of " + plural(c.records, "line", "lines") + " "
           + (c.matching == 1 ? "has " : "have ") + std::to_string(c.fields) + " fields with "
           + separatorName(static_cast<char16_t>(separator));
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

std::string columnList(const std::vector<std::size_t>& columns)
{
    std::string text = columns.size() == 1 ? "column " : "columns ";
    for (std::size_t i = 0; i < columns.size() && i < 8; ++i)
        text += (i == 0 ? "" : ", ") + std::to_string(columns[i]);
    if (columns.size() > 8)
        text += ", ...";
    return text;
}

ShapeChoice<bool> judgeHeader(const std::vector<Record>& records)
{
    if (records.empty())
        return {std::nullopt, "no lines to judge"};
    if (records.size() == 1)
        return {std::nullopt, "one line only: nothing below line 1 to compare it with"};
    const Record& first = records.front();
    std::vector<std::size_t> differ; // line 1 differs in kind from the column below
    std::vector<std::size_t> same;   // line 1 holds the column's kind
    std::set<std::string_view> names;
    std::optional<std::string_view> repeated;
    for (std::size_t column = 0; column < first.fields.size(); ++column) {
        const std::string_view name = trimmed(first.fields[column]);
        if (!name.empty() && !names.insert(name).second && !repeated)
            repeated = name;
        std::optional<Kind> below;
        bool mixed = false;
        for (std::size_t r = 1; r < records.size(); ++r) {
            if (column >= records[r].fields.size())
                continue;
            const Kind kind = kindOf(records[r].fields[column]);
            if (kind == Kind::Empty)
                continue;
            if (below && *below != kind)
                mixed = true;
            below = kind;
        }
        if (!below || mixed || *below == Kind::Text)
            continue;
        const Kind top = kindOf(first.fields[column]);
        if (top == Kind::Empty)
            continue;
        (top == *below ? same : differ).push_back(column + 1);
    }
    if (!differ.empty() && same.empty()) {
        if (repeated)
            return {std::nullopt, "line 1 differs in kind from the lines below in " + columnList(differ)
                                      + ", but repeats \"" + std::string(*repeated) + "\": not clear"};
        return {true, "line 1 holds names over numbers, dates or true/false in " + columnList(differ)};
    }
    if (!same.empty() && differ.empty())
        return {false, "line 1 holds the same kind of values as the lines below in " + columnList(same)};
    if (!same.empty())
        return {std::nullopt, "line 1 differs in kind from the lines below in " + columnList(differ) + " but not in "
                                  + columnList(same)};
    if (repeated)
        return {false, "every column holds text, and line 1 repeats \"" + std::string(*repeated) + "\": not names"};
    return {std::nullopt, "every column holds text: line 1 does not differ in kind from the lines below"};
}

ShapeChoice<TextEncoding> judgeEncoding(std::string_view& text, bool complete)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
        return {TextEncoding::Utf8, "the file starts with a UTF-8 byte-order mark"};
    }
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF")
        return {std::nullopt, "the file starts with a UTF-16 byte-order mark: neither UTF-8 nor ANSI reads it"};
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    // A cut sample may end inside a character.
    const auto result = utf8::validate(bytes, text.size(), complete);
    if (!result.valid) {
        const auto line = 1
                          + static_cast<std::size_t>(std::count(
                              text.begin(), text.begin() + static_cast<std::ptrdiff_t>(result.consumed), '\n'));
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned>(bytes[result.consumed]));
        return {TextEncoding::Ansi,
                "byte " + std::string(byte) + " on line " + std::to_string(line) + " is not UTF-8: ANSI text"};
    }
    const auto nonAscii = static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0xC0; }));
    if (nonAscii == 0)
        return {std::nullopt, "only ASCII characters: both encodings read them alike"};
    return {TextEncoding::Utf8, plural(nonAscii, "non-ASCII character", "non-ASCII characters") + ", all valid UTF-8"};
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
    std::string_view text = sample;
    shape.encoding = judgeEncoding(text, complete);
    if (text.find_first_not_of("\r\n") == std::string_view::npos) {
        const std::string empty = text.empty() ? "the file is empty" : "the file holds blank lines only";
        shape.separator = {std::nullopt, empty};
        shape.headerLine = {std::nullopt, empty};
        shape.exactQuoting = {std::nullopt, empty};
        shape.numberForm = {std::nullopt, empty};
        shape.dateOrder = {std::nullopt, empty};
        if (!shape.encoding.value)
            shape.encoding.evidence = empty;
        return shape;
    }

    // The separators tried; the current one too, where it is a byte of its own.
    std::vector<char> candidates{',', ';', '\t', '|'};
    if (currentSeparator < 0x80 && currentSeparator != u'"' && currentSeparator != u'\r' && currentSeparator != u'\n'
        && std::find(candidates.begin(), candidates.end(), static_cast<char>(currentSeparator)) == candidates.end())
        candidates.push_back(static_cast<char>(currentSeparator));

    struct Tried {
        char separator;
        Split split;
        FieldCounts counts;
    };
    std::vector<Tried> tried;
    tried.reserve(candidates.size() + 1);
    for (const char candidate : candidates) {
        Split split = splitSample(text, candidate, !complete);
        const FieldCounts counts = countFields(split);
        tried.push_back({candidate, std::move(split), counts});
    }
    // Best first: the larger share of lines with one count, then more fields.
    std::vector<const Tried*> viable;
    for (const auto& t : tried) {
        if (t.counts.fields >= 2)
            viable.push_back(&t);
    }
    auto better = [](const Tried* a, const Tried* b) {
        const auto left = a->counts.matching * b->counts.records;
        const auto right = b->counts.matching * a->counts.records;
        if (left != right)
            return left > right;
        return a->counts.fields > b->counts.fields;
    };
    std::stable_sort(viable.begin(), viable.end(), better);

    const Tried* chosen = nullptr;
    if (viable.empty()) {
        shape.separator = {std::nullopt, "every line has one field with each of ',', ';', Tab and '|': one column, "
                                         "or another separator"};
    } else if (viable.size() > 1 && !better(viable[0], viable[1])) {
        shape.separator = {std::nullopt, countsText(viable[0]->counts, viable[0]->separator) + ", and "
                                             + countsText(viable[1]->counts, viable[1]->separator) + ": not clear"};
    } else {
        chosen = viable[0];
        std::string evidence = countsText(chosen->counts, chosen->separator);
        if (viable.size() > 1)
            evidence += " (" + countsText(viable[1]->counts, viable[1]->separator) + ")";
        shape.separator = {static_cast<char16_t>(chosen->separator), evidence};
    }
    // Undecided: the current separator cuts the lines for the rest.
    if (chosen == nullptr) {
        for (const auto& t : tried) {
            if (t.separator == static_cast<char>(currentSeparator) && currentSeparator < 0x80)
                chosen = &t;
        }
    }
    if (chosen == nullptr) {
        Split split = splitSample(text, '\n', !complete);
        tried.push_back({'\n', std::move(split), {}});
        chosen = &tried.back();
    }
    shape.lines = chosen->split.records.size();
    shape.headerLine = judgeHeader(chosen->split.records);

    const Split& split = chosen->split;
    if (split.quotedSpecial > 0)
        shape.exactQuoting = {true, plural(split.quotedSpecial, "quoted field holds", "quoted fields hold")
                                        + " the separator or a line break (first on line "
                                        + std::to_string(split.firstSpecialLine) + "): exact quoting keeps them whole"};
    else if (split.quotedFields > 0)
        shape.exactQuoting = {std::nullopt, "no quoted field holds the separator or a line break"};
    else
        shape.exactQuoting = {std::nullopt, "no quoted fields"};

    FormVotes votes;
    for (const auto& record : split.records) {
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
    const bool complete = sample.size() <= sampleBytes;
    if (!complete) {
        // The lines that start in the sample: cut after its last line break.
        sample.resize(sampleBytes);
        const auto lastBreak = sample.find_last_of("\r\n");
        if (lastBreak != std::string::npos)
            sample.resize(lastBreak + 1);
    }
    return detectCsvShape(sample, complete, currentSeparator);
}

} // namespace quarrow
