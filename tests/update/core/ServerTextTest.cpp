// The plain text rules of the server exchange: reply lines, tags, the
// scrambled address, the failure record and the settings' integers.
#include "update/core/FailureRecord.h"
#include "update/core/Scramble.h"
#include "update/core/ServerReply.h"
#include "update/core/SettingsStore.h"
#include "engine/text/UnicodeText.h"

#include <gtest/gtest.h>

#include <random>

namespace quarrow {
namespace {

TEST(ReplyLines, SplitsAtEveryKindOfBreak)
{
    struct Case {
        std::u16string reply;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {u"one\r\ntwo\n\rthree", {u"one", u"two", u"", u"three"}},
        {u"a\nb\n", {u"a", u"b"}},
        {u"a\r\n", {u"a"}},
        {u"a\r", {u"a"}},
        {u"a\n\n", {u"a", u""}},
        {u"", {}},
        {u"\n", {u""}},
        {u"\r\r\n", {u"", u""}},
        {u"x", {u"x"}},
        {u" lead \t", {u" lead \t"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(replyLines(c.reply), c.lines) << toUtf8(c.reply);
}

TEST(ReplyLines, LineNumbersBeyondTheReplyAreEmpty)
{
    const std::vector<std::u16string> lines{u"a", u"b", u"c"};
    EXPECT_EQ(replyLine(lines, 1), u"a");
    EXPECT_EQ(replyLine(lines, 3), u"c");
    EXPECT_EQ(replyLine(lines, 4), u"");
    EXPECT_EQ(replyLine(lines, 0), u"");
}

TEST(TagValue, TakesTheValueOnlyFromAnExactlyWrappedLine)
{
    struct Case {
        std::u16string line;
        std::u16string name;
        std::u16string value;
    };
    const Case cases[] = {
        {u"<version>2.2</version>", u"version", u"2.2"},
        {u" <version>2.2</version>", u"version", u""},
        {u"<version>2.2</version> ", u"version", u""},
        {u"<VERSION>2.2</VERSION>", u"version", u""},
        {u"<version></version>", u"version", u""},
        {u"<version>2.2", u"version", u""},
        {u"2.2</version>", u"version", u""},
        {u"<version>2.2</version>", u"Version", u"2.2"},
        {u"<version>2.2</version>", u"VERSION", u"2.2"},
        {u"<version>2.2</version>", u"", u""},
        {u"", u"version", u""},
        {u"<url>http://a/b?c=<d></url>", u"url", u"http://a/b?c=<d>"},
        {u"<important>  </important>", u"important", u"  "},
        {u"<result>1</result>", u"version", u""},
        {u"<result><result>0</result></result>", u"result", u"<result>0</result>"},
        {u"<important>Ünïcødé ✓</important>", u"important", u"Ünïcødé ✓"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tagValue(c.line, c.name), c.value) << toUtf8(c.line) << " / " << toUtf8(c.name);
}

TEST(ErrorReply, OnlyACapitalErrorAtTheVeryStart)
{
    EXPECT_TRUE(isErrorReply(u"ERROR"));
    EXPECT_TRUE(isErrorReply(u"ERROR: database down\n"));
    EXPECT_TRUE(isErrorReply(u"ERRORS"));
    EXPECT_FALSE(isErrorReply(u"error: database down"));
    EXPECT_FALSE(isErrorReply(u" ERROR"));
    EXPECT_FALSE(isErrorReply(u"<version>ERROR</version>"));
    EXPECT_FALSE(isErrorReply(u""));
}

TEST(Scramble, KnownValues)
{
    // Worked by hand from the key 41023 (0xA03F): the first byte is mixed
    // with 0xA0, then key = (s + key) * 33917 + 29841 mod 65536.
    EXPECT_EQ(scramble(u""), u"");
    EXPECT_EQ(scramble(u"h"), u"C8");
    EXPECT_EQ(unscramble(u"C8"), u"h");
}

TEST(Scramble, RoundTripsAnyText)
{
    const std::u16string texts[] = {
        u"http://www.tarnix.example/download/quarrow-2.2.zip",
        u"https://example.com/ä/ö/ü?q=✓&x=😀",
        u"a",
        std::u16string(1000, u'z'),
        u"\r\n\t\u0001",
    };
    for (const auto& text : texts) {
        const std::u16string stored = scramble(text);
        EXPECT_EQ(stored.size(), toUtf8(text).size() * 2);
        for (const char16_t c : stored)
            EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) << toUtf8(stored);
        EXPECT_EQ(unscramble(stored), text);
    }

    std::mt19937 random(20261210);
    for (int round = 0; round < 200; ++round) {
        std::u16string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) {
            auto c = static_cast<char32_t>(random() % 0x10FFFF + 1);
            if (c >= 0xD800 && c <= 0xDFFF)
                c = u'?';
            if (c >= 0x10000) {
                c -= 0x10000;
                text += static_cast<char16_t>(0xD800 + (c >> 10));
                text += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
            } else {
                text += static_cast<char16_t>(c);
            }
        }
        EXPECT_EQ(unscramble(scramble(text)), text) << "round " << round;
    }
}

TEST(Scramble, DamagedStoredValues)
{
    const std::u16string stored = scramble(u"http://x.example/");
    std::u16string lower = stored;
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'F')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    EXPECT_EQ(unscramble(lower), u"http://x.example/");
    EXPECT_EQ(unscramble(stored + u"7"), u"http://x.example/") << "a single leftover digit is ignored";
    EXPECT_EQ(unscramble(u"G1"), u"");
    EXPECT_EQ(unscramble(stored.substr(0, 4) + u"G1" + stored.substr(6)), u"") << "one bad pair spoils it all";
    EXPECT_EQ(unscramble(u" C8"), u"");
    EXPECT_EQ(unscramble(u""), u"");
    EXPECT_EQ(unscramble(u"7"), u"");
}

TEST(FailureRecord, KeepsMessagesOldestFirst)
{
    FailureRecord failures;
    failures.record(u"   ");
    failures.record(u"\r\n\t");
    failures.record(u"");
    EXPECT_FALSE(failures.failed());
    EXPECT_EQ(failures.text(), u"");

    failures.record(u"A");
    failures.record(u" B ");
    EXPECT_TRUE(failures.failed());
    EXPECT_EQ(failures.text(), u"A\r\r B ");

    failures.clear();
    EXPECT_FALSE(failures.failed());
    EXPECT_EQ(failures.text(), u"");
    failures.record(u"C");
    EXPECT_EQ(failures.text(), u"C");
}

TEST(SettingsIntegers, OnlyWholeDecimalTextCounts)
{
    struct Case {
        std::u16string text;
        bool converts;
        int value;
    };
    const Case cases[] = {
        {u"7", true, 7},
        {u"0", true, 0},
        {u"-3", true, -3},
        {u"+4", true, 4},
        {u"2147483647", true, 2147483647},
        {u"-2147483648", true, -2147483647 - 1},
        {u"2147483648", false, 0},
        {u"99999999999999999999", false, 0},
        {u"abc", false, 0},
        {u"", false, 0},
        {u"-", false, 0},
        {u" 7", false, 0},
        {u"7 ", false, 0},
        {u"7a", false, 0},
        {u"0x10", false, 0},
        {u"1.5", false, 0},
        {u"\uFF17", false, 0}, // a full-width digit seven
    };
    for (const Case& c : cases) {
        int value = 0;
        EXPECT_EQ(parseDecimalInteger(c.text, value), c.converts) << toUtf8(c.text);
        if (c.converts) {
            EXPECT_EQ(value, c.value) << toUtf8(c.text);
        }
    }
}

} // namespace
} // namespace quarrow
