#include "engine/text/Scan.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quarrow {
namespace {

template <typename Unit>
const Unit* findAnyByUnit(const Unit* p, const Unit* end, Unit a, Unit b, Unit c)
{
    while (p < end && *p != a && *p != b && *p != c)
        ++p;
    return p;
}

// Texts of every length up to a few vectors, starting at every offset of a
// vector, with a target at every position or none, among units that look
// like a target in one byte (0x0A22 holds both a quote and an LF byte) or
// sit next to one in value.
template <typename Unit>
void findAnyMatchesTheUnitWalk(const std::vector<Unit>& alphabet)
{
    const Unit a = '"';
    const Unit b = '\r';
    const Unit c = '\n';
    std::mt19937 random(7);
    std::vector<Unit> text(80);
    for (int round = 0; round < 4000; ++round) {
        for (auto& unit : text)
            unit = alphabet[random() % alphabet.size()];
        const std::size_t offset = random() % 16;
        const std::size_t length = random() % (text.size() - offset);
        if (round % 2 == 0 && length > 0)
            text[offset + random() % length] = round % 3 == 0 ? a : round % 3 == 1 ? b : c;
        const Unit* const begin = text.data() + offset;
        const Unit* const end = begin + length;
        ASSERT_EQ(scan::findAny(begin, end, a, b, c) - begin, findAnyByUnit(begin, end, a, b, c) - begin)
            << "round " << round << ", offset " << offset << ", length " << length;

        // The finder stops at the same places, one after another; where it
        // offers a run of `a` alone, each marked unit is an `a`, and every
        // unit up to the last of them is an `a` if marked and neither `b`
        // nor `c`.
        scan::MarkFinder<Unit> marks(begin, end, a, b, c);
        for (const Unit* from = begin;; ++from) {
            const std::uint64_t run = marks.onlyFirstAhead(from);
            const int last = run == 0 ? -1 : 63 - std::countl_zero(run);
            for (int i = 0; i <= last; ++i) {
                ASSERT_LT(from + i, end);
                ASSERT_EQ(((run >> i) & 1) != 0, from[i] == a) << "round " << round << ", unit " << (from - begin) + i;
                ASSERT_TRUE(from[i] != b && from[i] != c) << "round " << round << ", unit " << (from - begin) + i;
            }
            const Unit* const found = marks.next(from);
            ASSERT_EQ(found - begin, findAnyByUnit(from, end, a, b, c) - begin) << "round " << round;
            if (found == end)
                break;
            from = found;
        }
    }
}

TEST(Scan, FindAnyMatchesTheUnitWalk)
{
    findAnyMatchesTheUnitWalk<char>({'a', '!', '#', '\x0B', '\x0C', '\x0E', ',', '\x80', '\xA2', '\xFF'});
    findAnyMatchesTheUnitWalk<char16_t>(
        {u'a', u'!', u'#', u'\x0B', u'\x0C', u',', 0x0A22, 0x220A, 0x0D00, 0x000D + 0x100, 0xFF0A, 0xD83D});
}

} // namespace
} // namespace quarrow
