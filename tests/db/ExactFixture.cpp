#include "tests/db/Fixtures.h"

#include <random>

namespace quarrow::dbtest {

namespace {

// Values that the exact reading keeps whole and that each database's client
// must load unchanged: line breaks of every kind, quotes, blanks at both ends.
constexpr std::string_view kValues[] = {
    "first\r\nsecond",
    "lf\nonly",
    "cr\ronly",
    "\r\n",
    "\n\n",
    "\r",
    "ends in a break\r\n",
    "\r\nstarts with one",
    "a\n\nb", // an empty line inside: SQL*Plus would end the statement there
    "12\" pipe",
    "\"quoted\"",
    "\"",
    "\"\"",
    "  blanks at both ends  ",
    " ",
    "\t tab \t",
    "O'Brien\r\n'quoted'\r\n",
    "back\\slash\\\r\n\\",
    "\\'; DROP TABLE roundtrip; --\r\n",
    "Zo\xC3\xAB\r\n\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80",
    "NULL",
    "",
    "5'10\"",
};

// The value written as a CSV field: quoted, its quotes doubled, unless it
// can stand bare (no separator, quote at its start, or line break).
std::string field(std::string_view value, bool preferBare)
{
    const bool bare =
        preferBare && value.find_first_of(",\r\n") == std::string_view::npos && (value.empty() || value.front() != '"');
    if (bare)
        return std::string(value);
    std::string out = "\"";
    for (char c : value) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::size_t breaksIn(std::string_view text)
{
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++lines;
    }
    return lines;
}

Fixture makeExactFixture()
{
    Fixture fixture;
    fixture.title = "exact";
    fixture.exactQuoting = true;
    // Header names with blanks at their ends, which the reading trims.
    const std::vector<std::pair<std::string, std::string>> names = {
        {" id ", "id"}, {"\"value \"", "value"}, {"\" second value \"", "second value"}, {"note\t", "note"}};
    std::string header;
    for (const auto& [csv, name] : names) {
        header += (header.empty() ? "" : ",") + csv;
        fixture.columns.push_back({csv, name, name});
    }
    fixture.csv = header + "\r\n";
    std::size_t line = 1 + breaksIn(header) + 1;

    auto addRow = [&](const std::vector<std::string>& values, bool bare) {
        std::string record;
        for (std::size_t c = 0; c < values.size(); ++c)
            record += (c == 0 ? "" : ",") + field(values[c], bare || c == 0);
        fixture.rows.push_back({line, values});
        fixture.csv += record + "\r\n";
        line += breaksIn(record) + 1;
    };

    int key = 0;
    const std::size_t count = std::size(kValues);
    for (std::size_t i = 0; i < count; ++i) {
        for (const bool bare : {false, true}) {
            const std::string k = "k" + std::to_string(++key);
            addRow({k, std::string(kValues[i]), std::string(kValues[(i + 7) % count]),
                    std::string(kValues[(i + 13) % count])},
                   bare);
        }
    }
    // Random values from the same characters.
    std::mt19937_64 random(fixtureSeed() ^ 4180);
    const std::string_view alphabet = "ab \t\"'\\\r\n,;";
    for (int r = 0; r < 300; ++r) {
        std::vector<std::string> values = {"k" + std::to_string(++key)};
        for (int c = 1; c < 4; ++c) {
            std::string value;
            const auto length = random() % 12;
            for (std::size_t k = 0; k < length; ++k) {
                const std::size_t at = random() % (alphabet.size() + 1);
                if (at == alphabet.size())
                    value += "\xC3\xA9";
                else
                    value += alphabet[at];
            }
            values.push_back(std::move(value));
        }
        addRow(values, r % 2 == 0);
    }
    return fixture;
}

// Read exactly, typed from the values written: each trap column holds one
// value that the default reading would take for a number or a date (its
// quotes dropped, its blanks trimmed) among values that are; the other
// columns type cleanly although their fields are quoted or carry text
// after the closing quote.
Fixture makeExactTypedFixture()
{
    Fixture fixture;
    fixture.title = "exact typed";
    fixture.exactQuoting = true;
    fixture.suggestTypes = true;
    const std::vector<std::pair<std::string, Typed>> columns = {
        {"id", Typed::Text},         {"appended", Typed::Integer}, {"quoted_blank", Typed::Text},
        {"bare_blank", Typed::Text}, {"doubled", Typed::Text},     {"stray", Typed::Text},
        {"day_blank", Typed::Text},  {"day_break", Typed::Text},   {"day", Typed::Date},
        {"sparse", Typed::Sparse},   {"amount", Typed::Decimal},
    };
    std::string header;
    for (const auto& [name, typed] : columns) {
        header += (header.empty() ? "" : ",") + name;
        fixture.columns.push_back({name, name, name, typed});
    }
    fixture.csv = header + "\r\n";
    std::size_t line = 2;
    for (int r = 1; r <= 40; ++r) {
        const std::string n = std::to_string(r);
        const std::string day = "2023-0" + std::to_string(1 + r % 9) + "-1" + std::to_string(r % 10);
        const bool trap = r == 17;
        // {field as the file holds it, value written}
        const std::vector<std::pair<std::string, std::string>> cells = {
            {"k" + n, "k" + n},
            {"\"" + n + "\"" + n, n + n},
            trap ? std::pair<std::string, std::string>{"\" " + n + "\"", " " + n} : std::pair{"\"" + n + "\"", n},
            trap ? std::pair<std::string, std::string>{n + " ", n + " "} : std::pair{n, n},
            trap ? std::pair<std::string, std::string>{"\"1\"\"" + n + "\"", "1\"" + n} : std::pair{"\"" + n + "\"", n},
            trap ? std::pair<std::string, std::string>{n + "\"", n + "\""} : std::pair{n, n},
            trap ? std::pair<std::string, std::string>{"\"" + day + " \"", day + " "} : std::pair{day, day},
            trap ? std::pair<std::string, std::string>{"\"" + day + "\r\n\"", day + "\r\n"}
                 : std::pair{"\"" + day + "\"", day},
            {"\"" + day + "\"", day},
            r % 3 == 0 ? std::pair<std::string, std::string>{"\"\"", ""} : std::pair{"\"" + n + "\"", n},
            {"\"" + n + ".\"5", n + ".5"},
        };
        std::string record;
        std::vector<std::string> values;
        for (const auto& [csv, value] : cells) {
            record += (record.empty() ? "" : ",") + csv;
            values.push_back(value);
        }
        fixture.rows.push_back({line, values});
        fixture.csv += record + "\r\n";
        line += breaksIn(record) + 1;
    }
    return fixture;
}

// Values with 20,000 line breaks of each kind, and of all kinds mixed with
// apostrophes: every database must take an expression of that many parts.
Fixture makeManyBreaksFixture()
{
    Fixture fixture;
    fixture.title = "many breaks";
    fixture.exactQuoting = true;
    fixture.columns = {{"id", "id", "id"}, {"note", "note", "note"}};
    fixture.mysqlTypes = {"varchar(8)", "longtext"}; // MariaDB's text holds 65,535 bytes
    fixture.csv = "id,note\r\n";
    std::size_t line = 2;
    const std::vector<std::string_view> kinds = {"\n", "\r", "\r\n", ""};
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        std::string value;
        for (int i = 0; i < 20000; ++i) {
            const std::string_view lineEnd = kinds[k].empty() ? kinds[static_cast<std::size_t>(i) % 3] : kinds[k];
            value += (i % 5 == 0 ? "line '" + std::to_string(i) + "'" : std::string()) + std::string(lineEnd);
        }
        const std::string record = "k" + std::to_string(k + 1) + "," + field(value, false);
        fixture.rows.push_back({line, {"k" + std::to_string(k + 1), value}});
        fixture.csv += record + "\r\n";
        line += breaksIn(record) + 1;
    }
    return fixture;
}

// Lines above the header and comment lines, read exactly: the title's quote
// opens nothing, a comment holds quotes and separators, and a quoted value
// has a line that begins with the comment character.
Fixture makeSkippedLinesFixture()
{
    Fixture fixture;
    fixture.title = "skipped and comment lines";
    fixture.exactQuoting = true;
    fixture.converterArgs = {"--skip-lines", "2", "--comment", "#"};
    fixture.columns = {{"id", "id", "id"}, {"note", "note", "note"}};
    fixture.csv = "\"Quarterly export, draft\r\n"
                  "\r\n"
                  "id,note\r\n"
                  "# a comment, with \"quotes\r\n"
                  "r1,plain\r\n"
                  "r2,\"two\r\n#lines\"\r\n"
                  "#r3,never\r\n"
                  "r4,\"#not a comment\"\r\n";
    fixture.rows = {{5, {"r1", "plain"}}, {6, {"r2", "two\r\n#lines"}}, {9, {"r4", "#not a comment"}}};
    return fixture;
}

} // namespace

const Fixture& skippedLinesFixture()
{
    static const Fixture fixture = makeSkippedLinesFixture();
    return fixture;
}

const Fixture& manyBreaksFixture()
{
    static const Fixture fixture = makeManyBreaksFixture();
    return fixture;
}

const Fixture& exactTypedFixture()
{
    static const Fixture fixture = makeExactTypedFixture();
    return fixture;
}

const Fixture& exactQuotingFixture()
{
    static const Fixture fixture = makeExactFixture();
    return fixture;
}

} // namespace quarrow::dbtest
