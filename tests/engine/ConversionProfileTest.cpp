#include "engine/settings/ConversionProfile.h"

#include "engine/sql/ByteSink.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quarrow::ConversionProfile;
using quarrow::Dialect;
using quarrow::parseProfile;
using quarrow::ProfileColumn;
using quarrow::ProfileError;
using quarrow::profileText;
using quarrow::ScriptOptions;
using quarrow::TextEncoding;

// Every setting, so that a failure names the one that did not survive.
void expectSameProfile(const ConversionProfile& expected, const ConversionProfile& actual)
{
    const ScriptOptions& e = expected.script;
    const ScriptOptions& a = actual.script;
    EXPECT_EQ(e.dialect, a.dialect);
    EXPECT_EQ(e.tableName, a.tableName);
    EXPECT_EQ(e.separator, a.separator);
    EXPECT_EQ(e.headerLine, a.headerLine);
    EXPECT_EQ(e.encoding, a.encoding);
    EXPECT_EQ(e.exactQuoting, a.exactQuoting);
    EXPECT_EQ(e.nullEmpty, a.nullEmpty);
    EXPECT_EQ(e.multiRow, a.multiRow);
    EXPECT_EQ(e.transaction, a.transaction);
    EXPECT_EQ(e.copy, a.copy);
    EXPECT_EQ(e.tableMode, a.tableMode);
    EXPECT_EQ(e.nullMarkers, a.nullMarkers);
    EXPECT_EQ(e.tableName, a.tableName);
    EXPECT_EQ(expected.columns, actual.columns);
}

ConversionProfile profileOf(Dialect dialect, std::u16string table, char16_t separator, bool header,
                            TextEncoding encoding, bool exact, bool nullEmpty, bool multiRow, bool transaction,
                            bool copy, std::vector<ProfileColumn> columns)
{
    ConversionProfile p;
    p.script.dialect = dialect;
    p.script.tableName = std::move(table);
    p.script.separator = separator;
    p.script.headerLine = header;
    p.script.encoding = encoding;
    p.script.exactQuoting = exact;
    p.script.nullEmpty = nullEmpty;
    p.script.multiRow = multiRow;
    p.script.transaction = transaction;
    p.script.copy = copy;
    p.columns = std::move(columns);
    return p;
}

// Each row turns every setting away from the one before it, and together
// they give each database, separators that TOML must escape, and names and
// types that need quoting.
const std::vector<ConversionProfile>& roundTripProfiles()
{
    static const std::vector<ConversionProfile> profiles{
        ConversionProfile{},
        profileOf(Dialect::MsSql, u"dbo.\"Orders\"", u';', true, TextEncoding::Ansi, true, true, true, true, false,
                  {{u"id", u"int"}, {u"price \u20AC", u"decimal(10,2)"}, {u"", u""}}),
        profileOf(Dialect::Access, u"", u'\t', false, TextEncoding::Utf8, false, false, false, false, false,
                  {{u"a\tb", u"longtext"}}),
        profileOf(Dialect::Oracle, u"T\\1", u'|', true, TextEncoding::Ansi, false, true, false, true, false,
                  {{u"say \"hi\"", u"varchar2(20 char)"}, {u"back\\slash", u"clob"}}),
        profileOf(Dialect::PostgreSql, u"\u00E7\u011F \U0001F600", u'"', false, TextEncoding::Utf8, true, false, true,
                  true, true, {{u"line\nbreak", u"text"}, {u"#not a comment", u"int # nor this"}}),
        profileOf(Dialect::IbmDb2, u"X", u'\\', true, TextEncoding::Utf8, false, true, true, false, false, {}),
        profileOf(Dialect::Sqlite, u"t", u'\u00A7', false, TextEncoding::Ansi, true, true, false, false, false,
                  {{u"'single'", u"integer"}}),
        profileOf(Dialect::MySql, u"t", u'#', true, TextEncoding::Utf8, true, false, false, true, false,
                  {{u"=", u"[x]"}}),
        // Characters the parser is handed as stand-ins, and the Private Use
        // characters those are made of.
        profileOf(Dialect::MySql, u"\u00A1\u0499\u2C5E\u3000\u3001\uFB26\uFEFE\uFEFF", u'\u00E9', false,
                  TextEncoding::Utf8, false, false, false, false, false,
                  {{u"\uE000", u"\uE000\uE000\uE100"}, {u"\uE100\uE000", u"\uECCB\uE000"}}),
        // The file's own Private Use characters beside stand-ins, the
        // replacement character, and characters beyond U+FFFF.
        profileOf(Dialect::MySql, u"\uE000\u00E9\uE100\uFFFD\U0001F600\U000F0000\u0416", u'\u0416', false,
                  TextEncoding::Utf8, false, false, false, false, false,
                  {{u"\uE000\u00A1", u"\uE001\uE148"}, {u"\uFFFD\uE000", u"\U0010FFFD\uF8FF\uE0FF"}}),
    };
    return profiles;
}

