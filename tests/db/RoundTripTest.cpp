// Round trips through real databases: a CSV file made to hurt is turned into
// a script by quarrow-cli, the script is loaded by the database's own
// command-line client into a fresh database, and every column name and cell
// read back must be what the CSV holds after field clean-up.

#include "Databases.h"
#include "Fixtures.h"
#include "TempDir.h"

#include "csv/FieldSplitter.h"
#include "text/Utf8.h"
#include "workspace/Workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>

namespace quarrow::dbtest {
namespace {

using test::TempDir;

enum class Engine { Sqlite, PostgreSql, MariaDb };

std::string engineName(Engine engine)
{
    switch (engine) {
    case Engine::Sqlite:
        return "SQLite";
    case Engine::PostgreSql:
        return "PostgreSQL";
    case Engine::MariaDb:
        return "MariaDB";
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

std::string toUtf8(std::u16string_view text)
{
    std::string out(text.size() * 3, '\0');
    std::uint64_t replaced = 0;
    char* end = utf8::encode(text.data(), text.size(), out.data(), replaced);
    out.resize(static_cast<std::size_t>(end - out.data()));
    return out;
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

struct Combination {
    bool nullEmpty;
    bool multiRow;
};

// The converter may warn about rows whose field count differs from the
// columns; anything else on its error stream is a fault.
bool onlyStructureWarnings(const std::string& err)
{
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("quarrow-cli: warning: ", 0) != 0 || line.find(" fields than the ") == std::string::npos)
            return false;
    }
    return true;
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

void PrintTo(Engine engine, std::ostream* out) { *out << engineName(engine); }
void PrintTo(const Combination& c, std::ostream* out)
{
    *out << (c.nullEmpty ? "NULL for empty cells" : "empty text for empty cells") << ", "
         << (c.multiRow ? "one multi-row INSERT" : "an INSERT per row");
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
    if (combination.nullEmpty)
        convert.args.push_back("-n");
    if (combination.multiRow)
        convert.args.push_back("-m");
    if (database.dialect() == "mysql" && !fixture.mysqlTypes.empty()) {
        std::string types;
        for (const auto& type : fixture.mysqlTypes)
            types += type + "\r\n";
        convert.args.insert(convert.args.end(), {"--types", work.write("types.txt", types).string()});
    }
    if (fixture.suggestTypes)
        convert.args.push_back("--suggest-types");
    convert.args.push_back(input.string());
    const Outcome converted = run(convert, work.path());
    ASSERT_TRUE(converted.succeeded() && onlyStructureWarnings(converted.err)) << describe(convert, converted);
    // The multi-row case must load the whole table through one statement.
    const std::string scriptText = test::readFile(script);
    std::size_t inserts = 0;
    for (auto at = scriptText.find("\r\nINSERT INTO "); at != std::string::npos;
         at = scriptText.find("\r\nINSERT INTO ", at + 1))
        ++inserts;
    ASSERT_EQ(inserts, combination.multiRow ? 1 : fixture.rows.size());
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
    const Outcome loaded = database.load(name, script, engine == Engine::MariaDb ? fixture.mariadbSetup : "");
    ASSERT_TRUE(loaded.succeeded() && loaded.out.empty() && loaded.err.empty())
        << "loading the script into " << engineName(engine) << " failed\n"
        << describe(Command{}, loaded);

    std::vector<std::string> expectedNames;
    for (const auto& column : fixture.columns)
        expectedNames.push_back(engine == Engine::PostgreSql ? column.postgresName : column.name);
    const auto names = database.columnNames(name, table);
    ASSERT_EQ(names, expectedNames) << "column names";

    const auto rows = database.rows(name, table, names);
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
            const std::string& value = expectedRow.values[c];
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
                fault("row " + key + " (CSV line " + std::to_string(expectedRow.line) + "), column " +
                      std::to_string(c + 1) + " '" + names[c] + "': " + difference(expected, actual[c]));
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

using Param = std::tuple<Engine, Combination>;

class RoundTrip : public ::testing::TestWithParam<Param> {
protected:
    void check(const Fixture& fixture) { roundTrip(std::get<0>(GetParam()), std::get<1>(GetParam()), fixture); }
};

TEST_P(RoundTrip, NastyValuesAndNames) { check(nastyFixture()); }
TEST_P(RoundTrip, FiveHundredColumns) { check(wideFixture()); }
TEST_P(RoundTrip, OneMebibyteValues) { check(longValueFixture()); }
TEST_P(RoundTrip, SuggestedTypesKeepEveryValue)
{
    check(typedFixture());
}

const auto kCombinations = ::testing::Values(Combination{false, false}, Combination{true, false},
                                             Combination{false, true}, Combination{true, true});

std::string paramName(const ::testing::TestParamInfo<Param>& info)
{
    const Combination c = std::get<1>(info.param);
    return std::string(c.nullEmpty ? "NullEmpty" : "EmptyText") + (c.multiRow ? "MultiRow" : "RowByRow");
}

INSTANTIATE_TEST_SUITE_P(Sqlite, RoundTrip, ::testing::Combine(::testing::Values(Engine::Sqlite), kCombinations),
                         paramName);
INSTANTIATE_TEST_SUITE_P(PostgreSql, RoundTrip,
                         ::testing::Combine(::testing::Values(Engine::PostgreSql), kCombinations), paramName);
INSTANTIATE_TEST_SUITE_P(MariaDb, RoundTrip, ::testing::Combine(::testing::Values(Engine::MariaDb), kCombinations),
                         paramName);

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

// The fixtures' expected values are worked out without the engine; reading
// the same files with the engine's own splitter and clean-up must agree, so
// that a difference in a database points at the script, not at the fixture.
TEST(Fixtures, EngineReadsTheIntendedValues)
{
    SCOPED_TRACE("random rows from seed " + std::to_string(fixtureSeed()) + " (QUARROW_TEST_SEED replays it)");
    TempDir dir;
    for (const Fixture* fixture : {&nastyFixture(), &wideFixture(), &longValueFixture(), &typedFixture()}) {
        SCOPED_TRACE(fixture->title);
        Workspace workspace;
        const auto report = workspace.load(dir.write("f.csv", fixture->csv),
                                           LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql});
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
            splitter.split(workspace.row(r + 1), u',');
            const auto& expected = fixture->rows[r].values;
            for (std::size_t c = 0; c < expected.size(); ++c) {
                const std::string actual = c < splitter.size() ? toUtf8(cleanField(splitter[c])) : std::string();
                ASSERT_EQ(actual, expected[c]) << "CSV line " << fixture->rows[r].line << ", column " << c + 1;
            }
        }
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
