#include "engine/sql/CopyText.h"

#include "engine/csv/ExactQuoting.h"
#include "engine/csv/FieldSplitter.h"
#include "engine/text/AnsiCodePage.h"
#include "engine/text/Utf8.h"

#include <cstring>

namespace quarrow {

std::string copyStatement(std::string_view insertHeader)
{
    // "INSERT INTO " + table and columns + " VALUES" CR LF
    constexpr std::string_view kInsert = "INSERT INTO ";
    constexpr std::string_view kValues = " VALUES\r\n";
    const std::string_view target =
        insertHeader.substr(kInsert.size(), insertHeader.size() - kInsert.size() - kValues.size());
    std::string statement = "COPY ";
    statement.append(target).append(" FROM stdin;\r\n");
    return statement;
}

CopyRowWriter::CopyRowWriter(TextEncoding encoding, char16_t separator, bool exactQuoting, bool nullEmpty,
                             std::size_t columns)
    : m_encoding(encoding), m_separator(separator), m_exactQuoting(exactQuoting), m_nullEmpty(nullEmpty),
      m_columns(columns)
{
}

char* CopyRowWriter::writeValue(char* o, std::u16string_view value, std::uint64_t& substituted) const
{
    if (value.empty()) {
        if (m_nullEmpty) {
            *o++ = '\\';
            *o++ = 'N';
        }
        return o;
    }
    const char16_t* s = value.data();
    const std::size_t n = value.size();
    std::size_t i = 0;
    while (i < n) {
        const char16_t c = s[i];
        if (c < 0x80) {
            ++i;
            switch (c) {
            case u'\\': o = static_cast<char*>(std::memcpy(o, "\\\\", 2)) + 2; break;
            case u'\t': o = static_cast<char*>(std::memcpy(o, "\\t", 2)) + 2; break;
            case u'\n': o = static_cast<char*>(std::memcpy(o, "\\n", 2)) + 2; break;
            case u'\r': o = static_cast<char*>(std::memcpy(o, "\\r", 2)) + 2; break;
            default: *o++ = static_cast<char>(c);
            }
            continue;
        }
        // A run of non-ASCII units, encoded together so that a surrogate
        // pair stays one character.
        std::size_t j = i;
        while (j < n && s[j] >= 0x80)
            ++j;
        if (m_encoding == TextEncoding::Utf8) {
            o = utf8::encode(s + i, j - i, o, substituted);
        } else {
            const AnsiCodePage& ansi = ansiCodePage();
            while (i < j) {
                char32_t cp = s[i];
                std::size_t units = 1;
                if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < j && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(s[i + 1]) - 0xDC00);
                    units = 2;
                }
                bool exact = true;
                o = ansi.encode(cp, o, exact);
                if (!exact)
                    ++substituted;
                i += units;
            }
        }
        i = j;
    }
    return o;
}

std::optional<std::size_t> CopyRowWriter::append(OutBuffer& out, std::u16string_view row, std::uint64_t& substituted,
                                                 items::FormedItems* formed)
{
    // Every unit may take three bytes (a character, or an escape of two);
    // every column its tab and \N.
    char* o = out.reserveTail(row.size() * 3 + m_columns * 3 + 2);
    std::size_t column = 0;
    std::size_t fields = 0;
    auto next = [&] {
        if (column++ > 0)
            *o++ = '\t';
    };
    // A NULL marker is \N; a value in a chosen form goes in plain: ASCII
    // without anything to escape.
    auto write = [&](bool canBeMarker) {
        if (canBeMarker && m_markers && m_markers->matchValue(m_value.data(), m_value.data() + m_value.size())) {
            next();
            o = static_cast<char*>(std::memcpy(o, "\\N", 2)) + 2;
            return;
        }
        if (formed != nullptr) {
            char plain[kMaxPlainChars];
            const std::size_t n = formed->plainOf(m_value.data(), m_value.data() + m_value.size(), column, plain);
            if (n > 0) {
                next();
                o = static_cast<char*>(std::memcpy(o, plain, n)) + n;
                return;
            }
        }
        next();
        o = writeValue(o, m_value, substituted);
    };
    if (m_exactQuoting) {
        forEachExactField(row.data(), row.data() + row.size(), m_separator,
                          [&](const char16_t* begin, const char16_t* end) {
                              if (column == m_columns)
                                  return;
                              m_value.clear();
                              forEachValueRun(begin, end, [&](const char16_t* b, const char16_t* e) {
                                  m_value.append(b, static_cast<std::size_t>(e - b));
                              });
                              // Read exactly, a quoted value is a value.
                              write(begin == end || *begin != kQuote);
                          });
    } else {
        forEachRawField(row, m_separator, [&](const char16_t* begin, const char16_t* end, bool) {
            ++fields;
            if (column == m_columns)
                return; // dropped
            // Clean-up: every double quote removed, then trimmed.
            const std::u16string_view raw(begin, static_cast<std::size_t>(end - begin));
            const auto [b, e] = cleanBounds(raw);
            m_value.clear();
            for (std::size_t i = b; i < e; ++i) {
                if (raw[i] != kQuote)
                    m_value += raw[i];
            }
            write(true);
        });
    }
    while (column < m_columns) {
        next();
        o = writeValue(o, {}, substituted);
    }
    *o++ = '\r';
    *o++ = '\n';
    out.setEnd(o);
    if (m_exactQuoting)
        return std::nullopt;
    return fields;
}

} // namespace quarrow
