#include "tests/support/TempDir.h"

#include "engine/csv/ExactQuoting.h"
#include "engine/csv/LineReader.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/text/UnicodeText.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quarrow {
namespace {

using test::TempDir;

using Values = std::vector<std::u16string>;

// One that takes parts joins the pieces of a record that runs across blocks.
struct RecordCollector : LineSink {
    explicit RecordCollector(bool utf8, bool parts = false) : takeUtf8(utf8), takeParts(parts) {}
    std::vector<std::u16string> records;
    bool takeUtf8;
    bool takeParts;
    std::u16string unfinished;
    void line(std::u16string_view text) override
    {
        unfinished += text;
        records.push_back(std::move(unfinished));
        unfinished.clear();
    }
    bool takesUtf8() const override { return takeUtf8; }
    bool takesParts() const override { return takeParts; }
    void linePart(std::u16string_view piece) override { unfinished += piece; }
};

// Reads exactly, every way the reader can hand records on (decoded, and as
// the file's own UTF-8; whole, and in parts), which must agree.
std::vector<std::u16string> readRecords(const std::filesystem::path& path, char16_t separator = u',',
                                        TextEncoding encoding = TextEncoding::Utf8)
{
    RecordCollector decoded(false);
    readLines(path, encoding, decoded, nullptr, {true, separator});
    RecordCollector undecoded(true);
    readLines(path, encoding, undecoded, nullptr, {true, separator});
    EXPECT_EQ(undecoded.records, decoded.records) << "records handed on as UTF-8 differ from the decoded ones";
    for (const bool utf8 : {false, true}) {
        RecordCollector inParts(utf8, true);
        readLines(path, encoding, inParts, nullptr, {true, separator});
        EXPECT_EQ(inParts.records, decoded.records) << "records handed on in parts differ, UTF-8: " << utf8;
    }
    return decoded.records;
}

std::vector<Values> valuesOf(const std::vector<std::u16string>& records, char16_t separator)
{
    std::vector<Values> rows;
    for (const auto& record : records) {
        Values values;
        forEachExactField(record.data(), record.data() + record.size(), separator,
                          [&](const char16_t* b, const char16_t* e) {
                              values.push_back(exactValue(std::u16string_view(b, static_cast<std::size_t>(e - b))));
                          });
        rows.push_back(std::move(values));
    }
    return rows;
}

std::string show(const std::vector<Values>& rows)
{
    std::string out;
    for (const auto& row : rows) {
        for (const auto& v : row) {
            out += '[';
            for (char c : toUtf8(v))
                out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
            out += ']';
        }
        out += '\n';
    }
    return out;
}

struct ReaderCase {
    const char* name;
    std::string file;
    std::vector<std::vector<std::string>> values; // per record
    char16_t separator = u',';
};

std::vector<Values> widen(const std::vector<std::vector<std::string>>& rows)
{
    std::vector<Values> out;
    for (const auto& row : rows) {
        Values values;
        for (const auto& v : row)
            values.push_back(fromUtf8(v));
        out.push_back(std::move(values));
    }
    return out;
}

TEST(ExactReading, RecordsAndValues)
{
    const std::vector<ReaderCase> cases = {
        {"CR LF inside quotes", "a,\"x\r\ny\",b\r\nc,d,e\r\n", {{"a", "x\r\ny", "b"}, {"c", "d", "e"}}},
        {"LF and CR inside quotes", "\"1\n2\",\"3\r4\"\n5,6", {{"1\n2", "3\r4"}, {"5", "6"}}},
        {"a value of line breaks only", "\"\r\n\n\r\",x\r\n", {{"\r\n\n\r", "x"}}},
        {"record over three lines", "\"a\r\n\r\nb\"\r\nz\r\n", {{"a\r\n\r\nb"}, {"z"}}},
        {"doubled quotes", "\"12\"\" pipe\",\"say \"\"hi\"\"\"\r\n", {{"12\" pipe", "say \"hi\""}}},
        {"only a doubled quote", "\"\"\"\",\"\"\"\"\"\"\r\n", {{"\"", "\"\""}}},
        {"doubled quote then a break", "\"x\"\"\r\n\"\"y\",z\r\n", {{"x\"\r\n\"y", "z"}}},
        {"stray quotes in unquoted fields", "ab\"c,5'10\",d\"\r\ne\r\n", {{"ab\"c", "5'10\"", "d\""}, {"e"}}},
        {"a quote after a blank is ordinary", " \"a\r\nb\",c\r\n", {{" \"a"}, {"b\"", "c"}}},
        {"text after the closing quote", "\"ab\"cd,\"x\" y\"z,\"\"w\r\n", {{"abcd", "x y\"z", "w"}}},
        {"blanks kept at both ends", "  a  ,\" b \",\t,\" \r\n \"\r\n", {{"  a  ", " b ", "\t", " \r\n "}}},
        {"empty quoted values", "\"\",\"\",\r\n\"\"\r\n", {{"", "", ""}, {""}}},
        {"separator inside quotes", "\"a,b\",\"c,\r\nd\"\r\n", {{"a,b", "c,\r\nd"}}},
        {"empty lines are empty records", "a\r\n\r\nb\n\nc", {{"a"}, {}, {"b"}, {}, {"c"}}},
        {"closing quote at the end of the file", "x,\"y\r\nz\"", {{"x", "y\r\nz"}}},
        {"a quote opens a field only after the separator", "a,\"b;c\r\nd\r\n", {{"a,\"b", "c"}, {"d"}}, u';'},
        {"tab separator", "\"a\tb\"\t\"c\r\nd\"\r\n", {{"a\tb", "c\r\nd"}}, u'\t'},
        {"non-ASCII separator",
         "\"a\xC2\xA7\"\xC2\xA7\"\xC3\xA9\r\n\"\r\n",
         {{"a\xC2\xA7", "\xC3\xA9\r\n"}},
         u'\u00A7'},
        {"non-ASCII values",
         "\"Zo\xC3\xAB\r\n\xE4\xB8\xAD\",\xF0\x9F\x98\x80\r\n",
         {{"Zo\xC3\xAB\r\n\xE4\xB8\xAD", "\xF0\x9F\x98\x80"}}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir.write("case.csv", c.file);
        const auto rows = valuesOf(readRecords(path, c.separator), c.separator);
        EXPECT_EQ(show(rows), show(widen(c.values)));
    }
}

TEST(ExactReading, RecordsKeepTheirTextExactlyAsInTheFile)
{
    TempDir dir;
    const std::string file = "id,\"a\r\nb\"\"c\"\r\n2,\"\r\"\n3,\"\n\"\r\n";
    const auto records = readRecords(dir.write("a.csv", file));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], u"id,\"a\r\nb\"\"c\"");
    EXPECT_EQ(records[1], u"2,\"\r\"");
    EXPECT_EQ(records[2], u"3,\"\n\"");
}

