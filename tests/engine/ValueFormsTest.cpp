#include "engine/types/ValueForms.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using namespace quarrow;

constexpr ValueForms kComma{DecimalMark::Comma, GroupMark::None, DateOrder::None};
constexpr ValueForms kCommaPoint{DecimalMark::Comma, GroupMark::Point, DateOrder::None};
constexpr ValueForms kCommaBlank{DecimalMark::Comma, GroupMark::Blank, DateOrder::None};
constexpr ValueForms kPoint{DecimalMark::Point, GroupMark::None, DateOrder::None};
constexpr ValueForms kPointComma{DecimalMark::Point, GroupMark::Comma, DateOrder::None};
constexpr ValueForms kPointApostrophe{DecimalMark::Point, GroupMark::Apostrophe, DateOrder::None};

// "" when the value does not fit.
std::string number(std::string_view value, const ValueForms& forms)
{
    char out[kMaxPlainChars];
    return std::string(out, normaliseNumber(value, forms, out));
}

std::string date(std::string_view value, DateOrder order, bool withTime = false, bool t = false)
{
    char out[kMaxPlainChars];
    return std::string(out, normaliseDate(value, order, withTime, t, out));
}

struct NumberCase {
    std::string_view value;
    ValueForms forms;
    std::string_view plain;
};

class NumberForms : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberForms, GiveThePlainFormOrNothing)
{
    EXPECT_EQ(number(GetParam().value, GetParam().forms), GetParam().plain) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberForms,
    testing::Values(NumberCase{"1,50", kComma, "1.50"}, NumberCase{"-1,5", kComma, "-1.5"},
                    NumberCase{"1234", kComma, "1234"}, NumberCase{",5", kComma, "0.5"},
                    NumberCase{"-,5", kComma, "-0.5"}, NumberCase{"0805", kComma, "0805"},
                    NumberCase{"1.234,56", kCommaPoint, "1234.56"}, NumberCase{"12.345.678", kCommaPoint, "12345678"},
                    NumberCase{"1 234,56", kCommaBlank, "1234.56"}, NumberCase{"1,234.56", kPointComma, "1234.56"},
                    NumberCase{"1'234.56", kPointApostrophe, "1234.56"}, NumberCase{".097", kPoint, "0.097"},
                    NumberCase{"1.5", kPoint, "1.5"},
                    // Near misses: another form's marks, broken groups, stray signs.
                    NumberCase{"1.5", kComma, ""}, NumberCase{"1,5", kPoint, ""}, NumberCase{"1,5", kPointComma, ""},
                    NumberCase{"1.234", kComma, ""}, NumberCase{"1.23,4", kCommaPoint, ""},
                    NumberCase{"1234.567", kCommaPoint, ""}, NumberCase{".234,5", kCommaPoint, ""},
                    NumberCase{"0.234", kCommaPoint, ""}, NumberCase{"1,", kComma, ""}, NumberCase{"-", kComma, ""},
                    NumberCase{"+1,5", kComma, ""}, NumberCase{"1e5", kComma, ""}, NumberCase{"1,5,6", kComma, ""},
                    NumberCase{"1 234,5", kComma, ""}, NumberCase{"1,5 ", kComma, ""},
                    NumberCase{"1,50", ValueForms{}, ""}));

struct DateCase {
    std::string_view value;
    DateOrder order;
    bool withTime;
    std::string_view plain;
};

class DateForms : public testing::TestWithParam<DateCase> {};

