// Round trips through real databases: a CSV file made to hurt is turned into
// a script by quarrow-cli, the script is loaded by the database's own
// command-line client into a fresh database, and every column name and cell
// read back must be what the CSV holds after field clean-up (in an ANSI
// script, as Windows-1252 holds it).

#include "tests/db/Databases.h"
#include "tests/db/Fixtures.h"
#include "tests/support/TempDir.h"

#include "engine/csv/ExactQuoting.h"
#include "engine/csv/FieldSplitter.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/text/Cp1252.h"
#include "engine/text/FitToEncoding.h"
#include "engine/text/UnicodeText.h"
#include "engine/text/Utf8.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <tuple>

namespace quarrow::dbtest {
namespace {

using test::TempDir;

enum class Engine { Sqlite, PostgreSql, MariaDb };

std::string engineName(Engine engine)
{
    switch (engine) {
    case Engine::Sqlite: return "SQLite";
    case Engine::PostgreSql: return "PostgreSQL";
    case Engine::MariaDb: return "MariaDB";
    }
    return "?";
}

// One server of each kind for the whole test program, started on first
// use in a temporary folder and stopped by TearDown (or, should the program
// die first, by the kernel: see ChildProcess).
class DatabaseEnvironment final : public ::testing::Environment {
public:
    static Database& get(Engine engine)
    {
        State& s = state();
        if (const auto found = s.databases.find(engine); found != s.databases.end())
            return *found->second;
        if (const auto failed = s.failures.find(engine); failed != s.failures.end())
            throw std::runtime_error(failed->second);
        if (!s.folder) {
            s.folder = std::make_unique<TempDir>();
            // The servers run as another account when the tests run as root.
            std::filesystem::permissions(s.folder->path(), std::filesystem::perms(0755));
        }
        try {
            const auto folder = s.folder->path();
            auto database = engine == Engine::Sqlite       ? makeSqlite(folder / "sqlite")
                            : engine == Engine::PostgreSql ? startPostgreSql(folder / "postgresql")
                                                           : startMariaDb(folder / "mariadb");
            return *s.databases.emplace(engine, std::move(database)).first->second;
        } catch (const std::exception& e) {
            // Later tests fail at once with the same reason instead of retrying.
            s.failures.emplace(engine, std::string("cannot start ") + engineName(engine) + ": " + e.what());
            throw std::runtime_error(s.failures.at(engine));
        }
    }

    void TearDown() override
    {
        state().databases.clear(); // stops the servers, before their folder goes
        state().folder.reset();
    }

private:
    struct State {
        std::unique_ptr<TempDir> folder; // declared first: outlives the servers
        std::map<Engine, std::unique_ptr<Database>> databases;
        std::map<Engine, std::string> failures;
    };
    static State& state()
    {
        static State s;
        return s;
    }
};

// The engine's fromUtf8 would take a mistyped fixture too, replacing what is
// not UTF-8; the round trips need the text exactly as written.
std::u16string fromValidUtf8(const std::string& text)
{
    std::u16string out(text.size(), u'\0');
    const auto decoded =
        utf8::decode(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out.data(), true);
    if (!decoded.valid || decoded.consumed != text.size())
        throw std::logic_error("not UTF-8: " + text);
    out.resize(decoded.written);
    return out;
}

// The text as a script in `encoding` holds it: in ANSI every character that
// Windows-1252 lacks is replaced by its substitute.
std::string asWritten(const std::string& text, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8)
        return text;
    std::uint64_t substituted = 0;
    return toUtf8(fitToEncoding(fromValidUtf8(text), TextEncoding::Ansi, substituted));
}

std::string fromWindows1252(const std::string& bytes)
{
    std::u16string text;
    cp1252::decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), text);
    return toUtf8(text);
}

// A value for a message: NULL, or the text in quotes with unprintable bytes
// as \xNN; long values are cut around `focus`.
std::string show(const Cell& cell, std::size_t focus = 0)
{
    if (!cell)
        return "NULL";
    const std::string& v = *cell;
    const std::size_t from = focus > 40 ? focus - 40 : 0;
    const std::size_t to = std::min(v.size(), from + 120);
    std::string out = "'";
    if (from > 0)
        out += "...";
    for (std::size_t i = from; i < to; ++i) {
        const auto c = static_cast<unsigned char>(v[i]);
        if (c < 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (to < v.size())
        out += "...";
    out += "'";
    if (v.size() > 120)
        out += " (" + std::to_string(v.size()) + " bytes)";
    return out;
}

std::string difference(const Cell& expected, const Cell& actual)
{
    std::size_t at = 0;
    if (expected && actual) {
        while (at < expected->size() && at < actual->size() && (*expected)[at] == (*actual)[at])
            ++at;
    }
    std::string text = "expected " + show(expected, at) + ", got " + show(actual, at);
    if (expected && actual && std::max(expected->size(), actual->size()) > 120)
        text += ", first difference at byte " + std::to_string(at);
    return text;
}

// The INSERT statements of a script, each from "INSERT INTO " up to and
// including the line end after its ";".
std::vector<std::string_view> insertStatements(std::string_view script)
{
    std::vector<std::string_view> statements;
    const std::string_view start = "\r\nINSERT INTO ";
    for (auto at = script.find(start); at != std::string_view::npos;) {
        const auto next = script.find(start, at + 1);
        const auto end = next == std::string_view::npos ? script.size() : next + 2;
        statements.push_back(script.substr(at + 2, end - at - 2));
        at = next;
    }
    return statements;
}

// A multi-row statement stays within the size limit unless it holds a
// single row.
void expectWithinTheStatementLimit(const std::vector<std::string_view>& statements, std::size_t limit)
{
    for (const auto statement : statements) {
        const auto lines = std::count(statement.begin(), statement.end(), '\n');
        EXPECT_TRUE(statement.size() <= limit || lines == 2)
            << "a statement of " << statement.size() << " bytes holds " << lines - 1 << " rows";
    }
}

struct Combination {
    bool nullEmpty;
    bool multiRow;
    bool transaction = false;   // --transaction
    bool copy = false;          // --copy
    bool standardInput = false; // the client reads the script from its standard input
};

// The converter may warn about rows whose field count differs from the
// columns; anything else on its error stream is a fault.
// The converter's stderr without its lines about rows with more or fewer
// fields than columns.
std::string withoutStructureWarnings(const std::string& err)
{
    std::istringstream lines(err);
    std::string rest;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("quarrow-cli: warning: ", 0) != 0 || line.find(" fields than the ") == std::string::npos)
            rest += line + "\n";
    }
    return rest;
}

