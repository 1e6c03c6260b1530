#include "tests/db/Fixtures.h"

#include <array>
#include <cstdlib>
#include <random>
#include <stdexcept>

namespace quarrow::dbtest {

namespace {

// Each entry: the field's text in the file, then its value. In the file a
// field that starts with a double quote runs to the closing quote (doubled
// quotes inside); any other field runs to the next comma.
// clang-format off
constexpr auto kLiterals = std::to_array<LiteralCell>({
    {"O'Brien", "O'Brien"},
    {"'", "'"},
    {"''", "''"},
    {"\"it's \"\"quoted\"\"\"", "it's quoted"},
    {"a\"b", "ab"},                 // a lone quote inside an unquoted field
    {"\"x\"\"\"\"y\"", "xy"},       // two doubled quotes
    {" \"\"\"O'Brien\"\"\" ", "O'Brien"},
    {"abc\\", "abc\\"},             // ends in a backslash
    {"\\", "\\"},
    {"\\n", "\\n"},                 // backslash and n, not a line break
    {"C:\\temp\\new\\", "C:\\temp\\new\\"},
    {"\\'", "\\'"},
    {"'\\", "'\\"},
    {"\\\\'", "\\\\'"},
    {"\\0\\Z\\b\\%\\_\\t", "\\0\\Z\\b\\%\\_\\t"}, // MySQL's escape sequences, as text
    {"NULL", "NULL"},
    {"null", "null"},
    {"", ""},
    {"   ", ""},
    {"\" \t \"", ""},
    {"\"\"", ""},
    {"\"\"\"\"", ""},
    {"\t", ""},
    {"\"a,b,c\"", "a,b,c"},
    {"\",\"", ","},
    {"  padded  ", "padded"},
    {"\t padded\x01 \t", "padded"},
    {"\"tab\there\"", "tab\there"},
    {"\"\tlead and trail\t\"", "lead and trail"},
    {"Ünïcödé Ελληνικά Кириллица", "Ünïcödé Ελληνικά Кириллица"},
    {"中文字符 日本語テキスト 한국어", "中文字符 日本語テキスト 한국어"},
    {"😀👍🏽👨‍👩‍👧 𝄞", "😀👍🏽👨‍👩‍👧 𝄞"},
    {"\u00A0nbsp\u00A0", "\u00A0nbsp\u00A0"}, // the no-break space is above code 32: kept
    {"\"é\"\"😀\"", "é😀"},
    {"مرحبا بالعالم", "مرحبا بالعالم"},
    {"a\u2028b\u0085" "c\uFEFF" "d\u200B" "e", "a\u2028b\u0085" "c\uFEFF" "d\u200B" "e"},
    {"a\x01" "b\x1B" "c\x1F" "d", "a\x01" "b\x1B" "c\x1F" "d"}, // control characters inside are kept
    {"1);DROP TABLE roundtrip;--", "1);DROP TABLE roundtrip;--"},
    {"'; DROP TABLE roundtrip; --", "'; DROP TABLE roundtrip; --"},
    {"\"',1);CREATE TABLE injected (x int);#\"", "',1);CREATE TABLE injected (x int);#"},
    {"\\! echo shell", "\\! echo shell"}, // a client command, inside a string
    {":foo :'foo' \\set", ":foo :'foo' \\set"},
    {"$$dollar$$ $1 ?", "$$dollar$$ $1 ?"},
    {"*/ /* -- # ;", "*/ /* -- # ;"},
    {"E'\\x41' N'x' X'41'", "E'\\x41' N'x' X'41'"},
    {"`grave``", "`grave``"},
    {"[bracket]]", "[bracket]]"},
    {"%_*?", "%_*?"},
    {";", ";"},
    {"0007", "0007"},
    {" -0.50 ", "-0.50"},
    {"1e3", "1e3"},
});
// clang-format on

// For ANSI scripts: characters that Windows-1252 lacks, above all those
// that look like a character that ends a literal or a quoted name, beside
// ones it holds (its 0x80-0x9F block included) and hostile ASCII.
constexpr auto kAnsiLiterals = std::to_array<LiteralCell>({
    {"x\uFF07);DROP TABLE roundtrip;--", "x\uFF07);DROP TABLE roundtrip;--"}, // fullwidth apostrophe
    {"y\uFF3C", "y\uFF3C"},                                                   // ends in a fullwidth backslash
    {"\uFF3C", "\uFF3C"},
    {"\\\uFF07", "\\\uFF07"},
    {"\uFF07\uFF07 '\uFF07' \uFF3C'", "\uFF07\uFF07 '\uFF07' \uFF3C'"},
    {"c\uFF40d \uFF40`\uFF40", "c\uFF40d \uFF40`\uFF40"}, // fullwidth grave accent
    {"[e\uFF3D]f\uFF3D\uFF3D", "[e\uFF3D]f\uFF3D\uFF3D"}, // fullwidth closing bracket
    {"a\uFF09\uFF1Bb", "a\uFF09\uFF1Bb"},                 // fullwidth ) and ;
    // Fullwidth ( ) ; [ ] " $ # % _
    {"\uFF08\uFF09\uFF1B\uFF3B\uFF3D\uFF02\uFF04\uFF03\uFF05\uFF3F",
     "\uFF08\uFF09\uFF1B\uFF3B\uFF3D\uFF02\uFF04\uFF03\uFF05\uFF3F"},
    {"\"say \"\"\uFF02hi\uFF02\"\"\"", "say \uFF02hi\uFF02"},
    {"\u02BC\u2032\u2033\u201B\u201A\u2019", "\u02BC\u2032\u2033\u201B\u201A\u2019"}, // apostrophe look-alikes
    // Look-alikes of \ ; ( ) and -: set minus, small forms, minus sign, hyphen
    {"\u2216\uFE68\uFE54\uFE59\uFE5A\u2212\u2010", "\u2216\uFE68\uFE54\uFE59\uFE5A\u2212\u2010"},
    // Fullwidth letters and digits, then Polish: Latin letters Windows-1252 lacks
    {"\uFF53\uFF45\uFF4C\uFF45\uFF43\uFF54 \uFF11\uFF12", "\uFF53\uFF45\uFF4C\uFF45\uFF43\uFF54 \uFF11\uFF12"},
    {"\"\u0141\u00F3d\u017A, za\u017C\u00F3\u0142\u0107 g\u0119\u015Bl\u0105 ja\u017A\u0144\"",
     "\u0141\u00F3d\u017A, za\u017C\u00F3\u0142\u0107 g\u0119\u015Bl\u0105 ja\u017A\u0144"},
    // CJK and emoji (a skin tone is a second character), a combining accent,
    // an ideographic space, a zero-width space and a byte-order mark inside
    {"\"\u4E2D\u6587, \U0001F600\U0001F44D\U0001F3FD\"", "\u4E2D\u6587, \U0001F600\U0001F44D\U0001F3FD"},
    {"e\u0301\u3000\u200B\uFEFF", "e\u0301\u3000\u200B\uFEFF"},
    // Only characters Windows-1252 holds: each must come back as it is.
    {"\u00E9 \u20AC \u201Cquoted\u201D \u2018single\u2019 \u201Elow\u201C \u2026 \u2013 \u2014 \u2122",
     "\u00E9 \u20AC \u201Cquoted\u201D \u2018single\u2019 \u201Elow\u201C \u2026 \u2013 \u2014 \u2122"},
    {"\u0152\u0153\u0160\u0161\u017D\u017E\u0178\u0192\u2020\u2021\u02C6\u2030\u2039\u203A\u2022\u02DC",
     "\u0152\u0153\u0160\u0161\u017D\u017E\u0178\u0192\u2020\u2021\u02C6\u2030\u2039\u203A\u2022\u02DC"},
    {"\u00A0\u00FF\u00D7\u00DF\u00F1\u00A4\u00AB\u00BB\u00A0",
     "\u00A0\u00FF\u00D7\u00DF\u00F1\u00A4\u00AB\u00BB\u00A0"},
    {"\u20AC", "\u20AC"},
});

using Rng = std::mt19937_64;

std::size_t pick(Rng& rng, std::size_t n)
{
    return static_cast<std::size_t>(rng() % n);
}

bool blank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

// Byte offsets where a character starts, and the end.
std::vector<std::size_t> boundaries(const std::string& value)
{
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if ((static_cast<unsigned char>(value[i]) & 0xC0) != 0x80)
            at.push_back(i);
    }
    at.push_back(value.size());
    return at;
}

// Inserts `text` at `count` random character boundaries at or after `from`.
std::string sprinkle(const std::string& value, const std::string& text, std::size_t count, std::size_t from, Rng& rng)
{
    const auto at = boundaries(value);
    std::vector<bool> chosen(at.size(), false);
    for (std::size_t k = 0; k < count && from < at.size(); ++k)
        chosen[from + pick(rng, at.size() - from)] = true;
    std::string out;
    std::size_t previous = 0;
    for (std::size_t i = 0; i < at.size(); ++i) {
        out.append(value, previous, at[i] - previous);
        previous = at[i];
        if (chosen[i])
            out += text;
    }
    return out;
}

constexpr std::array<std::string_view, 5> kPads = {" ", "\t", "  \t", " \x01 ", "\x1F"};

constexpr std::array<std::string_view, 8> kEmptyFields = {
    "", "\"\"", " ", "  \t ", "\" \"", "\"\"\"\"", "\"\t\t\"", "\" \"\" \"",
};

// Writes a field that clean-up turns back into `value`. The value holds no
// double quote, no line break and no NUL, and neither starts nor ends with
// a character of code 32 or less.
std::string encodeField(const std::string& value, Rng& rng)
{
    if (value.empty())
        return std::string(kEmptyFields[pick(rng, kEmptyFields.size())]);
    if (value.find_first_of(std::string("\"\r\n\0", 4)) != std::string::npos || blank(value.front())
        || blank(value.back()))
        throw std::logic_error("not a value that clean-up can give: " + value);
    const std::string pad(kPads[pick(rng, kPads.size())]);
    const bool mayBeBare = value.find(',') == std::string::npos;
    switch (pick(rng, mayBeBare ? 6 : 3)) {
    case 0: return "\"" + value + "\"";
    case 1: // blanks inside the quotes are trimmed
        return "\"" + pad + value + pad + "\"";
    case 2: // doubled quotes inside a quoted field, even first and last
        return "\"" + sprinkle(value, "\"\"", 1 + pick(rng, 3), 0, rng) + "\"";
    case 3: return value;
    case 4: return pad + value + pad;
    default: // lone quotes inside an unquoted field; not first, or the field would be quoted
        return sprinkle(value, "\"", 1 + pick(rng, 3), 1, rng);
    }
}

std::string trimBlanks(std::string value)
{
    while (!value.empty() && blank(value.back()))
        value.pop_back();
    std::size_t b = 0;
    while (b < value.size() && blank(value[b]))
        ++b;
    return value.substr(b);
}

// Pieces of the random values: everything that has broken a string, a name
// or a client somewhere, and a few ordinary bits.
constexpr auto kPieces = std::to_array<std::string_view>({
    "'",      "''",     "\\",  "\\\\", "\\n",  "\\'",    "'\\", ",",   ";",   "--",   "/*",  "*/",
    "#",      "%",      "_",   "$$",   ":v",   "`",      "[",   "]",   "(",   ")",    "),(", "');",
    "NULL",   "null",   " ",   "\t",   "\x01", "\u00A0", "é",   "ß",   "中",  "日本", "😀",   "👍🏽",
    "\u200B", "\u2028", "abc", "42",   "x",    "E'",     "\\0", "\\Z", "\\%", "\\!",  "N'",
});

std::string randomValue(Rng& rng)
{
    const auto kind = pick(rng, 50);
    if (kind < 5)
        return "";
    std::string value;
    const std::size_t pieces = 1 + pick(rng, 6);
    for (std::size_t i = 0; i < pieces; ++i)
        value += kPieces[pick(rng, kPieces.size())];
    if (kind == 5) { // now and then a long one
        const std::size_t target = 3000 + pick(rng, 6000);
        const std::string unit = value + "~";
        while (value.size() < target)
            value += unit;
    }
    return trimBlanks(value);
}

// A random value for an ANSI script: pieces of kPieces mixed with single
// characters of the ANSI literals.
std::string randomAnsiValue(Rng& rng)
{
    if (pick(rng, 10) == 0)
        return "";
    std::string value;
    const std::size_t pieces = 1 + pick(rng, 6);
    for (std::size_t i = 0; i < pieces; ++i) {
        if (pick(rng, 2) == 0) {
            value += kPieces[pick(rng, kPieces.size())];
            continue;
        }
        const std::string_view literal = kAnsiLiterals[pick(rng, kAnsiLiterals.size())].value;
        const auto at = boundaries(std::string(literal));
        const std::size_t k = pick(rng, at.size() - 1);
        value += literal.substr(at[k], at[k + 1] - at[k]);
    }
    return trimBlanks(value);
}

std::string key(std::size_t n)
{
    std::string k = std::to_string(n);
    return std::string(k.size() < 5 ? 5 - k.size() : 0, '0') + k;
}

class FixtureBuilder {
public:
    explicit FixtureBuilder(std::string title) { m_fixture.title = std::move(title); }

