#include "engine/settings/ConversionProfile.h"

#include "engine/files/FileOpen.h"
#include "engine/sql/ByteSink.h"
#include "engine/text/Utf8.h"
#include "engine/workspace/SeparatorText.h"

// toml++ compiled into this file alone, without its wide-string helpers for
// Windows: the engine takes no platform header.
#define TOML_HEADER_ONLY 1
#define TOML_ENABLE_WINDOWS_COMPAT 0
// The parser's internal assertions fire on some malformed input (a table
// header such as "[= v") where its own error handling then reports the
// fault; checked builds would stop there instead. Release builds drop them
// the same way.
#define TOML_ASSERT(expr) static_assert(true)
#include <toml++/toml.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

namespace quarrow {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The toml++ release that Debian 12 carries misjudges some characters
// where it looks for a blank (between tokens, in a key, after a
// backslash): for these ranges its whitespace test reaches a point it
// declares unreachable. Before the text is parsed each of them is written
// as a mark and a stand-in from the Private Use Area, which it judges
// rightly, and every text taken from the parsed document is read back.
//
// The mark is a Private Use character that the file holds neither as
// itself nor as an escape (\uXXXX, \UXXXXXXXX), so every mark in the parsed
// document is one this reader put there, always followed by its stand-in:
// the file's own Private Use characters come through untouched.
struct MisjudgedRange {
    char32_t first;
    char32_t last;
};
constexpr MisjudgedRange kMisjudged[] = {{0xA1, 0x499}, {0x2C5E, 0x2FFF}, {0x3001, 0x3057}, {0xFB26, 0xFEFE}};
constexpr char32_t kStandIns = 0xE100;

constexpr char32_t standInCount()
{
    char32_t count = 0;
    for (const auto& range : kMisjudged)
        count += range.last - range.first + 1;
    return count;
}
constexpr char32_t kStandInsEnd = kStandIns + standInCount();

// The Private Use characters a mark may be, in the order they are tried:
// around the stand-ins, then the two supplementary planes.
constexpr MisjudgedRange kMarkCandidates[] = {
    {0xE000, kStandIns - 1}, {kStandInsEnd, 0xF8FF}, {0xF0000, 0xFFFFD}, {0x100000, 0x10FFFD}};
static_assert(kStandInsEnd <= 0xF8FF);

// The stand-in's offset of a misjudged character, or none.
constexpr std::optional<char32_t> standInOffset(char32_t c)
{
    char32_t offset = 0;
    for (const auto& range : kMisjudged) {
        if (c >= range.first && c <= range.last)
            return offset + (c - range.first);
        offset += range.last - range.first + 1;
    }
    return std::nullopt;
}

constexpr std::optional<char32_t> fromStandIn(char32_t c)
{
    if (c < kStandIns)
        return std::nullopt;
    char32_t k = c - kStandIns;
    for (const auto& range : kMisjudged) {
        const char32_t size = range.last - range.first + 1;
        if (k < size)
            return range.first + k;
        k -= size;
    }
    return std::nullopt;
}
static_assert(fromStandIn(kStandIns + *standInOffset(0xFEFE)) == 0xFEFE && !standInOffset(0x4E2D));

// One character of UTF-8 text (and its bytes) from `i` on, advancing `i`.
// A byte that does not start a whole character in its shortest form comes
// alone with no character, for the parser to refuse.
std::pair<std::optional<char32_t>, std::string_view> nextCharacter(std::string_view text, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    bool whole = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; whole && k < length; ++k)
        whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    char32_t c = 0;
    if (whole) {
        c = length == 1 ? lead : length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
        for (std::size_t k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        whole = c >= kShortest[length] && c <= 0x10FFFF;
    }
    const std::size_t at = i;
    if (!whole) {
        ++i;
        return {std::nullopt, text.substr(at, 1)};
    }
    i += length;
    return {c, text.substr(at, length)};
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (c & 0x3F));
}

// A character as toml++ escapes it in its messages.
std::string tomlEscape(char32_t c)
{
    char text[12];
    std::snprintf(text, sizeof text, c > 0xFFFF ? "\\U%08X" : "\\u%04X", static_cast<unsigned>(c));
    return text;
}

// Where a parse error is in the file: the column counts the file's
// characters (code points) from 1; `character` is the file's character
// there when the parser saw it as a stand-in.
struct FilePlace {
    std::uint64_t column = 0;
    std::optional<char32_t> character;
};

