#pragma once

#include <algorithm>
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

// ---------------------------------------------------------------------------
// Walking the marks of a line.

// Marking pays where the lanes of a vector comparison become bits in one
// instruction (SSE2 on x86-64); elsewhere the finder below looks with
// findAny() instead.
#if defined(__GNUC__) && defined(__SSE2__)
inline constexpr bool kMarkScan = kVectorScan;
#else
inline constexpr bool kMarkScan = false;
#endif

// Finds, one after another, the positions in [begin, end) holding `a`, `b`
// or `c`. Field splitting stops every dozen bytes or so; looking afresh from
// each stop would compare the same vector several times. Instead the finder
// marks up to 64 units at once into the bits of two words, one for `a` and
// one for `b` or `c`, and each look is a shift and a count of trailing
// zeros. It never reads outside [begin, end).
template <typename Unit>
class MarkFinder {
public:
    MarkFinder(const Unit* begin, const Unit* end, Unit a, Unit b, Unit c) noexcept
        : m_begin(begin), m_end(end), m_base(begin), m_a(a), m_b(b), m_c(c)
    {
    }

    // The first marked position at or after `from`, or end. `from` never
    // goes back before a position already asked for.
    const Unit* next(const Unit* from) noexcept
    {
        if constexpr (kMarkScan) {
            for (;;) {
                const auto offset = static_cast<std::size_t>(from - m_base);
                if (offset < m_size) {
                    const std::uint64_t ahead = (m_aBits | m_otherBits) >> offset;
                    if (ahead != 0)
                        return from + std::countr_zero(ahead);
                    from = m_base + m_size;
                }
                if (from >= m_end)
                    return m_end;
                mark(from);
            }
        } else {
            return findAny(from, m_end, m_a, m_b, m_c);
        }
    }

    // The positions holding `a` from `from` on, as bits counted from `from`,
    // up to the first `b` or `c` or as far as the units marked at once
    // reach: a stretch where only `a` needs looking at. None when the text
    // is not marked.
    std::uint64_t onlyFirstAhead(const Unit* from) noexcept
    {
        if constexpr (kMarkScan) {
            auto offset = static_cast<std::size_t>(from - m_base);
            if (offset >= m_size) {
                if (from >= m_end)
                    return 0;
                mark(from);
                offset = 0;
            }
            const std::uint64_t others = m_otherBits >> offset;
            const std::uint64_t before = others == 0 ? ~std::uint64_t{0} : (others & (0 - others)) - 1;
            return (m_aBits >> offset) & before;
        } else {
            return 0;
        }
    }

private:
    static constexpr std::size_t kPerVector = 16 / sizeof(Unit);

    // Marks the units of [p, p + 64), or to the end.
    void mark(const Unit* p) noexcept
    {
        m_base = p;
        m_size = std::min<std::size_t>(64, static_cast<std::size_t>(m_end - p));
        std::uint64_t aBits = 0;
        std::uint64_t otherBits = 0;
        std::size_t k = 0;
        for (; k + kPerVector <= m_size; k += kPerVector) {
            const auto [a, other] = vectorBits(p + k);
            aBits |= a << k;
            otherBits |= other << k;
        }
        if (k < m_size) {
            const std::size_t rest = m_size - k;
            if (static_cast<std::size_t>(m_end - m_begin) >= kPerVector) {
                // The last vector of the text, read again from an earlier
                // start rather than past the end.
                const auto [a, other] = vectorBits(m_end - kPerVector);
                aBits |= (a >> (kPerVector - rest)) << k;
                otherBits |= (other >> (kPerVector - rest)) << k;
            } else {
                for (; k < m_size; ++k) {
                    aBits |= static_cast<std::uint64_t>(p[k] == m_a) << k;
                    otherBits |= static_cast<std::uint64_t>(p[k] == m_b || p[k] == m_c) << k;
                }
            }
        }
        m_aBits = aBits;
        m_otherBits = otherBits;
    }

    struct Bits {
        std::uint64_t a;
        std::uint64_t other;
    };

    // One bit for each unit of the vector at p, lowest unit lowest bit.
    Bits vectorBits(const Unit* p) const noexcept
    {
#if defined(__GNUC__) && defined(__SSE2__)
        using Vector = std::conditional_t<sizeof(Unit) == 1, ByteVector, UnitVector>;
        using Lane = std::conditional_t<sizeof(Unit) == 1, std::uint8_t, std::uint16_t>;
        Vector v;
        std::memcpy(&v, p, sizeof v);
        const Vector a = v == (Vector{} + static_cast<Lane>(m_a));
        const Vector other = (v == (Vector{} + static_cast<Lane>(m_b))) | (v == (Vector{} + static_cast<Lane>(m_c)));
        return {laneBits(a), laneBits(other)};
#else
        (void)p;
        return {0, 0};
#endif
    }

#if defined(__GNUC__) && defined(__SSE2__)
    // The lanes of a comparison, each all ones or zero, as bits.
    template <typename Vector>
    static std::uint64_t laneBits(const Vector& hit) noexcept
    {
        typedef char Chars __attribute__((vector_size(16)));
        typedef short Shorts __attribute__((vector_size(16)));
        if constexpr (sizeof(Unit) == 1) {
            return static_cast<std::uint32_t>(__builtin_ia32_pmovmskb128(reinterpret_cast<Chars>(hit)));
        } else {
            // Each lane of -1 or 0 packed into a byte, then gathered.
            const Chars bytes = __builtin_ia32_packsswb128(reinterpret_cast<Shorts>(hit), Shorts{});
            return static_cast<std::uint32_t>(__builtin_ia32_pmovmskb128(bytes));
        }
    }
#endif

    const Unit* m_begin;
    const Unit* m_end;
    const Unit* m_base;
    std::size_t m_size = 0;
    std::uint64_t m_aBits = 0;
    std::uint64_t m_otherBits = 0;
    Unit m_a;
    Unit m_b;
    Unit m_c;
};

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