enum class Family { Text, Number, Date, DateTime };

// What a column type of the script stores its values as.
Family familyOf(const std::string& type)
{
    for (const char* number :
         {"tinyint", "smallint", "mediumint", "int", "integer", "bigint", "decimal", "numeric", "real"}) {
        if (type == number || type.rfind(std::string(number) + "(", 0) == 0)
            return Family::Number;
    }
    if (type == "date")
        return Family::Date;
    if (type.rfind("datetime", 0) == 0 || type.rfind("timestamp", 0) == 0)
        return Family::DateTime;
    return Family::Text;
}

// Where the database has a type for the column's values, the suggestion must use it.
Family expectedFamily(Typed typed, Engine engine, bool nullEmpty)
{
    const bool sqlite = engine == Engine::Sqlite;
    switch (typed) {
    case Typed::Text: return Family::Text;
    case Typed::Integer:
    case Typed::Decimal: return Family::Number;
    case Typed::WideInteger: return sqlite ? Family::Text : Family::Number;
    case Typed::Sparse: return nullEmpty ? Family::Number : Family::Text;
    case Typed::Date: return sqlite ? Family::Text : Family::Date;
    case Typed::DateTime: return sqlite ? Family::Text : Family::DateTime;
    }
    return Family::Text;
}

// A number written plainly as the value it is: no leading zeros, no
// trailing zeros after the point, no point without digits after it, 0 unsigned.
std::string plainNumber(std::string text)
{
    bool negative = !text.empty() && text[0] == '-';
    if (negative)
        text.erase(0, 1);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    while (text.size() > 1 && text[0] == '0' && text[1] != '.')
        text.erase(0, 1);
    if (text == "0")
        negative = false;
    return (negative ? "-" : "") + text;
}

// A date-time with its fraction of a second written without trailing zeros.
std::string plainDateTime(std::string text)
{
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}

// The column types of the script's CREATE TABLE, in column order.
std::vector<std::string> scriptTypes(const std::string& script)
{
    std::vector<std::string> types;
    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line) && line.rfind("CREATE TABLE ", 0) != 0) {
    }
    while (std::getline(lines, line) && line.rfind(");", 0) != 0) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.back() == ',')
            line.pop_back();
        types.push_back(line.substr(line.rfind(' ') + 1));
    }
    return types;
}

void PrintTo(Engine engine, std::ostream* out)
{
    *out << engineName(engine);
}
void PrintTo(const Combination& c, std::ostream* out)
{
    *out << (c.nullEmpty ? "NULL for empty cells" : "empty text for empty cells") << ", "
         << (c.copy       ? "COPY"
             : c.multiRow ? "one multi-row INSERT"
                          : "an INSERT per row")
         << (c.transaction ? ", one transaction" : "") << (c.standardInput ? ", from standard input" : "");
}

