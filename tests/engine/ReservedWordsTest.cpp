#include "engine/sql/ReservedWords.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

using quarrow::Dialect;
using quarrow::isReservedWord;

// Readable in a failure message whatever the word holds.
std::string shown(std::u16string_view word)
{
    std::string out;
    for (char16_t c : word) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        }
    }
    return out;
}

struct Row {
    std::u16string_view word;
    bool oracle;
    bool postgreSql;
    bool ibmDb2;
    bool sqlite;
};

constexpr std::array kRows = std::to_array<Row>({
    // Reserved by all four, in any ASCII case.
    {u"select", true, true, true, true},
    {u"SELECT", true, true, true, true},
    {u"Select", true, true, true, true},
    {u"sElEcT", true, true, true, true},
    {u"order", true, true, true, true},
    {u"all", true, true, true, true},
    {u"with", true, true, true, true},

    // Ordinary column names.
    {u"name", false, false, false, false},
    {u"full_name", false, false, false, false},
    {u"city", false, false, false, false},
    {u"id", false, false, false, false},

    // Where the lists part ways.
    {u"user", true, true, true, false},
    {u"User", true, true, true, false},
    {u"date", true, false, true, false},
    {u"comment", true, false, true, false},
    {u"limit", false, true, true, true},
    {u"key", false, false, true, true},
    {u"authorization", false, true, true, false},
    {u"system_user", false, true, true, false},
    {u"current_timestamp", false, true, true, true},
    {u"without", false, false, true, true},

    // Found on one list only.
    {u"access", true, false, false, false},
    {u"ROWNUM", true, false, false, false},
    {u"varchar2", true, false, false, false},
    {u"Level", true, false, false, false},
    {u"analyse", false, true, false, false},
    {u"ANALYSE", false, true, false, false},
    {u"verbose", false, true, false, false},
    {u"ilike", false, true, false, false},
    {u"activate", false, false, true, false},
    {u"result_set_locator", false, false, true, false},
    {u"DataPartitionName", false, false, true, false},
    {u"end-exec", false, false, true, false},
    {u"db2sql", false, false, true, false},
    {u"years", false, false, true, false},
    {u"abort", false, false, false, true},
    {u"AUTOINCREMENT", false, false, false, true},
    {u"pragma", false, false, false, true},
    {u"glob", false, false, false, true},

    // Close to a reserved word but not one.
    {u"", false, false, false, false},
    {u"selects", false, false, false, false},
    {u"selec", false, false, false, false},
    {u"select_", false, false, false, false},
    {u" select", false, false, false, false},
    {u"select ", false, false, false, false},
    {u"end_exec", false, false, false, false},
    {u"result_set_locators", false, false, false, false},
    {u"current_timestamp_of_the_last_change", false, false, false, false},
});

TEST(ReservedWords, FollowsEachDialectsList)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(testing::Message() << "word \"" << shown(row.word) << '"');
        EXPECT_EQ(isReservedWord(Dialect::Oracle, row.word), row.oracle) << "Oracle";
        EXPECT_EQ(isReservedWord(Dialect::PostgreSql, row.word), row.postgreSql) << "PostgreSQL";
        EXPECT_EQ(isReservedWord(Dialect::IbmDb2, row.word), row.ibmDb2) << "Db2";
        EXPECT_EQ(isReservedWord(Dialect::Sqlite, row.word), row.sqlite) << "SQLite";
    }
}

TEST(ReservedWords, DialectsThatQuoteEveryNameReserveNothing)
{
    for (Dialect dialect : {Dialect::MySql, Dialect::MsSql, Dialect::Access}) {
        for (const Row& row : kRows) {
            SCOPED_TRACE(testing::Message()
                         << "dialect " << static_cast<int>(dialect) << ", word \"" << shown(row.word) << '"');
            EXPECT_FALSE(isReservedWord(dialect, row.word));
        }
    }
}

// Each of these becomes a reserved word if a non-ASCII character is narrowed
// to its low byte or folded by Unicode case rules instead of being refused.
constexpr std::array<std::u16string_view, 7> kNonAscii = {
    u"s\u00E9lect",                          // e acute
    u"\u0153elect",                          // oe ligature, low byte 'S'
    u"SELEC\u0154",                          // R acute, low byte 'T'
    u"\u0152OWNUM",                          // OE ligature, low byte 'R'
    u"\u017Felect",                          // long s, upper case 'S'
    u"\uFF33\uFF25\uFF2C\uFF25\uFF23\uFF34", // full-width SELECT
    u"L\u0131M\u0131T",                      // dotless i, upper case 'I'
};

TEST(ReservedWords, WordWithNonAsciiCharacterIsNeverReserved)
{
    for (Dialect dialect : {Dialect::Oracle, Dialect::PostgreSql, Dialect::IbmDb2, Dialect::Sqlite}) {
        for (std::u16string_view word : kNonAscii) {
            SCOPED_TRACE(testing::Message()
                         << "dialect " << static_cast<int>(dialect) << ", word \"" << shown(word) << '"');
            EXPECT_FALSE(isReservedWord(dialect, word));
        }
    }
}

} // namespace
