#include "engine/text/Utf8.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

using quarrow::utf8::decode;
using quarrow::utf8::encode;
using quarrow::utf8::validate;

std::vector<unsigned char> toBytes(const std::string& s)
{
    return std::vector<unsigned char>(s.begin(), s.end());
}

// Runs the decoder on an exactly sized copy of the input, so a read or write
// past either buffer shows up under the address sanitizer.
struct Decoded {
    std::size_t consumed;
    std::u16string units;
    bool valid;
};

Decoded runDecode(const std::vector<unsigned char>& input, bool atEnd)
{
    std::vector<char16_t> out(input.size());
    const auto r = decode(input.data(), input.size(), out.data(), atEnd);
    EXPECT_LE(r.written, input.size());
    EXPECT_LE(r.consumed, input.size());
    // Validation judges every input as decoding does.
    const auto v = validate(input.data(), input.size(), atEnd);
    EXPECT_EQ(v.valid, r.valid);
    EXPECT_EQ(v.consumed, r.consumed);
    EXPECT_EQ(v.written, r.written);
    return {r.consumed, std::u16string(out.data(), r.written), r.valid};
}

std::string hex(const std::string& bytes)
{
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        out += buf;
    }
    return out;
}

// The textbook encoding of one scalar value, independent of the code under test.
std::string referenceUtf8(char32_t cp)
{
    std::string out;
    auto put = [&out](std::uint32_t v) { out.push_back(static_cast<char>(static_cast<unsigned char>(v))); };
    const auto v = static_cast<std::uint32_t>(cp);
    if (v < 0x80) {
        put(v);
    } else if (v < 0x800) {
        put(0xC0 | (v >> 6));
        put(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        put(0xE0 | (v >> 12));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    } else {
        put(0xF0 | (v >> 18));
        put(0x80 | ((v >> 12) & 0x3F));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    }
    return out;
}

void appendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        const char32_t v = cp - 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    }
}

// ---------------------------------------------------------------------------
// Decoding, case by case.

struct DecodeCase {
    const char* name;
    std::string input;
    bool atEnd;
    std::size_t consumed;
    std::u16string units;
    bool valid;
};

void PrintTo(const DecodeCase& c, std::ostream* os)
{
    *os << c.name << " [" << hex(c.input) << "]";
}

class Utf8Decode : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8Decode, ConsumesWritesAndJudgesAsExpected)
{
    const DecodeCase& c = GetParam();
    const Decoded d = runDecode(toBytes(c.input), c.atEnd);
    EXPECT_EQ(d.valid, c.valid);
    EXPECT_EQ(d.consumed, c.consumed);
    EXPECT_EQ(d.units, c.units);
}