void roundTrip(Engine engine, Combination combination, const Fixture& fixture)
{
    SCOPED_TRACE("random rows from seed " + std::to_string(fixtureSeed()) + " (QUARROW_TEST_SEED replays it)");
    Database& database = DatabaseEnvironment::get(engine);
    TempDir work;
    const std::string table = "roundtrip";

    // The script, made by the converter users run.
    const auto input = work.write("input.csv", fixture.csv);
    const auto script = work.path() / "script.sql";
    Command convert;
    convert.program = QUARROW_CLI_BINARY;
    convert.args = {"-q", "-H", "-d", database.dialect(), "-t", table, "-o", script.string()};
    const bool ansi = fixture.encoding == TextEncoding::Ansi;
    if (ansi)
        convert.args.insert(convert.args.end(), {"-e", "ansi"});
    if (combination.nullEmpty)
        convert.args.push_back("-n");
    if (combination.multiRow)
        convert.args.push_back("-m");
    if (combination.transaction)
        convert.args.push_back("--transaction");
    if (combination.copy)
        convert.args.push_back("--copy");
    if (fixture.exactQuoting)
        convert.args.push_back("--rfc4180");
    if (database.dialect() == "mysql" && !fixture.mysqlTypes.empty()) {
        std::string types;
        for (const auto& type : fixture.mysqlTypes)
            types += type + "\r\n";
        convert.args.insert(convert.args.end(), {"--types", work.write("types.txt", types).string()});
    }
    if (fixture.suggestTypes)
        convert.args.push_back("--suggest-types");
    convert.args.insert(convert.args.end(), fixture.converterArgs.begin(), fixture.converterArgs.end());
    convert.args.push_back(input.string());
    const Outcome converted = run(convert, work.path());
    // Characters an ANSI script cannot hold are replaced, and said so.
    static const std::regex substitutedWarning(
        "quarrow-cli: warning: [1-9][0-9]* characters? could not be written in ANSI and (was|were) replaced\n");
    ASSERT_TRUE(converted.succeeded()) << describe(convert, converted);
    // Rows with more or fewer fields than columns are told on every run.
    const std::string err = withoutStructureWarnings(converted.err);
    if (fixture.converterWarns)
        ASSERT_TRUE(err.starts_with("quarrow-cli: warning: ")) << describe(convert, converted);
    else if (ansi)
        ASSERT_TRUE(std::regex_match(err, substitutedWarning)) << describe(convert, converted);
    else
        ASSERT_TRUE(err.empty()) << describe(convert, converted);
    // The multi-row case must load the whole table through statements cut
    // by size.
    std::string scriptText = test::readFile(script);
    if (combination.transaction) {
        // The commit ends the script; the statements before it are as without.
        ASSERT_TRUE(scriptText.ends_with("\r\nCOMMIT;\r\n"));
        scriptText.resize(scriptText.size() - 9);
    }
    const auto statements = insertStatements(scriptText);
    if (combination.copy) {
        ASSERT_TRUE(statements.empty());
        ASSERT_NE(scriptText.find("\r\nCOPY " + table + " ("), std::string::npos);
        ASSERT_TRUE(scriptText.ends_with("\r\n\\.\r\n"));
    } else if (!combination.multiRow) {
        ASSERT_EQ(statements.size(), fixture.rows.size());
    } else {
        ASSERT_LE(statements.size(), fixture.rows.size());
        // SQLite's statements are cut smaller inside one transaction.
        const bool smallerCut = engine == Engine::Sqlite && combination.transaction;
        expectWithinTheStatementLimit(statements, smallerCut ? kSqliteTransactionStatementBytes : kStatementBytes);
    }
    std::vector<Family> families(fixture.columns.size(), Family::Text);
    if (fixture.suggestTypes) {
        const auto types = scriptTypes(scriptText);
        ASSERT_EQ(types.size(), fixture.columns.size());
        for (std::size_t c = 0; c < types.size(); ++c) {
            families[c] = familyOf(types[c]);
            EXPECT_EQ(static_cast<int>(families[c]),
                      static_cast<int>(expectedFamily(fixture.columns[c].typed, engine, combination.nullEmpty)))
                << "column " << fixture.columns[c].name << " typed " << types[c];
        }
    }

    // Any error, warning or notice while loading fails the test.
    const std::string name = database.create();
    const std::string before = engine == Engine::MariaDb ? fixture.mariadbSetup : "";
    const Outcome loaded = combination.standardInput
                               ? database.loadFromStandardInput(name, script, before, fixture.encoding)
                               : database.load(name, script, before, fixture.encoding);
    ASSERT_TRUE(loaded.succeeded() && loaded.out.empty() && loaded.err.empty())
        << "loading the script into " << engineName(engine) << " failed\n"
        << describe(Command{}, loaded);

    // PostgreSQL and MariaDB give text back in UTF-8 whatever the client
    // read; SQLite gives the script's bytes.
    const bool windows1252Back = ansi && engine == Engine::Sqlite;
    std::vector<std::string> expectedNames;
    for (const auto& column : fixture.columns)
        expectedNames.push_back(engine == Engine::PostgreSql ? column.postgresName
                                                             : asWritten(column.name, fixture.encoding));
    const auto storedNames = database.columnNames(name, table);
    std::vector<std::string> names = storedNames;
    if (windows1252Back)
        std::transform(names.begin(), names.end(), names.begin(), fromWindows1252);
    ASSERT_EQ(names, expectedNames) << "column names";

    auto rows = database.rows(name, table, storedNames);
    if (windows1252Back) {
        for (auto& row : rows) {
            for (auto& cell : row) {
                if (cell)
                    cell = fromWindows1252(*cell);
            }
        }
    }
    std::map<std::string, const CellRow*> byKey;
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), names.size());
        ASSERT_TRUE(row[0].has_value()) << "a row without its key";
        ASSERT_TRUE(byKey.emplace(*row[0], &row).second) << "key " << *row[0] << " twice";
    }

    std::vector<std::string> faults;
    std::size_t faultCount = 0;
    auto fault = [&](std::string text) {
        if (++faultCount <= 25)
            faults.push_back(std::move(text));
    };
    for (const auto& expectedRow : fixture.rows) {
        const std::string& key = expectedRow.values[0];
        const auto found = byKey.find(key);
        if (found == byKey.end()) {
            fault("row " + key + " (CSV line " + std::to_string(expectedRow.line) + ") is missing");
            continue;
        }
        const CellRow& actual = *found->second;
        byKey.erase(found);
        for (std::size_t c = 0; c < names.size(); ++c) {
            // A column the database has no type for keeps the file's forms.
            const bool asFiled = families[c] == Family::Text && !expectedRow.fileValues.empty();
            const std::string value =
                asWritten(asFiled ? expectedRow.fileValues[c] : expectedRow.values[c], fixture.encoding);
            Cell expected = value.empty() && combination.nullEmpty ? Cell() : Cell(value);
            Cell got = actual[c];
            // Typed columns give back the same value, not always the same digits.
            if (expected && got && families[c] == Family::Number) {
                expected = plainNumber(*expected);
                got = plainNumber(*got);
            } else if (expected && got && families[c] == Family::DateTime) {
                expected = plainDateTime(*expected);
                got = plainDateTime(*got);
            }
            if (got != expected)
                fault("row " + key + " (CSV line " + std::to_string(expectedRow.line) + "), column "
                      + std::to_string(c + 1) + " '" + names[c] + "': " + difference(expected, actual[c]));
        }
    }
    for (const auto& [key, row] : byKey)
        fault("unexpected row with key " + key);

    if (faultCount > 0) {
        std::ostringstream message;
        message << faultCount << " differences in " << engineName(engine) << " (table " << fixture.title << ", ";
        PrintTo(combination, &message);
        message << "):\n";
        for (const auto& f : faults)
            message << "  " << f << "\n";
        if (faultCount > faults.size())
            message << "  ... and " << (faultCount - faults.size()) << " more\n";
        ADD_FAILURE() << message.str();
    }
}

// A survey's questions as its header: each database gets names within its
// own limit, those the cut made alike told apart by a suffix. The names
// each must hold are written out here by hand.
Fixture surveyFixture(Engine engine)
{
    const std::string week = "How satisfied are you with the onboarding process of our company during your first "
                             "week at work";
    const std::string month = "How satisfied are you with the onboarding process of our company during your first "
                              "month at work";
    const std::string german = "Wie zufrieden sind Sie mit der Einarbeitung in unserem Hause w\xC3\xA4hrend der ersten "
                               "Woche";
    const std::string shouted = "HOW SATISFIED ARE YOU WITH THE ONBOARDING PROCESS OF OUR COMPANY overall";
    std::vector<std::string> names;
    switch (engine) {
    case Engine::Sqlite: // no limit
        names = {"id", week, month, german, shouted};
        break;
    case Engine::PostgreSql: // 63 bytes; the German name's a-umlaut would take bytes 63 and 64
        names = {"id", "How satisfied are you with the onboarding process of our compan",
                 "How satisfied are you with the onboarding process of our comp_2",
                 "Wie zufrieden sind Sie mit der Einarbeitung in unserem Hause w",
                 "HOW SATISFIED ARE YOU WITH THE ONBOARDING PROCESS OF OUR COMP_3"};
        break;
    case Engine::MariaDb: // 64 characters
        names = {"id", "How satisfied are you with the onboarding process of our company",
                 "How satisfied are you with the onboarding process of our compa_2",
                 "Wie zufrieden sind Sie mit der Einarbeitung in unserem Hause w\xC3\xA4h",
                 "HOW SATISFIED ARE YOU WITH THE ONBOARDING PROCESS OF OUR COMPA_3"};
        break;
    }
    Fixture fixture;
    fixture.title = "survey";
    fixture.converterWarns = engine != Engine::Sqlite;
    fixture.csv = "id,\"" + week + "\",\"" + month + "\",\"" + german + "\",\"" + shouted + "\"\r\n";
    for (const auto& name : names)
        fixture.columns.push_back({name, name, name});
    for (int r = 1; r <= 3; ++r) {
        FixtureRow row{static_cast<std::size_t>(r + 1), {std::to_string(r)}};
        for (int c = 1; c <= 4; ++c)
            row.values.push_back(r == 2 && c == 3 ? "" : "answer " + std::to_string(r) + "." + std::to_string(c));
        std::string line;
        for (const auto& value : row.values)
            line += (line.empty() ? "" : ",") + value;
        fixture.csv += line + "\r\n";
        fixture.rows.push_back(std::move(row));
    }
    return fixture;
}