class StandIns {
public:
    // Throws ProfileError when no mark is free.
    StandIns(std::string_view text, const std::string& fileName)
    {
        std::vector<char32_t> taken;
        for (std::size_t i = 0; i < text.size();) {
            if (const auto c = nextCharacter(text, i).first; c && *c >= 0xE000)
                taken.push_back(*c);
        }
        for (std::size_t i = 0; i + 1 < text.size(); ++i) {
            const std::size_t digits = text[i] != '\\' ? 0 : text[i + 1] == 'u' ? 4 : text[i + 1] == 'U' ? 8 : 0;
            if (digits == 0 || i + 2 + digits > text.size())
                continue;
            std::uint32_t value = 0;
            bool hex = true;
            for (std::size_t k = i + 2; hex && k < i + 2 + digits; ++k) {
                const char d = text[k];
                hex = (d >= '0' && d <= '9') || (d >= 'a' && d <= 'f') || (d >= 'A' && d <= 'F');
                value = value * 16 + static_cast<std::uint32_t>(d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10);
            }
            if (hex)
                taken.push_back(value);
        }
        std::sort(taken.begin(), taken.end());
        for (const auto& range : kMarkCandidates) {
            for (char32_t c = range.first; c <= range.last && !m_mark; ++c) {
                if (!std::binary_search(taken.begin(), taken.end(), c))
                    m_mark = c;
            }
        }
        if (!m_mark)
            throw ProfileError(fileName, 0, "",
                               "the file holds every Private Use character, and this reader needs one it does not");
    }

    std::string apply(std::string_view text) const
    {
        std::string out;
        out.reserve(text.size() + text.size() / 2);
        for (std::size_t i = 0; i < text.size();) {
            const auto [c, bytes] = nextCharacter(text, i);
            if (const auto offset = c ? standInOffset(*c) : std::nullopt) {
                appendUtf8(out, *m_mark);
                appendUtf8(out, kStandIns + *offset);
            } else {
                out.append(bytes);
            }
        }
        return out;
    }

    // The inverse of apply() for any text taken from the document. A mark
    // without its stand-in can only be the character a parse error names:
    // `errorCharacter`.
    std::string restore(std::string_view text, std::optional<char32_t> errorCharacter = std::nullopt) const
    {
        std::string out;
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size();) {
            const auto [c, bytes] = nextCharacter(text, i);
            if (c != m_mark) {
                out.append(bytes);
                continue;
            }
            std::size_t after = i;
            const auto standIn = after < text.size() ? nextCharacter(text, after).first : std::nullopt;
            if (const auto original = standIn ? fromStandIn(*standIn) : std::nullopt) {
                appendUtf8(out, *original);
                i = after;
            } else {
                appendUtf8(out, errorCharacter.value_or(*m_mark));
            }
        }
        return out;
    }

    // The file's place of a parse error found at `line` and `column` (code
    // points from 1) of the text apply() gave.
    FilePlace filePlace(std::string_view applied, std::uint64_t line, std::uint64_t column) const
    {
        std::size_t i = 0;
        for (std::uint64_t l = 1; l < line; ++l) {
            i = applied.find('\n', i);
            if (i == std::string_view::npos)
                return {column, std::nullopt};
            ++i;
        }
        std::uint64_t at = 1;
        FilePlace place{1, std::nullopt};
        while (i < applied.size() && at <= column) {
            const auto c = nextCharacter(applied, i).first;
            if (c == m_mark && i < applied.size()) {
                const auto standIn = nextCharacter(applied, i).first;
                if (column <= at + 1) {
                    place.character = standIn ? fromStandIn(*standIn) : std::nullopt;
                    return place;
                }
                at += 2;
            } else {
                if (column == at || c == U'\n')
                    return place;
                ++at;
            }
            ++place.column;
        }
        place.column += column - std::min(at, column);
        return place;
    }

    // A parse error's account as the parser would have given it for the
    // file's own text.
    std::string description(std::string_view text, const FilePlace& place) const
    {
        std::string out(text);
        if (place.character) {
            const std::string escaped = tomlEscape(*m_mark);
            const std::string real = tomlEscape(*place.character);
            for (std::size_t at = out.find(escaped); at != std::string::npos; at = out.find(escaped, at + real.size()))
                out.replace(at, escaped.size(), real);
        }
        return restore(out, place.character);
    }

private:
    std::optional<char32_t> m_mark;
};

