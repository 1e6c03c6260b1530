#pragma once

#include "engine/sql/ItemEncoding.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quarrow::items {

// Writes the joiners between the parts of one value (literal pieces and
// line-break calls) so that the expression they make stays shallow however
// many parts there are. A plain chain a||b||c||... is a tree as deep as it
// has joiners, and databases bound that depth: SQLite refuses an expression
// deeper than SQLITE_MAX_EXPR_DEPTH, 1,000 by default ("Limits In SQLite",
// item 5: "Maximum Depth Of An Expression Tree"), so a value with 500 line
// breaks did not load. The others document no number but fail the same way
// on deep nesting: SQL Server with error 8631 ("server stack limit has been
// reached ... look for potentially deep nesting"), Db2 with SQL0101N ("the
// statement is too long or too complex"), Access with "Expression too
// complex"; Oracle documents none. PostgreSQL keeps line breaks inside its
// literals and MySQL joins the parts as arguments of one CONCAT(), so
// neither nests.
//
// The first kFlatParts parts are a plain chain, as short values have always
// been written. The parts after them go into parenthesised groups: the
// first group holds kFanOut parts, the next kFanOut groups of kFanOut parts,
// the next kFanOut groups of those, and so on, each group a chain of at
// most kFanOut members. Parentheses build no node in SQLite's tree, and a
// group of level k is k * (kFanOut - 1) joiners deep; the groups themselves
// are chained, one level more each. n parts take about log16(n) levels, so
// a value of 2^32 parts is at most 8 * 15 + 8 = 128 joiners deep, and one of
// 40,000 (20,000 line breaks) 4 * 15 + 4 = 64. A tree of this shape can be
// written in one pass without knowing how many parts will follow: a group
// that ends early is simply closed where the value ends.
class JoinedParts {
public:
    static constexpr std::uint64_t kFlatParts = 16;
    static constexpr std::uint64_t kFanOut = 16;
    // The most parentheses one joiner can close and open: a level for each
    // factor of kFanOut in 2^32 parts, twice.
    static constexpr std::size_t kMostParentheses = 16;

    // `grouped`: false where the parts are a function's arguments (MySQL's
    // CONCAT), which parentheses would turn into a row.
    JoinedParts(std::string_view joiner, bool grouped) noexcept : m_joiner(joiner), m_grouped(grouped) {}

    // Begins the next part: closes the groups the part before it ended,
    // writes the joiner and opens the groups this part begins.
    char* next(char* o) noexcept
    {
        if (m_parts > 0) {
            const unsigned closing = m_grouped ? closes(m_parts - 1) : 0;
            for (unsigned i = 0; i < closing; ++i)
                *o++ = ')';
            m_open -= closing;
            o = put(o, m_joiner);
        }
        const unsigned opening = m_grouped ? opens(m_parts) : 0;
        for (unsigned i = 0; i < opening; ++i)
            *o++ = '(';
        m_open += opening;
        ++m_parts;
        return o;
    }

    // Closes what is open after the last part.
    char* finish(char* o) noexcept
    {
        for (; m_open > 0; --m_open)
            *o++ = ')';
        return o;
    }

    std::uint64_t count() const noexcept { return m_parts; }

private:
    // Where part `j` lies: in the group of level `level` (1 for the first
    // after the flat parts), at `offset` among that group's parts.
    struct Place {
        unsigned level;
        std::uint64_t offset;
    };
    static Place placeOf(std::uint64_t j) noexcept
    {
        std::uint64_t t = j - kFlatParts;
        unsigned level = 1;
        std::uint64_t size = kFanOut;
        while (t >= size) {
            t -= size;
            ++level;
            size *= kFanOut;
        }
        return {level, t};
    }
    // The groups that begin with part `j`, and those that end with it.
    static unsigned opens(std::uint64_t j) noexcept
    {
        if (j < kFlatParts)
            return 0;
        const Place place = placeOf(j);
        unsigned n = 0;
        for (std::uint64_t size = kFanOut, m = 1; m <= place.level && place.offset % size == 0; ++m, size *= kFanOut)
            ++n;
        return n;
    }
    static unsigned closes(std::uint64_t j) noexcept
    {
        if (j < kFlatParts)
            return 0;
        const Place place = placeOf(j);
        unsigned n = 0;
        for (std::uint64_t size = kFanOut, m = 1; m <= place.level && (place.offset + 1) % size == 0;
             ++m, size *= kFanOut)
            ++n;
        return n;
    }

    std::string_view m_joiner;
    bool m_grouped;
    std::uint64_t m_parts = 0;
    unsigned m_open = 0;
};

} // namespace quarrow::items
