#include "engine/text/Cp1252.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace {

using quarrow::cp1252::decode;
using quarrow::cp1252::decodeByte;
using quarrow::cp1252::encode;

struct ByteRow {
    unsigned char byte;
    char16_t expected;
};

// The whole of 0x80-0x9F, where the code page departs from Latin-1.
// clang-format off
constexpr std::array<ByteRow, 32> kHighBlock = {{
    {0x80, u'\u20AC'}, {0x81, u'\u0081'}, {0x82, u'\u201A'}, {0x83, u'\u0192'},
    {0x84, u'\u201E'}, {0x85, u'\u2026'}, {0x86, u'\u2020'}, {0x87, u'\u2021'},
    {0x88, u'\u02C6'}, {0x89, u'\u2030'}, {0x8A, u'\u0160'}, {0x8B, u'\u2039'},
    {0x8C, u'\u0152'}, {0x8D, u'\u008D'}, {0x8E, u'\u017D'}, {0x8F, u'\u008F'},
    {0x90, u'\u0090'}, {0x91, u'\u2018'}, {0x92, u'\u2019'}, {0x93, u'\u201C'},
    {0x94, u'\u201D'}, {0x95, u'\u2022'}, {0x96, u'\u2013'}, {0x97, u'\u2014'},
    {0x98, u'\u02DC'}, {0x99, u'\u2122'}, {0x9A, u'\u0161'}, {0x9B, u'\u203A'},
    {0x9C, u'\u0153'}, {0x9D, u'\u009D'}, {0x9E, u'\u017E'}, {0x9F, u'\u0178'},
}};
// clang-format on

TEST(Cp1252Decode, HighBlockFollowsTheCodePage)
{
    for (const auto& row : kHighBlock) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int{row.byte});
        EXPECT_EQ(int{decodeByte(row.byte)}, int{row.expected});
    }
}

TEST(Cp1252Decode, AsciiAndLatin1BytesKeepTheirValue)
{
    for (int b = 0; b < 256; ++b) {
        if (b >= 0x80 && b <= 0x9F)
            continue;
        EXPECT_EQ(int{decodeByte(static_cast<unsigned char>(b))}, b);
    }
}

// The bulk decoder takes whole ASCII words at a time; a high byte anywhere in
// a word, at the edges of a word, or in the tail after the last whole word
// must still go through the table.
TEST(Cp1252Decode, BulkDecodeAgreesWithByteDecodeAtEveryPosition)
{
    for (std::size_t length = 0; length <= 40; ++length) {
        for (std::size_t offset = 0; offset < 8; ++offset) {
            for (std::size_t high = 0; high <= length; ++high) {
                std::vector<unsigned char> buffer(offset + length, 'a');
                if (high < length)
                    buffer[offset + high] = 0x80; // the euro sign, far from U+0080
                const unsigned char* data = buffer.data() + offset;

                std::u16string expected = u"prefix";
                for (std::size_t i = 0; i < length; ++i)
                    expected.push_back(decodeByte(data[i]));

                std::u16string out = u"prefix";
                decode(data, length, out);
                ASSERT_EQ(out, expected) << "length " << length << ", offset " << offset << ", high byte at " << high;
            }
        }
    }
}

TEST(Cp1252Decode, BulkDecodeOfEveryByte)
{
    std::array<unsigned char, 256> all{};
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<unsigned char>(i);

    std::u16string out;
    decode(all.data(), all.size(), out);
    ASSERT_EQ(out.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(int{out[i]}, int{decodeByte(all[i])}) << "byte " << i;
}

TEST(Cp1252RoundTrip, EveryByteDecodesAndEncodesBackExactly)
{
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const auto encoded = encode(decodeByte(byte));
        EXPECT_TRUE(encoded.exact) << "byte " << b;
        EXPECT_EQ(int{encoded.byte}, b);
    }
}

struct EncodeRow {
    char32_t codePoint;
    unsigned char byte;
};

