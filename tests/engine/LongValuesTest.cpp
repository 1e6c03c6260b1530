// Values too long or too broken up for one plain literal: Oracle's line
// limit, and the depth of the expressions that join a value's parts.

#include "tests/engine/ValueExpressions.h"
#include "tests/support/TempDir.h"

#include "engine/sql/ScriptLines.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quarrow {
namespace {

using test::linesOf;
using test::TempDir;
using test::ValueExpressionReader;

struct ScriptSetup {
    Dialect dialect = Dialect::Oracle;
    bool exact = false;
    bool multiRow = false;
    bool transaction = false;
    TextEncoding encoding = TextEncoding::Utf8;
};

std::string exportCsv(const std::string& csv, const ScriptSetup& setup)
{
    TempDir dir;
    ScriptOptions options;
    options.dialect = setup.dialect;
    options.tableName = u"t";
    options.headerLine = true;
    options.multiRow = setup.multiRow;
    options.transaction = setup.transaction;
    options.exactQuoting = setup.exact;
    options.encoding = setup.encoding;
    Workspace workspace;
    LoadOptions load = loadOptionsFor(options);
    load.encoding = TextEncoding::Utf8; // the files below are UTF-8
    workspace.load(dir.write("in.csv", csv), load);
    StringSink sink;
    Donustur(workspace, options, sink);
    return sink.bytes;
}

std::size_t longestLine(const std::string& script)
{
    std::size_t longest = 0;
    for (const auto line : linesOf(script))
        longest = std::max(longest, line.size());
    return longest;
}

// At the limit a value line stays whole; a byte more and it breaks after
// the comma between the values. Every row of a multi-row statement ends in
// its terminator like the last, and the transaction changes no line.
TEST(OracleLines, ValueLinesBreakBetweenValuesPastTheLimit)
{
    // "(" + 'X' + "," + 'Y' + ")" + terminator: 1,400 + 1,091 + 8 = 2,499 bytes.
    const std::string x(1400, 'x');
    struct Case {
        const char* name;
        std::size_t y;
        bool multiRow;
        bool transaction;
        std::string rows; // after the INSERT header, \n for CR LF
    };
    const std::string y1091(1091, 'y');
    const std::string y1092(1092, 'y');
    const std::vector<Case> cases = {
        {"at the limit", 1091, false, false, "('" + x + "','" + y1091 + "');\n"},
        {"a byte past it", 1092, false, false, "('" + x + "',\n'" + y1092 + "');\n"},
        {"multi-row at the limit", 1091, true, true,
         "('" + x + "','" + y1091 + "'),\n('" + x + "','" + y1091 + "');\n"},
        {"multi-row a byte past it", 1092, true, true,
         "('" + x + "',\n'" + y1092 + "'),\n('" + x + "',\n'" + y1092 + "');\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string row = x + "," + std::string(c.y, 'y') + "\r\n";
        ScriptSetup setup;
        setup.multiRow = c.multiRow;
        setup.transaction = c.transaction;
        const std::string script = exportCsv("a,b\r\n" + row + (c.multiRow ? row : ""), setup);
        std::string expected;
        for (const char ch : c.rows)
            expected += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        const std::string header = "INSERT INTO t (a,b) VALUES\r\n";
        const auto at = script.find(header);
        ASSERT_NE(at, std::string::npos);
        std::string rows = script.substr(at + header.size());
        if (c.transaction) {
            ASSERT_TRUE(rows.ends_with("COMMIT;\r\n")) << rows.substr(rows.size() - 20);
            rows.resize(rows.size() - 9);
        }
        EXPECT_TRUE(rows == expected) << rows.size() << " bytes against " << expected.size();
        EXPECT_LE(longestLine(script), kOracleLineBytes);
    }
}

// A value's parts go on lines of their own where they must, each line
// beginning with the || that joins its part, and the value read back is
// the value.
TEST(OracleLines, LongValuesBreakBeforeTheirJoiners)
{
    const std::string value(9000, 'v');
    const std::string script = exportCsv("a\r\n" + value + "\r\n", ScriptSetup{});
    const std::string v2398(2398, 'v');
    const std::string piece = "TO_CLOB('" + v2398 + "')";
    EXPECT_NE(script.find("VALUES\r\n(" + piece + "\r\n||" + piece + "\r\n||" + piece + "\r\n||TO_CLOB('"
                          + std::string(9000 - 3 * 2398, 'v') + "'));\r\n"),
              std::string::npos)
        << script.substr(0, 200);
    ValueExpressionReader reader(script, Dialect::Oracle);
    const auto rows = reader.rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0][0].bytes == value);
}

