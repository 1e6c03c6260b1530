#include "engine/sql/ScriptFormatter.h"

#include "engine/csv/ExactQuoting.h"
#include "engine/csv/FieldSplitter.h"
#include "engine/sql/ExactItems.h"
#include "engine/sql/Identifiers.h"
#include "engine/sql/ItemEncoding.h"
#include "engine/sql/LiteralPieces.h"
#include "engine/sql/NameLimits.h"
#include "engine/sql/PlainRuns.h"
#include "engine/sql/ScriptLines.h"
#include "engine/sql/TransactionLines.h"
#include "engine/text/FitToEncoding.h"
#include "engine/text/Scan.h"
#include "engine/text/Utf8.h"

#include <array>
#include <cstring>

// The script's head and end and the row loop: each row's value items
// written straight from the line in one pass. How the bytes of an item are
// encoded is in ItemEncoding.h, the copying of plain runs in PlainRuns.h,
// literals too long for Oracle and Db2 in LiteralPieces.cpp, and records
// read exactly, with each dialect's form of a line break, in ExactItems.cpp.
namespace quarrow {

using namespace items;

namespace {

// ASCII characters that a value item writes as they are.
constexpr std::array<bool, 128> kPlainAscii = [] {
    std::array<bool, 128> plain{};
    for (std::size_t c = 0; c < plain.size(); ++c)
        plain[c] = c != '"' && c != '\'' && c != '\\';
    return plain;
}();

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

// The one-pass row loop below relies on the separator being an ASCII unit
// that no other rule gives a meaning: a double quote or NUL as separator
// changes how fields end, so such lines go field by field instead.
bool onePassSeparator(char16_t separator) noexcept
{
    return separator != u'\0' && separator != kQuote && separator < 0x80;
}

// Writes the value item of the field that starts at `p` (just past its
// opening quote when `quoted`) straight from the line: splitting, clean-up,
// escaping and encoding in one pass. Returns where the field ends: at its
// closing quote, the separator, a NUL or `end`. The result equals
// writeValue() on the field's raw text. `Unit` is char16_t for UTF-16 text,
// or unsigned char for valid UTF-8 written as UTF-8. `out` must have room
// for three bytes per unit up to `end` plus the item's quotes.
template <typename Unit>
const Unit* writeFieldItem(const Unit* p, const Unit* const end, const bool quoted, char*& out,
                           const ScriptOptions& options, const PlainRuns<Unit>& plainRuns, std::uint64_t& substituted)
{
    const auto separator = static_cast<Unit>(options.separator);
    const bool doubleBackslash = options.dialect == Dialect::MySql;
    const bool national = options.dialect == Dialect::MsSql;

    // Leading blanks, control characters and double quotes are dropped.
    while (p < end && (*p <= u' ' || *p == kQuote)) {
        const Unit c = *p;
        if (c == 0 || (!quoted && c == separator))
            break;
        if (c == kQuote && quoted) {
            if (end - p < 2 || p[1] != kQuote)
                break; // the closing quote
            p += 2;
            continue;
        }
        ++p;
    }

    char* o = out;
    char* item = o;
    *o++ = '\'';
    // Trailing blanks and control characters are trimmed after the fact, by
    // stepping back over the bytes they wrote; never past this point, since
    // a non-ASCII character may be written as such a byte in ANSI.
    char* kept = o;
    bool nationalWritten = false;
    // UTF-8 bytes of non-ASCII characters are written as they are, so they
    // need a look only while an 'N' may still be due.
    bool nonAsciiStops = sizeof(Unit) == 2 || national;
    for (;;) {
        if constexpr (scan::kWordScan)
            plainRuns.copy(p, end, o, nonAsciiStops);
        if (p == end)
            break;
        const Unit c = *p;
        if (c == 0)
            break;
        if (c == kQuote) {
            if (!quoted) {
                ++p; // dropped
                continue;
            }
            if (end - p < 2 || p[1] != kQuote)
                break; // the closing quote
            p += 2;    // a doubled quote, dropped as well
            continue;
        }
        if (c == separator && !quoted)
            break;
        if (c < 0x80) {
            ++p;
            *o++ = static_cast<char>(c);
            if (c == '\'' || (c == '\\' && doubleBackslash))
                *o++ = static_cast<char>(c);
            continue;
        }
        if (national && !nationalWritten) {
            // A plain literal goes through the server's code page; N'' keeps every character.
            std::memmove(item + 1, item, static_cast<std::size_t>(o - item));
            *item = 'N';
            ++o;
            nationalWritten = true;
            if constexpr (sizeof(Unit) == 1)
                nonAsciiStops = false;
        }
        if constexpr (sizeof(Unit) == 1) {
            // Valid UTF-8 comes out of UTF-16 and back unchanged, byte for byte.
            *o++ = static_cast<char>(c);
            ++p;
        } else {
            if (isHighSurrogate(c) && end - p >= 2 && p[1] == kQuote) {
                // Dropping the quotes between the halves of a pair joins them;
                // in a quoted field only doubled quotes lie inside it.
                const char16_t* q = p + 1;
                while (q < end && *q == kQuote)
                    ++q;
                const bool inside = !quoted || (q - (p + 1)) % 2 == 0;
                if (inside && q < end && isLowSurrogate(*q)) {
                    const char16_t pair[2] = {c, *q};
                    std::size_t k = 0;
                    o = encodeNonAscii(pair, 2, k, o, options.encoding, substituted);
                    p = q + 1;
                    kept = o;
                    continue;
                }
            }
            std::size_t k = 0;
            o = encodeNonAscii(p, static_cast<std::size_t>(end - p), k, o, options.encoding, substituted);
            p += k;
        }
        kept = o;
    }
    while (o > kept && static_cast<unsigned char>(o[-1]) <= 0x20)
        --o;
    if (o == item + 1) {
        o = writeEmptyValue(item, options);
    } else {
        *o++ = '\'';
    }
    out = o;
    return p;
}

// The value items of a row, one pass over the line, by the field rules of
// forEachRawField; fields beyond `columns` are dropped. Returns how many
// items were written; `fields` is set to the line's field count, dropped
// ones included.
template <typename Unit>
std::size_t writeRowItems(const Unit* p, const Unit* const end, std::size_t columns, char*& o,
                          const ScriptOptions& options, std::uint64_t& substituted, std::size_t& fields,
                          const NullMarkers* markers, FormedItems* formed)
{
    const auto separator = static_cast<Unit>(options.separator);
    const PlainRuns<Unit> plainRuns(separator, options.dialect == Dialect::MySql);
    std::size_t column = 0;
    bool emptyLast = false; // a separator ended the line: one more, empty field
    while (column < columns && p < end && *p != 0) {
#if defined(__GNUC__)
        // A plain field may be a NULL marker: with markers each field is looked at.
        if constexpr (scan::kVectorScan && sizeof(Unit) == 1) {
            // Fields taken in bulk are not seen one by one: a NULL marker may
            // stand in any column, and with forms the bulk stops before a
            // column that takes one.
            if (markers == nullptr) {
                const std::size_t bulk = formed == nullptr ? columns : formed->nextFormed(column, columns);
                plainRuns.writePlainFields(p, end, column, bulk, o, options.dialect == Dialect::MsSql,
                                           options.nullEmpty ? "NULL" : "''");
            }
            if (column == columns || p == end || *p == 0) {
                // Fields taken here end at a separator.
                emptyLast = p == end || *p == 0;
                break;
            }
        }
#endif
        if (column++ > 0)
            *o++ = ',';
        const Unit* const field = p;
        const bool quoted = *p == kQuote;
        char* const item = o;
        if (formed != nullptr && markers == nullptr && !quoted) {
            // A field without a quote ends at the separator, a NUL or the
            // line's end, as writeFieldItem() ends it.
            const Unit* const fieldEnd = scan::findAny(p, end, separator, Unit{0}, static_cast<Unit>(kQuote));
            if (fieldEnd == end || *fieldEnd != kQuote) {
                if (char* const literal = formed->literalOf(item, p, fieldEnd, column - 1)) {
                    o = literal;
                    p = fieldEnd;
                    if (p < end && *p == separator) {
                        ++p;
                        if (p == end || *p == 0) {
                            emptyLast = true;
                            break;
                        }
                    }
                    continue;
                }
            }
        }
        p = writeFieldItem(quoted ? p + 1 : p, end, quoted, o, options, plainRuns, substituted);
        const bool marker = markers != nullptr && markers->matchRaw(field, p);
        if (marker)
            o = put(item, "NULL");
        o = writeLiteralInPieces(item, o, options);
        if (quoted && p < end && *p == kQuote)
            ++p;
        // A NULL marker is in no form, nor a value that missed one.
        if (formed != nullptr && !marker)
            o = formed->rewrite(item, o, field, p, column - 1);
        if (p < end && *p == separator) {
            ++p;
            if (p == end || *p == 0) {
                emptyLast = true; // written with the missing ones
                break;
            }
        }
    }
    fields = column + (emptyLast ? 1 : 0);
    if (!emptyLast && p < end && *p != 0)
        fields += countRawFields(p, end, separator); // dropped, but counted
    return column;
}

} // namespace

ScriptFormatter::ScriptFormatter(const ScriptOptions& options, const std::vector<std::u16string>& names,
                                 const std::vector<std::u16string>& types)
    : m_options(options), m_columns(names.size())
{
    // Every text of the head is first brought into what the output encoding
    // holds, and only then quoted: a substitute decides whether a name may
    // stand bare (a fullwidth "ｓｅｌｅｃｔ" is the reserved word select once
    // written in ANSI), and nothing written afterwards is replaced again.
    const TextEncoding encoding = options.encoding;
    std::uint64_t tableSubstituted = 0;
    m_tableName = fitToEncoding(options.tableName, encoding, tableSubstituted);
    std::uint64_t namesSubstituted = 0;
    std::uint64_t typesSubstituted = 0;
    std::vector<std::u16string> fitted;
    fitted.reserve(names.size());
    for (const auto& name : names)
        fitted.push_back(fitToEncoding(name, encoding, namesSubstituted));
    // Then cut to the database's length limit, and unique again.
    WrittenNames written = limitColumnNames(options.dialect, fitted);
    for (auto& renamed : written.renamed)
        renamed.from = names[renamed.column];
    m_renamed = std::move(written.renamed);
    m_createLines.reserve(names.size());
    std::u16string header(u"INSERT INTO ");
    header.append(m_tableName).append(u" (");
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::u16string& name = written.names[i];
        std::u16string line = quoteColumnName(options.dialect, NamePlace::CreateTable, name);
        line += u' ';
        if (i < types.size())
            line += fitToEncoding(types[i], encoding, typesSubstituted);
        m_createLines.push_back(std::move(line));
        if (i > 0)
            header += u',';
        header += quoteColumnName(options.dialect, NamePlace::InsertList, name);
    }
    header += u") VALUES";
    m_headSubstituted = tableSubstituted + namesSubstituted + typesSubstituted;
    m_insertHeaderSubstituted = tableSubstituted + namesSubstituted;
    m_insertHeader.resize(header.size() * 3 + lineBreakRoom(header.size() * 3) + 2);
    std::uint64_t none = 0; // fitted already
    char* end = encodeText(header, m_insertHeader.data(), options.encoding, none);
    if (options.dialect == Dialect::Oracle)
        end = breakLongLine(m_insertHeader.data(), end, 0); // between column names
    end = put(end, "\r\n");
    m_insertHeader.resize(static_cast<std::size_t>(end - m_insertHeader.data()));
    if (!options.nullMarkers.empty())
        m_markers = std::make_shared<const NullMarkers>(options.nullMarkers);
    if (options.copy && options.dialect == Dialect::PostgreSql) {
        m_copyRows.emplace(options.encoding, options.separator, options.exactQuoting, options.nullEmpty, m_columns);
        m_copyRows->setNullMarkers(m_markers);
    }
    m_formed = FormedItems(options.forms, options.dialect, options.exactQuoting, types);
}