std::string placeText(std::uint64_t line, const std::string& place)
{
    std::string text;
    if (line > 0)
        text = "line " + std::to_string(line);
    if (!place.empty())
        text += (text.empty() ? "" : ", ") + place;
    return text;
}

std::string toUtf8(std::u16string_view text)
{
    std::string out(text.size() * 3, '\0');
    std::uint64_t replaced = 0;
    out.resize(static_cast<std::size_t>(utf8::encode(text.data(), text.size(), out.data(), replaced) - out.data()));
    return out;
}

// A text of the parsed document, its stand-ins read back
// (toml++ has checked that it is UTF-8).
std::u16string fromUtf8(std::string_view text, const StandIns& standIns)
{
    const std::string restored = standIns.restore(text);
    std::u16string out(restored.size(), u'\0');
    const auto r =
        utf8::decode(reinterpret_cast<const unsigned char*>(restored.data()), restored.size(), out.data(), true);
    out.resize(r.written);
    return out;
}

std::string_view typeName(toml::node_type type)
{
    switch (type) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number with a fraction";
    case toml::node_type::boolean: return "true or false";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date and time";
    case toml::node_type::array: return "a list";
    case toml::node_type::table: return "a table";
    case toml::node_type::none: break;
    }
    return "nothing";
}

// Checks one parsed document and builds the profile from it; throws at the
// first fault, before anything leaves.
class ProfileReader {
public:
    ProfileReader(const std::string& fileName, const StandIns& standIns) : m_file(fileName), m_standIns(standIns) {}