// The INSERT header of a wide table breaks between its column names.
TEST(OracleLines, HeaderBreaksBetweenColumnNames)
{
    std::string header;
    std::string row;
    for (int i = 0; i < 900; ++i) {
        header += (i > 0 ? "," : "") + std::string("column_") + std::to_string(i);
        row += (i > 0 ? "," : "") + std::to_string(i);
    }
    const std::string script = exportCsv(header + "\r\n" + row + "\r\n", ScriptSetup{});
    EXPECT_LE(longestLine(script), kOracleLineBytes);
    const auto at = script.find("INSERT INTO t (");
    ASSERT_NE(at, std::string::npos);
    std::string insert = script.substr(at, script.find(" VALUES\r\n", at) - at);
    EXPECT_NE(insert.find(",\r\ncolumn_"), std::string::npos);
    std::erase(insert, '\r');
    std::erase(insert, '\n');
    EXPECT_TRUE(insert == "INSERT INTO t (" + header + ")");
    ValueExpressionReader reader(script, Dialect::Oracle);
    const auto rows = reader.rows();
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), 900u);
    EXPECT_EQ(rows[0][899].bytes, "899");
}

// Wide rows of values of every length up to several pieces, with
// apostrophes, multi-byte characters and (read exactly) line breaks, in
// each encoding and statement form: no line passes the limit, and every
// value read back from its pieces is the value.
TEST(OracleLines, NoLinePassesTheLimitAndEveryValueReadsBack)
{
    const std::string e = "\xC3\xA9";
    const std::string cjk = "\xE4\xB8\xAD";
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Ansi}) {
        for (const bool exact : {false, true}) {
            std::mt19937 random(exact ? 2499 : 2500);
            constexpr int kColumns = 40;
            std::string csv;
            for (int c = 0; c < kColumns; ++c)
                csv += (c > 0 ? "," : "") + std::string("c") + std::to_string(c);
            csv += "\r\n";
            std::vector<std::vector<std::string>> values; // as the database holds them, UTF-8
            for (int r = 0; r < 30; ++r) {
                std::vector<std::string> row;
                for (int c = 0; c < kColumns; ++c) {
                    const std::size_t length = random() % 8 == 0 ? random() % 12000 : random() % 300;
                    std::string value;
                    while (value.size() < length) {
                        switch (random() % 12) {
                        case 0: value += "'"; break;
                        case 1: value += e; break;
                        case 2: value += encoding == TextEncoding::Utf8 ? cjk : "x"; break;
                        case 3: value += exact ? "\r\n" : "y"; break;
                        case 4: value += exact ? "\n" : "z"; break;
                        case 5: value += exact ? ",||\"" : "||"; break; // breaks outside literals only
                        default: value += std::string(random() % 40 + 1, static_cast<char>('a' + random() % 26));
                        }
                    }
                    // The default reading trims blanks at the ends; none are there.
                    if (exact) {
                        std::string quoted;
                        for (const char ch : value)
                            quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
                        csv += "\"" + quoted + "\"";
                    } else {
                        csv += value;
                    }
                    csv += c + 1 < kColumns ? "," : "\r\n";
                    row.push_back(value);
                }
                values.push_back(std::move(row));
            }
            for (const auto& [multiRow, transaction] :
                 {std::pair{false, false}, std::pair{true, false}, std::pair{true, true}}) {
                SCOPED_TRACE(std::string(encoding == TextEncoding::Utf8 ? "utf-8" : "ansi")
                             + (exact ? " exact" : " default") + (multiRow ? " -m" : "")
                             + (transaction ? " --transaction" : ""));
                ScriptSetup setup;
                setup.exact = exact;
                setup.encoding = encoding;
                setup.multiRow = multiRow;
                setup.transaction = transaction;
                const std::string script = exportCsv(csv, setup);
                EXPECT_LE(longestLine(script), kOracleLineBytes);
                ValueExpressionReader reader(script, Dialect::Oracle);
                std::vector<std::vector<test::ReadValue>> rows;
                ASSERT_NO_THROW(rows = reader.rows());
                ASSERT_EQ(rows.size(), values.size());
                for (std::size_t r = 0; r < rows.size(); ++r) {
                    ASSERT_EQ(rows[r].size(), std::size_t{kColumns});
                    for (std::size_t c = 0; c < rows[r].size(); ++c) {
                        std::string expected = values[r][c];
                        if (encoding == TextEncoding::Ansi) {
                            for (std::size_t at = expected.find(e); at != std::string::npos; at = expected.find(e, at))
                                expected.replace(at, e.size(), "\xE9");
                        }
                        ASSERT_TRUE(rows[r][c].bytes == expected) << "row " << r << " column " << c;
                    }
                }
            }
        }
    }
}