    void column(std::string csv, std::string name, std::string postgresName = {})
    {
        if (postgresName.empty())
            postgresName = name;
        m_fixture.columns.push_back({std::move(csv), std::move(name), std::move(postgresName)});
    }

    void startFile(std::string_view prefix = {})
    {
        m_fixture.csv = std::string(prefix);
        for (std::size_t c = 0; c < m_fixture.columns.size(); ++c)
            m_fixture.csv += (c > 0 ? "," : "") + m_fixture.columns[c].csv;
        m_fixture.csv += "\r\n";
        m_line = 1;
    }

    // A row from its fields as written and the values they give; missing
    // trailing fields are empty values.
    void row(const std::vector<std::string>& fields, std::vector<std::string> values, std::string_view ending)
    {
        for (std::size_t c = 0; c < fields.size(); ++c)
            m_fixture.csv += (c > 0 ? "," : "") + fields[c];
        m_fixture.csv += ending;
        values.resize(m_fixture.columns.size());
        m_fixture.rows.push_back({++m_line, std::move(values)});
    }

    std::size_t nextKey() const { return m_fixture.rows.size() + 1; }
    std::size_t columnCount() const { return m_fixture.columns.size(); }
    Fixture& fixture() { return m_fixture; }

private:
    Fixture m_fixture;
    std::size_t m_line = 0;
};

constexpr std::array<std::string_view, 3> kEndings = {"\r\n", "\n", "\r"};

Fixture buildNasty()
{
    FixtureBuilder b("nasty");
    b.column("row id", "row id");
    b.column("City", "City", "city");
    b.column("  \"select\"  ", "select");
    b.column("1st value", "1st value");
    b.column("grave`accent", "grave`accent");
    b.column("[bracketed]", "[bracketed]");
    b.column("\"say \"\"hi\"\"\"", "say hi");
    b.column("Straße", "Straße", "straße");
    b.column("order", "order");
    b.column("", "COLUMN10", "column10"); // an empty name is generated
    b.column("user", "user");
    b.column("naïve café", "naïve café");
    b.column("from", "from");
    b.column("e-mail.address", "e-mail.address");
    b.column("über_größe", "über_größe");
    b.column("group", "group");
    b.column("x\"y", "xy");
    b.column("\tTabbed\t", "Tabbed", "tabbed");
    b.column("table", "table");
    b.column("mañana", "mañana");
    // Bare in PostgreSQL and SQLite: characters above U+007F, the no-break
    // space among them, count as plain.
    b.column("名前", "名前");
    b.column("price\u00A0€", "price\u00A0€");
    b.column("数据 列", "数据 列");
    b.startFile();

    const std::size_t columns = b.columnCount();
    const std::size_t literals = kLiterals.size();

    // Every literal in every column, written as by hand or in a generated
    // spelling; the fixed generator keeps this part the same on every run.
    Rng fixed(20261210);
    for (std::size_t r = 0; r < 5000; ++r) {
        const std::string k = key(b.nextKey());
        std::vector<std::string> fields{encodeField(k, fixed)};
        std::vector<std::string> values{k};
        for (std::size_t c = 1; c < columns; ++c) {
            const LiteralCell& cell = kLiterals[(r * 7 + c * 3) % literals];
            const std::string value(cell.value);
            fields.push_back((r + c) % 3 == 0 ? encodeField(value, fixed) : std::string(cell.csv));
            values.push_back(value);
        }
        b.row(fields, values, kEndings[r % kEndings.size()]);
    }

    // A value that ends in a backslash right before a quoted field full of SQL.
    {
        const std::string k = key(b.nextKey());
        std::vector<std::string> fields{k, "abc\\", "\",1);CREATE TABLE injected (x int);#\"", "\\"};
        std::vector<std::string> values{k, "abc\\", ",1);CREATE TABLE injected (x int);#", "\\"};
        b.row(fields, values, "\r\n");
    }
    // A short row: the missing fields are empty.
    {
        const std::string k = key(b.nextKey());
        b.row({k, "only", "two'"}, {k, "only", "two'"}, "\n");
    }
    // Extra fields beyond the header's are dropped.
    {
        const std::string k = key(b.nextKey());
        std::vector<std::string> fields{k};
        std::vector<std::string> values{k};
        for (std::size_t c = 1; c < columns; ++c) {
            fields.push_back("v" + std::to_string(c));
            values.push_back("v" + std::to_string(c));
        }
        fields.insert(fields.end(), {"\"extra,1\"", "extra'2", "\\"});
        b.row(fields, values, "\r\n");
    }

    // Random rows: the seed is printed with any failure.
    Rng random(fixtureSeed());
    for (int r = 0; r < 400; ++r) {
        const std::string k = key(b.nextKey());
        std::vector<std::string> fields{encodeField(k, random)};
        std::vector<std::string> values{k};
        for (std::size_t c = 1; c < columns; ++c) {
            values.push_back(randomValue(random));
            fields.push_back(encodeField(values.back(), random));
        }
        b.row(fields, values, kEndings[pick(random, kEndings.size())]);
    }
    return std::move(b.fixture());
}

Fixture buildWide()
{
    FixtureBuilder b("wide");
    b.column("row id", "row id");
    for (std::size_t j = 2; j <= 500; ++j) {
        const std::string n = std::to_string(j);
        switch (j % 4) {
        case 0: b.column("col_" + n, "col_" + n); break;
        case 1: b.column("Col " + n, "Col " + n); break;
        case 2: b.column(n + "th", n + "th"); break;
        default: b.column("Wide" + n, "Wide" + n, "wide" + n); break;
        }
    }
    b.startFile();
    // Short values, so that a row of 500 stays within the databases' row
    // size limits (about 8 KB in PostgreSQL) without changing the types.
    std::vector<LiteralCell> shortCells;
    for (const auto& cell : kLiterals) {
        if (cell.value.size() <= 12)
            shortCells.push_back(cell);
    }
    Rng fixed(500);
    for (std::size_t r = 0; r < 40; ++r) {
        const std::string k = key(b.nextKey());
        std::vector<std::string> fields{k};
        std::vector<std::string> values{k};
        for (std::size_t c = 1; c < b.columnCount(); ++c) {
            const LiteralCell& cell = shortCells[(r * 13 + c) % shortCells.size()];
            const std::string value(cell.value);
            fields.push_back(c % 2 == 0 ? std::string(cell.csv) : encodeField(value, fixed));
            values.push_back(value);
        }
        b.row(fields, values, kEndings[r % kEndings.size()]);
    }
    // MariaDB's default engine, InnoDB, refuses a table of more than about
    // 380 text columns (a row could outgrow its 8 KB limit); Aria takes it.
    b.fixture().mariadbSetup = "SET default_storage_engine=Aria";
    return std::move(b.fixture());
}

// Repeats `unit` to at least `bytes` bytes, then trims blanks at the end.
std::string longValue(std::string_view unit, std::size_t bytes)
{
    std::string value;
    value.reserve(bytes + unit.size());
    while (value.size() < bytes)
        value += unit;
    return trimBlanks(value);
}

Fixture buildLong()
{
    FixtureBuilder b("long values");
    b.column("row id", "row id");
    b.column("long text", "long text");
    b.column("\"long \"\"mixed\"\"\"", "long mixed");
    b.column("short", "short");
    b.startFile("\xEF\xBB\xBF");

    constexpr std::size_t kMiB = std::size_t{1} << 20;
    const std::string ascii = longValue("it's a \\ back\\slash, 'quoted', ", kMiB) + "\\";
    const std::string mixed = longValue("中文😀é ß\u00A0x'\\ ", kMiB);
    Rng fixed(1);
    b.row({key(1), "\"" + ascii + "\"", "\"" + sprinkle(mixed, "\"\"", 500, 0, fixed) + "\"", "x"},
          {key(1), ascii, mixed, "x"}, "\r\n");
    b.row({key(2), "", "\"\"", "it's"}, {key(2), "", "", "it's"}, "\n");
    b.row({key(3), sprinkle(mixed, "\"", 300, 1, fixed), "\"" + ascii + "\"", "\\"}, {key(3), mixed, ascii, "\\"},
          "\r\n");
    // MySQL's text holds at most 65,535 bytes.
    b.fixture().mysqlTypes = {"text", "longtext", "longtext", "text"};
    return std::move(b.fixture());
}

Fixture buildAnsi()
{
    FixtureBuilder b("ANSI");
    b.fixture().encoding = TextEncoding::Ansi;
    // The last argument is the name as PostgreSQL holds it: as Windows-1252
    // holds it (a Latin letter becomes its base letter, a fullwidth letter
    // or digit its ASCII form, any other character it lacks '?'), folded to
    // lower case where that leaves a plain name that is not reserved.
    b.column("row id", "row id", "row id");
    b.column("c\uFF40d", "c\uFF40d", "c?d");
    b.column("e\uFF3Df", "e\uFF3Df", "e?f");
    b.column("a\uFF09\uFF1Bb", "a\uFF09\uFF1Bb", "a??b");
    b.column("x\uFF07y", "x\uFF07y", "x?y");
    b.column(" y\uFF3C ", "y\uFF3C", "y?");
    b.column("\"\u0141\u00F3d\u017A\"", "\u0141\u00F3d\u017A", "l\u00F3dz");
    b.column("\u540D\u524D \u5217", "\u540D\u524D \u5217", "?? ?");
    b.column("\U0001F600\U0001F44D\U0001F3FD emoji", "\U0001F600\U0001F44D\U0001F3FD emoji", "??? emoji");
    b.column("\uFF53\uFF45\uFF4C\uFF45\uFF43\uFF54", "\uFF53\uFF45\uFF4C\uFF45\uFF43\uFF54", "select");
    b.column("\uFF2E\uFF41\uFF4D\uFF45", "\uFF2E\uFF41\uFF4D\uFF45", "name");
    b.column("\uFF34\uFF41\uFF42\uFF4C\uFF45\uFF11", "\uFF34\uFF41\uFF42\uFF4C\uFF45\uFF11", "table1");
    b.column("\u201Ccurly\u201D \u2018names\u2019", "\u201Ccurly\u201D \u2018names\u2019",
             "\u201Ccurly\u201D \u2018names\u2019");
    b.column("Preis\u20AC", "Preis\u20AC", "preis\u20AC");
    b.column("Stra\u00DFe", "Stra\u00DFe", "stra\u00DFe");
    b.column("\"it's \"\"a\"\" \\ name\"", "it's a \\ name", "it's a \\ name");
    b.column("\u02BC\uFF02quoted\uFF02\u02BC", "\u02BC\uFF02quoted\uFF02\u02BC", "??quoted??");
    b.column("\uFE59semi\uFE54colon\uFE5A", "\uFE59semi\uFE54colon\uFE5A", "?semi?colon?");
    b.column("back\u2216slash", "back\u2216slash", "back?slash");
    b.column("na\u00EFve \u0142", "na\u00EFve \u0142", "na\u00EFve l");
    b.startFile("\xEF\xBB\xBF");

    std::vector<LiteralCell> cells(kAnsiLiterals.begin(), kAnsiLiterals.end());
    cells.insert(cells.end(), kLiterals.begin(), kLiterals.end());
    const std::size_t columns = b.columnCount();

    // Every cell in every column, as by hand or in a generated spelling.
    Rng fixed(1252);
    for (std::size_t r = 0; r < 2 * cells.size(); ++r) {
        const std::string k = key(b.nextKey());
        std::vector<std::string> fields{encodeField(k, fixed)};
        std::vector<std::string> values{k};
        for (std::size_t c = 1; c < columns; ++c) {
            const LiteralCell& cell = cells[(r * 7 + c * 3) % cells.size()];
            const std::string value(cell.value);
            fields.push_back((r + c) % 3 == 0 ? encodeField(value, fixed) : std::string(cell.csv));
            values.push_back(value);
        }
        b.row(fields, values, kEndings[r % kEndings.size()]);
    }

    // Random rows: the seed is printed with any failure.
    Rng random(fixtureSeed() ^ 1252);
    for (int r = 0; r < 200; ++r) {
        const std::string k = key(b.nextKey());
        std::vector<std::string> fields{encodeField(k, random)};
        std::vector<std::string> values{k};
        for (std::size_t c = 1; c < columns; ++c) {
            values.push_back(randomAnsiValue(random));
            fields.push_back(encodeField(values.back(), random));
        }
        b.row(fields, values, kEndings[pick(random, kEndings.size())]);
    }
    return std::move(b.fixture());
}

Fixture buildTyped()
{
    Fixture f;
    f.title = "suggested types";
    f.suggestTypes = true;
    const std::pair<const char*, Typed> columns[] = {
        {"id", Typed::Integer},       {"zip", Typed::Text},       {"plus", Typed::Text},      {"comma", Typed::Text},
        {"exponent", Typed::Text},    {"grouped", Typed::Text},   {"late", Typed::Text},      {"sparse", Typed::Sparse},
        {"huge", Typed::WideInteger}, {"edge", Typed::Integer},   {"amount", Typed::Decimal}, {"leap", Typed::Text},
        {"born", Typed::Date},        {"stamp", Typed::DateTime}, {"name", Typed::Text},
    };
    for (const auto& [name, typed] : columns) {
        f.columns.push_back({name, name, name, typed});
        f.csv += std::string(f.csv.empty() ? "" : ",") + name;
    }
    f.csv += "\r\n";
    constexpr int kRows = 300;
    for (int i = 0; i < kRows; ++i) {
        const bool last = i == kRows - 1;
        const std::string n = std::to_string(i);
        const std::string dd = (i % 28 < 9 ? "0" : "") + std::to_string(i % 28 + 1);
        const std::string mm = (i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1);
        // The file's text of each field, then the value it holds.
        const std::vector<std::pair<std::string, std::string>> cells = {
            {std::to_string(100000000 + i), std::to_string(100000000 + i)},
            {i == 7 ? "0805" : std::to_string(1000 + i), i == 7 ? "0805" : std::to_string(1000 + i)},
            {i == 9 ? "+1" : n, i == 9 ? "+1" : n},
            {i == 11 ? "\"1,5\"" : n + ".5", i == 11 ? "1,5" : n + ".5"},
            {i == 13 ? "1e5" : n, i == 13 ? "1e5" : n},
            {i == 15 ? "\"1,000\"" : (i == 16 ? "1 000" : n), i == 15 ? "1,000" : (i == 16 ? "1 000" : n)},
            {last ? "12a" : n, last ? "12a" : n},
            {i % 4 == 0 ? "" : std::to_string(i * 7), i % 4 == 0 ? "" : std::to_string(i * 7)},
            {(i % 2 ? "-" : "") + std::string("123456789012345678901234567") + dd,
             (i % 2 ? "-" : "") + std::string("123456789012345678901234567") + dd},
            {i == 0 ? "9223372036854775807" : (i == 1 ? "-9223372036854775808" : n),
             i == 0 ? "9223372036854775807" : (i == 1 ? "-9223372036854775808" : n)},
            {(i % 3 ? "-" : "") + n + "." + (i % 2 ? "05" : "5"), (i % 3 ? "-" : "") + n + "." + (i % 2 ? "05" : "5")},
            {i == 200 ? "2023-02-29" : "2024-02-29", i == 200 ? "2023-02-29" : "2024-02-29"},
            {i == 0 ? "1000-01-01" : (i == 1 ? "9999-12-31" : "19" + std::to_string(10 + i % 90) + "-" + mm + "-" + dd),
             i == 0 ? "1000-01-01"
                    : (i == 1 ? "9999-12-31" : "19" + std::to_string(10 + i % 90) + "-" + mm + "-" + dd)},
            {"2023-" + mm + "-" + dd + " 23:59:5" + std::to_string(i % 10) + (i % 3 ? ".123456" : ""),
             "2023-" + mm + "-" + dd + " 23:59:5" + std::to_string(i % 10) + (i % 3 ? ".123456" : "")},
            {i % 2 ? "Zo\xC3\xAB's \\" : "\xE4\xB8\xAD" + n, i % 2 ? "Zo\xC3\xAB's \\" : "\xE4\xB8\xAD" + n},
        };
        FixtureRow row{static_cast<std::size_t>(i) + 2, {}};
        for (std::size_t c = 0; c < cells.size(); ++c) {
            f.csv += (c > 0 ? "," : "") + cells[c].first;
            row.values.push_back(cells[c].second);
        }
        f.csv += "\r\n";
        f.rows.push_back(std::move(row));
    }
    return f;
}

} // namespace

std::span<const LiteralCell> literalCells()
{
    return kLiterals;
}

std::uint64_t fixtureSeed()
{
    static const std::uint64_t seed = [] {
        if (const char* text = std::getenv("QUARROW_TEST_SEED"))
            return static_cast<std::uint64_t>(std::strtoull(text, nullptr, 10));
        std::random_device device;
        return (static_cast<std::uint64_t>(device()) << 32) | device();
    }();
    return seed;
}

const Fixture& nastyFixture()
{
    static const Fixture fixture = buildNasty();
    return fixture;
}

const Fixture& wideFixture()
{
    static const Fixture fixture = buildWide();
    return fixture;
}

const Fixture& longValueFixture()
{
    static const Fixture fixture = buildLong();
    return fixture;
}

const Fixture& ansiFixture()
{
    static const Fixture fixture = buildAnsi();
    return fixture;
}

const Fixture& typedFixture()
{
    static const Fixture fixture = buildTyped();
    return fixture;
}

} // namespace quarrow::dbtest
