#include "engine/profile/ColumnProfile.h"
#include "engine/profile/TypeSuggestion.h"
#include "engine/text/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quarrow;

std::u16string utf16(std::string_view utf8Text)
{
    std::u16string out(utf8Text.size(), u'\0');
    const auto r =
        utf8::decode(reinterpret_cast<const unsigned char*>(utf8Text.data()), utf8Text.size(), out.data(), true);
    out.resize(r.written);
    return out;
}

std::string utf8Of(std::u16string_view text)
{
    std::string out(text.size() * 3, '\0');
    std::uint64_t replaced = 0;
    out.resize(static_cast<std::size_t>(utf8::encode(text.data(), text.size(), out.data(), replaced) - out.data()));
    return out;
}

// The rows through the UTF-16 and the UTF-8 entry, whole and in two parts
// added up: all must agree.
TableProfile profileRows(const std::vector<std::string>& rows, std::size_t columns, const ValueForms& forms,
                         bool exact = false)
{
    auto run = [&](bool asUtf8, std::size_t from, std::size_t to, bool resume) {
        TableProfiler profiler(columns, u';', exact);
        profiler.setValueForms(forms);
        if (resume)
            profiler.resumeFile(0, "a.csv", from);
        else
            profiler.startFile("a.csv");
        for (std::size_t i = from; i < to; ++i) {
            if (asUtf8)
                profiler.addUtf8Row(rows[i]);
            else
                profiler.addRow(utf16(rows[i]));
        }
        return profiler.take();
    };
    TableProfile whole = run(false, 0, rows.size(), false);
    EXPECT_EQ(whole, run(true, 0, rows.size(), false));
    TableProfile parts = run(false, 0, rows.size() / 2, false);
    parts.append(run(false, rows.size() / 2, rows.size(), true));
    EXPECT_EQ(parts.columns, whole.columns);
    return whole;
}

struct Typed {
    std::string type;
    std::string reason;
};

std::vector<Typed> suggest(const TableProfile& profile, Dialect dialect = Dialect::PostgreSql)
{
    std::vector<Typed> out;
    for (const auto& s : suggestTypes(profile, dialect, false))
        out.push_back({utf8Of(s.type), s.reason});
    return out;
}

const std::vector<std::string> kGermanRows{"M\xC3\xBC"
                                           "ller;1,50;01.02.2024;01.02.2024 10:00",
                                           "Schmidt;20,25;28.02.2024;29.02.2024 23:59:30"};
constexpr ValueForms kGerman{DecimalMark::Comma, GroupMark::None, DateOrder::Dmy};

TEST(FormedSuggestion, ChosenFormsTypeTheColumnsAndAreNamed)
{
    const auto s = suggest(profileRows(kGermanRows, 4, kGerman));
    EXPECT_EQ(s[1].type, "numeric(4,2)");
    EXPECT_EQ(s[1].reason, "read with decimal comma; line 1 of a.csv: '1,50'");
    EXPECT_EQ(s[2].type, "date");
    EXPECT_EQ(s[2].reason, "read with day.month.year");
    EXPECT_EQ(s[3].type, "timestamp");
    EXPECT_EQ(s[3].reason, "read with day.month.year; line 1 of a.csv: '01.02.2024 10:00'");
    EXPECT_EQ(suggest(profileRows(kGermanRows, 4, kGerman), Dialect::MySql)[1].type, "decimal(4,2)");
    // Read exactly, the same.
    const auto exact = suggest(profileRows(kGermanRows, 4, kGerman, true));
    EXPECT_EQ(exact[1].type, "numeric(4,2)");
    EXPECT_EQ(exact[2].type, "date");
}

TEST(FormedSuggestion, FormsNotChosenAreNamedWhereTheyWouldType)
{
    const auto s = suggest(profileRows(kGermanRows, 4, ValueForms{}));
    EXPECT_EQ(s[1].type, "text");
    EXPECT_EQ(s[1].reason, "line 1 of a.csv: '1,50'; with decimal comma: numeric(4,2)");
    EXPECT_EQ(s[2].reason, "line 1 of a.csv: '01.02.2024'; with day.month.year: date");
    EXPECT_EQ(s[3].reason, "line 1 of a.csv: '01.02.2024 10:00'; with day.month.year: timestamp");
    // The name is text in every form.
    EXPECT_EQ(s[0].reason.find("with"), std::string::npos);
    // Numbers chosen: only the dates are hinted at.
    const auto numbers = suggest(profileRows(kGermanRows, 4, {DecimalMark::Comma, GroupMark::None, DateOrder::None}));
    EXPECT_EQ(numbers[1].type, "numeric(4,2)");
    EXPECT_EQ(numbers[2].reason, "line 1 of a.csv: '01.02.2024'; with day.month.year: date");
}

// Shapes of real files that today's rule reads as text.
TEST(FormedSuggestion, RealFileShapes)
{
    const std::vector<std::string> rows{"2015/01/01 01:00:00;2010-01-01T01:00:00;.097",
                                        "2015/12/31 23:00:00;2010-01-01T02:00:00;1.5"};
    const auto plain = suggest(profileRows(rows, 3, ValueForms{}));
    EXPECT_EQ(plain[0].type, "text");
    EXPECT_NE(plain[0].reason.find("with year/month/day: timestamp"), std::string::npos) << plain[0].reason;
    EXPECT_NE(plain[1].reason.find("with year-month-day: timestamp"), std::string::npos) << plain[1].reason;
    EXPECT_NE(plain[2].reason.find("with decimal point: numeric(4,3)"), std::string::npos) << plain[2].reason;
    const auto formed = suggest(profileRows(rows, 3, {DecimalMark::Point, GroupMark::None, DateOrder::Ymd}));
    EXPECT_EQ(formed[0].type, "timestamp");
    EXPECT_EQ(formed[1].type, "timestamp");
    EXPECT_EQ(formed[2].type, "numeric(4,3)");
}

