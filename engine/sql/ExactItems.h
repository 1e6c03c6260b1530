#pragma once

#include "engine/sql/FormedItems.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/text/Scan.h"

#include <cstddef>
#include <cstdint>

// The value items of records read exactly (csv/ExactQuoting.h): values kept
// whole, line breaks in them written in each dialect's own form (see
// ExactItems.cpp).
namespace quarrow::items {

// Units of room a line break may take beyond the three bytes of its own
// unit: two joiners, the longest call, the quotes and N of the next literal
// piece, MySQL's CONCAT( ), and the parentheses that group the parts
// (JoinedParts: fewer than one a part, but for the few at a group's edge
// that every item has room for).
inline constexpr std::size_t kBreakRoomUnits = 15;

// The line breaks of [p, end): each CR and each LF.
template <typename Unit>
std::size_t countBreaks(const Unit* p, const Unit* const end) noexcept
{
    std::size_t breaks = 0;
    for (;; ++p, ++breaks) {
        p = scan::findAny(p, end, static_cast<Unit>('\r'), static_cast<Unit>('\n'), static_cast<Unit>('\n'));
        if (p == end)
            return breaks;
    }
}

// The value items of a record, by the field rules of forEachExactField();
// fields beyond `columns` are dropped. Returns how many items were written.
// `Unit` is char16_t for UTF-16 text or unsigned char for valid UTF-8
// written as UTF-8; `Breaks` says whether the record may hold a line break
// written as a call. Instantiated for those in ExactItems.cpp. `formed`,
// when given, rewrites the values in a chosen form.
template <bool Breaks, typename Unit>
std::size_t writeExactItems(const Unit* p, const Unit* const end, std::size_t columns, char*& o,
                            const ScriptOptions& options, std::uint64_t& substituted, FormedItems* formed = nullptr);

} // namespace quarrow::items
