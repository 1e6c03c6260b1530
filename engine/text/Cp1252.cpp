#include "engine/text/Cp1252.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace quarrow::cp1252 {

namespace {

// 0x80-0x9F, the only bytes that do not decode to the code point of the same
// value. The five unassigned bytes keep their own value so that any byte
// sequence survives a decode and re-encode unchanged.
constexpr std::array<char16_t, 32> kHighBlock = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

constexpr std::array<char16_t, 256> makeDecodeTable()
{
    std::array<char16_t, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<char16_t>(i);
    for (std::size_t i = 0; i < kHighBlock.size(); ++i)
        table[0x80 + i] = kHighBlock[i];
    return table;
}

constexpr std::array<char16_t, 256> kDecode = makeDecodeTable();

struct CodePointByte {
    char32_t codePoint;
    unsigned char byte;
};

constexpr bool byCodePoint(const CodePointByte& a, const CodePointByte& b)
{
    return a.codePoint < b.codePoint;
}

// The characters of 0x80-0x9F that lie outside Latin-1, derived from the
// decode table so the two directions cannot disagree.
constexpr std::size_t countRemapped()
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < kHighBlock.size(); ++i)
        n += kHighBlock[i] != static_cast<char16_t>(0x80 + i) ? 1 : 0;
    return n;
}

constexpr std::array<CodePointByte, countRemapped()> makeRemapped()
{
    std::array<CodePointByte, countRemapped()> entries{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kHighBlock.size(); ++i) {
        if (kHighBlock[i] != static_cast<char16_t>(0x80 + i))
            entries[n++] = {kHighBlock[i], static_cast<unsigned char>(0x80 + i)};
    }
    std::sort(entries.begin(), entries.end(), byCodePoint);
    return entries;
}

constexpr auto kRemapped = makeRemapped();
static_assert(kRemapped.size() == 27);

constexpr CodePointByte kBestFit[] = {
#include "engine/text/Cp1252BestFit.inc"
};
static_assert(std::is_sorted(std::begin(kBestFit), std::end(kBestFit), byCodePoint));

// Binary search of a table sorted by code point; 0 when absent (no entry
// maps to NUL).
template <typename Table>
unsigned char lookup(const Table& table, char32_t codePoint)
{
    const auto it = std::lower_bound(std::begin(table), std::end(table), CodePointByte{codePoint, 0}, byCodePoint);
    return it != std::end(table) && it->codePoint == codePoint ? it->byte : 0;
}

constexpr bool isUnassignedByte(char32_t codePoint)
{
    return codePoint == 0x81 || codePoint == 0x8D || codePoint == 0x8F || codePoint == 0x90 || codePoint == 0x9D;
}

// Fullwidth letters and digits become their ASCII forms. Fullwidth
// punctuation does not: a script is escaped for the quotes, backslashes and
// brackets of the text it holds, and a look-alike that turned into one of
// them could end a literal or a quoted name early. It gets '?' like any
// other character without an obvious substitute.
constexpr bool isFullwidthLetterOrDigit(char32_t codePoint)
{
    return (codePoint >= 0xFF10 && codePoint <= 0xFF19) || (codePoint >= 0xFF21 && codePoint <= 0xFF3A)
           || (codePoint >= 0xFF41 && codePoint <= 0xFF5A);
}

} // namespace

char16_t decodeByte(unsigned char byte)
{
    return kDecode[byte];
}

void decode(const unsigned char* data, std::size_t size, std::u16string& out)
{
    const std::size_t start = out.size();
    out.resize(start + size);
    char16_t* dst = out.data() + start;

    // Text is overwhelmingly ASCII; a word with no high bit set widens
    // without touching the table, which the compiler turns into vector code.
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::size_t i = 0;
    for (; i + kWord <= size; i += kWord) {
        std::uint64_t word;
        std::memcpy(&word, data + i, kWord);
        if ((word & kHighBits) == 0) {
            for (std::size_t k = 0; k < kWord; ++k)
                dst[i + k] = static_cast<char16_t>(data[i + k]);
        } else {
            for (std::size_t k = 0; k < kWord; ++k)
                dst[i + k] = kDecode[data[i + k]];
        }
    }
    for (; i < size; ++i)
        dst[i] = kDecode[data[i]];
}

EncodedChar encode(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF) || isUnassignedByte(codePoint))
        return {static_cast<unsigned char>(codePoint), true};
    if (const unsigned char byte = lookup(kRemapped, codePoint))
        return {byte, true};
    if (isFullwidthLetterOrDigit(codePoint))
        return {static_cast<unsigned char>(codePoint - 0xFF01 + 0x21), false};
    if (const unsigned char byte = lookup(kBestFit, codePoint))
        return {byte, false};
    return {static_cast<unsigned char>('?'), false};
}

} // namespace quarrow::cp1252
