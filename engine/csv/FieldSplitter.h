#pragma once

#include "engine/text/Scan.h"

#include <bit>
#include <cstdint>
#include <type_traits>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

inline constexpr char16_t kQuote = u'"';

// Walks the fields of one line and calls onField(begin, end, quoted) with
// each field's raw text: for a quoted field the text between its quotes,
// doubled quotes still doubled. Rules:
// - A field that starts with a quote runs to the next quote that is not
//   doubled (the closing quote), or to the end of the line.
// - Any other field runs to the next separator or the end of the line; a
//   quote inside it is an ordinary character.
// - Text right after a closing quote starts a new field; a separator that
//   ends the line leaves one more, empty field; an empty line has no field.
// - A NUL ends the line.
// Works on any text whose separator and quote are single units: UTF-16, or
// UTF-8 with an ASCII separator.
template <typename Unit, typename OnField>
inline void forEachRawFieldIn(const Unit* p, const Unit* const end, const Unit separator, OnField&& onField)
{
    const auto quote = static_cast<Unit>(kQuote);
    // Every stop is at a separator, a quote or a NUL; each field goes on past
    // the ones that do not end it (a quote in an unquoted field, a separator
    // in a quoted one).
    scan::MarkFinder<Unit> marks(p, end, separator, quote, Unit{0});
    while (p < end && *p != Unit{0}) {
        // Where no quote or NUL comes before a separator, each separator ends
        // a field, as in most lines: those fields are taken in a row.
        if (separator != quote && separator != Unit{0}) {
            std::uint64_t separators = marks.onlyFirstAhead(p);
            if (separators != 0) {
                const Unit* const from = p;
                do {
                    const Unit* const s = from + std::countr_zero(separators);
                    onField(p, s, false);
                    p = s + 1;
                    separators &= separators - 1;
                } while (separators != 0);
                if (p == end || *p == Unit{0}) {
                    onField(p, p, false);
                    break;
                }
            }
        }
        if (*p == quote) {
            const Unit* const start = ++p;
            const Unit* q = marks.next(p);
            while (q < end && *q != Unit{0}) {
                if (*q != quote)
                    q = marks.next(q + 1); // a separator inside the quotes
                else if (q + 1 < end && q[1] == quote)
                    q = marks.next(q + 2);
                else
                    break;
            }
            onField(start, q, true);
            p = (q < end && *q == quote) ? q + 1 : q;
        } else {
            const Unit* s = marks.next(p);
            while (s < end && *s == quote && separator != quote)
                s = marks.next(s + 1);
            onField(p, s, false);
            p = s;
        }
        if (p < end && *p == separator && separator != Unit{0}) {
            ++p;
            if (p == end || *p == Unit{0}) {
                onField(p, p, false);
                break;
            }
        }
    }
}

// How many fields forEachRawFieldIn() finds, counted a word at a time when
// the line holds no double quote and no NUL: then every separator ends a
// field.
template <typename Unit>
inline std::size_t countRawFields(const Unit* const begin, const Unit* const end, const Unit separator) noexcept
{
    using Lanes = scan::Lanes<Unit>;
    const auto quote = static_cast<Unit>(kQuote);
    if (begin == end || *begin == Unit{0})
        return 0;
    std::size_t separators = 0;
    const Unit* p = begin;
    if constexpr (scan::kWordScan) {
        constexpr std::uint64_t kLow = ~Lanes::kHigh;
        // Exact marks: the high bit of each lane equal to zero, no borrows.
        auto zero = [](std::uint64_t v) { return ~(((v & kLow) + kLow) | v | kLow); };
        const std::uint64_t separators4 = Lanes::kOnes * static_cast<std::make_unsigned_t<Unit>>(separator);
        const std::uint64_t quotes4 = Lanes::kOnes * static_cast<std::make_unsigned_t<Unit>>(quote);
        while (static_cast<std::size_t>(end - p) >= Lanes::kPerWord) {
            const std::uint64_t v = scan::loadWord(p);
            if ((zero(v ^ quotes4) | zero(v)) != 0)
                break;
            separators += static_cast<std::size_t>(std::popcount(zero(v ^ separators4)));
            p += Lanes::kPerWord;
        }
    }
    for (; p < end; ++p) {
        if (*p == quote || *p == Unit{0}) {
            std::size_t fields = 0;
            forEachRawFieldIn(begin, end, separator, [&](const Unit*, const Unit*, bool) { ++fields; });
            return fields;
        }
        separators += *p == separator ? 1 : 0;
    }
    return separators + 1;
}

