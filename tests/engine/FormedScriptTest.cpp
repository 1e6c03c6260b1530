#include "engine/sql/ScriptFormatter.h"
#include "engine/text/Utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {
namespace {

std::u16string utf16(std::string_view utf8Text)
{
    std::u16string out(utf8Text.size(), u'\0');
    const auto r =
        utf8::decode(reinterpret_cast<const unsigned char*>(utf8Text.data()), utf8Text.size(), out.data(), true);
    out.resize(r.written);
    return out;
}

const std::vector<std::u16string> kNames{u"name", u"amount", u"day", u"at"};
const std::vector<std::u16string> kTypes{u"text", u"decimal(8,2)", u"date", u"datetime"};
constexpr ValueForms kGerman{DecimalMark::Comma, GroupMark::Point, DateOrder::Dmy};

struct Row {
    std::string bytes;
    std::vector<FormMisfits> misfits;
};

// One row formatted (UTF-8 entry and UTF-16 entry must agree), from the
// first value line on.
Row formatRow(std::string_view row, ScriptOptions options, const std::vector<std::u16string>& types = kTypes)
{
    ScriptFormatter viaUtf16(options, kNames, types);
    ScriptFormatter viaUtf8(options, kNames, types);
    OutBuffer a;
    OutBuffer b;
    viaUtf16.appendRow(a, utf16(row), 0);
    viaUtf8.appendUtf8Row(b, row, 0);
    const std::string first(a.data(), a.size());
    EXPECT_EQ(first, std::string(b.data(), b.size())) << row;
    EXPECT_EQ(viaUtf16.formMisfits(), viaUtf8.formMisfits()) << row;
    const auto line = first.find("\r\n");
    return {line == std::string::npos ? first : first.substr(line + 2), viaUtf16.formMisfits()};
}

ScriptOptions optionsFor(Dialect dialect, char16_t separator = u';', ValueForms forms = kGerman)
{
    ScriptOptions options;
    options.dialect = dialect;
    options.separator = separator;
    options.forms = forms;
    return options;
}

struct DialectCase {
    Dialect dialect;
    bool copy;
    std::string_view expected;
};

class FormedValues : public testing::TestWithParam<DialectCase> {};

// Typed columns get the plain forms in each dialect's literal; the text
// column keeps its value byte for byte, even where it looks like a number.
TEST_P(FormedValues, TypedColumnsPlainTextColumnsAsTheyAre)
{
    ScriptOptions options = optionsFor(GetParam().dialect);
    options.copy = GetParam().copy;
    EXPECT_EQ(formatRow("1,50 Müller;1.234,50;01.02.2024;31.12.2024 11:59 PM", options).bytes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dialects, FormedValues,
    testing::Values(
        DialectCase{Dialect::MySql, false, "('1,50 Müller','1234.50','2024-02-01','2024-12-31 23:59:00')"},
        DialectCase{Dialect::Sqlite, false, "('1,50 Müller','1234.50','2024-02-01','2024-12-31 23:59:00')"},
        DialectCase{Dialect::PostgreSql, false, "('1,50 Müller','1234.50','2024-02-01','2024-12-31 23:59:00')"},
        DialectCase{Dialect::IbmDb2, false, "('1,50 Müller','1234.50','2024-02-01','2024-12-31 23:59:00')"},
        DialectCase{Dialect::MsSql, false, "(N'1,50 Müller','1234.50','2024-02-01','2024-12-31T23:59:00')"},
        DialectCase{Dialect::PostgreSql, true, "1,50 Müller\t1234.50\t2024-02-01\t2024-12-31 23:59:00\r\n"},
        // Literals read alike under every session or regional setting;
        // Access has one for dates only.
        DialectCase{Dialect::Oracle, false,
                    "('1,50 Müller',1234.50,DATE '2024-02-01',TIMESTAMP '2024-12-31 23:59:00')"},
        DialectCase{Dialect::Access, false, "('1,50 Müller','1.234,50',#2/1/2024#,'31.12.2024 11:59 PM')"}));

// Oracle and Access: the typed literal for each value in the form, today's
// quoted value for the rest (a misfit, an empty value, a form not chosen,
// a type that takes none), in every reading of a row.
TEST(FormedValues, OracleAndAccessTypedLiterals)
{
    const std::vector<std::u16string> types{u"number(8,2)", u"date", u"timestamp(9)", u"integer"};
    struct Case {
        std::string_view name;
        Dialect dialect;
        ValueForms forms;
        bool exact;
        std::string_view row;
        std::string_view expected;
    };
    const ValueForms numbers{DecimalMark::Comma, GroupMark::None, DateOrder::None};
    const ValueForms dates{DecimalMark::None, GroupMark::None, DateOrder::Dmy};
    const Case cases[] = {
        {"oracle", Dialect::Oracle, kGerman, false, "1,50;1.2.2024;31.12.2024 23:59:30.123456789;1.234",
         "(1.50,DATE '2024-02-01',TIMESTAMP '2024-12-31 23:59:30.123456789',1234)"},
        {"oracle, signs and bare fractions", Dialect::Oracle, kGerman, false, "-,5;;01.02.2024;-0007",
         "(-0.5,'',TIMESTAMP '2024-02-01 00:00:00',-0007)"},
        {"oracle, exact", Dialect::Oracle, kGerman, true, "\"1,50\",01.02.2024,\"01.02.2024 10:00\",7",
         "(1.50,DATE '2024-02-01',TIMESTAMP '2024-02-01 10:00:00',7)"},
        {"oracle, misfits", Dialect::Oracle, kGerman, false, "1.5;31.02.2024;x;1,5e3",
         "('1.5','31.02.2024','x','1,5e3')"},
        {"oracle, numbers only", Dialect::Oracle, numbers, false, "1,50;01.02.2024;01.02.2024;7",
         "(1.50,'01.02.2024','01.02.2024',7)"},
        {"oracle, dates only", Dialect::Oracle, dates, false, "1,50;01.02.2024;01.02.2024;7",
         "('1,50',DATE '2024-02-01',TIMESTAMP '2024-02-01 00:00:00','7')"},
        {"oracle, no forms", Dialect::Oracle, ValueForms{}, false, "1,50;01.02.2024;01.02.2024;7",
         "('1,50','01.02.2024','01.02.2024','7')"},
        {"access", Dialect::Access, kGerman, false, "1,50;31.12.2024;01.02.2024;1.234",
         "('1,50',#12/31/2024#,'01.02.2024','1.234')"},
        {"access, exact", Dialect::Access, kGerman, true, "\"1,50\",\"9.10.2024\",01.02.2024,7",
         "('1,50',#10/9/2024#,'01.02.2024','7')"},
        // A year of fewer than four digits has no U.S. form a document fixes.
        {"access, early year", Dialect::Access, kGerman, false, "1;01.02.0999;x;7", "('1','01.02.0999','x','7')"},
        {"access, no forms", Dialect::Access, ValueForms{}, false, "1,50;31.12.2024;x;7",
         "('1,50','31.12.2024','x','7')"},
    };
    for (const Case& c : cases) {
        // Read exactly, with commas between fields: the decimal commas are quoted.
        ScriptOptions options = optionsFor(c.dialect, c.exact ? u',' : u';', c.forms);
        options.exactQuoting = c.exact;
        EXPECT_EQ(formatRow(c.row, options, types).bytes, c.expected) << c.name;
    }
    // What Access has no literal for is not looked at, so never a misfit.
    const Row access = formatRow("1,5x;31.12.2024;1.2.2024 25:00;1.234", optionsFor(Dialect::Access), types);
    ASSERT_EQ(access.misfits.size(), 4u);
    for (const FormMisfits& m : access.misfits)
        EXPECT_EQ(m.count, 0u) << m.firstValue;
}

// Every way a row is split gives the same items: the one-pass loop (an
// ASCII separator), field by field (a non-ASCII separator), records read
// exactly, quoted fields, blanks around values.
TEST(FormedValues, EveryReadingGivesThePlainForms)
{
    const std::string expected = "('x','-0.50','2024-02-01','2024-02-01 00:00:00')";
    EXPECT_EQ(formatRow("x;-0,50;01.02.2024;1.2.2024", optionsFor(Dialect::MySql)).bytes, expected);
    EXPECT_EQ(formatRow(" x ; \"-0,50\" ;\"01.02.2024\"; 1.2.2024 ", optionsFor(Dialect::MySql)).bytes, expected);
    EXPECT_EQ(formatRow("x§-0,50§01.02.2024§1.2.2024", optionsFor(Dialect::MySql, u'§')).bytes, expected);
    ScriptOptions exact = optionsFor(Dialect::MySql, u',');
    exact.exactQuoting = true;
    EXPECT_EQ(formatRow("x,\"-0,50\",01.02.2024,\"1.2.2024\"", exact).bytes, expected);
    // Read exactly, blanks belong to the value: not the form.
    EXPECT_EQ(formatRow("x,\" -0,50\",01.02.2024,1.2.2024", exact).bytes,
              "('x',' -0,50','2024-02-01','2024-02-01 00:00:00')");
    // Group blanks: a space, U+00A0 and U+202F.
    ScriptOptions blank = optionsFor(Dialect::PostgreSql);
    blank.forms.group = GroupMark::Blank;
    EXPECT_EQ(formatRow("x;1 234\u00A0567,5;;", blank).bytes, "('x','1234567.5','','')");
    EXPECT_EQ(formatRow("x;1\u202F234,5;;", blank).bytes, "('x','1234.5','','')");
    ScriptOptions swiss = optionsFor(Dialect::MySql);
    swiss.forms = {DecimalMark::Point, GroupMark::Apostrophe, DateOrder::Mdy};
    EXPECT_EQ(formatRow("x;1'234.5;12/31/2024;12/31/2024 1:05 AM", swiss).bytes,
              "('x','1234.5','2024-12-31','2024-12-31 01:05:00')");
}

// Long rows of UTF-8 take plain fields in bulk: the bulk stops before each
// typed column, and the items equal those of the same row in UTF-16.
TEST(FormedValues, BulkFieldsStopAtTypedColumns)
{
    const std::string x(70, 'x');
    const std::string y(70, 'y');
    const std::vector<std::u16string> types{u"decimal(8,2)", u"text", u"date", u"text"};
    EXPECT_EQ(formatRow("1.234,50;" + x + ";01.02.2024;" + y, optionsFor(Dialect::MySql), types).bytes,
              "('1234.50','" + x + "','2024-02-01','" + y + "')");
    EXPECT_EQ(formatRow(x + ";" + y + ";01.02.2024;31.12.2024", optionsFor(Dialect::PostgreSql), kTypes).bytes,
              "('" + x + "','" + y + "','2024-02-01','2024-12-31 00:00:00')");
}

// A value in no chosen form is never changed: written as the file has it
// and counted with the first one, so the user hears of it. Empty values are
// written as always and are no misfits.
TEST(FormedValues, MisfitsStayAsTheyAreAndAreCounted)
{
    ScriptOptions options = optionsFor(Dialect::MySql);
    options.nullEmpty = true;
    const Row row = formatRow("x;1.5;31.02.2024;", options);
    EXPECT_EQ(row.bytes, "('x','1.5','31.02.2024',NULL)");
    ASSERT_EQ(row.misfits.size(), 4u);
    EXPECT_EQ(row.misfits[0].count, 0u);
    EXPECT_EQ(row.misfits[1].count, 1u);
    EXPECT_EQ(row.misfits[1].firstValue, "1.5");
    EXPECT_EQ(row.misfits[2].firstValue, "31.02.2024");
    EXPECT_EQ(row.misfits[3].count, 0u);
    // A date-time in a date column is no date.
    EXPECT_EQ(formatRow("x;1;01.02.2024 10:00;", options).bytes, "('x','1','01.02.2024 10:00',NULL)");
    // Non-ASCII and long values are kept too.
    const Row odd = formatRow("x;1,5€;01.02.2024;", options);
    EXPECT_EQ(odd.bytes, "('x','1,5€','2024-02-01',NULL)");
    EXPECT_EQ(odd.misfits[1].firstValue, "1,5€");

    std::vector<FormMisfits> total;
    addMisfits(total, row.misfits);
    addMisfits(total, odd.misfits);
    EXPECT_EQ(total[1].count, 2u);
    EXPECT_EQ(total[1].firstValue, "1.5");
    EXPECT_EQ(describeMisfits(total, {"name", "amount"}, kGerman),
              "column 2 (amount): 2 values not in the form decimal comma, group separator '.', day.month.year were "
              "written as the file has them; the first in row 1: '1.5'\n"
              "column 3: 1 value not in the form decimal comma, group separator '.', day.month.year was written as "
              "the file has it; the first in row 1: '31.02.2024'\n");
}

// Only the forms chosen apply: dates alone leave a number column as the
// file has it, and without forms nothing changes.
TEST(FormedValues, OnlyTheChosenFormsApply)
{
    const std::string row = "x;1,5;01.02.2024;01.02.2024 10:00";
    EXPECT_EQ(
        formatRow(row, optionsFor(Dialect::MySql, u';', {DecimalMark::None, GroupMark::None, DateOrder::Dmy})).bytes,
        "('x','1,5','2024-02-01','2024-02-01 10:00:00')");
    EXPECT_EQ(
        formatRow(row, optionsFor(Dialect::MySql, u';', {DecimalMark::Comma, GroupMark::None, DateOrder::None})).bytes,
        "('x','1.5','01.02.2024','01.02.2024 10:00')");
    const Row none = formatRow(row, optionsFor(Dialect::MySql, u';', ValueForms{}));
    EXPECT_EQ(none.bytes, "('x','1,5','01.02.2024','01.02.2024 10:00')");
    EXPECT_TRUE(none.misfits.empty());
    const Row untyped = formatRow(row, optionsFor(Dialect::MySql), {u"text", u"text", u"text", u"varchar(20)"});
    EXPECT_EQ(untyped.bytes, "('x','1,5','01.02.2024','01.02.2024 10:00')");
}

// A NULL marker in a typed column is NULL, not a value in no form: it is
// never counted as a misfit, whichever way the row is written. A quoted
// marker read exactly is a value, and so a misfit.
TEST(FormedValues, NullMarkersAreNoMisfits)
{
    struct Case {
        std::string_view name;
        bool exact;
        bool copy;
        std::string_view row;
        std::string_view expected;
        std::uint64_t misfits;
    };
    const Case cases[] = {
        {"one pass", false, false, "x;NA;NA;NA", "('x',NULL,NULL,NULL)", 0},
        {"exact", true, false, "x;NA;NA;NA", "('x',NULL,NULL,NULL)", 0},
        {"exact, quoted marker", true, false, "x;\"NA\";01.02.2024;", "('x','NA','2024-02-01','')", 1},
        {"copy", false, true, "x;1.234,5;NA;NA", "x\t1234.5\t\\N\t\\N\r\n", 0},
    };
    for (const Case& c : cases) {
        ScriptOptions options = optionsFor(Dialect::PostgreSql);
        options.exactQuoting = c.exact;
        options.copy = c.copy;
        options.nullMarkers = {u"NA"};
        const Row row = formatRow(c.row, options);
        EXPECT_EQ(row.bytes, c.expected) << c.name;
        std::uint64_t misfits = 0;
        for (const FormMisfits& m : row.misfits)
            misfits += m.count;
        EXPECT_EQ(misfits, c.misfits) << c.name;
    }
}
} // namespace
} // namespace quarrow