void ScriptFormatter::appendText(OutBuffer& out, std::u16string_view text)
{
    char* o = out.reserveTail(text.size() * 3);
    out.setEnd(encodeText(text, o, m_options.encoding, m_substituted));
}

void ScriptFormatter::appendHead(OutBuffer& out)
{
    const auto transaction = m_options.transaction ? transactionLines(m_options.dialect) : std::nullopt;
    out.append("\r\n", 2);
    if (transaction)
        out.append(transaction->beforeCreate.data(), transaction->beforeCreate.size());
    if (m_options.tableMode != TableMode::RowsOnly)
        m_substituted += m_headSubstituted;
    appendText(out, tableStatements(m_options.dialect, m_options.tableMode, m_tableName, m_createLines));
    if (transaction)
        out.append(transaction->beforeInserts.data(), transaction->beforeInserts.size());
}

bool ScriptFormatter::headerDue(std::uint64_t index) const noexcept
{
    // Access SQL has no multi-row VALUES: an INSERT per row whatever the option.
    if (!m_options.multiRow || index == 0 || m_options.dialect == Dialect::Access)
        return true;
    return m_options.dialect == Dialect::MsSql && index % kMsSqlRowsPerInsert == 0;
}

std::size_t ScriptFormatter::statementBytesLimit() const noexcept
{
    return m_options.multiRow && !m_copyRows ? statementBytesFor(m_options.dialect, m_options.transaction) : 0;
}

