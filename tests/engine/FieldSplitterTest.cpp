#include "engine/csv/FieldSplitter.h"

#include "engine/csv/ExactQuoting.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;

using quarrow::cleanBounds;
using quarrow::cleanField;
using quarrow::countChar;
using quarrow::FieldSplitter;

using Fields = std::vector<std::u16string>;

Fields copyOut(const FieldSplitter& splitter)
{
    Fields out;
    for (std::size_t i = 0; i < splitter.size(); ++i)
        out.emplace_back(splitter[i]);
    return out;
}

// ---------------------------------------------------------------------------
// Splitting, with the clean-up applied to each field afterwards.

struct SplitCase {
    const char* name;
    std::u16string line;
    char16_t separator;
    Fields fields;
    Fields cleaned;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.name << ": " << testing::PrintToString(c.line);
}

class FieldSplitterCases : public testing::TestWithParam<SplitCase> {};

TEST_P(FieldSplitterCases, SplitsAndCleansAsExpected)
{
    const SplitCase& c = GetParam();
    FieldSplitter splitter;
    splitter.split(c.line, c.separator);
    EXPECT_EQ(copyOut(splitter), c.fields);
    ASSERT_EQ(splitter.fields().size(), splitter.size());

    Fields cleaned;
    for (const std::u16string_view field : splitter.fields())
        cleaned.push_back(cleanField(field));
    EXPECT_EQ(cleaned, c.cleaned);
}

const SplitCase kSplitCases[] = {
    {"Plain", u"a,b,c", u',', {u"a", u"b", u"c"}, {u"a", u"b", u"c"}},
    {"EmptyMiddle", u"a,,c", u',', {u"a", u"", u"c"}, {u"a", u"", u"c"}},
    {"EmptyFirst", u",a", u',', {u"", u"a"}, {u"", u"a"}},
    {"EmptyLast", u"a,", u',', {u"a", u""}, {u"a", u""}},
    {"SeparatorOnly", u",", u',', {u"", u""}, {u"", u""}},
    {"EmptyLineHasNoField", u"", u',', {}, {}},
    {"QuotedSeparator", u"\"a,b\",c", u',', {u"a,b", u"c"}, {u"a,b", u"c"}},
    {"DoubledQuotes", u"\"say \"\"hi\"\"\",x", u',', {u"say \"hi\"", u"x"}, {u"say hi", u"x"}},
    {"TextAfterClosingQuoteStartsAField", u"\"ab\"cd,e", u',', {u"ab", u"cd", u"e"}, {u"ab", u"cd", u"e"}},
    {"UnclosedQuoteTakesTheRest", u"\"abc,def", u',', {u"abc,def"}, {u"abc,def"}},
    {"QuoteInsideUnquotedField", u"ab\"c,d", u',', {u"ab\"c", u"d"}, {u"abc", u"d"}},
    {"SpaceBeforeQuoteMakesItUnquoted", u" \"a b\",c", u',', {u" \"a b\"", u"c"}, {u"a b", u"c"}},
    {"SpaceAfterClosingQuoteIsAField", u"\"a\" ,b", u',', {u"a", u" ", u"b"}, {u"a", u"", u"b"}},
    {"EmptyQuoted", u"\"\"", u',', {u""}, {u""}},
    {"LoneQuote", u"\"", u',', {u""}, {u""}},
    {"QuotedThenSeparatorAtEnd", u"\"a\",", u',', {u"a", u""}, {u"a", u""}},
    {"EmptyQuotedThenText", u"\"\"x,y", u',', {u"", u"x", u"y"}, {u"", u"x", u"y"}},
    {"QuotedDoubledQuoteOnly", u"\"\"\"\"", u',', {u"\""}, {u""}},
    {"DoubledQuoteThenTextAfterClosing", u"\"a\"\"\"b", u',', {u"a\"", u"b"}, {u"a", u"b"}},
    {"UnclosedWithDoubledQuote", u"\"a\"\"b,c", u',', {u"a\"b,c"}, {u"ab,c"}},
    {"SpaceSeparator", u"a b  c", u' ', {u"a", u"b", u"", u"c"}, {u"a", u"b", u"", u"c"}},
    {"SemicolonLeavesCommas", u"a;b,c;", u';', {u"a", u"b,c", u""}, {u"a", u"b,c", u""}},
    {"TabSeparatorQuoted", u"\"x\ty\"\tz", u'\t', {u"x\ty", u"z"}, {u"x\ty", u"z"}},
    // A NUL ends the line for splitting, quoted or not.
    {"NulEndsTheLine", u"a,b\0,c"s, u',', {u"a", u"b"}, {u"a", u"b"}},
    {"NulInsideQuotesLeavesFieldUnclosed", u"\"a\0b\",c"s, u',', {u"a"}, {u"a"}},
    {"NulAfterDoubledQuote", u"\"a\"\"b\0c\",x"s, u',', {u"a\"b"}, {u"ab"}},
    {"NulAfterSeparator", u"a,\0b"s, u',', {u"a", u""}, {u"a", u""}},
    {"NulFirst", u"\0a,b"s, u',', {}, {}},
};