    ConversionProfile read(const toml::table& root)
    {
        ConversionProfile profile;
        ScriptOptions& script = profile.script;
        const toml::node* versionNode = root.get("version");
        if (versionNode == nullptr)
            fail(0, "",
                 "the \"version\" key is missing (this program writes version = " + std::to_string(kProfileVersion)
                     + ")");
        const std::int64_t version = integer(*versionNode, "version");
        if (version > kProfileVersion)
            fail(*versionNode, "version",
                 "version " + std::to_string(version) + " is newer than this program reads (up to "
                     + std::to_string(kProfileVersion) + "): a newer Quarrow wrote it");
        if (version < 1)
            fail(*versionNode, "version",
                 "version " + std::to_string(version) + " does not exist: versions start at 1");

        const toml::node* copyNode = nullptr;
        const toml::node* tableModeNode = nullptr;
        const toml::node* formsNode = nullptr;
        const toml::node* commentNode = nullptr;
        for (auto&& [key, node] : root) {
            const std::string_view name = key.str();
            if (name == "version") {
                continue;
            } else if (name == "database") {
                const std::string id = string(node, name);
                const auto dialect = dialectFromIdentifier(id);
                if (!dialect)
                    fail(node, name,
                         "unknown database \"" + m_standIns.restore(id)
                             + "\" (mysql, mssql, access, oracle, postgresql, ibmdb2, sqlite)");
                script.dialect = *dialect;
            } else if (name == "table") {
                script.tableName = fromDocument(string(node, name));
            } else if (name == "separator") {
                const std::u16string text = fromDocument(string(node, name));
                if (const auto refusal = separatorTextRefusal(text))
                    fail(node, name, *refusal);
                if (text.size() > 1 && text != u"\\t")
                    fail(node, name, "the separator must be one character (\"\\t\" for Tab)");
                script.separator = *decodeSeparatorText(text);
            } else if (name == "header") {
                script.headerLine = boolean(node, name);
            } else if (name == "encoding") {
                const std::string id = string(node, name);
                if (id == "utf8")
                    script.encoding = TextEncoding::Utf8;
                else if (id == "ansi")
                    script.encoding = TextEncoding::Ansi;
                else
                    fail(node, name, "unknown encoding \"" + m_standIns.restore(id) + "\" (utf8 or ansi)");
            } else if (name == "exact-quoting") {
                script.exactQuoting = boolean(node, name);
            } else if (name == "skip-lines") {
                const std::int64_t lines = integer(node, name);
                if (lines < 0)
                    fail(node, name, "the lines to skip cannot be fewer than 0");
                script.skipLines = static_cast<std::uint64_t>(lines);
            } else if (name == "comment") {
                const std::u16string text = fromDocument(string(node, name));
                if (text.size() > 1)
                    fail(node, name, "the comment character must be one character (\"\" for none)");
                script.comment = text.empty() ? u'\0' : text[0];
                commentNode = &node;
            } else if (name == "null-empty") {
                script.nullEmpty = boolean(node, name);
            } else if (name == "multi-row") {
                script.multiRow = boolean(node, name);
            } else if (name == "transaction") {
                script.transaction = boolean(node, name);
            } else if (name == "copy") {
                script.copy = boolean(node, name);
                copyNode = &node;
            } else if (name == "table-mode") {
                const std::string id = string(node, name);
                const auto mode = tableModeFromIdentifier(id);
                if (!mode)
                    fail(node, name,
                         "unknown table mode \"" + m_standIns.restore(id)
                             + "\" (create, create-if-missing, replace, append)");
                script.tableMode = *mode;
                tableModeNode = &node;
            } else if (name == "null-markers") {
                script.nullMarkers = nullMarkers(node);
            } else if (name == "columns") {
                profile.columns = columns(node);
            } else if (name == "decimal") {
                const std::string id = string(node, name);
                const auto mark = decimalMarkFromName(id);
                if (!mark && id != "none")
                    fail(node, name, "unknown decimal mark \"" + m_standIns.restore(id) + "\" (point, comma or none)");
                script.forms.decimal = mark.value_or(DecimalMark::None);
                formsNode = &node;
            } else if (name == "group") {
                const std::string id = string(node, name);
                const auto mark = groupMarkFromName(id);
                if (!mark)
                    fail(node, name,
                         "unknown group separator \"" + m_standIns.restore(id)
                             + "\" (none, \",\", \".\", blank or \"'\")");
                script.forms.group = *mark;
                formsNode = &node;
            } else if (name == "dates") {
                const std::string id = string(node, name);
                const auto order = dateOrderFromName(id);
                if (!order && id != "none")
                    fail(node, name,
                         "unknown date order \"" + m_standIns.restore(id) + "\" (iso, dmy, mdy, ymd or none)");
                script.forms.dates = order.value_or(DateOrder::None);
            } else {
                fail(lineOf(key.source()), quotedKey(name),
                     "unknown key (known: version, database, table, separator, header, encoding, exact-quoting, "
                     "null-empty, multi-row, transaction, copy, table-mode, null-markers, decimal, group, dates, "
                     "skip-lines, comment, columns)");
            }
        }
        if (const std::string refusal = commentRefusal(script.comment, script.separator); !refusal.empty())
            fail(*commentNode, "comment", refusal);
        if (formsConflict(script.forms))
            fail(*formsNode, "group", "the group separator must differ from the decimal mark");
        if (script.copy && script.dialect != Dialect::PostgreSql)
            fail(*copyNode, "copy", "copy = true needs database = \"postgresql\": only PostgreSQL reads COPY");
        if (const std::string refusal = tableModeRefusal(script.dialect, script.tableMode); !refusal.empty())
            fail(*tableModeNode, "table-mode", refusal);
        return profile;
    }

private:
    [[noreturn]] void fail(std::uint64_t line, const std::string& place, const std::string& reason) const
    {
        throw ProfileError(m_file, line, place, reason);
    }
    [[noreturn]] void fail(const toml::node& node, std::string_view key, const std::string& reason) const
    {
        fail(lineOf(node.source()), quotedKey(key), reason);
    }
    static std::uint64_t lineOf(const toml::source_region& region) { return region.begin.line; }

    [[noreturn]] void wrongType(const toml::node& node, std::string_view key, std::string_view expected) const
    {
        fail(node, key, "expected " + std::string(expected) + ", found " + std::string(typeName(node.type())));
    }

    std::string string(const toml::node& node, std::string_view key) const
    {
        if (const auto* value = node.as_string())
            return value->get();
        wrongType(node, key, "a string in quotes");
    }
    bool boolean(const toml::node& node, std::string_view key) const
    {
        if (const auto* value = node.as_boolean())
            return value->get();
        wrongType(node, key, "true or false");
    }
    std::int64_t integer(const toml::node& node, std::string_view key) const
    {
        if (const auto* value = node.as_integer())
            return value->get();
        wrongType(node, key, "an integer");
    }