TEST(ConversionProfileText, EverySettingSurvivesWriteAndRead)
{
    const auto& profiles = roundTripProfiles();
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        SCOPED_TRACE("profile " + std::to_string(i) + ":\n" + profileText(profiles[i]));
        expectSameProfile(profiles[i], parseProfile(profileText(profiles[i]), "p.toml"));
    }
}

TEST(ConversionProfileText, FileRoundTripReplacesTheEarlierFile)
{
    quarrow::test::TempDir dir;
    const auto path = dir.path() / "weekly.toml";
    const auto& profiles = roundTripProfiles();
    for (const auto& profile : {profiles[4], profiles[1]}) {
        quarrow::writeProfileFile(path, profile);
        expectSameProfile(profile, quarrow::readProfileFile(path));
    }
    EXPECT_THROW(quarrow::writeProfileFile(dir.path() / "missing" / "p.toml", profiles[1]), quarrow::OutputError);
}

// The file people read and edit: the README shows it.
TEST(ConversionProfileText, WrittenTextIsCommentedAndOneSettingALine)
{
    const ConversionProfile profile = profileOf(Dialect::PostgreSql, u"orders", u'\t', true, TextEncoding::Utf8, false,
                                                true, false, true, false, {{u"id", u"int"}, {u"city", u"text"}});
    EXPECT_EQ(profileText(profile),
              "# Quarrow conversion profile: the settings of a CSV to SQL conversion and the\n"
              "# column types, by position. A missing setting takes its default.\n"
              "version = 1\n"
              "database = \"postgresql\"     # mysql mssql access oracle postgresql ibmdb2 sqlite\n"
              "table = \"orders\"\n"
              "separator = \"\\t\"            # one character; \"\\t\" is Tab\n"
              "header = true               # the first line holds the column names\n"
              "encoding = \"utf8\"           # utf8 or ansi: reading the CSV and writing the script\n"
              "exact-quoting = false       # values keep their line breaks, quotes and blanks\n"
              "null-empty = true           # NULL for empty cells\n"
              "multi-row = false           # multi-row INSERT statements\n"
              "transaction = true          # the whole script one transaction\n"
              "copy = false                # PostgreSQL only: the rows as COPY ... FROM stdin\n"
              "null-markers = []           # values written as NULL, such as \"NA\"\n"
              "table-mode = \"create\"       # create create-if-missing replace append (rows only)\n"
              "columns = [\n"
              "  { name = \"id\", type = \"int\" },\n"
              "  { name = \"city\", type = \"text\" },\n"
              "]\n");
}