INSTANTIATE_TEST_SUITE_P(FieldSplitterTable, FieldSplitterCases, testing::ValuesIn(kSplitCases),
                         [](const testing::TestParamInfo<SplitCase>& row) { return std::string(row.param.name); });

// Fields with doubled quotes live in the splitter's own text; all of them
// must still be intact once the whole line is split, and a following split
// must not be disturbed by what came before.
TEST(FieldSplitterReuse, FieldsStayValidAndLinesAreIndependent)
{
    FieldSplitter splitter;

    splitter.split(u"\"a\"\"b\",plain,\"c\"\"\"\"d\",\"\"\"e\",\"\"\"\"", u',');
    EXPECT_EQ(copyOut(splitter), (Fields{u"a\"b", u"plain", u"c\"\"d", u"\"e", u"\""}));

    splitter.split(u"x,\"y\"\"z\"", u',');
    EXPECT_EQ(copyOut(splitter), (Fields{u"x", u"y\"z"}));

    splitter.split(u"", u',');
    EXPECT_EQ(splitter.size(), 0u);

    splitter.split(u"\"p\"\"q\" r", u' ');
    EXPECT_EQ(copyOut(splitter), (Fields{u"p\"q", u"r"}));

    // Ever longer lines, each field holding a doubled quote, so the scratch
    // text has to grow while earlier fields already point into it.
    for (int count = 1; count <= 150; ++count) {
        SCOPED_TRACE(testing::Message() << count << " fields");
        std::u16string line;
        Fields expected;
        for (int i = 0; i < count; ++i) {
            const std::u16string n(static_cast<std::size_t>(i % 7 + 1), static_cast<char16_t>(u'a' + i % 26));
            line += (i == 0 ? u"" : u",") + (u"\"" + n + u"\"\"" + n + u"\"");
            expected.push_back(n + u"\"" + n);
        }
        splitter.split(line, u',');
        ASSERT_EQ(copyOut(splitter), expected);
    }
}