// Units of the file's text as the reader sees them, in UTF-8 or UTF-16 LE
// with its mark (a block then holds 2048 units).
std::string encodeAs(const std::string& utf8Text, bool utf16)
{
    if (!utf16)
        return utf8Text;
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : fromUtf8(utf8Text)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// Every unit of a record that spans lines, in turn, falls on the last unit
// of a 4096-byte block: the line breaks (CR and LF cut apart), the doubled
// quote, the closing quote and the separator before the opening one.
TEST(ExactReading, RecordsAcrossTheBlockBoundary)
{
    const std::string tail = "x,\"p\r\nq\"\"\rr\n\",y\r\nlast,\"\"\r\n";
    const std::vector<std::vector<std::string>> tailValues = {{"x", "p\r\nq\"\rr\n", "y"}, {"last", ""}};
    TempDir dir;
    for (const bool utf16 : {false, true}) {
        const std::size_t unitsPerBlock = utf16 ? kReadBlockSize / 2 : kReadBlockSize;
        const std::size_t markUnits = utf16 ? 1 : 0;
        for (std::size_t shift = 0; shift <= tail.size() + 1; ++shift) {
            SCOPED_TRACE((utf16 ? "UTF-16, shift " : "UTF-8, shift ") + std::to_string(shift));
            // One long first record ends so that the tail starts `shift` units before the block's end.
            const std::size_t padding = unitsPerBlock - markUnits - shift - 2;
            const std::string pad(padding, 'w');
            const auto path = dir.write("b.csv", encodeAs(pad + "\r\n" + tail, utf16));
            std::vector<std::vector<std::string>> expected = {{pad}};
            expected.insert(expected.end(), tailValues.begin(), tailValues.end());
            EXPECT_EQ(show(valuesOf(readRecords(path), u',')), show(widen(expected)));
        }
    }
}

// The exact cutting unit by unit, as plainly as it can be put: the records,
// or the line where the record with a quote left open began.
struct UnitCut {
    std::vector<std::u16string> records;
    std::uint64_t openAt = 0; // 0: every quote closed
};

UnitCut cutUnitByUnit(std::u16string_view text, char16_t separator)
{
    UnitCut cut;
    std::u16string record;
    bool quoted = false;
    bool fieldStart = true;
    std::uint64_t line = 1;
    std::uint64_t recordLine = 1;
    auto crLf = [&](std::size_t i) { return text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n'; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool lineBreak = c == u'\r' || c == u'\n';
        if (quoted) {
            record += c;
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                record += text[++i];
            else if (c == u'"')
                quoted = false;
            else if (lineBreak) {
                if (crLf(i))
                    record += text[++i];
                ++line;
            }
            continue;
        }
        if (lineBreak) {
            cut.records.push_back(std::move(record));
            record.clear();
            if (crLf(i))
                ++i;
            recordLine = ++line;
            fieldStart = true;
            continue;
        }
        quoted = c == u'"' && fieldStart;
        fieldStart = c == separator;
        record += c;
    }
    if (quoted)
        cut.openAt = recordLine;
    else if (!record.empty())
        cut.records.push_back(std::move(record));
    return cut;
}

// Empty when equal, else where the records first differ (the files are too
// long to print whole).
std::string firstDifference(const std::vector<std::u16string>& got, const std::vector<std::u16string>& expected)
{
    for (std::size_t i = 0; i < std::min(got.size(), expected.size()); ++i) {
        if (got[i] != expected[i])
            return "record " + std::to_string(i) + ": got " + show({{got[i]}}) + "expected " + show({{expected[i]}});
    }
    if (got.size() != expected.size())
        return std::to_string(got.size()) + " records, expected " + std::to_string(expected.size());
    return {};
}

// Random files of quotes, separators, line breaks of every kind, blanks and
// a two-byte character, in runs short and long, over several blocks: every
// unit lands on every position of a block and of the reader's scans. Read
// in UTF-8 and UTF-16, whole and in parts, they give the records the plain
// unit-by-unit cutting gives, and the same line for a quote left open.
TEST(ExactReading, RandomFilesCutAsUnitByUnit)
{
    std::mt19937 random(20261210);
    const std::u16string specials = u"\"\",,\r\n \u00E9;";
    TempDir dir;
    for (int round = 0; round < 400; ++round) {
        std::u16string text;
        const std::size_t size = 2000 + random() % 9000;
        const unsigned maxRun = round % 4 == 0 ? 60 : 2;
        while (text.size() < size) {
            text.append(random() % (maxRun + 1), u'a');
            text += specials[random() % specials.size()];
        }
        const char16_t separator = round % 4 == 3 ? u';' : u',';
        const UnitCut expected = cutUnitByUnit(text, separator);
        for (const bool utf16 : {false, true}) {
            SCOPED_TRACE("round " + std::to_string(round) + (utf16 ? ", UTF-16" : ", UTF-8"));
            const auto path = dir.write("r.csv", encodeAs(toUtf8(text), utf16));
            if (expected.openAt == 0) {
                EXPECT_EQ(firstDifference(readRecords(path, separator), expected.records), "");
                continue;
            }
            for (const bool parts : {false, true}) {
                RecordCollector sink(!utf16, parts);
                try {
                    readLines(path, TextEncoding::Utf8, sink, nullptr, {true, separator});
                    ADD_FAILURE() << "no error";
                } catch (const ReadError& e) {
                    EXPECT_EQ(e.lineNumber(), expected.openAt);
                }
                EXPECT_EQ(firstDifference(sink.records, expected.records), "");
            }
        }
    }
}

TEST(ExactReading, UnclosedQuoteNamesTheFileAndTheLineWhereTheRecordBegan)
{
    TempDir dir;
    struct Case {
        const char* name;
        std::string file;
        std::uint64_t line;
        std::size_t delivered;
    };
    const std::vector<Case> cases = {
        {"after one record", "a,b\r\nc,\"d\r\ne\r\n", 2, 1},
        {"after a record over two lines", "\"a\r\nb\",c\r\nd\r\n\"e,f\r\n", 4, 2},
        {"only an opening quote", "\"", 1, 0},
        {"a quote closed and opened again", "\"a\"\"", 1, 0},
        {"across a block", std::string(5000, 'x') + "\r\n1,\"" + std::string(5000, 'y'), 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir.write("open.csv", c.file);
        for (const bool utf8 : {false, true}) {
            RecordCollector sink(utf8);
            try {
                readLines(path, TextEncoding::Utf8, sink, nullptr, {true, u','});
                ADD_FAILURE() << "no error";
            } catch (const ReadError& e) {
                EXPECT_EQ(e.lineNumber(), c.line);
                EXPECT_NE(std::string(e.what()).find("open.csv: line " + std::to_string(c.line) + ": "),
                          std::string::npos)
                    << e.what();
                EXPECT_NE(e.reason().find("not closed"), std::string::npos) << e.reason();
            }
            EXPECT_EQ(sink.records.size(), c.delivered);
        }
    }
}

// A record over several lines: the error names the line of the byte, not
// the line where its record began.
TEST(ExactReading, DecodeFailureNamesTheLineOfTheByte)
{
    TempDir dir;
    std::string file = "a\r\n\"b\r\nc\r\nd\",e\r\n\"f\r\n";
    file += std::string(5000, 'g') + "\xFF\"\r\n";
    const auto path = dir.write("bad.csv", file);
    for (const bool utf8 : {false, true}) {
        RecordCollector sink(utf8);
        try {
            readLines(path, TextEncoding::Utf8, sink, nullptr, {true, u','});
            ADD_FAILURE() << "no error";
        } catch (const ReadError& e) {
            EXPECT_EQ(e.lineNumber(), 6u);
        }
        EXPECT_EQ(sink.records.size(), 2u);
    }
}

TEST(ExactWorkspace, HeaderNamesAreTrimmedValuesAreNot)
{
    TempDir dir;
    Workspace workspace;
    const auto report = workspace.load(dir.write("a.csv", " id ,\"full\r\nname \",\"a,b\", \"q\" ,\r\n"
                                                          "1,\"x\r\ny\",,,\r\n"),
                                       LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql, true});
    EXPECT_FALSE(report.readFailed);
    EXPECT_EQ(report.rowCount, 2);
    EXPECT_EQ(workspace.columnCount(), 5);
    EXPECT_EQ(workspace.columnNames(), (Values{u"id", u"full name", u"a,b", u"\"q\"", u"COLUMN5"}));
    EXPECT_EQ(workspace.rowText(1), u"1,\"x\r\ny\",,,");
}

// Column names are identifiers on one line: in every dialect the head
// holds no line break but the script's own line ends.
TEST(ExactScript, LineBreaksInHeaderNamesBecomeOneBlank)
{
    struct Case {
        const char* field; // as in the file
        const char* name;
    };
    const std::vector<Case> cases = {
        {"\"first\r\nname\"", "first name"},
        {"\"a\nb\"", "a b"},
        {"\"a\rb\"", "a b"},
        {"\"a\r\n\r\nb\"", "a b"},  // a run of breaks is one blank
        {"\"a\n\r\rb\"", "a b"},    // in any mix
        {"\"a \r\n b\"", "a   b"},  // blanks beside it are kept
        {"\"\r\nc d\r\n\"", "c d"}, // at the ends it is trimmed with them
        {"\"g\r\n\"h", "g h"},      // text after the closing quote follows
    };
    struct Quoting {
        Dialect dialect;
        const char* create; // a name with a blank in CREATE TABLE
        const char* insert; // and in the INSERT's column list
    };
    const std::vector<Quoting> dialects = {
        {Dialect::MySql, "`%`", "`%`"},          {Dialect::MsSql, "[%]", "[%]"},
        {Dialect::Access, "[%]", "[%]"},         {Dialect::Oracle, "\"%\"", "\"%\""},
        {Dialect::PostgreSql, "\"%\"", "\"%\""}, {Dialect::IbmDb2, "\"%\"", "\"%\""},
        {Dialect::Sqlite, "\"%\"", "`%`"},
    };
    auto quoted = [](std::string pattern, const std::string& name) {
        return pattern.replace(pattern.find('%'), 1, name);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        TempDir dir;
        Workspace workspace;
        workspace.load(dir.write("a.csv", std::string("x y,") + c.field + "\r\n1,2\r\n"),
                       LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql, true});
        ASSERT_EQ(workspace.columnNames(), (Values{u"x y", fromUtf8(c.name)}));
        for (const auto& d : dialects) {
            SCOPED_TRACE(std::string(dialectInfo(d.dialect).identifier));
            ScriptOptions options;
            options.dialect = d.dialect;
            options.exactQuoting = true;
            options.headerLine = true;
            StringSink sink;
            Donustur(workspace, options, sink);
            const std::string head = sink.bytes.substr(0, sink.bytes.find("VALUES\r\n"));
            std::string oneLine = head;
            for (auto at = oneLine.find("\r\n"); at != std::string::npos; at = oneLine.find("\r\n", at))
                oneLine.erase(at, 2);
            EXPECT_EQ(oneLine.find_first_of("\r\n"), std::string::npos) << head;
            EXPECT_NE(head.find("\r\n" + quoted(d.create, c.name) + " "), std::string::npos) << head;
            EXPECT_NE(head.find("," + quoted(d.insert, c.name) + ") "), std::string::npos) << head;
        }
    }
}