using Param = std::tuple<Engine, Combination>;

class RoundTrip : public ::testing::TestWithParam<Param> {
protected:
    void check(const Fixture& fixture) { roundTrip(std::get<0>(GetParam()), std::get<1>(GetParam()), fixture); }
};

TEST_P(RoundTrip, NastyValuesAndNames)
{
    check(nastyFixture());
}
TEST_P(RoundTrip, FiveHundredColumns)
{
    check(wideFixture());
}
TEST_P(RoundTrip, OneMebibyteValues)
{
    check(longValueFixture());
}
TEST_P(RoundTrip, SurveyQuestionsAsNames)
{
    check(surveyFixture(std::get<0>(GetParam())));
}
TEST_P(RoundTrip, ExactQuotingKeepsLineBreaksQuotesAndBlanks)
{
    check(exactQuotingFixture());
}
TEST_P(RoundTrip, TwentyThousandLineBreaksInAValue)
{
    check(manyBreaksFixture());
}
TEST_P(RoundTrip, SkippedAndCommentLinesNeverReachTheTable)
{
    check(skippedLinesFixture());
}
TEST_P(RoundTrip, AnsiScriptFromUtf8)
{
    check(ansiFixture());
}
TEST_P(RoundTrip, SuggestedTypesKeepEveryValue)
{
    check(typedFixture());
}
TEST_P(RoundTrip, ValueFormsGiveTypedValuesAndKeepText)
{
    roundTrip(std::get<0>(GetParam()), std::get<1>(GetParam()), valueFormsFixture());
}

TEST_P(RoundTrip, ExactQuotingSuggestedTypesKeepEveryValue)
{
    check(exactTypedFixture());
}

const auto kCombinations = ::testing::Values(Combination{false, false}, Combination{true, false},
                                             Combination{false, true}, Combination{true, true});

const auto kTransactionCombinations = ::testing::Values(Combination{false, false, true}, Combination{true, false, true},
                                                        Combination{false, true, true}, Combination{true, true, true});

// COPY has no statements to cut, so -m is left out; each way psql reads a script.
const auto kCopyCombinations =
    ::testing::Values(Combination{false, false, false, true, false}, Combination{true, false, false, true, false},
                      Combination{false, false, false, true, true}, Combination{true, false, true, true, true},
                      Combination{false, false, true, true, false});

std::string paramName(const ::testing::TestParamInfo<Param>& info)
{
    const Combination c = std::get<1>(info.param);
    return std::string(c.nullEmpty ? "NullEmpty" : "EmptyText")
           + (c.copy       ? "Copy"
              : c.multiRow ? "MultiRow"
                           : "RowByRow")
           + (c.transaction ? "Transaction" : "") + (c.standardInput ? "FromStandardInput" : "");
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RoundTrip, ::testing::Combine(::testing::Values(Engine::Sqlite), kCombinations),
                         paramName);
INSTANTIATE_TEST_SUITE_P(PostgreSql, RoundTrip,
                         ::testing::Combine(::testing::Values(Engine::PostgreSql), kCombinations), paramName);
INSTANTIATE_TEST_SUITE_P(MariaDb, RoundTrip, ::testing::Combine(::testing::Values(Engine::MariaDb), kCombinations),
                         paramName);
INSTANTIATE_TEST_SUITE_P(SqliteTransaction, RoundTrip,
                         ::testing::Combine(::testing::Values(Engine::Sqlite), kTransactionCombinations), paramName);
INSTANTIATE_TEST_SUITE_P(PostgreSqlTransaction, RoundTrip,
                         ::testing::Combine(::testing::Values(Engine::PostgreSql), kTransactionCombinations),
                         paramName);
INSTANTIATE_TEST_SUITE_P(PostgreSqlCopy, RoundTrip,
                         ::testing::Combine(::testing::Values(Engine::PostgreSql), kCopyCombinations), paramName);
INSTANTIATE_TEST_SUITE_P(MariaDbTransaction, RoundTrip,
                         ::testing::Combine(::testing::Values(Engine::MariaDb), kTransactionCombinations), paramName);

// A row the database refuses part way through the script (NULL into a NOT
// NULL column): with --transaction nothing of the load stays, and SQLite and
// PostgreSQL roll the CREATE TABLE back too. Without it, the rows before the
// refused one stay, which shows the test can tell.
class RefusedRow : public ::testing::TestWithParam<Engine> {};

