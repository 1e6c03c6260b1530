#pragma once

#include <cstdint>

namespace quarrow {

// How many lines the text ends, cut as the line reader cuts them: CR LF, LF
// or a lone CR each end one. `afterCr` says that the text before this piece
// ended with a CR, so that an LF first in it ends nothing new; it is updated
// for the next piece. Works on UTF-16 units or UTF-8 bytes alike.
template <typename Unit>
std::uint64_t countLineBreaks(const Unit* p, const Unit* const end, bool& afterCr) noexcept
{
    std::uint64_t breaks = 0;
    for (; p < end; ++p) {
        if (*p == Unit{'\n'}) {
            if (!afterCr)
                ++breaks;
            afterCr = false;
        } else if (*p == Unit{'\r'}) {
            ++breaks;
            afterCr = true;
        } else {
            afterCr = false;
        }
    }
    return breaks;
}

} // namespace quarrow