// Separators, quotes and NULs are looked for several code units at a time.
// Units sharing a byte with one of them, or with the top bit set, must not
// stop the search, and the real ones must be found at every position.
TEST(FieldSplitterScan, FindsSeparatorsQuotesAndNulsAtEveryPosition)
{
    for (const char16_t sep : {u',', u';', u'\t'}) {
        SCOPED_TRACE(testing::Message() << "separator " << int{sep});
        const char16_t lookAlikes[] = {static_cast<char16_t>(sep | 0x0100),
                                       static_cast<char16_t>(sep << 8),
                                       0x0122,
                                       0x2200,
                                       0x0100,
                                       0x8000,
                                       0xFFFF,
                                       0x0001,
                                       0x0021,
                                       0x0023,
                                       static_cast<char16_t>(sep + 1),
                                       static_cast<char16_t>(sep - 1)};
        auto text = [&lookAlikes](std::size_t length, std::size_t seed) {
            std::u16string t;
            for (std::size_t i = 0; i < length; ++i)
                t.push_back(lookAlikes[(seed + i) % std::size(lookAlikes)]);
            return t;
        };
        const std::u16string s(1, sep);
        const std::u16string nul(1, u'\0');
        FieldSplitter splitter;
        for (std::size_t a = 0; a <= 9; ++a) {
            for (std::size_t b = 0; b <= 9; ++b) {
                SCOPED_TRACE(testing::Message() << "lengths " << a << ", " << b);
                const std::u16string x = text(a, b);
                const std::u16string y = text(b, a + 5);

                // The fields may point into the line, which must outlive them.
                struct Row {
                    std::u16string line;
                    Fields fields;
                };
                const Row rows[] = {
                    {x + s + y + s + x, {x, y, x}},
                    {u"\"" + x + s + y + u"\"\"" + x + u"\"" + s + y, {x + s + y + u"\"" + x, y}},
                    {x + s + y + nul + s + x, {x, y}},
                    {u"\"" + x + nul + y + u"\"" + s + y, {x}},
                };
                for (const Row& row : rows) {
                    splitter.split(row.line, sep);
                    EXPECT_EQ(copyOut(splitter), row.fields);
                }
            }
        }
    }
}

// The walk marks a line's separators, quotes and NULs many units at a time
// and takes runs of plain fields from the marks. It must find what the rules
// give one unit at a time, for lines of any length (marked in blocks, with a
// short tail) and quotes, NULs and separators anywhere, in either unit.
struct RawField {
    std::size_t begin;
    std::size_t end;
    bool quoted;
    bool operator==(const RawField&) const = default;
};

template <typename Unit>
std::vector<RawField> rawFieldsByUnit(const std::basic_string<Unit>& line, Unit separator)
{
    const auto quote = static_cast<Unit>('"');
    const std::size_t n = line.size();
    auto find = [&](std::size_t from, Unit a) {
        while (from < n && line[from] != a && line[from] != Unit{0})
            ++from;
        return from;
    };
    std::vector<RawField> fields;
    std::size_t p = 0;
    while (p < n && line[p] != Unit{0}) {
        if (line[p] == quote) {
            const std::size_t start = ++p;
            std::size_t q = find(p, quote);
            while (q + 1 < n && line[q] == quote && line[q + 1] == quote)
                q = find(q + 2, quote);
            fields.push_back({start, q, true});
            p = q < n && line[q] == quote ? q + 1 : q;
        } else {
            const std::size_t s = find(p, separator);
            fields.push_back({p, s, false});
            p = s;
        }
        if (p < n && line[p] == separator && separator != Unit{0}) {
            ++p;
            if (p == n || line[p] == Unit{0}) {
                fields.push_back({p, p, false});
                break;
            }
        }
    }
    return fields;
}

template <typename Unit>
void rawFieldsMatchTheUnitWalk(const std::vector<Unit>& letters)
{
    std::mt19937 random(20261210);
    for (const Unit separator : {Unit{','}, Unit{'\t'}, Unit{'"'}, Unit{0}}) {
        SCOPED_TRACE(testing::Message() << "separator " << static_cast<int>(separator));
        for (int round = 0; round < 6000; ++round) {
            // Mostly plain text with separators; now and then quotes, rarely
            // a NUL, so that lines run long both with and without them.
            const std::size_t quotes = round % 4 == 0 ? 0 : 1 + static_cast<std::size_t>(round % 7);
            const std::size_t nuls = round % 5 == 0 ? 1 : 0;
            std::basic_string<Unit> line;
            const std::size_t length = random() % (round % 3 == 0 ? 20 : 300);
            for (std::size_t i = 0; i < length; ++i) {
                const auto pick = random() % 100;
                line.push_back(pick < quotes               ? Unit{'"'}
                               : pick < quotes + nuls      ? Unit{0}
                               : pick < quotes + nuls + 12 ? separator
                                                           : letters[random() % letters.size()]);
            }
            std::vector<RawField> actual;
            quarrow::forEachRawFieldIn(line.data(), line.data() + line.size(), separator,
                                       [&](const Unit* b, const Unit* e, bool quoted) {
                                           actual.push_back({static_cast<std::size_t>(b - line.data()),
                                                             static_cast<std::size_t>(e - line.data()), quoted});
                                       });
            ASSERT_TRUE(actual == rawFieldsByUnit(line, separator))
                << "round " << round << ", line of " << line.size() << " units";
        }
    }
}