TEST(ExactWorkspace, ColumnCountIsTheFieldCountWithoutHeader)
{
    TempDir dir;
    Workspace workspace;
    workspace.load(dir.write("a.csv", "\"a,b\",\"c\r\nd\",e\r\n"),
                   LoadOptions{TextEncoding::Utf8, false, u',', Dialect::MySql, true});
    EXPECT_EQ(workspace.columnCount(), 3);
    EXPECT_EQ(workspace.columnNames(), (Values{u"COLUMN1", u"COLUMN2", u"COLUMN3"}));
    EXPECT_EQ(workspace.rowCount(), 1u);
}

TEST(ExactWorkspace, UnclosedQuoteKeepsTheRowsBeforeThatRecord)
{
    TempDir dir;
    Workspace workspace;
    const auto report = workspace.load(dir.write("a.csv", "h1,h2\r\n1,\"a\r\nb\"\r\n2,\"c\r\nd\r\n"),
                                       LoadOptions{TextEncoding::Utf8, true, u',', Dialect::MySql, true});
    EXPECT_TRUE(report.readFailed);
    EXPECT_EQ(report.failureLine, 4u);
    EXPECT_EQ(report.rowCount, 2);
    EXPECT_EQ(workspace.columnNames(), (Values{u"h1", u"h2"}));
}