// Oracle and Access read decimal and date strings by their settings. With
// the forms chosen the script writes Oracle's numbers, dates and timestamps
// and Access's dates as literals read alike under every setting, so those
// are typed; what Access has no such literal for stays text, even integers
// read through a form. Without forms, as before: integers only.
TEST(FormedSuggestion, OracleAndAccessTypeWhatTheirLiteralsHold)
{
    const std::vector<std::string> rows{"1.234;7;1,5;01.02.2024;01.02.2024 10:00:00.25",
                                        "12;8;-20,25;29.02.2024;31.12.2024 23:59"};
    const TableProfile profile = profileRows(rows, 5, {DecimalMark::Comma, GroupMark::Point, DateOrder::Dmy});
    struct Case {
        Dialect dialect;
        std::vector<std::string> types;
    };
    const Case cases[] = {
        {Dialect::PostgreSql, {"smallint", "smallint", "numeric(4,2)", "date", "timestamp"}},
        {Dialect::Oracle, {"number(4)", "number(1)", "number(4,2)", "date", "timestamp(2)"}},
        {Dialect::Access, {"text(5)", "byte", "text(6)", "date", "text(22)"}},
    };
    for (const Case& c : cases) {
        const auto s = suggest(profile, c.dialect);
        for (std::size_t i = 0; i < c.types.size(); ++i)
            EXPECT_EQ(s[i].type, c.types[i]) << "column " << i << ": " << s[i].reason;
    }
    const auto access = suggest(profile, Dialect::Access);
    EXPECT_NE(access[0].reason.find("reads numbers and dates by its own settings"), std::string::npos)
        << access[0].reason;
    EXPECT_EQ(access[1].reason, ""); // plain integers as before

    // Without forms, decimals and dates stay text, with a hint where the
    // forms would type them.
    const auto plain = suggest(profileRows(rows, 5, ValueForms{}), Dialect::Oracle);
    EXPECT_EQ(plain[2].type, "varchar2(6)");
    EXPECT_NE(plain[2].reason.find("with decimal comma: number(4,2)"), std::string::npos) << plain[2].reason;
    EXPECT_EQ(plain[3].type, "varchar2(10)");
    EXPECT_NE(plain[3].reason.find("with day.month.year: date"), std::string::npos) << plain[3].reason;
    const auto plainAccess = suggest(profileRows(rows, 5, ValueForms{}), Dialect::Access);
    EXPECT_NE(plainAccess[3].reason.find("with day.month.year: date"), std::string::npos) << plainAccess[3].reason;
    EXPECT_EQ(plainAccess[4].reason.find("with"), std::string::npos) << plainAccess[4].reason;

    // A decimal already written with a point is still a string Oracle reads
    // by its settings unless the number forms are chosen.
    const std::vector<std::string> pointRows{"1.5;2024-02-01", "20.25;2024-02-29"};
    const auto quoted = suggest(profileRows(pointRows, 2, ValueForms{}), Dialect::Oracle);
    EXPECT_EQ(quoted[0].type, "varchar2(5)");
    EXPECT_EQ(quoted[1].type, "varchar2(10)");
    const auto typed =
        suggest(profileRows(pointRows, 2, {DecimalMark::Point, GroupMark::None, DateOrder::Iso}), Dialect::Oracle);
    EXPECT_EQ(typed[0].type, "number(4,2)");
    EXPECT_EQ(typed[1].type, "date");

    // Access writes a date m/d/yyyy: a year before 1000 keeps the column text.
    const auto early = suggest(profileRows({"01.02.0999", "01.02.2024"}, 1, profile.forms), Dialect::Access);
    EXPECT_EQ(early[0].type, "text(10)");
    EXPECT_NE(early[0].reason.find("year 999"), std::string::npos) << early[0].reason;
}

// A value in no form keeps the column text, and a misfit ends the hint.
TEST(FormedSuggestion, AValueInNoFormKeepsTheColumnText)
{
    const auto s = suggest(profileRows({"1,5;01.02.2024", "1.5;2024-13-01"}, 2, kGerman));
    EXPECT_EQ(s[0].type, "text");
    EXPECT_EQ(s[0].reason, "line 2 of a.csv: '1.5'");
    EXPECT_EQ(s[1].type, "text");
    const auto hints = suggest(profileRows({"1,5;01.02.2024", "x;31/12/2024"}, 2, ValueForms{}));
    EXPECT_EQ(hints[0].reason, "line 1 of a.csv: '1,5'");
    EXPECT_EQ(hints[1].reason, "line 1 of a.csv: '01.02.2024'; with day.month.year: date");
    // Month first, then day first: neither order holds, whole or in parts.
    const auto neither = suggest(profileRows({"12/31/2024", "31.12.2024"}, 1, ValueForms{}));
    EXPECT_EQ(neither[0].reason, "line 1 of a.csv: '12/31/2024'");
}

} // namespace