TEST(ConversionProfileText, HandWrittenProfilesTakeDefaultsAndTomlForms)
{
    struct Case {
        std::string_view text;
        ConversionProfile expected;
    };
    const std::vector<Case> cases{
        {"version = 1\n", ConversionProfile{}},
        // A byte-order mark, literal strings, the two characters \t for Tab,
        // columns as an array of tables, a column without a name.
        {"\xEF\xBB\xBF# weekly\nversion = 1\nseparator = '\\t'\ntable = 'a\\b'\n[[columns]]\ntype = \"int\"\n"
         "[[columns]]\nname = \"b\"\ntype = 'varchar(5)'\n",
         profileOf(Dialect::MySql, u"a\\b", u'\t', false, TextEncoding::Utf8, false, false, false, false, false,
                   {{u"", u"int"}, {u"b", u"varchar(5)"}})},
        // A line-ending backslash, then a character beyond ASCII.
        {"version = 1\ntable = \"\"\"a\\\n  \xC3\xA9\"\"\"\n",
         profileOf(Dialect::MySql, u"a\u00E9", u',', false, TextEncoding::Utf8, false, false, false, false, false, {})},
        // Escaped Private Use characters are what they say, whatever the
        // file holds beside them; in a literal string an escape is text.
        {"version = 1\ntable = \"\\uE000\\uE100|\\uE000\xC3\xA9|\\uE000\\uE000|\\ue000\xEE\x80\x81\"\n",
         profileOf(Dialect::MySql, u"\uE000\uE100|\uE000\u00E9|\uE000\uE000|\uE000\uE001", u',', false,
                   TextEncoding::Utf8, false, false, false, false, false, {})},
        {"version = 1\ntable = '\\uE000\xEE\x80\x80\xD0\x96'\n",
         profileOf(Dialect::MySql, u"\\uE000\uE000\u0416", u',', false, TextEncoding::Utf8, false, false, false, false,
                   false, {})},
        {"version = 1\ntable = \"\\uFFFD\\U0001F600\\U000F0000\xEF\xBF\xBD\"\n",
         profileOf(Dialect::MySql, u"\uFFFD\U0001F600\U000F0000\uFFFD", u',', false, TextEncoding::Utf8, false, false,
                   false, false, false, {})},
        {"copy = true\ndatabase = \"postgresql\"\nversion = 1\nencoding = \"ansi\"\n",
         profileOf(Dialect::PostgreSql, u"NEW_TABLE", u',', false, TextEncoding::Ansi, false, false, false, false, true,
                   {})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        expectSameProfile(c.expected, parseProfile(c.text, "p.toml"));
    }
}

// Each refusal names the file, the line and the key, and says what was wrong.
TEST(ConversionProfileText, RefusedProfilesNameFileLineAndKey)
{
    struct Case {
        std::string_view text;
        std::uint64_t line;
        std::string_view place;
        std::string_view reason;
    };
    const std::vector<Case> cases{
        {"version = 1\nseparater = \";\"\n", 2, "key \"separater\"", "unknown key"},
        {"version = 1\n[options]\nheader = true\n", 2, "key \"options\"", "unknown key"},
        {"version = 1\nheader = \"yes\"\n", 2, "key \"header\"", "expected true or false, found a string"},
        {"version = 1\ntable = 5\n", 2, "key \"table\"", "expected a string in quotes, found an integer"},
        {"version = 1\nnull-empty = 1\n", 2, "key \"null-empty\"", "expected true or false, found an integer"},
        {"version = 1\n\ndatabase = \"pg\"\n", 3, "key \"database\"", "unknown database \"pg\""},
        {"version = 1\nseparator = \"\"\n", 2, "key \"separator\"", "the separator must not be empty"},
        {"version = 1\nseparator = \";;\"\n", 2, "key \"separator\"", "must be one character"},
        // One character, but two UTF-16 units: as written and escaped. The
        // TOML reader itself refuses a lone surrogate.
        {"version = 1\nseparator = \"\xF0\x9F\x98\x80\"\n", 2, "key \"separator\"",
         "must be one character from U+0000 to U+FFFF (the Basic Multilingual Plane): \xF0\x9F\x98\x80 (U+1F600)"},
        {"version = 1\nseparator = '\xF0\x9F\x98\x80;'\n", 2, "key \"separator\"", "(U+1F600) lies beyond it"},
        {"version = 1\nseparator = \"\\U0001F600\"\n", 2, "key \"separator\"", "(U+1F600) lies beyond it"},
        {"version = 1\nseparator = \"\\uD83D\"\n", 2, "column", "surrogates"},
        {"version = 1\nencoding = \"latin1\"\n", 2, "key \"encoding\"", "unknown encoding \"latin1\""},
        {"version = 2\n", 1, "key \"version\"", "version 2 is newer than this program reads (up to 1)"},
        {"version = 0\n", 1, "key \"version\"", "version 0 does not exist"},
        {"version = \"1\"\n", 1, "key \"version\"", "expected an integer, found a string"},
        {"table = \"t\"\n", 0, "", "the \"version\" key is missing"},
        {"version = 1\ncopy = true\n", 2, "key \"copy\"", "copy = true needs database = \"postgresql\""},
        {"version = 1\ncolumns = \"int\"\n", 2, "key \"columns\"", "expected a list"},
        {"version = 1\ncolumns = [\n  { name = \"a\", type = \"int\" },\n  \"text\",\n]\n", 4, "columns entry 2",
         "found a string"},
        {"version = 1\ncolumns = [\n  { name = \"a\", typ = \"int\" },\n]\n", 3, "columns entry 1, key \"typ\"",
         "unknown key (known: name, type)"},
        {"version = 1\ncolumns = [\n  { name = \"a\" },\n]\n", 3, "columns entry 1", "the \"type\" key is missing"},
        {"version = 1\ncolumns = [\n  { name = \"a\", type = 4 },\n]\n", 3, "columns entry 1, key \"type\"",
         "expected a string in quotes, found an integer"},
        // Not TOML at all: the parser's own account, with its place.
        {"version = 1\nheader = tru\n", 2, "column", ""},
        {"version = 1\nversion = 1\n", 2, "column", ""},
        {"version = 1\ntable = \"\xC3\x28\"\n", 2, "column", ""},
        // Characters beyond ASCII where the parser looks for a blank, and a
        // table header it once stopped at.
        {"\xC3\xA9 = 1\nversion = 1\n", 1, "column", ""},
        {"version = 1\xC3\xA9\n", 1, "column", ""},
        {"version = 1\nheader = tru\xEF\xBA\xBF\n", 2, "column", ""},
        {"[= v\n", 1, "column", ""},
        {"version = 1\n\"\xC3\xA9\" = 1\n", 2, "key \"\xC3\xA9\"", "unknown key"},
        {"version = 1\ndatabase = \"\xC3\xA9\"\n", 2, "key \"database\"", "unknown database \"\xC3\xA9\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        try {
            parseProfile(c.text, "weekly.toml");
            ADD_FAILURE() << "accepted";
        } catch (const ProfileError& e) {
            const std::string message = e.what();
            EXPECT_EQ(e.file(), "weekly.toml");
            EXPECT_EQ(e.line(), c.line);
            EXPECT_NE(e.place().find(c.place), std::string::npos) << e.place();
            EXPECT_NE(e.reason().find(c.reason), std::string::npos) << e.reason();
            EXPECT_EQ(message.rfind("Cannot read profile weekly.toml: ", 0), 0u) << message;
            if (c.line > 0) {
                EXPECT_NE(message.find("line " + std::to_string(c.line) + ", "), std::string::npos) << message;
            }
        }
    }
}

// No profile is written that could not be read back as the separator it
// was: half a character would come back as U+FFFD.
TEST(ConversionProfileText, HalfACharacterSeparatorIsNeverWritten)
{
    for (const char16_t half : {u'\xD83D', u'\xDE00'}) {
        ConversionProfile profile;
        profile.script.separator = half;
        EXPECT_THROW(profileText(profile), std::invalid_argument) << int{half};
    }
    ConversionProfile profile;
    profile.script.separator = u'\uFFFF';
    EXPECT_EQ(parseProfile(profileText(profile), "p.toml").script.separator, u'\uFFFF');
}

// The parser's account of a fault shows the file's own characters, and its
// column counts the file's characters (code points) from 1, whatever
// characters come before it on the line.
TEST(ConversionProfileText, ParseErrorsShowTheFilesColumnAndCharacter)
{
    struct Case {
        std::string_view text;
        std::uint64_t line;
        std::uint64_t column;
        std::string_view reason;
    };
    const std::vector<Case> cases{
        {"version = 1\ntable = \"abc\" x\n", 2, 15, "saw 'x'"},
        {"version = 1\ntable = \"\xD0\xB6\xD0\xB6\xD0\xB6\" x\n", 2, 15, "saw 'x'"},
        {"version = 1\ntable = \"\xD0\xB6\xD0\xB6\xD0\xB6\" \xC3\xA9\n", 2, 15, "saw '\xC3\xA9'"},
        {"version = 1\ntable = \"\xF0\x9F\x98\x80\xE4\xB8\xAD\" \xEF\xBA\xBF\n", 2, 14, "saw '\xEF\xBA\xBF'"},
        {"\xC3\xA9 = 1\nversion = 1\n", 1, 1, "saw '\xC3\xA9'"},
        {"version = 1\ntable = \"\\\xC3\xA9\"\n", 2, 11, "unknown escape sequence '\\\xC3\xA9'"},
        // The parser shows this one as an escape.
        {"version = 1\ntable = \"\xD0\xB6\"\r\xC3\xA9\n", 2, 13, "saw '\\u00E9'"},
        // The file's own U+E000, where the reader once kept its mark.
        {"version = 1\ntable = \"\xEE\x80\x80\xD0\xB6\" \xEE\x80\x80\n", 2, 14, "saw '\xEE\x80\x80'"},
        {"version = 1\n\"\xD0\xB6\" = 1\n\"\xD0\xB6\" = 2\n", 3, 7, "cannot redefine existing integer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        try {
            parseProfile(c.text, "weekly.toml");
            ADD_FAILURE() << "accepted";
        } catch (const ProfileError& e) {
            EXPECT_EQ(e.line(), c.line);
            EXPECT_EQ(e.place(), "column " + std::to_string(c.column));
            EXPECT_NE(e.reason().find(c.reason), std::string::npos) << e.reason();
            EXPECT_EQ(e.reason().find("\xEE\x80\x81"), std::string::npos) << e.reason();
            EXPECT_NE(std::string(e.what()).find("line " + std::to_string(c.line) + ", column "
                                                 + std::to_string(c.column) + ": "),
                      std::string::npos)
                << e.what();
        }
    }
}

// A file that holds every character the reader could take for its mark is
// refused, not misread.
TEST(ConversionProfileText, FileWithEveryPrivateUseCharacterIsRefused)
{
    std::string text = "version = 1\n#";
    auto append = [&](char32_t c) {
        if (c < 0x10000) {
            text += static_cast<char>(0xE0 | (c >> 12));
        } else {
            text += static_cast<char>(0xF0 | (c >> 18));
            text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        }
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    };
    for (char32_t c = 0xE000; c <= 0xF8FF; ++c)
        append(c);
    for (char32_t c = 0xF0000; c <= 0x10FFFD; ++c)
        if ((c & 0xFFFE) != 0xFFFE)
            append(c);
    text += "\n";
    EXPECT_THROW(parseProfile(text, "p.toml"), ProfileError);
    // One of them only as an escape, in a literal string: still refused.
    const std::size_t at = text.find("\xF4\x8F\xBF\xBD");
    ASSERT_NE(at, std::string::npos);
    text.erase(at, 4);
    text += "x = '\\U0010FFFD'\n";
    try {
        parseProfile(text, "p.toml");
        ADD_FAILURE() << "accepted";
    } catch (const ProfileError& e) {
        EXPECT_EQ(e.line(), 0u);
        EXPECT_NE(e.reason().find("Private Use"), std::string::npos) << e.reason();
    }
    // Without the escape, the one left free serves.
    text.erase(text.rfind("x = "));
    EXPECT_NO_THROW(parseProfile(text, "p.toml"));
}

TEST(ConversionProfileText, MissingFileIsRefusedWithItsName)
{
    quarrow::test::TempDir dir;
    const auto path = dir.path() / "gone.toml";
    try {
        quarrow::readProfileFile(path);
        ADD_FAILURE() << "read a missing file";
    } catch (const ProfileError& e) {
        EXPECT_NE(std::string(e.what()).find("gone.toml"), std::string::npos) << e.what();
        EXPECT_EQ(e.line(), 0u);
    }
}

TEST(ConversionProfileColumns, TypesApplyByPositionAndCountTheMatches)
{
    struct Case {
        std::size_t profileColumns;
        std::vector<std::u16string> before;
        std::vector<std::u16string> after;
        std::size_t matched;
    };
    const std::vector<Case> cases{
        {3, {u"text", u"text", u"text", u"text", u"text"}, {u"t1", u"t2", u"t3", u"text", u"text"}, 3},
        {3, {u"text", u"text"}, {u"t1", u"t2"}, 2},
        {0, {u"text"}, {u"text"}, 0},
        {2, {}, {}, 0},
    };
    for (const auto& c : cases) {
        ConversionProfile profile;
        for (std::size_t i = 0; i < c.profileColumns; ++i)
            profile.columns.push_back({u"c", u"t" + std::u16string(1, static_cast<char16_t>(u'1' + i))});
        auto types = c.before;
        const auto applied = quarrow::applyProfileColumnTypes(profile, types);
        EXPECT_EQ(types, c.after);
        EXPECT_EQ(applied.matched, c.matched);
        EXPECT_EQ(applied.columns, c.before.size());
        EXPECT_EQ(applied.profile, c.profileColumns);
    }
}

} // namespace
