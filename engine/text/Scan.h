#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// Scanning UTF-16 text four code units at a time in a 64-bit word. The
// splitter and the formatter spend most of their time walking through
// ordinary characters; these let them skip such runs in bulk.
namespace quarrow::scan {

inline constexpr bool kWordScan = std::endian::native == std::endian::little;

inline constexpr std::uint64_t kLaneOnes = 0x0001000100010001ULL;
inline constexpr std::uint64_t kLaneHigh = 0x8000800080008000ULL;

inline std::uint64_t load4(const char16_t* p) noexcept
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// High bit set in the lanes equal to zero; the lowest marked lane is exact.
constexpr std::uint64_t zeroLanes(std::uint64_t v) noexcept { return (v - kLaneOnes) & ~v & kLaneHigh; }

constexpr std::uint64_t lanesEqual(std::uint64_t v, char16_t c) noexcept { return zeroLanes(v ^ (kLaneOnes * c)); }

// The first position in [p, end) holding `a` or `b`, or end.
inline const char16_t* findEither(const char16_t* p, const char16_t* end, char16_t a, char16_t b) noexcept
{
    if constexpr (kWordScan) {
        while (end - p >= 4) {
            const std::uint64_t v = load4(p);
            const std::uint64_t hit = lanesEqual(v, a) | lanesEqual(v, b);
            if (hit != 0)
                return p + std::countr_zero(hit) / 16;
            p += 4;
        }
    }
    while (p < end && *p != a && *p != b)
        ++p;
    return p;
}

// True when all four units are ASCII and none is one of the three given.
constexpr bool plainAscii4(std::uint64_t v, char16_t x, char16_t y, char16_t z) noexcept
{
    return (v & 0xFF80FF80FF80FF80ULL) == 0 && (lanesEqual(v, x) | lanesEqual(v, y) | lanesEqual(v, z)) == 0;
}

// Writes the low bytes of four ASCII units.
inline char* narrow4(std::uint64_t v, char* out) noexcept
{
    const std::uint32_t bytes = static_cast<std::uint32_t>((v & 0xFF) | ((v >> 8) & 0xFF00) | ((v >> 16) & 0xFF0000) |
                                                           ((v >> 24) & 0xFF000000));
    std::memcpy(out, &bytes, sizeof bytes);
    return out + 4;
}

} // namespace quarrow::scan
