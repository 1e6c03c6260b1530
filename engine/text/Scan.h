#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// Scanning text several units at a time in a 64-bit word: four UTF-16 code
// units, or eight bytes of UTF-8. The reader, the splitter and the formatter
// spend most of their time walking through ordinary characters; these let
// them skip such runs in bulk.
namespace quarrow::scan {

inline constexpr bool kWordScan = std::endian::native == std::endian::little;

template <typename Unit>
struct Lanes {
    static_assert(sizeof(Unit) == 1 || sizeof(Unit) == 2);
    static constexpr std::size_t kBits = 8 * sizeof(Unit);
    static constexpr std::size_t kPerWord = 8 / sizeof(Unit);
    static constexpr std::uint64_t kOnes = sizeof(Unit) == 1 ? 0x0101010101010101ULL : 0x0001000100010001ULL;
    static constexpr std::uint64_t kHigh = kOnes << (kBits - 1);
};

inline constexpr std::uint64_t kLaneOnes = Lanes<char16_t>::kOnes;
inline constexpr std::uint64_t kLaneHigh = Lanes<char16_t>::kHigh;

template <typename Unit>
inline std::uint64_t loadWord(const Unit* p) noexcept
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint64_t load4(const char16_t* p) noexcept
{
    return loadWord(p);
}

// High bit set in the lanes equal to zero; the lowest marked lane is exact.
template <typename Unit = char16_t>
constexpr std::uint64_t zeroLanes(std::uint64_t v) noexcept
{
    return (v - Lanes<Unit>::kOnes) & ~v & Lanes<Unit>::kHigh;
}

template <typename Unit>
constexpr std::uint64_t lanesEqual(std::uint64_t v, Unit c) noexcept
{
    using Value = std::make_unsigned_t<Unit>;
    return zeroLanes<Unit>(v ^ (Lanes<Unit>::kOnes * static_cast<Value>(c)));
}

// High bit set in exactly the lanes holding a unit of 0x80 or more.
template <typename Unit>
constexpr std::uint64_t nonAsciiLanes(std::uint64_t v) noexcept
{
    if constexpr (sizeof(Unit) == 1) {
        return v & Lanes<Unit>::kHigh;
    } else {
        const std::uint64_t upper = v & 0xFF80FF80FF80FF80ULL;
        return (((upper & 0x7FFF7FFF7FFF7FFFULL) + 0x7FFF7FFF7FFF7FFFULL) | upper) & kLaneHigh;
    }
}

// The index of the lowest marked lane of a nonzero mark.
template <typename Unit>
constexpr std::size_t firstLane(std::uint64_t marks) noexcept
{
    return static_cast<std::size_t>(std::countr_zero(marks)) / Lanes<Unit>::kBits;
}

// Sixteen bytes at a time where the compiler has vector types (GCC and
// Clang: SSE2 on x86-64, NEON on ARM): comparing one vector costs about what
// one word of the word-at-a-time code does, for twice the text. The lanes of
// a comparison are all-ones or zero, so its words mark exactly.
#if defined(__GNUC__)
inline constexpr bool kVectorScan = kWordScan;
typedef std::uint8_t ByteVector __attribute__((vector_size(16)));
typedef std::uint16_t UnitVector __attribute__((vector_size(16)));
#else
inline constexpr bool kVectorScan = false;
#endif

// The first position in [p, end) holding `a`, `b` or `c`, or end.
template <typename Unit>
inline const Unit* findAny(const Unit* p, const Unit* end, Unit a, Unit b, Unit c) noexcept
{
#if defined(__GNUC__)
    if constexpr (kVectorScan) {
        using Vector = std::conditional_t<sizeof(Unit) == 1, ByteVector, UnitVector>;
        using Lane = std::conditional_t<sizeof(Unit) == 1, std::uint8_t, std::uint16_t>;
        constexpr std::size_t kPerVector = sizeof(Vector) / sizeof(Unit);
        const Vector va = Vector{} + static_cast<Lane>(a);
        const Vector vb = Vector{} + static_cast<Lane>(b);
        const Vector vc = Vector{} + static_cast<Lane>(c);
        while (static_cast<std::size_t>(end - p) >= kPerVector) {
            Vector v;
            std::memcpy(&v, p, sizeof v);
            const auto hit = (v == va) | (v == vb) | (v == vc);
            std::uint64_t words[2];
            std::memcpy(words, &hit, sizeof words);
            if ((words[0] | words[1]) != 0)
                return p
                       + (words[0] != 0 ? firstLane<Unit>(words[0])
                                        : Lanes<Unit>::kPerWord + firstLane<Unit>(words[1]));
            p += kPerVector;
        }
    }
#endif
    if constexpr (kWordScan) {
        while (static_cast<std::size_t>(end - p) >= Lanes<Unit>::kPerWord) {
            const std::uint64_t v = loadWord(p);
            const std::uint64_t hit = lanesEqual(v, a) | lanesEqual(v, b) | lanesEqual(v, c);
            if (hit != 0)
                return p + firstLane<Unit>(hit);
            p += Lanes<Unit>::kPerWord;
        }
    }
    while (p < end && *p != a && *p != b && *p != c)
        ++p;
    return p;
}

// The first position in [p, end) holding `a` or `b`, or end.
template <typename Unit>
inline const Unit* findEither(const Unit* p, const Unit* end, Unit a, Unit b) noexcept
{
    if constexpr (kWordScan) {
        while (static_cast<std::size_t>(end - p) >= Lanes<Unit>::kPerWord) {
            const std::uint64_t v = loadWord(p);
            const std::uint64_t hit = lanesEqual(v, a) | lanesEqual(v, b);
            if (hit != 0)
                return p + firstLane<Unit>(hit);
            p += Lanes<Unit>::kPerWord;
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
    const std::uint32_t bytes = static_cast<std::uint32_t>((v & 0xFF) | ((v >> 8) & 0xFF00) | ((v >> 16) & 0xFF0000)
                                                           | ((v >> 24) & 0xFF000000));
    std::memcpy(out, &bytes, sizeof bytes);
    return out + 4;
}

} // namespace quarrow::scan

// The script formatter's copying of plain runs sixteen bytes at a time.
namespace quarrow::scan {

#if defined(__GNUC__)
// One bit a byte of a vector comparison's result (each byte all-ones or
// zero), the first byte lowest.
template <typename Marks>
inline std::uint32_t byteMarks(const Marks& marks) noexcept
{
    static_assert(sizeof(Marks) == 16);
#if defined(__SSE2__)
    // One instruction gathers them.
    typedef char Bytes __attribute__((vector_size(16)));
    Bytes bytes;
    std::memcpy(&bytes, &marks, sizeof bytes);
    return static_cast<std::uint32_t>(__builtin_ia32_pmovmskb128(bytes));
#else
    // The high bits of a word's bytes, moved down to bits 0, 8, ..., 56: the
    // multiplication shifts each to its place in the top byte, and no two
    // of its partial products meet.
    std::uint64_t words[2];
    std::memcpy(words, &marks, sizeof words);
    const auto gather = [](std::uint64_t word) {
        return static_cast<std::uint32_t>((((word & Lanes<char>::kHigh) >> 7) * 0x0102040810204080ULL) >> 56);
    };
    return gather(words[0]) | gather(words[1]) << 8;
#endif
}

// The index of the first marked lane of a vector comparison's result of
// `Unit` lanes, or the number of lanes when none is: one count, and no
// branch on which half holds it.
template <typename Unit, typename Marks>
inline std::size_t firstMarkedLane(const Marks& marks) noexcept
{
    return static_cast<std::size_t>(std::countr_zero(byteMarks(marks) | 0x10000U)) / sizeof(Unit);
}
#endif

} // namespace quarrow::scan
