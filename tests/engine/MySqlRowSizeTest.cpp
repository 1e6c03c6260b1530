#include "engine/profile/ColumnProfile.h"
#include "engine/profile/MySqlRowSize.h"
#include "engine/profile/TypeSuggestion.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarrow {
namespace {

std::string narrow(std::u16string_view text)
{
    return std::string(text.begin(), text.end()); // the types are ASCII
}

std::u16string wide(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

// Each kind the suggestion gives, as the storage requirements count it:
// the server's row and InnoDB's record.
TEST(MySqlRowSize, EachColumnCountsItsDocumentedBytes)
{
    struct Case {
        std::u16string_view type;
        std::uint64_t row;
        std::uint64_t record;
        bool offPage;
    };
    const Case cases[] = {
        {u"tinyint", 1, 1, false},
        {u"smallint", 2, 2, false},
        {u"mediumint", 3, 3, false},
        {u"int", 4, 4, false},
        {u"bigint", 8, 8, false},
        {u"date", 3, 3, false},
        {u"datetime", 5, 5, false},
        {u"datetime(1)", 6, 6, false},
        {u"datetime(2)", 6, 6, false},
        {u"datetime(3)", 7, 7, false},
        {u"datetime(6)", 8, 8, false},
        {u"decimal(1,0)", 1, 1, false},
        {u"decimal(3,3)", 2, 2, false},
        {u"decimal(9,4)", 5, 5, false},  // 5 digits: 3 bytes; 4 digits: 2
        {u"decimal(12,6)", 6, 6, false}, // 6 and 6: 3 each
        {u"decimal(15,7)", 8, 8, false}, // 8 and 7: 4 each
        {u"decimal(9,0)", 4, 4, false},
        {u"decimal(10,0)", 5, 5, false},
        {u"decimal(10,2)", 5, 5, false},    // 8 digits: 4 bytes; 2 digits: 1
        {u"decimal(18,9)", 8, 8, false},    // 9 and 9
        {u"decimal(20,10)", 10, 10, false}, // 10 and 10: 4 + 1 each
        {u"decimal(30,30)", 14, 14, false}, // 27 digits: 12 bytes; 3 digits: 2
        {u"decimal(65,0)", 29, 29, false},
        {u"decimal(65,30)", 30, 30, false}, // 35 digits: 12 + 4; 30: 12 + 2
        {u"varchar(1)", 5, 5, false},
        {u"varchar(63)", 253, 253, false}, // 252 bytes: one length byte, kept in the record
        {u"varchar(64)", 258, 22, true},   // 256 bytes: two, and may go off the page
        {u"varchar(100)", 402, 22, true},
        {u"varchar(255)", 1022, 22, true},
        {u"tinytext", 9, 22, true},
        {u"text", 10, 22, true},
        {u"mediumtext", 11, 22, true},
        {u"longtext", 12, 22, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.type));
        const MySqlColumnBytes bytes = mySqlColumnBytes(c.type);
        EXPECT_EQ(bytes.row, c.row);
        EXPECT_EQ(bytes.record, c.record);
        EXPECT_EQ(bytes.offPage, c.offPage);
    }
    for (std::u16string_view type :
         {u"", u"texts", u"varchar", u"varchar()", u"varchar(10", u"varchar(1x)", u"decimal(5)", u"decimal(5,6)",
          u"decimal(5,2,1)", u"datetime(7)", u"nvarchar(10)", u"varchar(99999999999)"}) {
        EXPECT_THROW(mySqlColumnBytes(type), std::invalid_argument) << narrow(type);
    }
}

struct Columns {
    std::size_t count;
    std::string_view type;
};

std::vector<std::u16string> typesOf(std::initializer_list<Columns> groups)
{
    std::vector<std::u16string> types;
    for (const auto& group : groups)
        types.insert(types.end(), group.count, wide(group.type));
    return types;
}

// Whole rows at the edges MariaDB 10.11 was seen to take and refuse, and
// the wide tables that were refused while a miscount let them through.
TEST(MySqlRowSize, WholeRowsAtTheLimitsTheServerKeeps)
{
    struct Case {
        const char* label;
        std::vector<std::u16string> types;
        std::uint64_t row;
        std::uint64_t record;
        bool fits;
    };
    const Case cases[] = {
        {"no column", {}, 0, 24, true},
        {"eight null flags take a byte", typesOf({{8, "tinyint"}}), 9, 33, true},
        {"the ninth takes another", typesOf({{9, "tinyint"}}), 11, 35, true},
        {"row at 65,535 loads", typesOf({{253, "varchar(64)"}, {28, "bigint"}, {1, "tinyint"}}), 65535, 5851, true},
        {"row at 65,536 is refused", typesOf({{253, "varchar(64)"}, {28, "bigint"}, {1, "smallint"}}), 65536, 5852,
         false},
        {"162 varchar(100) load", typesOf({{162, "varchar(100)"}}), 65145, 3609, true},
        {"163 varchar(100): the null flags pass the row", typesOf({{163, "varchar(100)"}}), 65547, 3631, false},
        {"253 varchar(64) load", typesOf({{253, "varchar(64)"}}), 65306, 5622, true},
        {"254 varchar(64): the null flags pass the row", typesOf({{254, "varchar(64)"}}), 65564, 5644, false},
        {"record at 8,125 loads", typesOf({{997, "bigint"}}), 8101, 8125, true},
        {"record at 8,126 is refused", typesOf({{997, "bigint"}, {1, "tinyint"}}), 8102, 8126, false},
        {"268 decimal(65,30) load", typesOf({{268, "decimal(65,30)"}}), 8074, 8098, true},
        {"269 decimal(65,30) are refused", typesOf({{269, "decimal(65,30)"}}), 8104, 8128, false},
        {"32 varchar(63) load", typesOf({{32, "varchar(63)"}}), 8100, 8124, true},
        {"33 varchar(63) are refused", typesOf({{33, "varchar(63)"}}), 8354, 8378, false},
        {"200 varchar(10) are refused", typesOf({{200, "varchar(10)"}}), 8225, 8249, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const MySqlRowBytes bytes = mySqlRowBytes(c.types);
        EXPECT_EQ(bytes.row, c.row);
        EXPECT_EQ(bytes.record, c.record);
        EXPECT_EQ(bytes.fits(), c.fits);
    }
}

TableProfile profileOf(std::size_t columns, const std::vector<std::u16string>& values)
{
    TableProfiler profiler(columns, u',');
    profiler.startFile("a.csv");
    for (const auto& value : values) {
        std::u16string row;
        for (std::size_t c = 0; c < columns; ++c)
            row += (c > 0 ? u"," : u"") + value;
        profiler.addRow(row);
    }
    return profiler.take();
}

// Wide tables typed from their values: the suggestion keeps as many
// columns as narrow as both limits allow, the first columns first, turns
// the rest to text and says why.
TEST(MySqlRowSize, SuggestionKeepsWideTablesWithinBothLimits)
{
    const std::u16string decimal = wide(std::string(35, '7') + "." + std::string(30, '3'));
    struct Case {
        const char* label;
        std::size_t columns;
        std::vector<std::u16string> values;
        std::map<std::u16string, std::size_t> types; // type: how many columns have it
        std::string reason;                          // of the last column, where one is given
    };
    const Case cases[] = {
        {"163 columns of 100 characters",
         163,
         {std::u16string(100, u'x')},
         {{u"varchar(100)", 162}, {u"text", 1}},
         "MySQL row limit: varchar(100) would take the row past 65,535 bytes"},
        {"254 columns of 64 characters",
         254,
         {std::u16string(64, u'x')},
         {{u"varchar(64)", 253}, {u"text", 1}},
         "MySQL row limit: varchar(64) would take the row past 65,535 bytes"},
        {"100 columns of 200 characters",
         100,
         {std::u16string(200, u'x')},
         {{u"varchar(200)", 81}, {u"text", 19}},
         "MySQL row limit: varchar(200) would take the row past 65,535 bytes"},
        {"280 columns of decimal(65,30)",
         280,
         {decimal},
         {{u"decimal(65,30)", 238}, {u"text", 42}},
         "InnoDB row limit: decimal(65,30) columns would not leave the row under InnoDB's 8,126 bytes"},
        {"200 columns of 10 characters",
         200,
         {std::u16string(10, u'x')},
         {{u"varchar(10)", 193}, {u"text", 7}},
         "InnoDB row limit: varchar(10) columns would not leave the row under InnoDB's 8,126 bytes"},
        {"997 columns of bigint fit whole", 997, {u"9223372036854775807"}, {{u"bigint", 997}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto suggestions = suggestTypes(profileOf(c.columns, c.values), Dialect::MySql, false);
        ASSERT_EQ(suggestions.size(), c.columns);
        std::map<std::u16string, std::size_t> types;
        std::vector<std::u16string> written;
        for (const auto& s : suggestions) {
            ++types[s.type];
            written.push_back(s.type);
            EXPECT_EQ(s.kind == ValueKind::Text, s.type == u"text" || s.type.starts_with(u"varchar"));
        }
        EXPECT_EQ(types, c.types);
        EXPECT_TRUE(mySqlRowBytes(written).fits());
        EXPECT_NE(suggestions.front().type, u"text"); // the first columns keep their types
        if (!c.reason.empty()) {
            EXPECT_EQ(suggestions.back().reason, c.reason);
        }
    }
}

} // namespace
} // namespace quarrow
