#include "sql/ScriptFormatter.h"

#include "csv/FieldSplitter.h"
#include "sql/Identifiers.h"
#include "text/Cp1252.h"
#include "text/Scan.h"
#include "text/Utf8.h"

#include <array>
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

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

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
        const auto encoded = cp1252::encode(cp);
        *o++ = static_cast<char>(encoded.byte);
        if (!encoded.exact)
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

} // namespace

ScriptFormatter::ScriptFormatter(const ScriptOptions& options, const std::vector<std::u16string>& names,
                                 const std::vector<std::u16string>& types)
    : m_options(options), m_columns(names.size())
{
    m_createLines.reserve(names.size());
    std::u16string header(u"INSERT INTO ");
    header.append(m_options.tableName).append(u" (");
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::u16string line = quoteColumnName(options.dialect, NamePlace::CreateTable, names[i]);
        line += u' ';
        if (i < types.size())
            line += types[i];
        m_createLines.push_back(std::move(line));
        if (i > 0)
            header += u',';
        header += quoteColumnName(options.dialect, NamePlace::InsertList, names[i]);
    }
    header += u") VALUES";
    m_insertHeader.resize(header.size() * 3 + 2);
    char* end = encodeText(header, m_insertHeader.data(), options.encoding, m_insertHeaderSubstituted);
    end = put(end, "\r\n");
    m_insertHeader.resize(static_cast<std::size_t>(end - m_insertHeader.data()));
}

void ScriptFormatter::appendText(OutBuffer& out, std::u16string_view text)
{
    char* o = out.reserveTail(text.size() * 3);
    out.setEnd(encodeText(text, o, m_options.encoding, m_substituted));
}

void ScriptFormatter::appendHead(OutBuffer& out)
{
    out.append("\r\n", 2);
    out.append("CREATE TABLE ", 13);
    appendText(out, m_options.tableName);
    out.append(" (\r\n", 4);
    for (std::size_t i = 0; i < m_createLines.size(); ++i) {
        appendText(out, m_createLines[i]);
        if (i + 1 < m_createLines.size())
            out.append(",", 1);
        out.append("\r\n", 2);
    }
    out.append(");\r\n\r\n", 6);
}

bool ScriptFormatter::headerDue(std::uint64_t index) const noexcept
{
    if (!m_options.multiRow || index == 0)
        return true;
    return m_options.dialect == Dialect::MsSql && index % kMsSqlRowsPerInsert == 0;
}

void ScriptFormatter::appendRow(OutBuffer& out, std::u16string_view row, std::uint64_t index)
{
    // Worst case: every unit takes three bytes, every column "N''," or "NULL,".
    const std::size_t room = row.size() * 3 + m_columns * 8 + m_insertHeader.size() + 16;
    char* o = out.reserveTail(room);
    const bool header = headerDue(index);
    if (index > 0)
        o = put(o, header ? ";\r\n" : ",\r\n");
    if (header) {
        o = put(o, m_insertHeader);
        m_substituted += m_insertHeaderSubstituted;
    }
    *o++ = '(';
    // Value items drop every double quote, so a quoted field's raw text (its
    // doubled quotes not yet reduced) gives the same item as the field.
    std::size_t column = 0;
    forEachRawField(row, m_options.separator, [&](const char16_t* begin, const char16_t* end, bool) {
        if (column == m_columns)
            return; // fields beyond the column names are dropped
        if (column++ > 0)
            *o++ = ',';
        o = writeValue(o, std::u16string_view(begin, static_cast<std::size_t>(end - begin)), m_options, m_substituted);
    });
    // Missing fields are empty.
    for (; column < m_columns; ++column) {
        if (column > 0)
            *o++ = ',';
        o = writeEmptyValue(o, m_options);
    }
    *o++ = ')';
    out.setEnd(o);
}

void ScriptFormatter::appendEnd(OutBuffer& out, std::uint64_t exportedRows)
{
    if (exportedRows > 0)
        out.append(";\r\n", 3);
}

} // namespace quarrow