char* ScriptFormatter::beginRow(OutBuffer& out, std::size_t units, std::uint64_t index)
{
    // Worst case: every unit takes three bytes, every column "N''," or
    // "NULL," and the parentheses that group a value's parts; Oracle's lines
    // break (endRow).
    std::size_t room = units * 3 + pieceRoom(units * 3, m_options.dialect)
                       + m_columns * (8 + JoinedParts::kMostParentheses) + m_insertHeader.size() + 16;
    if (m_formed.active())
        room += m_columns * FormedItems::kLiteralRoom;
    if (m_options.dialect == Dialect::Oracle)
        room += lineBreakRoom(room);
    char* o = out.reserveTail(room);
    const bool header = headerDue(index);
    if (index > 0)
        o = put(o, header ? ";\r\n" : ",\r\n");
    if (header) {
        o = put(o, m_insertHeader);
        m_substituted += m_insertHeaderSubstituted;
    }
    m_lineStart = o;
    *o++ = '(';
    return o;
}

void ScriptFormatter::endRow(OutBuffer& out, char* o, std::size_t column)
{
    // Missing fields are empty.
    for (; column < m_columns; ++column) {
        if (column > 0)
            *o++ = ',';
        o = writeEmptyValue(o, m_options);
    }
    *o++ = ')';
    if (m_options.dialect == Dialect::Oracle)
        o = breakLongLine(m_lineStart, o, 1); // the "," or ";" that follows
    out.setEnd(o);
}