TEST(FieldSplitterScan, MarkedWalkMatchesTheUnitWalk)
{
    rawFieldsMatchTheUnitWalk<unsigned char>({'a', 'b', ' ', 0x01, 0x0B, 0x2D, 0x80, 0xA2, 0xC3, 0xA9, 0xFF});
    rawFieldsMatchTheUnitWalk<char16_t>(
        {u'a', u'b', u' ', 0x00E9, 0x2C00, 0x012C, 0x2200, 0x0122, 0x0900, 0x0100, 0xD83D, 0xDE00, 0xFFFF});
}

// ---------------------------------------------------------------------------
// Counting separators.

TEST(FieldSplitterCountChar, CountsEveryPositionEvenPastNulAndInsideQuotes)
{
    struct Row {
        std::u16string line;
        char16_t c;
        std::int64_t count;
    };
    // clang-format off
    const Row rows[] = {
        {u"a,b\0,c"s, u',', 2},
        {u"\"a,b\",c", u',', 2},
        {u"", u',', 0},
        {u"abc", u',', 0},
        {u",,,", u',', 3},
        {u"\0\0"s, u'\0', 2},
        {u"\"\"\"", u'"', 3},
        {u"a\tb\tc", u'\t', 2},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.line));
        EXPECT_EQ(countChar(row.line, row.c), row.count);
    }
}

// ---------------------------------------------------------------------------
// Field clean-up.

struct CleanCase {
    const char* name;
    std::u16string field;
    std::u16string cleaned;
    std::size_t begin; // bounds, checked when something is left
    std::size_t end;
};

void PrintTo(const CleanCase& c, std::ostream* os)
{
    *os << c.name << ": " << testing::PrintToString(c.field);
}

class FieldCleanUp : public testing::TestWithParam<CleanCase> {};

TEST_P(FieldCleanUp, TrimsControlsAndSpacesAndDropsQuotes)
{
    const CleanCase& c = GetParam();
    EXPECT_EQ(cleanField(c.field), c.cleaned);

    const auto bounds = cleanBounds(c.field);
    ASSERT_LE(bounds.begin, bounds.end);
    ASSERT_LE(bounds.end, c.field.size());
    if (c.cleaned.empty()) {
        EXPECT_EQ(bounds.begin, bounds.end);
    } else {
        EXPECT_EQ(bounds.begin, c.begin);
        EXPECT_EQ(bounds.end, c.end);
    }
}