    std::vector<std::u16string> nullMarkers(const toml::node& node) const
    {
        const auto* list = node.as_array();
        if (list == nullptr)
            wrongType(node, "null-markers", "a list of texts in quotes");
        std::vector<std::u16string> markers;
        for (std::size_t i = 0; i < list->size(); ++i) {
            const toml::node& entry = *list->get(i);
            const auto* text = entry.as_string();
            if (text == nullptr)
                fail(lineOf(entry.source()), "null-markers entry " + std::to_string(i + 1),
                     "expected a string in quotes, found " + std::string(typeName(entry.type())));
            markers.push_back(fromDocument(text->get()));
        }
        if (const std::string refusal = nullMarkersRefusal(markers); !refusal.empty())
            fail(node, "null-markers", refusal);
        return markers;
    }

    std::vector<ProfileColumn> columns(const toml::node& node) const
    {
        const auto* list = node.as_array();
        if (list == nullptr)
            wrongType(node, "columns", "a list of { name = \"...\", type = \"...\" }");
        std::vector<ProfileColumn> out;
        out.reserve(list->size());
        for (std::size_t i = 0; i < list->size(); ++i) {
            const toml::node& entry = *list->get(i);
            const std::string where = "columns entry " + std::to_string(i + 1);
            const auto* table = entry.as_table();
            if (table == nullptr)
                fail(lineOf(entry.source()), where,
                     "expected { name = \"...\", type = \"...\" }, found " + std::string(typeName(entry.type())));
            ProfileColumn column;
            bool typed = false;
            for (auto&& [key, value] : *table) {
                const std::string_view name = key.str();
                const std::string place = where + ", " + quotedKey(name);
                if (name != "name" && name != "type")
                    fail(lineOf(key.source()), place, "unknown key (known: name, type)");
                const auto* text = value.as_string();
                if (text == nullptr)
                    fail(lineOf(value.source()), place,
                         "expected a string in quotes, found " + std::string(typeName(value.type())));
                if (name == "name") {
                    column.name = fromDocument(text->get());
                } else {
                    column.type = fromDocument(text->get());
                    typed = true;
                }
            }
            if (!typed)
                fail(lineOf(entry.source()), where, "the \"type\" key is missing");
            out.push_back(std::move(column));
        }
        return out;
    }

    std::string quotedKey(std::string_view key) const { return "key \"" + m_standIns.restore(key) + "\""; }
    std::u16string fromDocument(std::string_view utf8) const { return fromUtf8(utf8, m_standIns); }

    const std::string& m_file;
    const StandIns& m_standIns;
};

// A TOML basic string: UTF-8 kept as it is, control characters escaped.
std::string tomlString(std::u16string_view text)
{
    std::ostringstream out;
    out << toml::toml_formatter{toml::value<std::string>(toUtf8(text)), toml::format_flags::allow_unicode_strings};
    return out.str();
}

std::string_view boolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace

ProfileError::ProfileError(std::string file, std::uint64_t line, std::string place, std::string reason)
    : std::runtime_error("Cannot read profile " + file + ": "
                         + (line > 0 || !place.empty() ? placeText(line, place) + ": " : std::string()) + reason),
      m_file(std::move(file)), m_line(line), m_place(std::move(place)), m_reason(std::move(reason))
{
}

ConversionProfile parseProfile(std::string_view utf8Text, const std::string& fileName)
{
    if (utf8Text.substr(0, kUtf8Mark.size()) == kUtf8Mark)
        utf8Text.remove_prefix(kUtf8Mark.size());
    const StandIns standIns(utf8Text, fileName);
    const std::string text = standIns.apply(utf8Text);
    toml::table root;
    try {
        root = toml::parse(text, std::string_view(fileName));
    } catch (const toml::parse_error& e) {
        const auto& at = e.source().begin;
        const FilePlace place = standIns.filePlace(text, at.line, at.column);
        throw ProfileError(fileName, at.line, at.column > 0 ? "column " + std::to_string(place.column) : "",
                           standIns.description(e.description(), place));
    }
    return ProfileReader(fileName, standIns).read(root);
}

ConversionProfile readProfileFile(const std::filesystem::path& path)
{
    const std::string name = pathText(path);
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ProfileError(name, 0, "", std::strerror(errno != 0 ? errno : ENOENT));
    std::string bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>{});
    if (in.bad())
        throw ProfileError(name, 0, "", std::strerror(errno != 0 ? errno : EIO));
    return parseProfile(bytes, name);
}