template <typename Unit>
void ScriptFormatter::appendExactRow(OutBuffer& out, const Unit* row, std::size_t units, std::uint64_t index)
{
    const std::size_t breaks = m_options.dialect == Dialect::PostgreSql ? 0 : countBreaks(row, row + units);
    char* o = beginRow(out, units + breaks * kBreakRoomUnits, index);
    FormedItems* const formed = m_formed.active() ? &m_formed : nullptr;
    if (m_markers) {
        endRow(out, o, writeExactItemsWithMarkers(row, row + units, o, breaks > 0, formed));
        return;
    }
    const std::size_t column =
        breaks > 0 ? writeExactItems<true>(row, row + units, m_columns, o, m_options, m_substituted, formed)
                   : writeExactItems<false>(row, row + units, m_columns, o, m_options, m_substituted, formed);
    endRow(out, o, column);
}

template <typename Unit>
std::size_t ScriptFormatter::writeExactItemsWithMarkers(const Unit* row, const Unit* end, char*& o, bool breaks,
                                                        FormedItems* formed)
{
    // Field by field: an unquoted one whose value is a marker is NULL, any
    // other is written as a record of that one field.
    std::size_t column = 0;
    forEachExactField(row, end, static_cast<Unit>(m_options.separator), [&](const Unit* b, const Unit* e) {
        if (column == m_columns)
            return;
        if (column++ > 0)
            *o++ = ',';
        if ((b == e || *b != static_cast<Unit>(kQuote)) && m_markers->matchValue(b, e)) {
            o = put(o, "NULL");
            return;
        }
        char* const item = o;
        const std::size_t written = breaks ? writeExactItems<true>(b, e, 1, o, m_options, m_substituted)
                                           : writeExactItems<false>(b, e, 1, o, m_options, m_substituted);
        if (written == 0)
            o = writeEmptyValue(o, m_options);
        else if (formed != nullptr)
            o = formed->rewrite(item, o, b, e, column - 1);
    });
    return column;
}