// Every dialect that joins a value's parts with an operator groups them, so
// that a value with 20,000 line breaks of any kind is an expression far
// shallower than SQLite's 1,000 (a plain chain of 40,000 parts is 40,000
// deep); MySQL's CONCAT takes them as arguments, one level. Each reads back
// as the value.
TEST(ValueDepth, ManyLineBreaksMakeAShallowExpression)
{
    const std::vector<Dialect> dialects = {Dialect::Sqlite, Dialect::MsSql,  Dialect::Oracle,
                                           Dialect::IbmDb2, Dialect::Access, Dialect::MySql};
    for (const std::string breakText : {"\n", "\r", "\r\n"}) {
        std::string value;
        for (int i = 0; i < 20000; ++i)
            value += (i % 3 == 0 ? "ab" : "") + breakText;
        for (const Dialect dialect : dialects) {
            SCOPED_TRACE(std::string(dialectInfo(dialect).identifier) + " break "
                         + (breakText == "\n"   ? "LF"
                            : breakText == "\r" ? "CR"
                                                : "CR LF"));
            ScriptSetup setup;
            setup.dialect = dialect;
            setup.exact = true;
            const std::string script = exportCsv("id,note\r\n1,\"" + value + "\"\r\n", setup);
            ValueExpressionReader reader(script, dialect);
            std::vector<std::vector<test::ReadValue>> rows;
            ASSERT_NO_THROW(rows = reader.rows());
            ASSERT_EQ(rows.size(), 1u);
            ASSERT_EQ(rows[0].size(), 2u);
            EXPECT_TRUE(rows[0][1].bytes == value);
            // 40,000 to 60,000 parts: four levels of groups of 16 below 16
            // flat parts, and the calls around a break.
            EXPECT_LE(rows[0][1].depth, 70u);
            if (dialect == Dialect::Oracle) {
                EXPECT_LE(longestLine(script), kOracleLineBytes);
            }
        }
    }
}

// Up to 16 parts a value is the plain chain it always was; the 17th begins
// the first group.
TEST(ValueDepth, GroupsBeginAfterSixteenParts)
{
    ScriptSetup setup;
    setup.dialect = Dialect::Sqlite;
    setup.exact = true;
    std::string value;
    std::string chain;
    for (int i = 0; i < 8; ++i) {
        value += "x\n";
        chain += (i > 0 ? "||" : "") + std::string("'x'||char(10)");
    }
    auto row = [&](const std::string& v) {
        const std::string script = exportCsv("a\r\n\"" + v + "\"\r\n", setup);
        return script.substr(script.find("VALUES\r\n") + 8);
    };
    EXPECT_EQ(row(value), "(" + chain + ");\r\n");
    EXPECT_EQ(row(value + "y"), "(" + chain + "||('y'));\r\n");
    EXPECT_EQ(row(value + "x\nx\n"), "(" + chain + "||('x'||char(10)||'x'||char(10)));\r\n");
}

} // namespace
} // namespace quarrow
