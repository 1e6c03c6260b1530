#include "engine/csv/ShapeDetector.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quarrow;

constexpr std::nullopt_t kKeep = std::nullopt;

struct FormCase {
    std::string_view name;
    std::string_view sample;
    std::optional<DecimalMark> decimal;
    GroupMark group;
    std::optional<DateOrder> dates;
    std::string_view evidence; // a part of the number or date evidence
};

// clang-format off
const std::vector<FormCase> kCases{
    {"German bank export", "Kunde;Betrag;Datum\nM\xC3\xBCller;1,50;01.02.2024\nSchmidt;20,25;03.02.2024\n",
     DecimalMark::Comma, GroupMark::None, DateOrder::Dmy, "decimal comma in '1,50' (line 2)"},
    {"groups and a day above 12", "a;b\n1.234,56;31/12/2024\n7,5;01/02/2024\n",
     DecimalMark::Comma, GroupMark::Point, DateOrder::Dmy, "a day above 12 first in '31/12/2024' (line 2)"},
    {"a column mixing 1.234 and 1,5", "a;b\n1.234;x\n1,5;y\n",
     DecimalMark::Comma, GroupMark::Point, kKeep, "groups of three as in '1.234' (line 2)"},
    {"blank groups with U+00A0", "a;b\n1\xC2\xA0" "234,5;x\n",
     DecimalMark::Comma, GroupMark::Blank, kKeep, "decimal comma"},
    {"US with AM/PM", "a,b\n\"1,234.56\",12/31/2024 11:59 PM\n3.5,1/2/2024 1:00 AM\n",
     DecimalMark::Point, GroupMark::Comma, DateOrder::Mdy, "a day above 12 second in"},
    {"AM/PM decides month first", "a,b\n1,1/2/2024 10:00 AM\n",
     kKeep, GroupMark::None, DateOrder::Mdy, "AM/PM times"},
    {"Swiss apostrophes", "a;b\n1'234.5;x\n",
     DecimalMark::Point, GroupMark::Apostrophe, kKeep, "decimal point in '1'234.5'"},
    {"a number without its leading zero", "a,b\n.097,x\n1.5,y\n",
     DecimalMark::Point, GroupMark::None, kKeep, "decimal point in '.097'"},
    {"year first with slashes", "a,b\n2015/01/01 01:00:00,1\n2015/01/02 01:00:00,2\n",
     kKeep, GroupMark::None, DateOrder::Ymd, "the year first in '2015/01/01 01:00:00'"},
    {"ISO date-times with T", "a,b\n2010-01-01T01:00:00,1\n",
     kKeep, GroupMark::None, DateOrder::Iso, "date-times with T"},
    // Near misses.
    {"1,5 in a comma file is two fields", "a,b,c\nx,1,5\ny,2,5\n",
     kKeep, GroupMark::None, kKeep, "no number with a decimal mark"},
    {"3/4 is not a date", "a;b\n3/4;x\n1/2;y\n",
     kKeep, GroupMark::None, kKeep, "no dates other than year-month-day"},
    {"both decimal marks", "a;b\n1,5;x\n2,5;y\n1,234.5;z\n",
     kKeep, GroupMark::None, kKeep, "not clear"},
    {"1.234 alone", "a;b\n1.234;x\n",
     kKeep, GroupMark::None, kKeep, "a group of three or three decimals: not clear"},
    {"plain decimals keep today's rule", "a;b\n1.5;x\n",
     kKeep, GroupMark::None, kKeep, "are read as they stand"},
    {"day or month first not clear", "a;b\n01/02/2024;x\n",
     kKeep, GroupMark::None, kKeep, "day or month first is not clear"},
    {"days above 12 either side", "a;b\n13/01/2024;x\n01/13/2024;y\n",
     kKeep, GroupMark::None, kKeep, "not clear"},
    {"two-digit years are no dates", "a;b\n31.12.24;x\n",
     kKeep, GroupMark::None, kKeep, "no dates other than year-month-day"},
    {"ISO dates need nothing", "a;b\n2024-01-05;x\n2024-01-05 10:00:00;x\n",
     kKeep, GroupMark::None, kKeep, "no dates other than year-month-day"},
};
// clang-format on

class FormTable : public testing::TestWithParam<FormCase> {};

TEST_P(FormTable, ProposesTheFormsWithEvidence)
{
    const FormCase& c = GetParam();
    const CsvShape shape = detectCsvShape(c.sample, true);
    SCOPED_TRACE("numbers: " + shape.numberForm.evidence + "\ndates: " + shape.dateOrder.evidence);
    EXPECT_EQ(shape.numberForm.value.has_value(), c.decimal.has_value());
    if (shape.numberForm.value && c.decimal) {
        EXPECT_EQ(shape.numberForm.value->decimal, *c.decimal);
        EXPECT_EQ(shape.numberForm.value->group, c.group);
        EXPECT_EQ(shape.numberForm.value->dates, DateOrder::None);
    }
    EXPECT_EQ(shape.dateOrder.value, c.dates);
    const std::string both = shape.numberForm.evidence + "\n" + shape.dateOrder.evidence;
    EXPECT_NE(both.find(c.evidence), std::string::npos);
    EXPECT_FALSE(shape.numberForm.evidence.empty());
    EXPECT_FALSE(shape.dateOrder.evidence.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, FormTable, testing::ValuesIn(kCases), [](const auto& param) {
    std::string name;
    for (const char c : param.param.name)
        name += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    return name;
});

} // namespace
