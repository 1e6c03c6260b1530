// NULL markers: values the user names (NA, \N) written as NULL when the
// whole cleaned value is one, in every way a row is written, and counted
// apart by the profiler so that they keep no column from a narrow type.

#include "tests/engine/ScriptExport.h"

#include "engine/csv/NullMarkers.h"
#include "engine/profile/ColumnProfile.h"
#include "engine/profile/TypeSuggestion.h"
#include "engine/settings/ConversionProfile.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarrow {
namespace {

using test::exportCsv;

// The value lines of a script, one a row: "(...)" as written.
std::vector<std::string> valueLines(const std::string& script)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < script.size()) {
        auto end = script.find("\r\n", at);
        if (end == std::string::npos)
            end = script.size();
        std::string line = script.substr(at, end - at);
        if (line.starts_with("(")) {
            if (line.ends_with(";") || line.ends_with(","))
                line.pop_back();
            lines.push_back(line);
        }
        at = end + 2;
    }
    return lines;
}

ScriptOptions markerOptions(Dialect dialect, char16_t separator = u',')
{
    ScriptOptions options;
    options.dialect = dialect;
    options.headerLine = true;
    options.separator = separator;
    options.nullMarkers = {u"NA", u"\\N", u"N/A"};
    return options;
}

TEST(NullMarkers, WholeCleanedValuesOnlyInEveryWayOfWritingARow)
{
    // Field clean-up drops every double quote and trims blanks first, so
    // "NA", " NA " and N"A are the marker; na, NAN and xNA are values.
    const std::string csv = "a,b,c,d\r\n"
                            "NA,\"NA\", NA ,N\"A\r\n"
                            "na,NAN,xNA,\\N\r\n"
                            "N/A,\"it's\",,\"N/A\"\r\n";
    const std::vector<std::string> expected = {
        "(NULL,NULL,NULL,NULL)",
        "('na','NAN','xNA',NULL)",
        "(NULL,'it''s','',NULL)",
    };
    // A comma takes the one-pass writer (UTF-8 bytes as they are, and UTF-16
    // text in ANSI); a separator outside ASCII goes field by field.
    for (const char16_t separator : {u',', u'\u00A7'}) {
        for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Ansi}) {
            SCOPED_TRACE(std::to_string(separator) + (encoding == TextEncoding::Ansi ? " ansi" : " utf8"));
            std::string input = csv;
            if (separator != u',') {
                std::string replaced;
                for (const char c : input)
                    replaced += c == ',' ? std::string("\xC2\xA7") : std::string(1, c);
                input = replaced;
                if (encoding == TextEncoding::Ansi)
                    continue; // the separator is UTF-8 here
            }
            ScriptOptions options = markerOptions(Dialect::Sqlite, separator);
            options.encoding = encoding;
            EXPECT_EQ(valueLines(exportCsv(input, options)), expected);
        }
    }
    // MySQL doubles the backslash of a value; the marker \N still matches
    // the value as read.
    EXPECT_EQ(valueLines(exportCsv("a\r\n\\N\r\n\\\\N\r\n", markerOptions(Dialect::MySql))),
              (std::vector<std::string>{"(NULL)", "('\\\\\\\\N')"}));
}

TEST(NullMarkers, PlainFieldsAreLookedAtOneByOne)
{
    // Rows of many short plain fields, which the writer otherwise copies
    // many at a time.
    std::string csv = "h";
    std::string row = "x";
    std::string expected = "('x'";
    for (int i = 1; i < 40; ++i) {
        csv += ",h" + std::to_string(i);
        row += i % 3 == 0 ? ",NA" : ",v" + std::to_string(i);
        expected += i % 3 == 0 ? ",NULL" : ",'v" + std::to_string(i) + "'";
    }
    csv += "\r\n" + row + "\r\n" + row + "\r\n";
    expected += ")";
    const auto lines = valueLines(exportCsv(csv, markerOptions(Dialect::PostgreSql)));
    EXPECT_EQ(lines, (std::vector<std::string>{expected, expected}));
}

TEST(NullMarkers, ReadExactlyAQuotedValueIsAValue)
{
    ScriptOptions options = markerOptions(Dialect::Sqlite);
    options.exactQuoting = true;
    options.nullEmpty = true;
    const std::string csv = "a,b,c,d\r\nNA,\"NA\", NA,\"x\r\ny\"\r\n\\N,,N/A,\"\"\r\n";
    EXPECT_EQ(valueLines(exportCsv(csv, options)),
              (std::vector<std::string>{"(NULL,'NA',' NA','x'||char(13)||char(10)||'y')", "(NULL,NULL,NULL,NULL)"}));
}