TEST_P(DateForms, GiveThePlainFormOrNothing)
{
    EXPECT_EQ(date(GetParam().value, GetParam().order, GetParam().withTime), GetParam().plain) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DateForms,
    testing::Values(
        DateCase{"01.02.2024", DateOrder::Dmy, false, "2024-02-01"},
        DateCase{"1/2/2024", DateOrder::Dmy, false, "2024-02-01"},
        DateCase{"31-12-2024", DateOrder::Dmy, false, "2024-12-31"},
        DateCase{"12/31/2024", DateOrder::Mdy, false, "2024-12-31"},
        DateCase{"2024/12/31", DateOrder::Ymd, false, "2024-12-31"},
        DateCase{"2024.1.5", DateOrder::Ymd, false, "2024-01-05"},
        DateCase{"2024-02-29", DateOrder::Dmy, false, "2024-02-29"}, // ISO in every order
        DateCase{"2024-02-01", DateOrder::Iso, false, "2024-02-01"},
        DateCase{"12/31/2024 11:59 PM", DateOrder::Mdy, true, "2024-12-31 23:59:00"},
        DateCase{"12/31/2024 12:05am", DateOrder::Mdy, true, "2024-12-31 00:05:00"},
        DateCase{"1/2/2024 12:00 PM", DateOrder::Mdy, true, "2024-01-02 12:00:00"},
        DateCase{"31.12.2024 23:59", DateOrder::Dmy, true, "2024-12-31 23:59:00"},
        DateCase{"2015/01/01 01:00:00", DateOrder::Ymd, true, "2015-01-01 01:00:00"},
        DateCase{"2010-01-01T01:00:00", DateOrder::Iso, true, "2010-01-01 01:00:00"},
        DateCase{"2010-01-01 01:00:00.123456789", DateOrder::Iso, true, "2010-01-01 01:00:00.123456789"},
        DateCase{"01.02.2024", DateOrder::Dmy, true, "2024-02-01 00:00:00"},
        // Near misses.
        DateCase{"31.02.2024", DateOrder::Dmy, false, ""}, DateCase{"29.02.2023", DateOrder::Dmy, false, ""},
        DateCase{"3/4", DateOrder::Mdy, false, ""}, DateCase{"12/31/2024", DateOrder::Dmy, false, ""},
        DateCase{"01.02.24", DateOrder::Dmy, false, ""}, DateCase{"01.02/2024", DateOrder::Dmy, false, ""},
        DateCase{"001.02.2024", DateOrder::Dmy, false, ""}, DateCase{"01.02.20241", DateOrder::Dmy, false, ""},
        DateCase{"2024/12/31", DateOrder::Dmy, false, ""}, DateCase{"01.02.2024", DateOrder::Iso, false, ""},
        DateCase{"01.02.2024 10:00", DateOrder::Dmy, false, ""}, DateCase{"01.02.2024 24:00", DateOrder::Dmy, true, ""},
        DateCase{"01.02.2024 13:00 PM", DateOrder::Dmy, true, ""},
        DateCase{"01.02.2024 0:00 AM", DateOrder::Dmy, true, ""},
        DateCase{"01.02.2024 10:60", DateOrder::Dmy, true, ""},
        DateCase{"01.02.2024 10:00:00.", DateOrder::Dmy, true, ""},
        DateCase{"01.02.2024 10:00:00.1234567890", DateOrder::Dmy, true, ""},
        DateCase{"01.02.2024 10:0", DateOrder::Dmy, true, ""}, DateCase{"01.02.2024 10", DateOrder::Dmy, true, ""},
        DateCase{"01.02.2024  10:00", DateOrder::Dmy, true, ""},
        DateCase{"01.02.2024 10:00 XM", DateOrder::Dmy, true, ""}, DateCase{"00.02.2024", DateOrder::Dmy, false, ""},
        DateCase{"01.13.2024", DateOrder::Dmy, false, ""}, DateCase{"01.02.0000", DateOrder::Dmy, false, ""},
        DateCase{"01.02.2024", DateOrder::None, false, ""}));

TEST(ValueForms, SqlServerDateTimesTakeTheIsoT)
{
    char out[kMaxPlainChars];
    const ValueForms forms{DecimalMark::None, GroupMark::None, DateOrder::Dmy};
    const std::size_t n = normaliseValue("01.02.2024 10:00", forms, FormedKind::DateTime, Dialect::MsSql, out);
    EXPECT_EQ(std::string(out, n), "2024-02-01T10:00:00");
    const std::size_t m = normaliseValue("01.02.2024", forms, FormedKind::DateTime, Dialect::PostgreSql, out);
    EXPECT_EQ(std::string(out, m), "2024-02-01 00:00:00");
}