std::string profileText(const ConversionProfile& profile)
{
    const ScriptOptions& s = profile.script;
    std::string text;
    auto line = [&](std::string_view key, std::string_view value, std::string_view comment) {
        std::string entry = std::string(key) + " = " + std::string(value);
        if (!comment.empty())
            entry.append(std::max<std::size_t>(1, 28 - std::min<std::size_t>(entry.size(), 27)), ' ')
                .append("# ")
                .append(comment);
        text += entry + "\n";
    };
    text += "# Quarrow conversion profile: the settings of a CSV to SQL conversion and the\n"
            "# column types, by position. A missing setting takes its default.\n";
    line("version", std::to_string(kProfileVersion), "");
    line("database", "\"" + std::string(dialectInfo(s.dialect).identifier) + "\"",
         "mysql mssql access oracle postgresql ibmdb2 sqlite");
    line("table", tomlString(s.tableName), "");
    // Half a character would be written as U+FFFD, a separator no file meant.
    if (const auto refusal = separatorTextRefusal(std::u16string_view(&s.separator, 1)))
        throw std::invalid_argument("Cannot write the profile: " + *refusal);
    line("separator", tomlString(std::u16string(1, s.separator)), "one character; \"\\t\" is Tab");
    line("header", boolText(s.headerLine), "the first line holds the column names");
    line("encoding", s.encoding == TextEncoding::Ansi ? "\"ansi\"" : "\"utf8\"",
         "utf8 or ansi: reading the CSV and writing the script");
    line("exact-quoting", boolText(s.exactQuoting), "values keep their line breaks, quotes and blanks");
    line("null-empty", boolText(s.nullEmpty), "NULL for empty cells");
    line("multi-row", boolText(s.multiRow), "multi-row INSERT statements");
    line("transaction", boolText(s.transaction), "the whole script one transaction");
    line("copy", boolText(s.copy), "PostgreSQL only: the rows as COPY ... FROM stdin");
    std::string markers = "[";
    for (const auto& marker : s.nullMarkers)
        markers += (markers.size() > 1 ? ", " : "") + tomlString(marker);
    line("null-markers", markers + "]", "values written as NULL, such as \"NA\"");
    line("table-mode", "\"" + std::string(tableModeInfo(s.tableMode).identifier) + "\"",
         "create create-if-missing replace append (rows only)");
    // Written only when chosen, so that profiles without them read as before.
    if (s.forms.chosen()) {
        auto name = [](std::string_view id) { return "\"" + std::string(id.empty() ? "none" : id) + "\""; };
        line("decimal", name(decimalMarkName(s.forms.decimal)), "point comma none: numbers' decimal mark");
        line("group", name(groupMarkName(s.forms.group)), "none \",\" \".\" blank \"'\": between groups of three");
        line("dates", name(dateOrderName(s.forms.dates)), "iso dmy mdy ymd none: the order of dates");
    }
    if (s.skipLines > 0)
        line("skip-lines", std::to_string(s.skipLines), "lines above the table, never read");
    if (s.comment != u'\0')
        line("comment", tomlString(std::u16string(1, s.comment)), "lines that begin with it are not read");
    text += "columns = [\n";
    for (const auto& column : profile.columns)
        text += "  { name = " + tomlString(column.name) + ", type = " + tomlString(column.type) + " },\n";
    text += "]\n";
    return text;
}

void writeProfileFile(const std::filesystem::path& path, const ConversionProfile& profile)
{
    const std::string text = profileText(profile);
    FileSink file(path);
    file.write(text.data(), text.size());
    file.close();
}

ColumnTypesApplied applyProfileColumnTypes(const ConversionProfile& profile, std::vector<std::u16string>& types)
{
    ColumnTypesApplied applied;
    applied.columns = types.size();
    applied.profile = profile.columns.size();
    applied.matched = std::min(applied.columns, applied.profile);
    for (std::size_t i = 0; i < applied.matched; ++i)
        types[i] = profile.columns[i].type;
    return applied;
}

std::vector<std::u16string> profileColumnTypes(const ConversionProfile& profile)
{
    std::vector<std::u16string> types;
    types.reserve(profile.columns.size());
    for (const auto& column : profile.columns)
        types.push_back(column.type);
    return types;
}

ConversionProfile makeProfile(const ScriptOptions& script, const std::vector<std::u16string>& names,
                              const std::vector<std::u16string>& types)
{
    ConversionProfile profile;
    profile.script = script;
    const std::size_t count = std::min(names.size(), types.size());
    profile.columns.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        profile.columns.push_back({names[i], types[i]});
    return profile;
}

} // namespace quarrow