// The value line of one record in each dialect, read exactly.
std::string exactInsert(const std::string& csv, Dialect dialect, bool nullEmpty = false,
                        TextEncoding encoding = TextEncoding::Utf8)
{
    TempDir dir;
    Workspace workspace;
    workspace.load(dir.write("a.csv", csv), LoadOptions{encoding, false, u',', dialect, true});
    ScriptOptions options;
    options.dialect = dialect;
    options.nullEmpty = nullEmpty;
    options.encoding = encoding;
    options.exactQuoting = true;
    StringSink sink;
    Donustur(workspace, options, sink);
    const auto at = sink.bytes.find("VALUES\r\n");
    return at == std::string::npos ? sink.bytes : sink.bytes.substr(at + 8);
}

TEST(ExactScript, LineBreaksAsEachDialectsCharacterFunction)
{
    const std::string csv = "\"a\r\nb\",\"c\nd\re\",\"\r\n\",x\r\n";
    struct Case {
        Dialect dialect;
        std::string row;
    };
    const std::vector<Case> cases = {
        {Dialect::Sqlite, "('a'||char(13)||char(10)||'b','c'||char(10)||'d'||char(13)||'e',char(13)||char(10),'x');"},
        {Dialect::MySql, "(CONCAT('a',CHAR(13 USING utf8mb4),CHAR(10 USING utf8mb4),'b'),"
                         "CONCAT('c',CHAR(10 USING utf8mb4),'d',CHAR(13 USING utf8mb4),'e'),"
                         "CONCAT(CHAR(13 USING utf8mb4),CHAR(10 USING utf8mb4)),'x');"},
        {Dialect::MsSql, "('a'+NCHAR(13)+NCHAR(10)+'b','c'+NCHAR(10)+'d'+NCHAR(13)+'e',NCHAR(13)+NCHAR(10),'x');"},
        {Dialect::Oracle, "('a'||CHR(13)||CHR(10)||'b','c'||CHR(10)||'d'||CHR(13)||'e',CHR(13)||CHR(10),'x');"},
        {Dialect::IbmDb2, "('a'||CHR(13)||CHR(10)||'b','c'||CHR(10)||'d'||CHR(13)||'e',CHR(13)||CHR(10),'x');"},
        {Dialect::Access, "('a'&Chr(13)&Chr(10)&'b','c'&Chr(10)&'d'&Chr(13)&'e',Chr(13)&Chr(10),'x');"},
        {Dialect::PostgreSql, "('a\r\nb','c\nd\re','\r\n','x');"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(dialectInfo(c.dialect).identifier));
        EXPECT_EQ(exactInsert(csv, c.dialect), c.row + "\r\n");
    }
}

