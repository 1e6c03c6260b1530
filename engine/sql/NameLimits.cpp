#include "engine/sql/NameLimits.h"

#include <array>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace quarrow {

namespace {

// The longest column name each database takes:
// - MySQL and MariaDB: 64 characters ("Identifier Length Limits").
// - SQL Server: 128 characters of a sysname, an nvarchar(128) ("Database
//   Identifiers").
// - Access: 64 characters for a field name ("Access specifications").
// - Oracle: 128 bytes from 12.2 on ("Database Object Names and Qualifiers").
// - PostgreSQL: NAMEDATALEN - 1 = 63 bytes; longer names are cut with only a
//   notice ("Identifiers and Key Words").
// - Db2: 128 bytes for a column name ("SQL and XML limits").
// - SQLite: none.
// Bytes are counted in UTF-8, which never holds fewer bytes for a name than
// the single-byte code page of an ANSI script.
constexpr std::array<NameLimit, 7> kLimits{{
    {NameUnit::CodePoints, 64},  // mysql
    {NameUnit::Utf16Units, 128}, // mssql
    {NameUnit::Utf16Units, 64},  // access
    {NameUnit::Utf8Bytes, 128},  // oracle
    {NameUnit::Utf8Bytes, 63},   // postgresql
    {NameUnit::Utf8Bytes, 128},  // ibmdb2
    {NameUnit::None, 0},         // sqlite
}};

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Units the character starting at name[i] takes, and how long it is in `unit`.
struct CharSize {
    std::size_t units;
    std::size_t length;
};

CharSize charAt(std::u16string_view name, std::size_t i, NameUnit unit) noexcept
{
    const char16_t c = name[i];
    const bool pair = isHighSurrogate(c) && i + 1 < name.size() && isLowSurrogate(name[i + 1]);
    const std::size_t units = pair ? 2 : 1;
    switch (unit) {
    case NameUnit::None:
    case NameUnit::CodePoints: return {units, 1};
    case NameUnit::Utf16Units: return {units, units};
    case NameUnit::Utf8Bytes:
        // A lone surrogate is written as U+FFFD, three bytes.
        return {units, pair ? 4u : c < 0x80 ? 1u : c < 0x800 ? 2u : 3u};
    }
    return {units, 1};
}

// The longest start of `name` that is at most `max` long.
std::u16string_view cut(std::u16string_view name, NameUnit unit, std::size_t max) noexcept
{
    std::size_t length = 0;
    std::size_t i = 0;
    while (i < name.size()) {
        const CharSize size = charAt(name, i, unit);
        if (length + size.length > max)
            break;
        length += size.length;
        i += size.units;
    }
    return name.substr(0, i);
}

std::u16string foldAsciiCase(std::u16string_view name)
{
    std::u16string folded(name);
    for (char16_t& c : folded) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return folded;
}

std::u16string suffixText(std::size_t n)
{
    const std::string digits = std::to_string(n);
    std::u16string suffix(u"_");
    suffix.append(digits.begin(), digits.end());
    return suffix;
}

// A NUL ends a name for every client that reads C strings, and Oracle takes
// no double quote in a name, quoted or not (Oracle SQL Language Reference,
// "Database Object Naming Rules": quoted identifiers can contain any
// characters except the double quotation mark and the null character).
bool isRefused(Dialect dialect, char16_t c) noexcept
{
    return c == u'\0' || (c == u'"' && dialect == Dialect::Oracle);
}

std::u16string withAllowedCharacters(Dialect dialect, std::u16string_view name)
{
    std::u16string out(name);
    for (char16_t& c : out) {
        if (isRefused(dialect, c))
            c = u'_';
    }
    return out;
}

// MySQL and MariaDB take no name that ends in a space (MySQL Reference
// Manual, "Schema Object Names"): a cut that ends in blanks drops them.
// Names as loaded have no blanks at either end; only a cut can leave them.
std::u16string_view withoutTrailingBlanks(Dialect dialect, std::u16string_view name) noexcept
{
    if (dialect != Dialect::MySql)
        return name;
    while (!name.empty() && name.back() <= u' ')
        name.remove_suffix(1);
    return name;
}

} // namespace

std::string refusedCharactersText(Dialect dialect)
{
    return dialect == Dialect::Oracle ? "a double quote or NUL becomes _" : "a NUL becomes _";
}

bool hasRefusedCharacters(Dialect dialect, std::u16string_view name) noexcept
{
    for (char16_t c : name) {
        if (isRefused(dialect, c))
            return true;
    }
    return false;
}

NameLimit columnNameLimit(Dialect dialect) noexcept
{
    return kLimits[static_cast<std::size_t>(dialect)];
}

std::size_t nameLength(std::u16string_view name, NameUnit unit) noexcept
{
    std::size_t length = 0;
    for (std::size_t i = 0; i < name.size();) {
        const CharSize size = charAt(name, i, unit);
        length += size.length;
        i += size.units;
    }
    return length;
}

WrittenNames limitColumnNames(Dialect dialect, const std::vector<std::u16string>& names)
{
    const NameLimit limit = columnNameLimit(dialect);
    WrittenNames out;
    out.names.reserve(names.size());
    // `base` is each name with the characters the database refuses
    // replaced: what cuts and suffixes start from. A name changed in any
    // way counts as cut below, so that a name left as given keeps its place.
    std::vector<std::u16string> base;
    base.reserve(names.size());
    std::vector<bool> wasCut(names.size(), false);
    for (std::size_t i = 0; i < names.size(); ++i) {
        base.push_back(withAllowedCharacters(dialect, names[i]));
        std::u16string_view name = base.back();
        wasCut[i] = base.back() != names[i];
        if (limit.unit != NameUnit::None && nameLength(name, limit.unit) > limit.max) {
            name = withoutTrailingBlanks(dialect, cut(name, limit.unit, limit.max));
            wasCut[i] = true;
        }
        out.names.emplace_back(name);
    }

    // Names left whole keep their place; a cut name that now collides with
    // any other name, or a whole one that collides with one before it (two
    // names the output encoding made equal), gets a suffix.
    std::unordered_set<std::u16string> taken;
    std::vector<bool> needsSuffix(wasCut);
    std::unordered_map<std::u16string, std::size_t> nextSuffix;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!wasCut[i] && !taken.insert(foldAsciiCase(out.names[i])).second)
            needsSuffix[i] = true;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!needsSuffix[i])
            continue;
        if (wasCut[i] && taken.insert(foldAsciiCase(out.names[i])).second)
            continue;
        // Counting on from the last suffix this name took keeps a header of
        // many alike names linear.
        std::size_t& next = nextSuffix.try_emplace(foldAsciiCase(base[i]), 2).first->second;
        for (std::size_t n = next;; ++n) {
            const std::u16string suffix = suffixText(n);
            std::u16string candidate(base[i]);
            if (limit.unit != NameUnit::None)
                candidate = cut(base[i], limit.unit, limit.max - nameLength(suffix, limit.unit));
            candidate += suffix;
            if (taken.insert(foldAsciiCase(candidate)).second) {
                out.names[i] = std::move(candidate);
                next = n + 1;
                break;
            }
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (out.names[i] != names[i])
            out.renamed.push_back({i, names[i], out.names[i]});
    }
    return out;
}

} // namespace quarrow