// clang-format off
const CleanCase kCleanCases[] = {
    {"Plain", u"plain", u"plain", 0, 5},
    {"SpacesTabsAndBreaks", u" \t a \r\n", u"a", 3, 4},
    {"OtherControls", u"\x01\x1F" u"x\x7F", u"x\x7F", 2, 4},
    {"Nul", u"\0 x\0"s, u"x", 2, 3},
    {"SpaceIsTrimmedExclamationIsNot", u" !!", u"!!", 1, 3},
    {"NoBreakSpaceIsKept", u"\u00A0a\u00A0", u"\u00A0a\u00A0", 0, 3},
    {"NoBreakSpaceBetweenSpaces", u" \u00A0 ", u"\u00A0", 1, 2},
    {"QuotesInside", u"a\"b\"c", u"abc", 0, 5},
    {"QuotesAndSpacesAtTheEdges", u"\" \"a b\" \"", u"a b", 3, 6},
    {"InnerControlsStay", u"a\tb", u"a\tb", 0, 3},
    {"SpaceBeforeTrailingQuote", u"a \"", u"a", 0, 1},
    {"Empty", u"", u"", 0, 0},
    {"OnlySpaces", u"   ", u"", 0, 0},
    {"OnlyQuotes", u"\"\"", u"", 0, 0},
    {"OnlyControlsAndQuotes", u"\r\"\n\"\t", u"", 0, 0},
    {"SurrogatePairIsKept", u" \xD83D\xDE00 ", u"\xD83D\xDE00", 1, 3},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(FieldCleanUpTable, FieldCleanUp, testing::ValuesIn(kCleanCases),
                         [](const testing::TestParamInfo<CleanCase>& row) { return std::string(row.param.name); });

} // namespace

namespace quarrow {
namespace {

// A long line is counted from its pieces: any cut gives the count of the
// whole line, quotes, doubled quotes, NULs and trailing separators included;
// read exactly, the count of the whole record (text after a closing quote
// stays in its field).
TEST(RawFieldCounterTest, PiecesCountAsTheWholeLine)
{
    std::mt19937 random(20261210);
    const char16_t alphabet[] = {u'a', u',', u'"', u'"', u',', u'\0', u' ', u'x', u'\u00E9', u'\n'};
    for (const bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact" : "default");
        RawFieldCounter<char16_t> counter(u',', exact);
        for (int round = 0; round < 20000; ++round) {
            std::u16string line;
            const std::size_t length = random() % 16;
            for (std::size_t i = 0; i < length; ++i)
                line.push_back(alphabet[random() % std::size(alphabet)]);
            std::size_t expected = 0;
            if (exact)
                expected = exactFieldCount(line, u',');
            else
                forEachRawField(line, u',', [&](const char16_t*, const char16_t*, bool) { ++expected; });
            std::size_t at = 0;
            while (at < line.size()) {
                const std::size_t piece = 1 + random() % 4;
                const std::size_t end = std::min(line.size(), at + piece);
                counter.feed(line.data() + at, line.data() + end);
                at = end;
            }
            ASSERT_EQ(counter.finish(), expected) << "round " << round << ", line of " << line.size() << " units";
        }
    }
    // Text after a closing quote: one field read exactly, two otherwise.
    RawFieldCounter<char> exact(',', true);
    exact.feed("\"a\"b,c", "\"a\"b,c" + 7);
    EXPECT_EQ(exact.finish(), 2u);
}

// The preview splits a record read exactly into the values the script
// writes: nothing trimmed or dropped but the quoting itself.
TEST(FieldSplitterTest, SplitExactGivesTheWrittenValues)
{
    struct Case {
        std::u16string_view record;
        std::vector<std::u16string_view> values;
    };
    const Case cases[] = {
        {u"\"a\"b,c", {u"ab", u"c"}},
        {u" 1 ,\" 2\",\"\"", {u" 1 ", u" 2", u""}},
        {u"1\"2,\"3\"\"4\"", {u"1\"2", u"3\"4"}},
        {u"\"x,\r\ny\",", {u"x,\r\ny", u""}},
        {u"\"a\"\"\"b\"c", {u"a\"b\"c"}},
        {u"", {}},
    };
    FieldSplitter splitter;
    for (const auto& c : cases) {
        splitter.splitExact(c.record, u',');
        EXPECT_EQ(splitter.fields(), c.values);
        ASSERT_EQ(splitter.size(), exactFieldCount(c.record, u','));
        std::size_t i = 0;
        forEachExactField(
            c.record.data(), c.record.data() + c.record.size(), u',', [&](const char16_t* b, const char16_t* e) {
                EXPECT_EQ(splitter[i++], exactValue(std::u16string_view(b, static_cast<std::size_t>(e - b))));
            });
    }
}

} // namespace
} // namespace quarrow
