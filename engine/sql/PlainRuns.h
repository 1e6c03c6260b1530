#pragma once

#include "engine/csv/FieldSplitter.h"
#include "engine/sql/ItemEncoding.h"
#include "engine/text/Scan.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quarrow::items {

// Copies runs of units that are written as they are, sixteen bytes or a
// word at a time. A run ends at NUL, a double quote, an apostrophe, the
// separator, a backslash where it is doubled, a line break where `Breaks`
// says it is written as a call, and a non-ASCII unit where the caller asks
// (UTF-8 bytes go out as they are once no N can be due). For UTF-8 rows of
// the default reading it also writes whole fields that are such a run
// (writePlainFields). Built once a row, so that the comparison values are
// not set up again for every field.
template <typename Unit, bool Breaks = false>
class PlainRuns {
public:
    PlainRuns(Unit separator, bool doubleBackslash) noexcept
        : m_separator(separator), m_backslash(doubleBackslash ? Unit{'\\'} : Unit{'\''})
    {
#if defined(__GNUC__)
        const auto separatorByte = static_cast<std::uint8_t>(separator);
        const auto backslashByte = static_cast<std::uint8_t>(m_backslash);
        m_separators = scan::ByteVector{} + separatorByte;
        m_backslashes = scan::ByteVector{} + backslashByte;
#endif
    }

    // Writes the plain units from `p` on, up to the first stop or as far as
    // whole vectors and words go; the caller goes on from there. Whole
    // vectors and words are written before they are looked at: the bytes
    // past the stop are rewritten by the caller, and the room is there, as
    // every unit left may take three bytes.
    void copy(const Unit*& p, const Unit* const end, char*& o, const bool nonAscii) const noexcept
    {
        using Lanes = scan::Lanes<Unit>;
#if defined(__GNUC__)
        if constexpr (scan::kVectorScan && sizeof(Unit) == 1) {
            // Comparing sixteen bytes costs about what a word's lane tricks
            // do for eight. (UTF-16 text gains nothing measurable by vectors
            // of eight units: it goes a word at a time.)
            while (end - p >= 16) {
                scan::ByteVector v;
                std::memcpy(&v, p, sizeof v);
                std::memcpy(o, &v, sizeof v);
                const std::size_t plain = scan::firstMarkedLane<Unit>(stops(v, nonAscii));
                o += plain;
                p += plain;
                if (plain < 16)
                    return;
            }
        }
#endif
        const std::uint64_t nonAsciiMask = nonAscii ? ~std::uint64_t{0} : 0;
        while (static_cast<std::size_t>(end - p) >= Lanes::kPerWord) {
            const std::uint64_t v = scan::loadWord(p);
            std::uint64_t stop = (scan::nonAsciiLanes<Unit>(v) & nonAsciiMask) | scan::zeroLanes<Unit>(v)
                                 | scan::lanesEqual<Unit>(v, kQuote) | scan::lanesEqual<Unit>(v, '\'')
                                 | scan::lanesEqual(v, m_backslash) | scan::lanesEqual(v, m_separator);
            if constexpr (Breaks)
                stop |= scan::lanesEqual<Unit>(v, '\r') | scan::lanesEqual<Unit>(v, '\n');
            if constexpr (sizeof(Unit) == 1)
                std::memcpy(o, &v, sizeof v);
            else
                scan::narrow4(v, o);
            if (stop == 0) {
                o += Lanes::kPerWord;
                p += Lanes::kPerWord;
                continue;
            }
            const std::size_t plain = scan::firstLane<Unit>(stop);
            o += plain;
            p += plain;
            return;
        }
    }

#if defined(__GNUC__)
    // Writes the items of the fields from `p` on that need nothing but their
    // quotes, straight from a window of the next kWindow bytes of the line:
    // fields ended by the separator within the window, not quoted, with no
    // blank or control character first or last, nothing in them that ends a
    // plain run; and empty fields. Most fields of a typical file are such,
    // and their bounds are found in one pass over the window instead of a
    // scan for each. Stops at the first field that is not such, for the
    // caller to write, or at the last column. A field is copied sixteen
    // bytes at a time, never reading past `end`; what that writes past its
    // item is less than the rest of the line, which has three bytes of room
    // a unit.
    void writePlainFields(const Unit*& p, const Unit* const end, std::size_t& column, const std::size_t columns,
                          char*& o, const bool nonAscii, const std::string_view emptyValue) const noexcept
    {
        static_assert(sizeof(Unit) == 1);
        constexpr std::size_t kWindow = 64;
        while (static_cast<std::size_t>(end - p) >= kWindow && column < columns) {
            std::uint64_t stopBits = 0;
            std::uint64_t separatorBits = 0;
            std::uint64_t blankBits = 0;
            for (std::size_t i = 0; i < kWindow; i += 16) {
                scan::ByteVector v;
                std::memcpy(&v, p + i, sizeof v);
                stopBits |= std::uint64_t{scan::byteMarks(stops(v, nonAscii))} << i;
                separatorBits |= std::uint64_t{scan::byteMarks(v == m_separators)} << i;
                blankBits |= std::uint64_t{scan::byteMarks(v <= 0x20)} << i;
            }
            const auto left = static_cast<std::size_t>(end - p);
            std::size_t at = 0;
            for (; at < kWindow && column < columns; ++column) {
                const auto length = static_cast<std::size_t>(std::countr_zero(stopBits >> at));
                if (at + length >= kWindow)
                    break; // the field goes on past the window
                const bool trimmed = length > 0 && ((blankBits >> at | blankBits >> (at + length - 1)) & 1) != 0;
                const std::size_t copied = (length + 15) / 16 * 16;
                if ((separatorBits >> (at + length) & 1) == 0 || trimmed || at + copied > left)
                    break;
                if (column > 0)
                    *o++ = ',';
                if (length == 0) {
                    o = put(o, emptyValue);
                } else {
                    *o++ = '\'';
                    for (std::size_t i = 0; i < length; i += 16)
                        std::memcpy(o + i, p + at + i, 16);
                    o += length;
                    *o++ = '\'';
                }
                at += length + 1;
            }
            p += at;
            if (at < kWindow && column < columns)
                return; // a field for the caller
        }
    }
#endif

private:
#if defined(__GNUC__)
    // The lanes of the sixteen bytes `v` that end a plain run. The double
    // quote is a char here: Clang 14 crashes comparing a byte vector with
    // kQuote, a char16_t.
    auto stops(const scan::ByteVector& v, const bool nonAscii) const noexcept
    {
        auto hit = (v == 0) | (v == '"') | (v == '\'') | (v == m_separators) | (v == m_backslashes);
        if constexpr (Breaks)
            hit |= (v == '\r') | (v == '\n');
        if (nonAscii)
            hit |= v > 0x7F;
        return hit;
    }
#endif

    Unit m_separator;
    Unit m_backslash; // a second apostrophe where backslashes are not doubled
#if defined(__GNUC__)
    scan::ByteVector m_separators; // used with UTF-8 bytes only
    scan::ByteVector m_backslashes;
#endif
};

} // namespace quarrow::items