TEST(ValueForms, ColumnTypesByTheirFirstWord)
{
    struct Case {
        std::u16string_view type;
        FormedKind kind;
    };
    for (const auto& c :
         {Case{u"decimal(4,2)", FormedKind::Number}, Case{u"INT", FormedKind::Number},
          Case{u"bigint unsigned", FormedKind::Number}, Case{u"double precision", FormedKind::Number},
          Case{u"numeric", FormedKind::Number}, Case{u"real", FormedKind::Number}, Case{u"date", FormedKind::Date},
          Case{u"DATE", FormedKind::Date}, Case{u"datetime2(3)", FormedKind::DateTime},
          Case{u"timestamp", FormedKind::DateTime}, Case{u"timestamp(6) without time zone", FormedKind::DateTime},
          Case{u"text", FormedKind::Text}, Case{u"varchar(10)", FormedKind::Text}, Case{u"dateline", FormedKind::Text},
          Case{u"interval", FormedKind::Text}, Case{u"time", FormedKind::Text}, Case{u"", FormedKind::Text},
          Case{u"ïnt", FormedKind::Text}})
        EXPECT_EQ(formedKindOfType(c.type), c.kind) << std::string(c.type.begin(), c.type.end());
}

TEST(ValueForms, GatherTakesTheWrittenValue)
{
    char buf[kMaxFormedChars];
    auto gathered16 = [&](std::u16string_view raw, bool exact) {
        const auto n = gatherFormValue(raw.data(), raw.data() + raw.size(), exact, buf);
        return n ? std::string(buf, *n) : std::string("none");
    };
    auto gathered8 = [&](std::string_view raw, bool exact) {
        const auto* b = reinterpret_cast<const unsigned char*>(raw.data());
        const auto n = gatherFormValue(b, b + raw.size(), exact, buf);
        return n ? std::string(buf, *n) : std::string("none");
    };
    EXPECT_EQ(gathered16(u" \"1,5\" ", false), "1,5");
    EXPECT_EQ(gathered16(u"1\u00A0234,5", false), "1 234,5");
    EXPECT_EQ(gathered16(u"1\u202F234,5", false), "1 234,5");
    EXPECT_EQ(gathered16(u"1\u2009234,5", false), "none"); // another blank: not a group mark
    EXPECT_EQ(gathered16(u"\"1,5\"", true), "1,5");
    EXPECT_EQ(gathered16(u" 1,5", true), " 1,5"); // read exactly, nothing is trimmed
    EXPECT_EQ(gathered8("1\xC2\xA0"
                        "234,5",
                        false),
              "1 234,5");
    EXPECT_EQ(gathered8("1\xE2\x80\xAF"
                        "234,5",
                        false),
              "1 234,5");
    EXPECT_EQ(gathered8("1\xC3\xA9", false), "none");
    EXPECT_EQ(gathered8("  ", false), "");
    EXPECT_EQ(gathered8(std::string(kMaxFormedChars + 1, '1'), false), "none");
}

TEST(ValueForms, NamesReadBack)
{
    for (const auto mark : {DecimalMark::Point, DecimalMark::Comma})
        EXPECT_EQ(decimalMarkFromName(decimalMarkName(mark)), mark);
    for (const auto mark :
         {GroupMark::None, GroupMark::Comma, GroupMark::Point, GroupMark::Blank, GroupMark::Apostrophe})
        EXPECT_EQ(groupMarkFromName(groupMarkName(mark)), mark);
    for (const auto order : {DateOrder::Iso, DateOrder::Dmy, DateOrder::Mdy, DateOrder::Ymd})
        EXPECT_EQ(dateOrderFromName(dateOrderName(order)), order);
    EXPECT_FALSE(decimalMarkFromName("Comma"));
    EXPECT_FALSE(dateOrderFromName("dm"));
    EXPECT_TRUE(formsConflict({DecimalMark::Comma, GroupMark::Comma, DateOrder::None}));
    EXPECT_EQ(describeForms({DecimalMark::Comma, GroupMark::Point, DateOrder::Dmy}),
              "decimal comma, group separator '.', day.month.year");
}

} // namespace