// Counts the fields of a line as forEachRawFieldIn() finds them, from the
// line's pieces in order: for lines too long to be held whole. With
// `exactQuoting` the line is a record read exactly and the count is that of
// forEachExactField() (csv/ExactQuoting.h): text after a closing quote stays
// in its field. The separator must be neither the double quote nor NUL.
template <typename Unit>
class RawFieldCounter {
public:
    explicit RawFieldCounter(Unit separator, bool exactQuoting = false) noexcept
        : m_separator(separator), m_exact(exactQuoting)
    {
    }

    void feed(const Unit* p, const Unit* const end) noexcept
    {
        const auto quote = static_cast<Unit>(kQuote);
        for (; p < end && m_state != State::Stopped; ++p) {
            const Unit c = *p;
            switch (m_state) {
            case State::FieldStart: fieldStart(c); break;
            case State::Unquoted:
                if (c == Unit{0})
                    m_state = State::Stopped;
                else if (c == m_separator)
                    m_state = State::AfterSeparator;
                break;
            case State::Quoted:
                if (c == quote)
                    m_state = State::QuoteSeen;
                else if (c == Unit{0})
                    m_state = State::Stopped;
                break;
            case State::QuoteSeen:
                // A doubled quote stays inside; anything else follows a
                // closing quote, and what is not a separator starts a field,
                // or read exactly, is appended to this one.
                if (c == quote)
                    m_state = State::Quoted;
                else if (c == m_separator)
                    m_state = State::AfterSeparator;
                else if (!m_exact)
                    fieldStart(c);
                else
                    m_state = c == Unit{0} ? State::Stopped : State::Unquoted;
                break;
            case State::AfterSeparator:
                if (c == Unit{0}) {
                    ++m_fields; // the empty field after a last separator
                    m_state = State::Stopped;
                } else {
                    fieldStart(c);
                }
                break;
            case State::Stopped: break;
            }
        }
    }

    // The count for the line fed since the last call; starts the next line.
    std::size_t finish() noexcept
    {
        const std::size_t fields = m_fields + (m_state == State::AfterSeparator ? 1 : 0);
        m_fields = 0;
        m_state = State::FieldStart;
        return fields;
    }

private:
    enum class State { FieldStart, Unquoted, Quoted, QuoteSeen, AfterSeparator, Stopped };

    void fieldStart(Unit c) noexcept
    {
        if (c == Unit{0}) {
            m_state = State::Stopped;
            return;
        }
        ++m_fields;
        if (c == static_cast<Unit>(kQuote))
            m_state = State::Quoted;
        else if (c == m_separator)
            m_state = State::AfterSeparator;
        else
            m_state = State::Unquoted;
    }

    Unit m_separator;
    bool m_exact;
    State m_state = State::FieldStart;
    std::size_t m_fields = 0;
};

template <typename OnField>
inline void forEachRawField(std::u16string_view line, char16_t separator, OnField&& onField)
{
    forEachRawFieldIn(line.data(), line.data() + line.size(), separator, onField);
}

// Splits one line into fields, honouring double-quoted fields. The fields
// are views into the line or into the splitter's own scratch text (a quoted
// field with doubled quotes), valid until the next split; reuse one splitter
// so that splitting allocates nothing once its buffers have grown.
class FieldSplitter {
public:
    void split(std::u16string_view line, char16_t separator);
    // Splits a record read exactly into the values its fields give (see
    // csv/ExactQuoting.h).
    void splitExact(std::u16string_view record, char16_t separator);

    std::size_t size() const noexcept { return m_fields.size(); }
    std::u16string_view operator[](std::size_t i) const noexcept { return m_fields[i]; }
    const std::vector<std::u16string_view>& fields() const noexcept { return m_fields; }

private:
    std::vector<std::u16string_view> m_fields;
    std::u16string m_scratch;
};

// The bounds of a field after clean-up: the first and last characters that
// are neither a double quote nor a character of code 32 or less. Every
// double quote inside the bounds is dropped as well (see cleanField).
struct CleanBounds {
    std::size_t begin;
    std::size_t end;
};
inline CleanBounds cleanBounds(std::u16string_view field) noexcept
{
    auto kept = [](char16_t c) { return c > u' ' && c != kQuote; };
    std::size_t b = 0;
    std::size_t e = field.size();
    while (b < e && !kept(field[b]))
        ++b;
    while (e > b && !kept(field[e - 1]))
        --e;
    return {b, e};
}

// Field clean-up: every double quote removed, then characters of code 32 or
// less trimmed from both ends.
std::u16string cleanField(std::u16string_view field);

// How many positions of the line hold exactly `c`, quoted or not.
std::int64_t countChar(std::u16string_view line, char16_t c) noexcept;

} // namespace quarrow