TEST(Cp1252Encode, BestFitGivesTheBaseLetter)
{
    // clang-format off
    constexpr EncodeRow kRows[] = {
        // A diacritic the code page lacks.
        {U'\u0100', 'A'}, {U'\u0107', 'c'}, {U'\u0151', 'o'}, {U'\u015F', 's'},
        {U'\u1EA1', 'a'}, {U'\u0219', 's'}, {U'\u1E85', 'w'},
        // Two stacked marks still reduce to the letter underneath.
        {U'\u1EA4', 'A'}, {U'\u01DE', 'A'}, {U'\u1EC7', 'e'},
        // No decomposition, but an obvious base.
        {U'\u0110', 'D'}, {U'\u0111', 'd'}, {U'\u0126', 'H'}, {U'\u0127', 'h'},
        {U'\u0131', 'i'}, {U'\u0141', 'L'}, {U'\u0142', 'l'}, {U'\u0166', 'T'},
        {U'\u0167', 't'}, {U'\u0180', 'b'}, {U'\u0197', 'I'}, {U'\u01B5', 'Z'},
        {U'\u01B6', 'z'},
        // Built on a letter of the code page that is not ASCII.
        {U'\u01FE', 0xD8}, {U'\u01FF', 0xF8}, {U'\u01FC', 0xC6},
        // Fullwidth letters and digits, both ends of each run included.
        {U'\uFF10', '0'}, {U'\uFF19', '9'}, {U'\uFF21', 'A'}, {U'\uFF3A', 'Z'},
        {U'\uFF41', 'a'}, {U'\uFF5A', 'z'},
    };
    // clang-format on
    for (const auto& row : kRows) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << std::uppercase << static_cast<unsigned>(row.codePoint));
        const auto encoded = encode(row.codePoint);
        EXPECT_EQ(int{encoded.byte}, int{row.byte});
        EXPECT_FALSE(encoded.exact);
    }
}

TEST(Cp1252Encode, NoObviousSubstituteGivesQuestionMark)
{
    // clang-format off
    constexpr char32_t kRows[] = {
        0x4E2D,   // CJK
        0x1F600,  // emoji, beyond the BMP
        0x0416,   // Cyrillic
        0x0391,   // Greek
        0xD800,   // lone high surrogate
        0xDFFF,   // lone low surrogate
        0x0080,   // a C1 control the code page has no byte for; 0x80 is the euro
        0x009F,   // likewise; 0x9F is Y with diaeresis
        0xFF00,   // just below the fullwidth ASCII forms
        0xFF5F,   // just above them
        // Fullwidth punctuation: as ASCII it would quote, escape or end
        // something in a script.
        0xFF01, 0xFF02, 0xFF07, 0xFF08, 0xFF09, 0xFF1B, 0xFF3B, 0xFF3C, 0xFF3D, 0xFF40, 0xFF5E,
        0x110000, // not a code point at all
    };
    // clang-format on
    for (const char32_t codePoint : kRows) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << std::uppercase << static_cast<unsigned>(codePoint));
        const auto encoded = encode(codePoint);
        EXPECT_EQ(encoded.byte, '?');
        EXPECT_FALSE(encoded.exact);
    }
}

// Exact must mean "decodes back to the same character": a writer relies on it
// to report lossy output, so no substitute may claim it and no character of
// the code page may lose it.
TEST(Cp1252Encode, ExactOnlyForTheCodePageItself)
{
    int exactCount = 0;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        const auto encoded = encode(cp);
        const bool decodesBack = decodeByte(encoded.byte) == cp;
        if (encoded.exact != decodesBack) {
            ADD_FAILURE() << "U+" << std::hex << std::uppercase << static_cast<unsigned>(cp) << " -> 0x"
                          << int{encoded.byte} << " exact=" << encoded.exact;
            return;
        }
        if (encoded.exact)
            ++exactCount;
        // Best fit stays within the Latin blocks and the fullwidth forms;
        // anything else falls back to '?'.
        if (!encoded.exact && encoded.byte != '?') {
            const bool latin = (cp >= 0x0100 && cp <= 0x024F) || (cp >= 0x1E00 && cp <= 0x1EFF);
            const bool fullwidth = cp >= 0xFF01 && cp <= 0xFF5E;
            EXPECT_TRUE(latin || fullwidth) << "unexpected substitute for U+" << std::hex << static_cast<unsigned>(cp);
            // A script escapes the text before it is encoded, so a substitute
            // that quotes, escapes or ends something would slip through.
            const unsigned char b = encoded.byte;
            const bool letterOrDigit = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')
                                       || b == 0xC6 || b == 0xD8 || b == 0xE6 || b == 0xF8;
            EXPECT_TRUE(letterOrDigit) << "U+" << std::hex << static_cast<unsigned>(cp) << " -> 0x" << int{b};
        }
    }
    EXPECT_EQ(exactCount, 256);
}

// Every accented letter of Latin Extended-A has a base letter, so the only
// ones left as '?' are those built some other way (ligatures, kra, eng,
// long s, the middle-dot L, n preceded by apostrophe).
TEST(Cp1252Encode, LatinExtendedAIsCoveredExceptLettersWithoutABase)
{
    const std::vector<char32_t> noBase = {0x0132, 0x0133, 0x0138, 0x013F, 0x0140, 0x0149, 0x014A, 0x014B, 0x017F};
    for (char32_t cp = 0x0100; cp <= 0x017F; ++cp) {
        const auto encoded = encode(cp);
        const bool expectQuestionMark = std::find(noBase.begin(), noBase.end(), cp) != noBase.end();
        EXPECT_EQ(encoded.byte == '?', expectQuestionMark)
            << "U+" << std::hex << std::uppercase << static_cast<unsigned>(cp);
    }
}

} // namespace