std::optional<std::size_t> ScriptFormatter::appendRow(OutBuffer& out, std::u16string_view row, std::uint64_t index)
{
    m_formed.setRow(index);
    FormedItems* const formed = m_formed.active() ? &m_formed : nullptr;
    if (m_copyRows) {
        if (index == 0) {
            const std::string statement = copyStatement(m_insertHeader);
            out.append(statement.data(), statement.size());
            m_substituted += m_insertHeaderSubstituted;
        }
        return m_copyRows->append(out, row, m_substituted, formed);
    }
    if (m_options.exactQuoting) {
        appendExactRow(out, row.data(), row.size(), index);
        return std::nullopt;
    }
    char* o = beginRow(out, row.size(), index);
    std::size_t column = 0;
    std::size_t fields = 0;
    if (onePassSeparator(m_options.separator)) {
        column = writeRowItems(row.data(), row.data() + row.size(), m_columns, o, m_options, m_substituted, fields,
                               m_markers.get(), formed);
    } else {
        // Value items drop every double quote, so a quoted field's raw text (its
        // doubled quotes not yet reduced) gives the same item as the field.
        forEachRawField(row, m_options.separator, [&](const char16_t* begin, const char16_t* end, bool) {
            ++fields;
            if (column == m_columns)
                return; // fields beyond the column names are dropped
            if (column++ > 0)
                *o++ = ',';
            char* const item = o;
            o = writeValue(o, std::u16string_view(begin, static_cast<std::size_t>(end - begin)), m_options,
                           m_substituted);
            const bool marker = m_markers && m_markers->matchRaw(begin, end);
            if (marker)
                o = put(item, "NULL");
            o = writeLiteralInPieces(item, o, m_options);
            if (formed != nullptr && !marker)
                o = formed->rewrite(item, o, begin, end, column - 1);
        });
    }
    endRow(out, o, column);
    return fields;
}

bool ScriptFormatter::formatsUtf8Directly(const ScriptOptions& options) noexcept
{
    return options.encoding == TextEncoding::Utf8 && onePassSeparator(options.separator) && !options.copy;
}

std::optional<std::size_t> ScriptFormatter::appendUtf8Row(OutBuffer& out, std::string_view row, std::uint64_t index)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(row.data());
    if (!formatsUtf8Directly(m_options)) {
        m_scratch.resize(row.size());
        const auto decoded = utf8::decode(bytes, row.size(), m_scratch.data(), true);
        return appendRow(out, std::u16string_view(m_scratch.data(), decoded.written), index);
    }
    m_formed.setRow(index);
    if (m_options.exactQuoting) {
        appendExactRow(out, bytes, row.size(), index);
        return std::nullopt;
    }
    char* o = beginRow(out, row.size(), index);
    std::size_t fields = 0;
    const std::size_t column = writeRowItems(bytes, bytes + row.size(), m_columns, o, m_options, m_substituted, fields,
                                             m_markers.get(), m_formed.active() ? &m_formed : nullptr);
    endRow(out, o, column);
    return fields;
}

void ScriptFormatter::appendEnd(OutBuffer& out, std::uint64_t exportedRows)
{
    if (exportedRows > 0 && m_copyRows)
        out.append(kCopyEnd.data(), kCopyEnd.size());
    else if (exportedRows > 0)
        out.append(";\r\n", 3);
    if (const auto transaction = m_options.transaction ? transactionLines(m_options.dialect) : std::nullopt)
        out.append(transaction->end.data(), transaction->end.size());
}

} // namespace quarrow