// Invalid rows start with "ab" so the report must point past what was good.
// clang-format off
const DecodeCase kDecodeCases[] = {
    // Valid sequences of every length, at the edges of their ranges.
    {"Empty", "", true, 0, u"", true},
    {"Ascii", "Hello, world", true, 12, u"Hello, world", true},
    {"AsciiWithNul", "a\0b"s, true, 3, u"a\0b"s, true},
    {"TwoByteLowest", "\xC2\x80", true, 2, u"\u0080", true},
    {"TwoByteHighest", "\xDF\xBF", true, 2, u"\u07FF", true},
    {"ThreeByteLowest", "\xE0\xA0\x80", true, 3, u"\u0800", true},
    {"ThreeByteEuro", "\xE2\x82\xAC", true, 3, u"\u20AC", true},
    {"ThreeByteJustBelowSurrogates", "\xED\x9F\xBF", true, 3, u"\uD7FF", true},
    {"ThreeByteJustAboveSurrogates", "\xEE\x80\x80", true, 3, u"\uE000", true},
    {"ThreeByteHighest", "\xEF\xBF\xBF", true, 3, u"\uFFFF", true},
    {"FourByteLowest", "\xF0\x90\x80\x80", true, 4, u"\xD800\xDC00", true},
    {"FourByteEmoji", "\xF0\x9F\x98\x80", true, 4, u"\xD83D\xDE00", true},
    {"FourByteHighest", "\xF4\x8F\xBF\xBF", true, 4, u"\xDBFF\xDFFF", true},
    {"Mixed", "a\xC3\xA9" "b\xE2\x82\xAC" "c\xF0\x9F\x98\x80" "d", true, 13,
     u"a\u00E9b\u20ACc\xD83D\xDE00" u"d", true},

    // Overlong forms.
    {"OverlongC0", "ab\xC0\x80", true, 2, u"ab", false},
    {"OverlongC1", "ab\xC1\xBF", true, 2, u"ab", false},
    {"OverlongE0", "ab\xE0\x80\x80", true, 2, u"ab", false},
    {"OverlongE0Highest", "ab\xE0\x9F\xBF", true, 2, u"ab", false},
    {"OverlongF0", "ab\xF0\x80\x80\x80", true, 2, u"ab", false},
    {"OverlongF0Highest", "ab\xF0\x8F\xBF\xBF", true, 2, u"ab", false},
    // Surrogates written as UTF-8.
    {"SurrogateFirst", "ab\xED\xA0\x80", true, 2, u"ab", false},
    {"SurrogateLast", "ab\xED\xBF\xBF", true, 2, u"ab", false},
    // Above U+10FFFF.
    {"AboveMaxF4", "ab\xF4\x90\x80\x80", true, 2, u"ab", false},
    {"LeadF5", "ab\xF5\x80\x80\x80", true, 2, u"ab", false},
    {"LeadF8", "ab\xF8\x88\x80\x80\x80", true, 2, u"ab", false},
    {"LeadFF", "ab\xFF", true, 2, u"ab", false},
    // Continuation bytes with no lead.
    {"StrayContinuation80", "ab\x80", true, 2, u"ab", false},
    {"StrayContinuationBF", "ab\xBF", true, 2, u"ab", false},
    {"ContinuationAfterCompleteSequence", "ab\xC3\xA9\xA9", true, 4, u"ab\u00E9", false},
    // A lead byte cut short by ASCII or by another lead.
    {"TwoByteLeadThenAscii", "ab\xC3" "A", true, 2, u"ab", false},
    {"ThreeByteLeadThenAscii", "ab\xE2" "AB", true, 2, u"ab", false},
    {"ThreeByteAsciiInThirdPlace", "ab\xE2\x82" "A", true, 2, u"ab", false},
    {"FourByteAsciiInFourthPlace", "ab\xF0\x9F\x98" "A", true, 2, u"ab", false},
    {"LeadThenLead", "ab\xC3\xC3\xA9", true, 2, u"ab", false},

    // An incomplete tail waits for more input...
    {"TailOfTwoWaits", "ab\xC3", false, 2, u"ab", true},
    {"TailOfThreeWaits", "ab\xE2\x82", false, 2, u"ab", true},
    {"TailOfFourWaits", "ab\xF0\x9F\x98", false, 2, u"ab", true},
    {"LoneFourByteLeadWaits", "ab\xF0", false, 2, u"ab", true},
    // ...unless what is there is already wrong...
    {"TailOverlongE0", "ab\xE0\x80", false, 2, u"ab", false},
    {"TailSurrogate", "ab\xED\xA0", false, 2, u"ab", false},
    {"TailAboveMax", "ab\xF4\x90", false, 2, u"ab", false},
    {"TailLeadThenAscii", "ab\xE2" "A", false, 2, u"ab", false},
    {"TailNoLead", "ab\x80", false, 2, u"ab", false},
    // ...and at the end of the input it is invalid.
    {"TailOfTwoAtEnd", "ab\xC3", true, 2, u"ab", false},
    {"TailOfThreeAtEnd", "ab\xE2\x82", true, 2, u"ab", false},
    {"TailOfFourAtEnd", "ab\xF0\x9F\x98", true, 2, u"ab", false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Utf8DecodeTable, Utf8Decode, testing::ValuesIn(kDecodeCases),
                         [](const testing::TestParamInfo<DecodeCase>& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------
// Decoding, exhaustively against the definition.

// Every lead byte with every second byte (the rest filled with valid
// continuation bytes): valid exactly when the bytes are the shortest
// encoding of a scalar value.
TEST(Utf8DecodeExhaustive, EveryLeadAndSecondByteAgreesWithTheDefinition)
{
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        std::size_t length = 0;
        if (lead >= 0xC0 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3;
        else if (lead >= 0xF0 && lead <= 0xF7)
            length = 4;
        for (int second = 0; second <= 0xFF; ++second) {
            std::vector<unsigned char> in = {static_cast<unsigned char>(lead), static_cast<unsigned char>(second), 0x80,
                                             0x80};
            if (length != 0)
                in.resize(length);

            bool expectValid = false;
            if (length != 0 && (second & 0xC0) == 0x80) {
                std::uint32_t cp = static_cast<std::uint32_t>(lead) & (0x7Fu >> length);
                for (std::size_t k = 1; k < length; ++k)
                    cp = (cp << 6) | (in[k] & 0x3Fu);
                expectValid = cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)
                              && referenceUtf8(static_cast<char32_t>(cp)).size() == length;
            }

            const Decoded d = runDecode(in, true);
            ASSERT_EQ(d.valid, expectValid) << std::hex << "lead " << lead << " second " << second;
            if (expectValid) {
                EXPECT_EQ(d.consumed, length);
            } else {
                EXPECT_EQ(d.consumed, 0u) << std::hex << "lead " << lead << " second " << second;
                EXPECT_TRUE(d.units.empty());
            }
        }
    }
}

// All 1,112,064 scalar values decode to their UTF-16 form, and encode back
// to their textbook UTF-8.
TEST(Utf8DecodeExhaustive, EveryScalarValueRoundTrips)
{
    std::string bytes;
    std::u16string expected;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        bytes += referenceUtf8(cp);
        appendUtf16(expected, cp);
    }
    const Decoded d = runDecode(toBytes(bytes), true);
    ASSERT_TRUE(d.valid) << "stopped at byte " << d.consumed;
    EXPECT_EQ(d.consumed, bytes.size());
    ASSERT_EQ(d.units.size(), expected.size());
    EXPECT_TRUE(d.units == expected);

    std::vector<char> out(3 * expected.size());
    std::uint64_t replaced = 0;
    char* end = encode(expected.data(), expected.size(), out.data(), replaced);
    EXPECT_EQ(replaced, 0u);
    ASSERT_EQ(static_cast<std::size_t>(end - out.data()), bytes.size());
    EXPECT_TRUE(std::string(out.data(), bytes.size()) == bytes);
}

// ASCII runs are taken a word at a time; whatever follows the run must be
// found at every offset within and after a word.
TEST(Utf8DecodeExhaustive, NonAsciiAtEveryOffsetOfAnAsciiRun)
{
    for (std::size_t length = 1; length <= 26; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            SCOPED_TRACE(testing::Message() << "length " << length << ", non-ASCII at " << at);

            std::vector<unsigned char> invalid(length, 'a');
            invalid[at] = 0x80;
            const Decoded bad = runDecode(invalid, true);
            EXPECT_FALSE(bad.valid);
            EXPECT_EQ(bad.consumed, at);
            EXPECT_EQ(bad.units, std::u16string(at, u'a'));

            std::vector<unsigned char> euro(length, 'a');
            const unsigned char sign[] = {0xE2, 0x82, 0xAC};
            euro.insert(euro.begin() + static_cast<std::ptrdiff_t>(at), std::begin(sign), std::end(sign));
            const Decoded good = runDecode(euro, true);
            EXPECT_TRUE(good.valid);
            EXPECT_EQ(good.consumed, euro.size());
            EXPECT_EQ(good.units, std::u16string(at, u'a') + u"\u20AC" + std::u16string(length - at, u'a'));

            // Cut inside the euro sign: the tail waits when more may come.
            for (std::size_t cut = 1; cut < 3; ++cut) {
                std::vector<unsigned char> head(euro.begin(), euro.begin() + static_cast<std::ptrdiff_t>(at + cut));
                const Decoded partial = runDecode(head, false);
                EXPECT_TRUE(partial.valid);
                EXPECT_EQ(partial.consumed, at);
                EXPECT_EQ(partial.units, std::u16string(at, u'a'));
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Encoding.

struct EncodeCase {
    const char* name;
    std::u16string input;
    std::string bytes;
    std::uint64_t replacements;
};

void PrintTo(const EncodeCase& c, std::ostream* os)
{
    *os << c.name;
}

class Utf8Encode : public testing::TestWithParam<EncodeCase> {};

TEST_P(Utf8Encode, WritesExpectedBytesAndCountsReplacements)
{
    const EncodeCase& c = GetParam();
    const std::vector<char16_t> in(c.input.begin(), c.input.end()); // no terminator to read past into
    std::vector<char> out(3 * in.size());
    std::uint64_t replaced = 7; // counts on from what is there
    char* end = encode(in.data(), in.size(), out.data(), replaced);
    const std::string written(out.data(), static_cast<std::size_t>(end - out.data()));
    EXPECT_EQ(hex(written), hex(c.bytes));
    EXPECT_EQ(replaced, 7 + c.replacements);
}

// clang-format off
const EncodeCase kEncodeCases[] = {
    {"Empty", u"", "", 0},
    {"AsciiAndNul", u"A\0~"s, "A\0~"s, 0},
    {"LastOneByte", u"\u007F", "\x7F", 0},
    {"FirstTwoByte", u"\u0080", "\xC2\x80", 0},
    {"LastTwoByte", u"\u07FF", "\xDF\xBF", 0},
    {"FirstThreeByte", u"\u0800", "\xE0\xA0\x80", 0},
    {"JustBelowSurrogates", u"\uD7FF", "\xED\x9F\xBF", 0},
    {"JustAboveSurrogates", u"\uE000", "\xEE\x80\x80", 0},
    {"LastThreeByte", u"\uFFFF", "\xEF\xBF\xBF", 0},
    {"ReplacementCharacterItselfIsNotCounted", u"\uFFFD", "\xEF\xBF\xBD", 0},
    {"PairLowest", u"\xD800\xDC00", "\xF0\x90\x80\x80", 0},
    {"PairEmoji", u"\xD83D\xDE00", "\xF0\x9F\x98\x80", 0},
    {"PairHighest", u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF", 0},
    {"LoneHighAtEnd", u"a\xD800", "a\xEF\xBF\xBD", 1},
    {"LoneHighThenAscii", u"\xD83D" u"a", "\xEF\xBF\xBD" "a", 1},
    {"LoneHighThenBmp", u"\xD83D\u00E9", "\xEF\xBF\xBD\xC3\xA9", 1},
    {"LoneLow", u"\xDC00", "\xEF\xBF\xBD", 1},
    {"ReversedPair", u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD", 2},
    {"HighHighLow", u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80", 1},
    {"HighThenNonSurrogateAbove", u"\xD83D\uE000", "\xEF\xBF\xBD\xEE\x80\x80", 1},
    {"HighLowLow", u"\xD83D\xDE00\xDE00", "\xF0\x9F\x98\x80\xEF\xBF\xBD", 1},
    // Three bytes per unit is the most the output must hold.
    {"AllLoneSurrogates", u"\xDC00\xDC01\xDC02", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 3},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Utf8EncodeTable, Utf8Encode, testing::ValuesIn(kEncodeCases),
                         [](const testing::TestParamInfo<EncodeCase>& row) { return std::string(row.param.name); });

} // namespace