TEST(ExactScript, ValuesKeepQuotesBlanksAndEscapes)
{
    struct Case {
        const char* name;
        std::string csv;
        Dialect dialect;
        bool nullEmpty;
        std::string row;
    };
    const std::vector<Case> cases = {
        {"quotes and blanks", "\" 12\"\" \",  O'Brien ,a\"b\r\n", Dialect::Sqlite, false,
         "(' 12\" ','  O''Brien ','a\"b');"},
        {"MySQL backslashes", "\"a\\\\\",\\'\r\n", Dialect::MySql, false, "('a\\\\\\\\','\\\\''');"},
        {"empty values, NULL", "\"\",,\" \"\r\n", Dialect::PostgreSql, true, "(NULL,NULL,' ');"},
        {"empty values, no NULL", "\"\",,\r\n", Dialect::PostgreSql, false, "('','','');"},
        {"N only where needed", "\"\xC3\xA9\r\n\",\"a\nb\"\r\n", Dialect::MsSql, false,
         "(N'\xC3\xA9'+NCHAR(13)+NCHAR(10),'a'+NCHAR(10)+'b');"},
        {"apostrophes beside breaks", "\"'\r\n'\"\r\n", Dialect::Oracle, false, "(''''||CHR(13)||CHR(10)||'''');"},
        {"NUL ends the record", std::string("a,b\0c,d\r\n", 9), Dialect::Sqlite, false, "('a','b');"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(exactInsert(c.csv, c.dialect, c.nullEmpty), c.row + "\r\n");
    }
}

TEST(ExactScript, LongValuesWithBreaksBecomeLargeObjects)
{
    const std::string half(3000, 'a');
    // Oracle: a literal within 4,000 bytes but longer than a line's piece
    // is two plain pieces, and the line breaks before a || where the next
    // part would pass 2,499 bytes.
    const std::string row = exactInsert("\"" + half + "\r\n" + half + "\"\r\n", Dialect::Oracle);
    const std::string a2398(2398, 'a');
    const std::string a602(602, 'a');
    EXPECT_EQ(row, "('" + a2398 + "'\r\n||'" + a602 + "'||TO_CLOB(CHR(13))||TO_CLOB(CHR(10))\r\n||'" + a2398
                       + "'\r\n||'" + a602 + "');\r\n");
    const std::string db2 = exactInsert("\"" + std::string(40000, 'b') + "\n\"\r\n", Dialect::IbmDb2);
    EXPECT_NE(db2.find("')||CLOB(CHR(10)));"), std::string::npos) << db2.substr(db2.size() - 40);
    EXPECT_NE(db2.find("CLOB('"), std::string::npos);
    const std::string mssql = exactInsert("\"" + half + "\n" + half + "\"\r\n", Dialect::MsSql);
    EXPECT_EQ(mssql, "('" + half + "'+CAST(NCHAR(10) AS nvarchar(max))+'" + half + "');\r\n");
}

// Oracle and Db2 limit a string to 4,000 and 32,672 bytes, counted in the
// script's encoding: a value with line breaks whose bytes pass the limit is
// joined as large objects, and one within it as plain strings, whether its
// record comes as UTF-8 or as UTF-16 (three bytes a CJK character, where a
// UTF-16 unit is two). SQL Server's 4,000 counts UTF-16 units, not bytes.
TEST(ExactScript, BreaksBecomeLargeObjectsByTheDatabasesCount)
{
    const std::string cjk = "\xE4\xB8\xAD";       // 3 bytes, 1 UTF-16 unit
    const std::string emoji = "\xF0\x9F\x98\x80"; // 4 bytes, 2 UTF-16 units
    auto repeat = [](const std::string& piece, std::size_t times) {
        std::string out;
        for (std::size_t i = 0; i < times; ++i)
            out += piece;
        return out;
    };
    struct Case {
        const char* name;
        Dialect dialect;
        std::string value;
        bool largeObject;
    };
    const std::vector<Case> cases = {
        {"oracle CJK past 4,000 bytes", Dialect::Oracle, repeat(cjk, 1300) + "\n" + repeat(cjk, 100), true},
        {"oracle CJK within", Dialect::Oracle, repeat(cjk, 1300) + "\n" + repeat(cjk, 30), false},
        {"oracle ASCII within 4,000 bytes", Dialect::Oracle, std::string(1500, 'a') + "\n" + std::string(2400, 'b'),
         false},
        {"oracle ASCII past", Dialect::Oracle, std::string(1500, 'a') + "\n" + std::string(2600, 'b'), true},
        {"db2 CJK past 32,672 bytes", Dialect::IbmDb2, repeat(cjk, 10000) + "\n" + repeat(cjk, 900), true},
        {"db2 CJK within", Dialect::IbmDb2, repeat(cjk, 10000) + "\n" + repeat(cjk, 800), false},
        {"mssql CJK of 4,200 bytes, 1,402 units", Dialect::MsSql, repeat(cjk, 700) + "\r\n" + repeat(cjk, 700), false},
        {"mssql CJK past 4,000 units", Dialect::MsSql, repeat(cjk, 2000) + "\r\n" + repeat(cjk, 2000), true},
        {"mssql pairs count two units", Dialect::MsSql, repeat(emoji, 1000) + "\n" + repeat(emoji, 1000), true},
        {"mssql ASCII within 4,000 units", Dialect::MsSql, std::string(1990, 'a') + "\n" + std::string(1990, 'b'),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string csv = "\"" + c.value + "\"\r\n";
        const std::string fromUtf16 = exactInsert(csv, c.dialect);
        const std::string join = c.dialect == Dialect::MsSql ? "+" : "||";
        const std::string call = c.dialect == Dialect::Oracle  ? "TO_CLOB(CHR(10))"
                                 : c.dialect == Dialect::MsSql ? "CAST(NCHAR(10) AS nvarchar(max))"
                                                               : "CLOB(CHR(10))";
        EXPECT_EQ(fromUtf16.find(join + call) != std::string::npos, c.largeObject) << fromUtf16.substr(0, 40);
        if (!c.largeObject) {
            const std::string plainCall = c.dialect == Dialect::MsSql ? "NCHAR(10)" : "CHR(10)";
            EXPECT_NE(fromUtf16.find(join + plainCall), std::string::npos);
        }

        ScriptOptions options;
        options.dialect = c.dialect;
        options.exactQuoting = true;
        ScriptFormatter formatter(options, {u"a"}, {u"clob"});
        OutBuffer fromBytes;
        formatter.appendUtf8Row(fromBytes, c.value, 0);
        OutBuffer fromUnits;
        formatter.appendRow(fromUnits, fromUtf8(c.value), 0);
        EXPECT_TRUE(std::string(fromBytes.data(), fromBytes.size()) == std::string(fromUnits.data(), fromUnits.size()));
    }
}

// Values read exactly but without line breaks, quotes or blanks at their
// ends are written as by the default reading.
TEST(ExactScript, PlainValuesAsInTheDefaultReading)
{
    TempDir dir;
    const auto path = dir.write("a.csv", "id,name,note\r\n1,Zo\xC3\xAB,\"it's\"\r\n2,\xE4\xB8\xAD,a\\b\r\n3,,\r\n");
    for (const auto& info : kDialects) {
        for (const bool nullEmpty : {false, true}) {
            SCOPED_TRACE(std::string(info.identifier));
            std::string scripts[2];
            for (const bool exact : {false, true}) {
                Workspace workspace;
                workspace.load(path, LoadOptions{TextEncoding::Utf8, true, u',', info.dialect, exact});
                ScriptOptions options;
                options.dialect = info.dialect;
                options.headerLine = true;
                options.nullEmpty = nullEmpty;
                options.multiRow = true;
                options.exactQuoting = exact;
                StringSink sink;
                Donustur(workspace, options, sink);
                scripts[exact] = sink.bytes;
            }
            EXPECT_EQ(scripts[1], scripts[0]);
        }
    }
}

// The formatter writes a record in one pass; its items must be the values
// that the field walk gives, for any record.
TEST(ExactScript, ItemsAreTheValuesOfTheFieldWalk)
{
    const std::u16string alphabet = u"ab ,;\"\"'\\\r\n\t\u00e9\u4e2d";
    std::mt19937 random(4180);
    for (const char16_t separator : {u',', u';', u'\t', u'\u00e9'}) {
        ScriptOptions options;
        options.dialect = Dialect::PostgreSql;
        options.separator = separator;
        options.exactQuoting = true;
        const std::vector<std::u16string> names = {u"a", u"b", u"c"};
        ScriptFormatter formatter(options, names, std::vector<std::u16string>(3, u"text"));
        for (int i = 0; i < 3000; ++i) {
            std::u16string record;
            const int length = static_cast<int>(random() % 20);
            for (int k = 0; k < length; ++k)
                record += alphabet[random() % alphabet.size()];
            if (random() % 50 == 0)
                record.insert(random() % (record.size() + 1), 1, u'\0');
            std::string expected = "(";
            std::size_t column = 0;
            forEachExactField(record.data(), record.data() + record.size(), separator,
                              [&](const char16_t* b, const char16_t* e) {
                                  if (column == names.size())
                                      return;
                                  if (column++ > 0)
                                      expected += ',';
                                  expected += '\'';
                                  for (const char c : toUtf8(exactValue({b, static_cast<std::size_t>(e - b)}))) {
                                      expected += c;
                                      if (c == '\'')
                                          expected += c;
                                  }
                                  expected += '\'';
                              });
            for (; column < names.size(); ++column)
                expected += column > 0 ? ",''" : "''";
            expected += ')';
            OutBuffer out;
            formatter.appendRow(out, record, 0);
            const std::string actual(out.data(), out.size());
            ASSERT_TRUE(actual.ends_with(expected)) << toUtf8(record) << "\n" << actual << "\n" << expected;
        }
    }
}

// The formatter works on UTF-8 records as they are and on UTF-16 ones; both
// must give the same bytes for any record. Runs of plain letters between
// the characters that need a look take UTF-8 records through the
// sixteen-byte scan, with its stops at every place in a vector.
TEST(ExactScript, Utf8AndUtf16RecordsGiveTheSameBytes)
{
    const std::u16string alphabet = u"ab ,\"'\\\r\n\t\u00e9\u4e2d;";
    std::mt19937 random(17);
    for (const auto& info : kDialects) {
        SCOPED_TRACE(std::string(info.identifier));
        ScriptOptions options;
        options.dialect = info.dialect;
        options.exactQuoting = true;
        options.nullEmpty = info.dialect == Dialect::MySql;
        const std::vector<std::u16string> names = {u"a", u"b", u"c"};
        const std::vector<std::u16string> types(3, u"text");
        ScriptFormatter fromUtf16(options, names, types);
        ScriptFormatter fromBytes(options, names, types);
        for (int i = 0; i < 400; ++i) {
            std::u16string record;
            const int length = static_cast<int>(random() % 24);
            for (int k = 0; k < length; ++k) {
                if (random() % 4 == 0)
                    record.append(random() % 24, u'x');
                record += alphabet[random() % alphabet.size()];
            }
            OutBuffer a;
            OutBuffer b;
            fromUtf16.appendRow(a, record, static_cast<std::uint64_t>(i));
            fromBytes.appendUtf8Row(b, toUtf8(record), static_cast<std::uint64_t>(i));
            ASSERT_EQ(std::string(b.data(), b.size()), std::string(a.data(), a.size())) << toUtf8(record);
        }
    }
}

} // namespace
} // namespace quarrow
