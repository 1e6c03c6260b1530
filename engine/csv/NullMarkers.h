#pragma once

#include "engine/csv/FieldSplitter.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quarrow {

// Texts that stand for NULL in a file (NA, \N, -), chosen by the user; none
// by default, since a value "NA" is as often a country or a name. A value
// is a marker when its whole cleaned value equals one, letter case as given.
// Read exactly, a quoted field is a value whatever it holds.
class NullMarkers {
public:
    NullMarkers() = default;
    explicit NullMarkers(std::vector<std::u16string> markers);

    bool empty() const noexcept { return m_text.empty(); }
    const std::vector<std::u16string>& texts() const noexcept { return m_text; }

    // The marker that the raw field [b, e) is once cleaned (every double
    // quote dropped, then blanks and control characters trimmed), by its
    // index. `Unit` is char16_t, or unsigned char for UTF-8.
    template <typename Unit>
    std::optional<std::size_t> matchRaw(const Unit* b, const Unit* e) const
    {
        const auto quote = static_cast<Unit>(kQuote);
        while (b < e && (*b <= u' ' || *b == quote))
            ++b;
        while (e > b && (e[-1] <= u' ' || e[-1] == quote))
            --e;
        for (std::size_t m = 0; m < m_text.size(); ++m) {
            if (equalWithoutQuotes(b, e, units<Unit>(m)))
                return m;
        }
        return std::nullopt;
    }

    // The marker that the value [b, e) is as it stands.
    template <typename Unit>
    std::optional<std::size_t> matchValue(const Unit* b, const Unit* e) const
    {
        for (std::size_t m = 0; m < m_text.size(); ++m) {
            const auto& marker = units<Unit>(m);
            if (marker.size() == static_cast<std::size_t>(e - b) && std::equal(b, e, marker.begin()))
                return m;
        }
        return std::nullopt;
    }

private:
    template <typename Unit>
    const auto& units(std::size_t m) const
    {
        if constexpr (sizeof(Unit) == 1)
            return m_utf8[m];
        else
            return m_text[m];
    }

    template <typename Unit, typename Marker>
    static bool equalWithoutQuotes(const Unit* b, const Unit* e, const Marker& marker)
    {
        std::size_t k = 0;
        for (; b < e; ++b) {
            if (*b == static_cast<Unit>(kQuote))
                continue;
            if (k == marker.size() || static_cast<Unit>(marker[k]) != *b)
                return false;
            ++k;
        }
        return k == marker.size();
    }

    std::vector<std::u16string> m_text;
    std::vector<std::basic_string<unsigned char>> m_utf8;
};

// Why the texts cannot be markers (an empty one: that is what "NULL for
// empty cells" is for); empty when they can.
std::string nullMarkersRefusal(const std::vector<std::u16string>& markers);

} // namespace quarrow
