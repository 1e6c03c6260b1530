#include "engine/sql/NameLimits.h"
#include "engine/sql/ScriptFormatter.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace quarrow {
namespace {

std::u16string repeat(std::u16string_view piece, std::size_t times)
{
    std::u16string out;
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

// Every database's limit, at it, one under and one over, in ASCII and in
// characters that take more than one unit.
TEST(ColumnNameLimits, CutAtEachDatabasesLimitInItsOwnUnit)
{
    const std::u16string e = u"\u00E9";         // é: 1 character, 2 UTF-8 bytes
    const std::u16string emoji = u"\U0001F600"; // 1 character, 2 UTF-16 units, 4 bytes
    struct Case {
        const char* label;
        Dialect dialect;
        std::u16string name;
        std::u16string written;
    };
    const std::u16string a63 = repeat(u"a", 63);
    const Case cases[] = {
        {"postgresql at 63 bytes", Dialect::PostgreSql, a63, a63},
        {"postgresql one byte over", Dialect::PostgreSql, a63 + u"b", a63},
        {"postgresql cuts before a character that would pass", Dialect::PostgreSql, repeat(u"a", 62) + e,
         repeat(u"a", 62)},
        {"postgresql two-byte characters", Dialect::PostgreSql, repeat(e, 32), repeat(e, 31)},
        {"postgresql never inside a pair", Dialect::PostgreSql, repeat(u"a", 60) + emoji, repeat(u"a", 60)},
        {"mysql counts characters", Dialect::MySql, repeat(e, 64), repeat(e, 64)},
        {"mysql one character over", Dialect::MySql, repeat(e, 65), repeat(e, 64)},
        {"mysql a pair is one character", Dialect::MySql, repeat(emoji, 65), repeat(emoji, 64)},
        {"access 64", Dialect::Access, repeat(u"x", 64), repeat(u"x", 64)},
        {"access over, UTF-16 units", Dialect::Access, repeat(u"x", 63) + emoji, repeat(u"x", 63)},
        {"mssql 128 characters", Dialect::MsSql, repeat(e, 129), repeat(e, 128)},
        {"oracle 128 bytes", Dialect::Oracle, repeat(e, 65), repeat(e, 64)},
        {"db2 128 bytes", Dialect::IbmDb2, repeat(u"d", 129), repeat(u"d", 128)},
        {"sqlite takes any length", Dialect::Sqlite, repeat(u"s", 5000), repeat(u"s", 5000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const WrittenNames written = limitColumnNames(c.dialect, {c.name, u"other"});
        ASSERT_EQ(written.names.size(), 2u);
        EXPECT_EQ(written.names[0], c.written);
        EXPECT_EQ(written.names[1], u"other");
        EXPECT_EQ(written.renamed.size(), c.name == c.written ? 0u : 1u);
        const NameLimit limit = columnNameLimit(c.dialect);
        if (limit.unit != NameUnit::None) {
            EXPECT_LE(nameLength(written.names[0], limit.unit), limit.max);
        }
    }
}

// Where the limit counts bytes, a cut that falls inside a character of
// three UTF-8 bytes (U+4E2D) keeps the characters before it whole, at each
// of the three places in the character, and so does the room a suffix needs.
TEST(ColumnNameLimits, ByteLimitsNeverCutInsideAThreeByteCharacter)
{
    const std::u16string z = u"\u4E2D";
    const std::u16string e = u"\u00E9"; // two bytes
    struct Case {
        const char* label;
        Dialect dialect;
        std::vector<std::u16string> names;
        std::vector<std::u16string> written;
    };
    const Case cases[] = {
        {"postgresql 63 bytes exactly", Dialect::PostgreSql, {repeat(z, 21)}, {repeat(z, 21)}},
        {"postgresql 22 of them keep 21", Dialect::PostgreSql, {repeat(z, 22)}, {repeat(z, 21)}},
        {"postgresql U+0800, the first of three bytes",
         Dialect::PostgreSql,
         {repeat(u"\u0800", 22)},
         {repeat(u"\u0800", 21)}},
        {"postgresql cut after the first byte", Dialect::PostgreSql, {u"a" + repeat(z, 21)}, {u"a" + repeat(z, 20)}},
        {"postgresql cut after the second byte", Dialect::PostgreSql, {u"ab" + repeat(z, 21)}, {u"ab" + repeat(z, 20)}},
        {"postgresql suffix",
         Dialect::PostgreSql,
         {repeat(z, 22), repeat(z, 23)},
         {repeat(z, 21), repeat(z, 20) + u"_2"}},
        {"oracle 43 keep 42", Dialect::Oracle, {repeat(z, 43)}, {repeat(z, 42)}},
        {"oracle cut after the first byte", Dialect::Oracle, {u"a" + repeat(z, 43)}, {u"a" + repeat(z, 42)}},
        {"oracle 128 bytes exactly", Dialect::Oracle, {u"ab" + repeat(z, 42)}, {u"ab" + repeat(z, 42)}},
        {"oracle suffix", Dialect::Oracle, {repeat(z, 43), repeat(z, 44)}, {repeat(z, 42), repeat(z, 42) + u"_2"}},
        {"db2 43 keep 42", Dialect::IbmDb2, {repeat(z, 43)}, {repeat(z, 42)}},
        {"db2 after a two-byte character", Dialect::IbmDb2, {e + repeat(z, 43)}, {e + repeat(z, 42)}},
        {"db2 cut after the second byte", Dialect::IbmDb2, {e + u"a" + repeat(z, 42)}, {e + u"a" + repeat(z, 41)}},
        {"db2 suffix",
         Dialect::IbmDb2,
         {u"x" + repeat(z, 43), u"x" + repeat(z, 44)},
         {u"x" + repeat(z, 42), u"x" + repeat(z, 41) + u"_2"}},
    };
    std::set<Dialect> covered;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        covered.insert(c.dialect);
        const NameLimit limit = columnNameLimit(c.dialect);
        ASSERT_EQ(limit.unit, NameUnit::Utf8Bytes);
        const WrittenNames written = limitColumnNames(c.dialect, c.names);
        EXPECT_EQ(written.names, c.written);
        for (const auto& name : written.names)
            EXPECT_LE(nameLength(name, NameUnit::Utf8Bytes), limit.max);
    }
    for (const auto& info : kDialects) {
        if (columnNameLimit(info.dialect).unit == NameUnit::Utf8Bytes) {
            EXPECT_TRUE(covered.count(info.dialect)) << info.identifier << " counts bytes and has no case here";
        }
    }
}

// Names that are the same once cut get the first free suffix, within the
// limit, compared ignoring ASCII letter case; whole names keep theirs.
TEST(ColumnNameLimits, CutNamesAreMadeUniqueAgain)
{
    const std::u16string q = u"How satisfied are you with the onboarding process of our company";
    const std::u16string a61 = repeat(u"a", 61);
    struct Case {
        const char* label;
        std::vector<std::u16string> names;
        std::vector<std::u16string> written;
    };
    const Case cases[] = {
        {"two questions",
         {q + u" during your first week at work", q + u" during your first month"},
         {q.substr(0, 63), q.substr(0, 61) + u"_2"}},
        {"differ only in case once cut",
         {repeat(u"a", 70), repeat(u"A", 63) + u"x"},
         {repeat(u"a", 63), repeat(u"A", 61) + u"_2"}},
        {"a whole name keeps its place against a cut one",
         {repeat(u"b", 70), repeat(u"b", 63)},
         {repeat(u"b", 61) + u"_2", repeat(u"b", 63)}},
        {"the suffix skips names already taken",
         {a61 + u"_2", repeat(u"a", 64), repeat(u"a", 65)},
         {a61 + u"_2", repeat(u"a", 63), a61 + u"_3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const WrittenNames written = limitColumnNames(Dialect::PostgreSql, c.names);
        EXPECT_EQ(written.names, c.written);
    }

    // Ten names alike: the suffix _10 takes a byte more, and the name gives
    // it up.
    std::vector<std::u16string> alike(10, repeat(u"z", 80));
    const WrittenNames written = limitColumnNames(Dialect::PostgreSql, alike);
    EXPECT_EQ(written.names[0], repeat(u"z", 63));
    EXPECT_EQ(written.names[1], repeat(u"z", 61) + u"_2");
    EXPECT_EQ(written.names[9], repeat(u"z", 60) + u"_10");
    EXPECT_EQ(written.renamed.size(), 10u);
    EXPECT_EQ(written.renamed[9].from, alike[9]);
    EXPECT_EQ(written.renamed[9].column, 9u);
}

// The script writes the cut names in CREATE TABLE and in the INSERT list,
// and names within the limit exactly as given.
TEST(ColumnNameLimits, ScriptWritesTheCutNamesEverywhere)
{
    ScriptOptions options;
    options.dialect = Dialect::MySql;
    const std::u16string longName = repeat(u"n", 70);
    ScriptFormatter formatter(options, {longName, repeat(u"n", 64) + u"x", u"id"}, {u"text", u"text", u"int"});
    OutBuffer out;
    formatter.appendHead(out);
    formatter.appendRow(out, u"1,2,3", 0);
    formatter.appendEnd(out, 1);
    const std::string n64(64, 'n');
    const std::string n62(62, 'n');
    EXPECT_EQ(std::string(out.data(), out.size()), "\r\nCREATE TABLE NEW_TABLE (\r\n`" + n64 + "` text,\r\n`" + n62
                                                       + "_2` text,\r\n`id` int\r\n);\r\n\r\n"
                                                         "INSERT INTO NEW_TABLE (`"
                                                       + n64 + "`,`" + n62 + "_2`,`id`) VALUES\r\n('1','2','3');\r\n");
    ASSERT_EQ(formatter.renamedColumns().size(), 2u);
    EXPECT_EQ(formatter.renamedColumns()[0].from, longName);
}

// In ANSI two names can become one: the later gets a suffix.
TEST(ColumnNameLimits, NamesTheOutputEncodingMadeEqualAreKeptApart)
{
    ScriptOptions options;
    options.dialect = Dialect::Sqlite;
    options.encoding = TextEncoding::Ansi;
    ScriptFormatter formatter(options, {u"ca\u0142", u"Cal"}, {u"text", u"text"});
    OutBuffer out;
    formatter.appendHead(out);
    EXPECT_EQ(std::string(out.data(), out.size()),
              "\r\nCREATE TABLE NEW_TABLE (\r\ncal text,\r\nCal_2 text\r\n);\r\n\r\n");
}

// Names a database refuses for their characters, not their length: MySQL
// takes no name that ends in a space, so a cut that ends in blanks drops
// them; Oracle takes no double quote in any name, and no database a NUL,
// so those become underscores. Changed names are made unique again and
// reported; names left as they are keep their place.
TEST(ColumnNameLimits, NamesAreChangedWhereTheDatabaseRefusesTheirCharacters)
{
    struct Case {
        const char* label;
        Dialect dialect;
        std::vector<std::u16string> names;
        std::vector<std::u16string> written;
    };
    const std::u16string a63 = repeat(u"a", 63);
    const std::u16string a62 = repeat(u"a", 62);
    const Case cases[] = {
        {"mysql cut before a space", Dialect::MySql, {a63 + u" b", u"x"}, {a63, u"x"}},
        {"mysql cut before blanks", Dialect::MySql, {a62 + u" \t b", u"x"}, {a62, u"x"}},
        {"mysql trimmed cut meets a whole name", Dialect::MySql, {a63 + u" b", a63}, {a62 + u"_2", a63}},
        {"mysql blank inside a name stays", Dialect::MySql, {u"a b"}, {u"a b"}},
        {"oracle double quote", Dialect::Oracle, {u"say \"hi\"", u"x"}, {u"say _hi_", u"x"}},
        {"oracle replaced name meets a whole one", Dialect::Oracle, {u"a\"b", u"a_b"}, {u"a_b_2", u"a_b"}},
        {"oracle cut and replaced", Dialect::Oracle, {u"\"" + repeat(u"o", 140)}, {u"_" + repeat(u"o", 127)}},
        {"oracle suffix keeps the replacement", Dialect::Oracle, {u"q\"", u"q\"", u"q_"}, {u"q__2", u"q__3", u"q_"}},
        {"postgresql keeps double quotes", Dialect::PostgreSql, {u"a\"b"}, {u"a\"b"}},
        {"NUL in every database", Dialect::PostgreSql, {std::u16string(u"a\0b", 3)}, {u"a_b"}},
        {"NUL in sqlite", Dialect::Sqlite, {std::u16string(u"a\0b", 3), u"a_b"}, {u"a_b_2", u"a_b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const WrittenNames written = limitColumnNames(c.dialect, c.names);
        EXPECT_EQ(written.names, c.written);
        std::size_t changed = 0;
        for (std::size_t i = 0; i < c.names.size(); ++i)
            changed += c.names[i] != c.written[i] ? 1 : 0;
        ASSERT_EQ(written.renamed.size(), changed);
        for (const auto& r : written.renamed) {
            EXPECT_EQ(r.from, c.names[r.column]);
            EXPECT_EQ(r.to, c.written[r.column]);
        }
    }
}

// An Oracle script never holds a double quote inside a quoted name.
TEST(ColumnNameLimits, OracleScriptWritesTheReplacedNames)
{
    ScriptOptions options;
    options.dialect = Dialect::Oracle;
    ScriptFormatter formatter(options, {u"a\"b", u"id"}, {u"clob", u"int"});
    OutBuffer out;
    formatter.appendHead(out);
    EXPECT_EQ(std::string(out.data(), out.size()), "\r\nCREATE TABLE NEW_TABLE (\r\na_b clob,\r\nid int\r\n);\r\n\r\n");
    ASSERT_EQ(formatter.renamedColumns().size(), 1u);
    EXPECT_EQ(formatter.renamedColumns()[0].from, u"a\"b");
}

} // namespace
} // namespace quarrow