TEST(NullMarkers, CopyWritesThemAsBackslashN)
{
    ScriptOptions options = markerOptions(Dialect::PostgreSql);
    options.copy = true;
    options.tableName = u"t";
    const std::string csv = "a,b,c,d\r\nNA,\" NA \",na,\"NA\"\r\n";
    const std::string script = exportCsv(csv, options);
    EXPECT_NE(script.find("FROM stdin;\r\n\\N\t\\N\tna\t\\N\r\n\\.\r\n"), std::string::npos) << script;
    options.exactQuoting = true;
    const std::string exact = exportCsv(csv, options);
    EXPECT_NE(exact.find("FROM stdin;\r\n\\N\t NA \tna\tNA\r\n\\.\r\n"), std::string::npos) << exact;
}

TEST(NullMarkers, NoneByDefaultAndTheScriptStaysAsItWas)
{
    EXPECT_TRUE(ScriptOptions{}.nullMarkers.empty());
    ScriptOptions with = markerOptions(Dialect::MySql);
    ScriptOptions without = with;
    without.nullMarkers.clear();
    const std::string csv = "a,b\r\nx,y\r\nNAB,\"N A\"\r\n";
    EXPECT_EQ(exportCsv(csv, with), exportCsv(csv, without));
}

TEST(NullMarkers, ProfilerCountsThemApartSoTheyRuleNoTypeOut)
{
    const auto markers = std::make_shared<const NullMarkers>(std::vector<std::u16string>{u"NA", u"-"});
    const std::vector<std::u16string> rows = {u"1,NA,2020-01-02", u"NA,-,\"NA\"", u"3,2.5,-", u"4,x, NA"};
    TableProfiler whole(3, u',');
    whole.setNullMarkers(markers);
    whole.startFile("f.csv");
    for (const auto& row : rows)
        whole.addRow(row);
    const TableProfile& profile = whole.profile();
    EXPECT_EQ(profile.nullMarkerCells, (std::vector<std::uint64_t>{4, 2}));
    EXPECT_EQ(profile.columns[0].nullMarkers, 1u);
    EXPECT_EQ(profile.columns[0].kind(false), ValueKind::Integer);
    EXPECT_EQ(profile.columns[1].kind(false), ValueKind::Text); // x
    EXPECT_EQ(profile.columns[2].kind(false), ValueKind::Date);
    EXPECT_EQ(profile.columns[2].nonEmpty, 1u);

    // Profiled in two parts and added up: the same.
    TableProfiler first(3, u',');
    first.setNullMarkers(markers);
    first.startFile("f.csv");
    first.addRow(rows[0]);
    first.addRow(rows[1]);
    TableProfiler second(3, u',');
    second.setNullMarkers(markers);
    second.resumeFile(0, "f.csv", 2);
    second.addRow(rows[2]);
    second.addRow(rows[3]);
    first.append(second.profile());
    EXPECT_EQ(first.profile(), profile);

    // Without markers the same rows keep the columns text.
    TableProfiler plain(3, u',');
    plain.startFile("f.csv");
    for (const auto& row : rows)
        plain.addRow(row);
    EXPECT_EQ(plain.profile().columns[0].kind(false), ValueKind::Text);
    EXPECT_TRUE(plain.profile().nullMarkerCells.empty());
}

TEST(NullMarkers, ProfilesKeepThemAndRefuseAnEmptyOne)
{
    ConversionProfile profile;
    profile.script.nullMarkers = {u"NA", u"\\N", u"\"quoted\""};
    EXPECT_EQ(parseProfile(profileText(profile), "p.toml").script.nullMarkers, profile.script.nullMarkers);
    EXPECT_TRUE(parseProfile("version = 1\n", "old.toml").script.nullMarkers.empty());
    for (const auto& [text, reason] : std::vector<std::pair<std::string, std::string>>{
             {"version = 1\nnull-markers = [\"NA\", \"\"]\n",
              "Cannot read profile p.toml: line 2, key \"null-markers\": a NULL marker must not be empty (empty "
              "cells become NULL with null-empty, -n)"},
             {"version = 1\nnull-markers = \"NA\"\n",
              "Cannot read profile p.toml: line 2, key \"null-markers\": expected a list of texts in quotes, found a "
              "string"},
             {"version = 1\nnull-markers = [\"NA\", 1]\n",
              "Cannot read profile p.toml: line 2, null-markers entry 2: expected a string in quotes, found an "
              "integer"},
         }) {
        try {
            parseProfile(text, "p.toml");
            ADD_FAILURE() << "taken: " << text;
        } catch (const ProfileError& e) {
            EXPECT_EQ(std::string(e.what()), reason);
        }
    }
}

} // namespace
} // namespace quarrow