TEST_P(RefusedRow, OneTransactionLeavesNoRows)
{
    const Engine engine = GetParam();
    Database& database = DatabaseEnvironment::get(engine);
    TempDir work;
    std::string csv = "id,value\r\n";
    for (int i = 1; i <= 50; ++i)
        csv += std::to_string(i) + "," + (i == 40 ? "" : "v" + std::to_string(i)) + "\r\n";
    const auto input = work.write("input.csv", csv);
    const auto types = work.write("types.txt", "text\r\ntext NOT NULL\r\n");
    for (const bool transaction : {true, false}) {
        for (const bool multiRow : {false, true}) {
            SCOPED_TRACE(std::string(transaction ? "--transaction" : "no transaction") + (multiRow ? " -m" : ""));
            if (multiRow && !transaction)
                continue; // one statement: refused whole either way
            const auto script = work.path() / "script.sql";
            Command convert;
            convert.program = QUARROW_CLI_BINARY;
            convert.args = {"-q",
                            "-H",
                            "-n",
                            "-d",
                            database.dialect(),
                            "-t",
                            "refused",
                            "-o",
                            script.string(),
                            "--types",
                            types.string(),
                            input.string()};
            if (transaction)
                convert.args.push_back("--transaction");
            if (multiRow)
                convert.args.push_back("-m");
            const Outcome converted = run(convert, work.path());
            ASSERT_TRUE(converted.succeeded()) << describe(convert, converted);

            const std::string name = database.create();
            const Outcome loaded = database.load(name, script);
            ASSERT_FALSE(loaded.succeeded()) << "the NULL was taken\n" << describe(Command{}, loaded);
            std::vector<std::string> names;
            try {
                names = database.columnNames(name, "refused");
            } catch (const std::exception& e) {
                // PostgreSQL's catalogue query refuses a table that is not there.
                ASSERT_NE(std::string(e.what()).find("\"refused\" does not exist"), std::string::npos) << e.what();
            }
            if (!transaction) {
                ASSERT_EQ(names.size(), 2u);
                EXPECT_EQ(database.rows(name, "refused", names).size(), 39u);
            } else if (engine == Engine::MariaDb) {
                // CREATE TABLE commits implicitly there: the table stays, empty.
                ASSERT_EQ(names.size(), 2u);
                EXPECT_EQ(database.rows(name, "refused", names).size(), 0u);
            } else {
                EXPECT_TRUE(names.empty()) << "the CREATE TABLE was not rolled back";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RefusedRow, ::testing::Values(Engine::Sqlite));
INSTANTIATE_TEST_SUITE_P(PostgreSql, RefusedRow, ::testing::Values(Engine::PostgreSql));
INSTANTIATE_TEST_SUITE_P(MariaDb, RefusedRow, ::testing::Values(Engine::MariaDb));

// A multi-row script of more than 25 MB loads into MariaDB as it is set up
// out of the box: its statements stay below the default max_allowed_packet
// (16 MiB), which one statement for the whole table would pass. Values of
// many lengths, with characters that MySQL escapes and multi-byte ones, and
// a few rows longer than a statement may be, which stand alone.
TEST(MariaDbStatementSize, MultiRowScriptOver25MBLoadsWithTheDefaultPacketLimit)
{
    Database& database = DatabaseEnvironment::get(Engine::MariaDb);
    const std::string name = database.create();
    const auto packet = database.cells(name, "SELECT CONCAT('V', HEX(CAST(@@max_allowed_packet AS CHAR)));\n");
    ASSERT_EQ(packet, (std::vector<CellRow>{{Cell("16777216")}})) << "the server's default changed";

    SCOPED_TRACE("random rows from seed " + std::to_string(fixtureSeed()) + " (QUARROW_TEST_SEED replays it)");
    std::mt19937_64 random(fixtureSeed());
    static constexpr std::string_view kPieces[] = {"plain text ",      "'", "\\", "\xC3\xA9", "\xE4\xB8\xAD",
                                                   "\xF0\x9F\x98\x80", "x"};
    std::string csv = "id,value\r\n";
    std::map<std::string, std::string> expected;
    while (csv.size() < 26'500'000) {
        const std::string key = std::to_string(expected.size());
        const std::size_t length =
            expected.size() % 400 == 399 ? kStatementBytes + random() % 200'000 : random() % 2'500;
        std::string value = "v" + key + "-";
        while (value.size() < length)
            value += kPieces[random() % std::size(kPieces)];
        value += "|";
        csv += key + "," + value + "\r\n";
        expected.emplace(key, std::move(value));
    }

    TempDir work;
    const auto script = work.path() / "script.sql";
    Command convert;
    convert.program = QUARROW_CLI_BINARY;
    convert.args = {"-q",
                    "-H",
                    "-m",
                    "-d",
                    "mysql",
                    "-t",
                    "big",
                    "--types",
                    work.write("types.txt", "text\r\nlongtext\r\n").string(),
                    "-o",
                    script.string(),
                    work.write("input.csv", csv).string()};
    const Outcome converted = run(convert, work.path());
    ASSERT_TRUE(converted.succeeded() && converted.err.empty()) << describe(convert, converted);
    const std::string scriptText = test::readFile(script);
    ASSERT_GT(scriptText.size(), 25u << 20);
    const auto statements = insertStatements(scriptText);
    ASSERT_GT(statements.size(), 25u);
    expectWithinTheStatementLimit(statements, kStatementBytes);

    const Outcome loaded = database.load(name, script);
    ASSERT_TRUE(loaded.succeeded() && loaded.out.empty() && loaded.err.empty())
        << "loading the script into MariaDB failed\n"
        << describe(Command{}, loaded);

    // Every row's key, byte length and CRC-32 (zlib's, which is MariaDB's
    // CRC32()), rather than 25 MB of values through the client.
    const auto rows =
        database.cells(name, "SELECT CONCAT('V', HEX(id)), CONCAT('V', HEX(CAST(LENGTH(value) AS CHAR))), "
                             "CONCAT('V', HEX(CAST(CRC32(value) AS CHAR))) FROM big;\n");
    ASSERT_EQ(rows.size(), expected.size());
    std::size_t faults = 0;
    for (const auto& row : rows) {
        ASSERT_TRUE(row.size() == 3 && row[0] && row[1] && row[2]);
        const auto found = expected.find(*row[0]);
        if (found == expected.end()) {
            ADD_FAILURE() << "unexpected row with key " << *row[0];
        } else {
            const std::string& value = found->second;
            const auto crc = crc32(0, reinterpret_cast<const Bytef*>(value.data()), static_cast<uInt>(value.size()));
            const std::string length = std::to_string(value.size());
            if (*row[1] == length && *row[2] == std::to_string(crc)) {
                expected.erase(found);
                continue;
            }
            ADD_FAILURE() << "row " << found->first << ": " << *row[1] << " bytes with CRC-32 " << *row[2]
                          << ", expected " << length << " bytes with CRC-32 " << crc;
        }
        if (++faults == 10)
            FAIL() << "and more";
    }
    EXPECT_TRUE(expected.empty()) << expected.size() << " rows missing, the first with key " << expected.begin()->first;
}

// A distinct value of `length` characters; in row 1 a shorter one.
std::string paddedValue(std::size_t row, std::size_t column, std::size_t length)
{
    std::string value = std::to_string(row) + "-" + std::to_string(column) + "-";
    if (row != 1)
        value.resize(length, 'x');
    return value;
}

// Wide files typed from their values, each past one of MySQL's row limits
// where a column kind, a length byte or the null flags are miscounted (error
// 1118, and nothing loads): VARCHARs that InnoDB keeps in its record past
// 8,126 bytes, VARCHARs whose null flags take the row past 65,535 bytes, and
// decimals that take 30 bytes each. The widest become text, the table is
// made with MariaDB's default engine, and every value comes back.
TEST(MariaDbRowSize, WideSuggestedTablesLoad)
{
    struct Case {
        const char* label;
        std::size_t columns;
        std::string (*value)(std::size_t row, std::size_t column);
        std::string keptType; // some columns must keep it
        std::string limit;    // --explain names it
    };
    const Case cases[] = {
        {"200 columns of 10 to 29 characters", 200,
         [](std::size_t r, std::size_t c) { return paddedValue(r, c, 10 + c % 20); }, " varchar(10)",
         "InnoDB row limit"},
        {"163 columns of 100 characters", 163, [](std::size_t r, std::size_t c) { return paddedValue(r, c, 100); },
         " varchar(100)", "MySQL row limit"},
        {"254 columns of 64 characters", 254, [](std::size_t r, std::size_t c) { return paddedValue(r, c, 64); },
         " varchar(64)", "MySQL row limit"},
        {"280 columns of decimal(65,30)", 280,
         [](std::size_t r, std::size_t c) {
             // 35 digits before the point and 30 after, none of them lost in the decimal's text.
             std::string digits = std::to_string(r + 1) + std::to_string(c) + std::string(65, '0');
             digits.resize(64);
             digits += std::to_string(c % 9 + 1);
             return digits.substr(0, 35) + "." + digits.substr(35);
         },
         " decimal(65,30)", "InnoDB row limit"},
    };
    Database& database = DatabaseEnvironment::get(Engine::MariaDb);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string name = database.create();
        std::string csv;
        for (std::size_t k = 0; k < c.columns; ++k)
            csv += (k > 0 ? "," : "") + ("c" + std::to_string(k));
        csv += "\r\n";
        std::vector<std::vector<std::string>> expected;
        for (std::size_t r = 0; r < 3; ++r) {
            std::vector<std::string> row;
            for (std::size_t k = 0; k < c.columns; ++k) {
                row.push_back(c.value(r, k));
                csv += (k > 0 ? "," : "") + row.back();
            }
            csv += "\r\n";
            expected.push_back(std::move(row));
        }

        TempDir work;
        const auto script = work.path() / "script.sql";
        Command convert;
        convert.program = QUARROW_CLI_BINARY;
        convert.args = {"-q",
                        "-H",
                        "--suggest-types",
                        "--explain",
                        "-d",
                        "mysql",
                        "-t",
                        "wide",
                        "-o",
                        script.string(),
                        work.write("input.csv", csv).string()};
        const Outcome converted = run(convert, work.path());
        ASSERT_TRUE(converted.succeeded()) << describe(convert, converted);
        EXPECT_NE(converted.err.find(c.limit), std::string::npos) << converted.err;
        const std::string scriptText = test::readFile(script);
        EXPECT_NE(scriptText.find(c.keptType), std::string::npos);
        EXPECT_NE(scriptText.find(" text"), std::string::npos);

        const Outcome loaded = database.load(name, script);
        ASSERT_TRUE(loaded.succeeded() && loaded.err.empty()) << "loading the script into MariaDB failed\n"
                                                              << describe(Command{}, loaded);
        const auto engine = database.cells(
            name, "SELECT CONCAT('V', HEX(ENGINE)) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                  "AND TABLE_NAME = 'wide';\n");
        EXPECT_EQ(engine, (std::vector<CellRow>{{Cell("InnoDB")}}));
        std::string select = "SELECT ";
        for (std::size_t k = 0; k < c.columns; ++k)
            select += std::string(k > 0 ? "," : "") + "CONCAT('V', HEX(CAST(`c" + std::to_string(k) + "` AS CHAR)))";
        const auto rows = database.cells(name, select + " FROM wide;\n");
        std::vector<std::vector<std::string>> actual;
        for (const auto& row : rows) {
            std::vector<std::string> texts;
            for (const auto& cell : row)
                texts.push_back(cell.value_or("NULL"));
            actual.push_back(std::move(texts));
        }
        std::sort(actual.begin(), actual.end());
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t r = 0; r < actual.size(); ++r)
            EXPECT_EQ(actual[r], expected[r]);
    }
}

// The script leaves a name bare in PostgreSQL unless it is on the list of
// reserved words: every keyword that the running server knows, reserved or
// not, must still work as a column name.
TEST(PostgreSqlKeywords, EveryKeywordWorksAsAColumnName)
{
    Database& database = DatabaseEnvironment::get(Engine::PostgreSql);
    Fixture fixture;
    fixture.title = "keywords";
    FixtureRow row{2, {}};
    for (const auto& word : database.cells("postgres", "SELECT 'V' || encode(convert_to(word, 'UTF8'), 'hex') "
                                                       "FROM pg_get_keywords() ORDER BY word;\n")) {
        ASSERT_TRUE(word.size() == 1 && word[0]);
        fixture.columns.push_back({*word[0], *word[0], *word[0]});
        fixture.csv += (row.values.empty() ? "" : ",") + *word[0];
        row.values.push_back(*word[0]);
    }
    ASSERT_GT(row.values.size(), 400u);
    fixture.csv += "\r\n" + fixture.csv;
    fixture.rows.push_back(row);
    roundTrip(Engine::PostgreSql, Combination{false, false}, fixture);
}

// A header that repeats names, outright and in other letter case: every
// database takes the table under the renamed columns (PostgreSQL folding the
// bare ones to lower case), and every value lands in its own column.
class RepeatedNames : public ::testing::TestWithParam<Engine> {};

TEST_P(RepeatedNames, TableLoadsUnderTheNewNames)
{
    const Engine engine = GetParam();
    Database& database = DatabaseEnvironment::get(engine);
    TempDir work;
    const auto input = work.write("input.csv", "id,ID,Id,City,city,a,a,a_2,,COLUMN9\r\n1,2,3,4,5,6,7,8,9,10\r\n");
    const auto script = work.path() / "script.sql";
    Command convert;
    convert.program = QUARROW_CLI_BINARY;
    convert.args = {"-q", "-H", "-d", database.dialect(), "-t", "repeated", "-o", script.string(), input.string()};
    const Outcome converted = run(convert, work.path());
    ASSERT_TRUE(converted.succeeded()) << describe(convert, converted);

    const std::string name = database.create();
    const Outcome loaded = database.load(name, script);
    ASSERT_TRUE(loaded.succeeded() && loaded.out.empty() && loaded.err.empty())
        << "loading the script into " << engineName(engine) << " failed\n"
        << describe(Command{}, loaded);
    const std::vector<std::string> expected =
        engine == Engine::PostgreSql ? std::vector<std::string>{"id", "id_2", "id_3", "city",    "city_2",
                                                                "a",  "a_3",  "a_2",  "column9", "column9_2"}
                                     : std::vector<std::string>{"id", "ID_2", "Id_3", "City",    "city_2",
                                                                "a",  "a_3",  "a_2",  "COLUMN9", "COLUMN9_2"};
    const auto names = database.columnNames(name, "repeated");
    ASSERT_EQ(names, expected);
    const auto rows = database.rows(name, "repeated", names);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (CellRow{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RepeatedNames, ::testing::Values(Engine::Sqlite));
INSTANTIATE_TEST_SUITE_P(PostgreSql, RepeatedNames, ::testing::Values(Engine::PostgreSql));
INSTANTIATE_TEST_SUITE_P(MariaDb, RepeatedNames, ::testing::Values(Engine::MariaDb));

// The weekly export: a script of each table mode loaded twice in a row into
// the same database. Rows only adds to the table the first week's script
// made, create-if-missing creates it the first time and adds the rows both
// times, replace leaves one load's rows; the plain script refuses the second
// load, which shows the counts can tell. Every form of the rows with each.
class TableModeLoads : public ::testing::TestWithParam<Engine> {};

TEST_P(TableModeLoads, SecondLoadAddsSkipsTheCreateOrReplaces)
{
    const Engine engine = GetParam();
    Database& database = DatabaseEnvironment::get(engine);
    TempDir work;
    std::string csv = "id,name\r\n";
    std::vector<CellRow> once;
    for (int i = 1; i <= 25; ++i) {
        const std::string id = (i < 10 ? "0" : "") + std::to_string(i);
        const std::string name = "it's \\" + std::to_string(i * 7) + (i % 5 == 0 ? " \xC3\xA9" : "");
        csv += id + "," + name + "\r\n";
        once.push_back({id, name});
    }
    const auto input = work.write("weekly.csv", csv);
    const auto repeated = [&](std::size_t times) {
        std::vector<CellRow> rows;
        for (const auto& row : once)
            rows.insert(rows.end(), times, row);
        return rows;
    };
    const auto tableRows = [&](const std::string& name) {
        auto rows = database.rows(name, "weekly", {"id", "name"});
        std::stable_sort(rows.begin(), rows.end());
        return rows;
    };

    std::vector<std::vector<std::string>> forms = {{}, {"--transaction"}, {"-m"}, {"-m", "--transaction"}};
    if (engine == Engine::PostgreSql)
        forms.insert(forms.end(), {{"--copy"}, {"--copy", "--transaction"}});
    for (const auto& form : forms) {
        std::string formText;
        for (const auto& option : form)
            formText += " " + option;
        SCOPED_TRACE("options:" + formText);
        std::map<std::string, std::filesystem::path> scripts;
        for (const std::string mode : {"create", "create-if-missing", "replace", "append"}) {
            const auto script = work.path() / (mode + ".sql");
            Command convert;
            convert.program = QUARROW_CLI_BINARY;
            convert.args = {"-q",           "-H", "-d", database.dialect(), "-t", "weekly",
                            "--table-mode", mode, "-o", script.string()};
            convert.args.insert(convert.args.end(), form.begin(), form.end());
            convert.args.push_back(input.string());
            const Outcome converted = run(convert, work.path());
            ASSERT_TRUE(converted.succeeded()) << describe(convert, converted);
            scripts[mode] = script;
        }
        const auto load = [&](const std::string& name, const std::string& mode) {
            const Outcome loaded = database.load(name, scripts.at(mode));
            EXPECT_TRUE(loaded.succeeded()) << "loading the " << mode << " script failed\n"
                                            << describe(Command{}, loaded);
        };

        std::string name = database.create();
        load(name, "create-if-missing");
        load(name, "create-if-missing");
        EXPECT_EQ(tableRows(name), repeated(2)) << "create-if-missing twice";

        name = database.create();
        load(name, "replace");
        load(name, "replace");
        EXPECT_EQ(tableRows(name), repeated(1)) << "replace twice";

        name = database.create();
        load(name, "create");
        load(name, "append");
        load(name, "append");
        EXPECT_EQ(tableRows(name), repeated(3)) << "create, then append twice";

        EXPECT_FALSE(database.load(name, scripts.at("create")).succeeded()) << "a second CREATE TABLE was taken";
    }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, TableModeLoads, ::testing::Values(Engine::Sqlite));
INSTANTIATE_TEST_SUITE_P(PostgreSql, TableModeLoads, ::testing::Values(Engine::PostgreSql));
INSTANTIATE_TEST_SUITE_P(MariaDb, TableModeLoads, ::testing::Values(Engine::MariaDb));

// NULL markers in a real database: the cells that are markers come back
// NULL, every other value byte for byte as written, in each form of the rows;
// read exactly, a quoted marker and one with blanks around it are values.
class NullMarkerLoads : public ::testing::TestWithParam<Engine> {};

TEST_P(NullMarkerLoads, MarkersAreNullAndEveryOtherValueIsKept)
{
    const Engine engine = GetParam();
    Database& database = DatabaseEnvironment::get(engine);
    TempDir work;
    struct Field {
        std::string csv;
        Cell value; // as read with field clean-up
        Cell exact; // as read exactly
    };
    const std::vector<Field> fields = {
        {"NA", std::nullopt, std::nullopt},
        {"\"NA\"", std::nullopt, "NA"},
        {" NA ", std::nullopt, " NA "},
        {"na", "na", "na"},
        {"NAN", "NAN", "NAN"},
        {"N/A", std::nullopt, std::nullopt},
        {"\\N", std::nullopt, std::nullopt},
        {"it's \\N", "it's \\N", "it's \\N"},
        {"-", std::nullopt, std::nullopt},
        {"--", "--", "--"},
        {"\xC3\xA9NA", "\xC3\xA9NA", "\xC3\xA9NA"},
    };
    std::string csv = "id,v\r\n";
    for (std::size_t i = 0; i < fields.size(); ++i)
        csv += (i < 9 ? "0" : "") + std::to_string(i + 1) + "," + fields[i].csv + "\r\n";
    const auto input = work.write("markers.csv", csv);

    std::vector<std::vector<std::string>> forms = {{}, {"-m", "--transaction"}, {"--rfc4180"}, {"-n"}};
    if (engine == Engine::PostgreSql)
        forms.insert(forms.end(), {{"--copy"}, {"--copy", "--rfc4180"}});
    for (const auto& form : forms) {
        std::string formText;
        for (const auto& option : form)
            formText += " " + option;
        SCOPED_TRACE("options:" + formText);
        const bool exact = std::find(form.begin(), form.end(), "--rfc4180") != form.end();
        const auto script = work.path() / "markers.sql";
        Command convert;
        convert.program = QUARROW_CLI_BINARY;
        convert.args = {"-q",
                        "-H",
                        "-d",
                        database.dialect(),
                        "-t",
                        "marked",
                        "-o",
                        script.string(),
                        "--null-marker",
                        "NA",
                        "--null-marker",
                        "N/A",
                        "--null-marker",
                        "\\N",
                        "--null-marker",
                        "-"};
        convert.args.insert(convert.args.end(), form.begin(), form.end());
        convert.args.push_back(input.string());
        const Outcome converted = run(convert, work.path());
        ASSERT_TRUE(converted.succeeded()) << describe(convert, converted);

        const std::string name = database.create();
        const Outcome loaded = database.load(name, script);
        ASSERT_TRUE(loaded.succeeded()) << describe(Command{}, loaded);
        const auto rows = database.rows(name, "marked", {"id", "v"});
        ASSERT_EQ(rows.size(), fields.size());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            SCOPED_TRACE("field " + fields[i].csv);
            EXPECT_EQ(rows[i][1], exact ? fields[i].exact : fields[i].value) << difference(fields[i].value, rows[i][1]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sqlite, NullMarkerLoads, ::testing::Values(Engine::Sqlite));
INSTANTIATE_TEST_SUITE_P(PostgreSql, NullMarkerLoads, ::testing::Values(Engine::PostgreSql));
INSTANTIATE_TEST_SUITE_P(MariaDb, NullMarkerLoads, ::testing::Values(Engine::MariaDb));

// The fixtures' expected values are worked out without the engine; reading
// the same files with the engine's own splitter and clean-up must agree, so
// that a difference in a database points at the script, not at the fixture.
TEST(Fixtures, EngineReadsTheIntendedValues)
{
    SCOPED_TRACE("random rows from seed " + std::to_string(fixtureSeed()) + " (QUARROW_TEST_SEED replays it)");
    TempDir dir;
    for (const Fixture* fixture :
         {&nastyFixture(), &wideFixture(), &longValueFixture(), &ansiFixture(), &typedFixture()}) {
        SCOPED_TRACE(fixture->title);
        Workspace workspace;
        const auto report = workspace.load(dir.write("f.csv", fixture->csv),
                                           LoadOptions{fixture->encoding, true, u',', Dialect::MySql});
        ASSERT_FALSE(report.readFailed) << report.failure;
        ASSERT_EQ(workspace.rowCount(), fixture->rows.size() + 1);
        std::vector<std::string> names;
        for (const auto& n : workspace.columnNames())
            names.push_back(toUtf8(n));
        std::vector<std::string> expectedNames;
        for (const auto& column : fixture->columns)
            expectedNames.push_back(column.name);
        ASSERT_EQ(names, expectedNames);

        FieldSplitter splitter;
        for (std::size_t r = 0; r < fixture->rows.size(); ++r) {
            const std::u16string line = workspace.rowText(r + 1);
            splitter.split(line, u',');
            const auto& expected = fixture->rows[r].values;
            for (std::size_t c = 0; c < expected.size(); ++c) {
                const std::string actual = c < splitter.size() ? toUtf8(cleanField(splitter[c])) : std::string();
                ASSERT_EQ(actual, expected[c]) << "CSV line " << fixture->rows[r].line << ", column " << c + 1;
            }
        }
    }
}

TEST(Fixtures, ExactReadingGivesTheIntendedValues)
{
    for (const Fixture* exact : {&exactQuotingFixture(), &exactTypedFixture()}) {
        SCOPED_TRACE(exact->title);
        const Fixture& fixture = *exact;
        TempDir dir;
        Workspace workspace;
        const auto report = workspace.load(dir.write("f.csv", fixture.csv),
                                           LoadOptions{fixture.encoding, true, u',', Dialect::MySql, true});
        ASSERT_FALSE(report.readFailed) << report.failure;
        ASSERT_EQ(workspace.rowCount(), fixture.rows.size() + 1);
        std::vector<std::string> names;
        for (const auto& n : workspace.columnNames())
            names.push_back(toUtf8(n));
        std::vector<std::string> expectedNames;
        for (const auto& column : fixture.columns)
            expectedNames.push_back(column.name);
        ASSERT_EQ(names, expectedNames);
        for (std::size_t r = 0; r < fixture.rows.size(); ++r) {
            const std::u16string record = workspace.rowText(r + 1);
            std::vector<std::string> values;
            forEachExactField(record.data(), record.data() + record.size(), u',',
                              [&](const char16_t* b, const char16_t* e) {
                                  values.push_back(toUtf8(exactValue({b, static_cast<std::size_t>(e - b)})));
                              });
            ASSERT_EQ(values, fixture.rows[r].values) << "CSV line " << fixture.rows[r].line;
        }
    }
}

// The code points of Windows-1252, from the code page's chart: ASCII, the
// Latin-1 range from U+00A0, and the 27 characters of 0x80-0x9F.
bool windows1252Holds(char32_t c)
{
    static constexpr std::u16string_view kHighBlock =
        u"\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u017D\u2018"
        u"\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u017E\u0178";
    return c < 0x80 || (c >= 0xA0 && c <= 0xFF)
           || (c <= 0xFFFF && kHighBlock.find(static_cast<char16_t>(c)) != kHighBlock.npos);
}

// The ANSI round trips compare with the text as the engine writes it. That
// text must be the file's own at every character Windows-1252 holds, and
// one substitute for each character it lacks; PostgreSQL's names are the
// same, folded to lower case or not.
TEST(Fixtures, AnsiExpectationsKeepWhatWindows1252Holds)
{
    const Fixture& fixture = ansiFixture();
    auto check = [&](const std::string& text, const std::string& where) {
        const std::u16string original = fromValidUtf8(text);
        std::uint64_t substituted = 0;
        const std::u16string written = fitToEncoding(original, TextEncoding::Ansi, substituted);
        std::size_t at = 0;
        std::size_t lackedHere = 0;
        for (std::size_t i = 0; i < original.size(); ++i, ++at) {
            char32_t c = original[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < original.size())
                c = 0x10000 + ((c - 0xD800) << 10) + (original[++i] - 0xDC00);
            ASSERT_LT(at, written.size()) << where << ": " << text << " is cut short";
            if (windows1252Holds(c))
                ASSERT_EQ(static_cast<char32_t>(written[at]), c) << where << ": " << text << ", character " << at + 1;
            else
                ++lackedHere;
        }
        ASSERT_EQ(at, written.size()) << where << ": " << text;
        ASSERT_EQ(substituted, lackedHere) << where << ": " << text;
    };
    for (const auto& column : fixture.columns) {
        check(column.name, "name");
        const std::string written = asWritten(column.name, TextEncoding::Ansi);
        std::string folded = written;
        std::transform(folded.begin(), folded.end(), folded.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        EXPECT_TRUE(column.postgresName == written || column.postgresName == folded)
            << column.postgresName << " for " << written;
    }
    for (const auto& row : fixture.rows) {
        for (const auto& value : row.values)
            check(value, "CSV line " + std::to_string(row.line));
    }
}

} // namespace
} // namespace quarrow::dbtest

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new quarrow::dbtest::DatabaseEnvironment);
    return RUN_ALL_TESTS();
}
