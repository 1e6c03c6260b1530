#include "tests/support/TempDir.h"
#include "tests/cli/RunCli.h"

#include "cli/Converter.h"
#include "cli/ProfilePass.h"
#include "cli/QuarrowCli.h"
#include "engine/profile/TypeSuggestion.h"
#include "engine/profile/WorkspaceProfile.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

namespace quarrow::cli {
namespace {

using test::readFile;
using test::TempDir;

using test::Run;
using test::runCli;

// Records that span lines in every form, doubled and stray quotes, blanks,
// empty quoted values; enough of them for several converter batches, and
// one record longer than a whole batch.
std::string spanningCsv()
{
    std::string csv = " id , \"note\r\nline\" ,\"a,b\"\r\n";
    for (int i = 0; i < 30000; ++i) {
        csv += std::to_string(i) + ",";
        switch (i % 5) {
        case 0: csv += "\"first\r\nsecond\""; break;
        case 1: csv += "\" lf\nand cr\r \""; break;
        case 2: csv += "\"12\"\" pipe, O'Brien\\\""; break;
        case 3: csv += "5'10\" tall"; break;
        case 4: csv += "\"\""; break;
        }
        csv += (i % 7 == 0) ? ",\"Zo\xC3\xAB\r\n\xE4\xB8\xAD\"x" : ",  ";
        csv += (i % 3 == 0) ? "\n" : "\r\n";
        if (i == 20000)
            csv += "big,\"" + std::string(300000, 'z') + "\r\n" + std::string(400000, 'y') + "\",end\r\n";
    }
    return csv;
}

std::string utf16(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST(ConverterExactQuoting, StreamingMatchesTheWorkspaceWriter)
{
    TempDir dir;
    const auto big = dir.write("big.csv", spanningCsv());
    const auto wide = dir.write("wide.csv", utf16(u"h1\u00a7h2\r\n\"a\u00a7\r\nb\"\u00a7\u4e2d\r\n"));
    // 1,330 CJK characters and a CR LF: 3,992 bytes of UTF-8 but 1,332 of
    // the UTF-16 units that SQL Server's nvarchar(4000) counts; past 4,000
    // bytes with its row, within 4,000 units.
    std::string cjk = "id,note\r\n1,\"";
    for (int i = 0; i < 665; ++i)
        cjk += "\xE4\xB8\xAD";
    cjk += "\r\n";
    for (int i = 0; i < 665; ++i)
        cjk += "\xE6\x96\x87";
    cjk += "\",\"tail\"\r\n";
    const auto cjkFile = dir.write("cjk.csv", cjk);
    struct Row {
        const char* name;
        std::vector<std::filesystem::path> files;
        Dialect dialect;
        bool header;
        bool nullEmpty;
        bool multiRow;
        TextEncoding encoding;
        char16_t separator = u',';
        bool copy = false;
    };
    const std::vector<Row> rows = {
        {"mysql", {big}, Dialect::MySql, true, false, false, TextEncoding::Utf8},
        {"postgresql copy", {big, wide}, Dialect::PostgreSql, true, true, false, TextEncoding::Utf8, u',', true},
        {"sqlite multi null", {big}, Dialect::Sqlite, true, true, true, TextEncoding::Utf8},
        {"oracle no header", {big, big}, Dialect::Oracle, false, false, true, TextEncoding::Utf8},
        {"postgresql ansi", {big}, Dialect::PostgreSql, true, true, false, TextEncoding::Ansi},
        {"mssql with utf-16", {big, wide}, Dialect::MsSql, true, false, true, TextEncoding::Utf8},
        {"non-ASCII separator", {wide, wide}, Dialect::IbmDb2, true, false, false, TextEncoding::Utf8, u'\u00a7'},
        {"mssql CJK near 4,000", {cjkFile}, Dialect::MsSql, true, false, false, TextEncoding::Utf8},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ConverterOptions o;
        o.script.dialect = row.dialect;
        o.script.headerLine = row.header;
        o.script.nullEmpty = row.nullEmpty;
        o.script.multiRow = row.multiRow;
        o.script.encoding = row.encoding;
        o.script.separator = row.separator;
        o.script.exactQuoting = true;
        o.script.copy = row.copy;
        o.script.tableName = u"t";
        Workspace workspace;
        for (const auto& f : row.files)
            workspace.load(f, loadOptionsFor(o.script));
        StringSink sink;
        Donustur(workspace, o.script, sink);
        o.inputs = row.files;
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(convert(o, out, err, false), kExitOk) << err.str();
        EXPECT_TRUE(out.str() == sink.bytes) << "converter output differs from the writer's (" << out.str().size()
                                             << " vs " << sink.bytes.size() << " bytes)";
        EXPECT_GT(sink.bytes.size(), 100u);
    }
}

TEST(ConverterExactQuoting, OptionReadsRecordsThatSpanLines)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "name,note\r\n\" Ann \",\"a \"\"b\"\"\r\nc\"\r\n");
    const auto exact = runCli({"--rfc4180", "-H", "-d", "sqlite", csv.string()});
    EXPECT_EQ(exact.status, kExitOk) << exact.err;
    EXPECT_EQ(exact.out, "\r\nCREATE TABLE NEW_TABLE (\r\nname text,\r\nnote text\r\n);\r\n\r\n"
                         "INSERT INTO NEW_TABLE (`name`,`note`) VALUES\r\n"
                         "(' Ann ','a \"b\"'||char(13)||char(10)||'c');\r\n");
    // Without the option the file reads as it always did: one row per line.
    const auto plain = runCli({"-H", "-d", "sqlite", csv.string()});
    EXPECT_EQ(plain.status, kExitOk) << plain.err;
    EXPECT_NE(plain.out.find("('Ann','a b');\r\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("('c','');\r\n"), std::string::npos) << plain.out;
}

TEST(ConverterExactQuoting, UnclosedQuoteFailsAndWritesNothing)
{
    TempDir dir;
    std::string text = "a,b\r\n";
    for (int i = 0; i < 20000; ++i)
        text += "1,\"x\r\ny\"\r\n";
    text += "2,\"never closed\r\n3,4\r\n";
    const auto csv = dir.write("open.csv", text);
    const auto target = dir.write("out.sql", "previous script");
    const auto run = runCli({"--rfc4180", "-o", target.string(), csv.string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("File load error! "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("open.csv: line 40002: "), std::string::npos) << run.err;
    EXPECT_EQ(readFile(target), "previous script");
}

// The window's way: load, profile the rows, put the suggestions in as
// types, write; and the structure paragraph from the field counts alone.
struct WindowResult {
    std::string script;
    std::string structure;
};
WindowResult viaWindow(const std::filesystem::path& file, const ScriptOptions& script)
{
    Workspace workspace;
    workspace.load(file, loadOptionsFor(script));
    const ProfileReading reading{script.separator, script.headerLine, script.exactQuoting};
    const auto profile = profileWorkspace(workspace, reading);
    const auto suggestions = suggestTypes(profile, script.dialect, script.nullEmpty);
    for (std::size_t i = 0; i < suggestions.size(); ++i)
        workspace.replaceType(i, suggestions[i].type);
    StringSink sink;
    Donustur(workspace, script, sink);
    return {sink.bytes, describeStructure(profileWorkspace(workspace, reading, true), workspace.columnNames().size())};
}

std::string headOf(const std::string& script)
{
    return script.substr(0, script.find(");\r\n"));
}

// Suggested types come from the values the exact reading writes: blanks
// inside quotes and around bare values stay, a doubled quote is one quote
// and a stray one is kept, text after a closing quote is appended, a line
// break inside quotes is part of the value. Each column holds one such
// value among plain ones; read by the default rules most would be numbers
// or dates, and a type that rejected or changed the value.
TEST(ConverterExactQuoting, SuggestedTypesFitTheValuesWritten)
{
    TempDir dir;
    const auto csv = dir.write(
        "traps.csv",
        "appended,quoted_blank,bare_blank,doubled,stray,separator,day_blank,day_break,empty,day,plain\r\n"
        "\"1\"2,\" 7\", 8,\"1\"\"2\",3\"4,\"1,5\",\"2023-01-01 \",\"2023-01-02\r\n\",\"\",\"2023-01-03\",9\r\n"
        "5,7,8,12,34,15,2023-01-01,2023-01-02,1,2023-01-04,10\r\n"
        "\"6\",\"7\",\"8\",\"9\",\"10\",\"11\",\"2023-01-05\",\"2023-01-06\",\"\",\"2023-01-07\",\"11\"\r\n");
    const std::string expectedHead = "\r\nCREATE TABLE NEW_TABLE (\r\nappended smallint,\r\nquoted_blank text,\r\n"
                                     "bare_blank text,\r\ndoubled text,\r\nstray text,\r\nseparator text,\r\n"
                                     "day_blank text,\r\nday_break text,\r\nempty smallint,\r\nday date,\r\n"
                                     "plain smallint\r\n";
    for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Ansi}) {
        SCOPED_TRACE(encoding == TextEncoding::Utf8 ? "utf-8" : "ansi");
        ConverterOptions o;
        o.inputs = {csv};
        o.script.dialect = Dialect::PostgreSql;
        o.script.headerLine = true;
        o.script.nullEmpty = true;
        o.script.encoding = encoding;
        o.script.exactQuoting = true;
        o.suggestTypes = true;
        o.explain = true;
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(convert(o, out, err, false), kExitOk) << err.str();
        EXPECT_EQ(headOf(out.str()), expectedHead);
        EXPECT_NE(out.str().find("('12',' 7',' 8','1\"2','3\"4','1,5','2023-01-01 ','2023-01-02\r\n',NULL,'2023-01-03',"
                                 "'9')"),
                  std::string::npos)
            << out.str();
        // The explanation quotes the value as written.
        EXPECT_NE(err.str().find("line 2 of " + csv.string() + ": '1\"2'"), std::string::npos) << err.str();
        EXPECT_EQ(err.str().find("warning"), std::string::npos) << err.str();

        const WindowResult window = viaWindow(csv, o.script);
        EXPECT_TRUE(window.script == out.str()) << window.script;
        EXPECT_EQ(window.structure, "");
    }
}

// Rows are counted by the fields the exact reading writes, in the writing
// pass, in the first reading and in the window, also for records long
// enough to reach the counting in pieces.
TEST(ConverterExactQuoting, StructureWarningsCountTheFieldsWritten)
{
    TempDir dir;
    const std::string longText(3 * kReadBlockSize, 'w');
    std::string text = "a,b\r\n\"x\"y,1\r\n\"p,q\"r,2\r\n\"1\"2\r\n\"a\"b,\"c\"d,e\r\n";
    text += "\"" + longText + "\"tail,4\r\n";
    text += "\"" + longText + "\"tail\r\n";
    text += "last,\"z\"z," + longText + "\r\n";
    text += "\"m\r\nn\"o,\"\"\r\n";
    const auto csv = dir.write("shapes.csv", text);
    auto paragraph = [](const std::string& prefix, const std::string& file) {
        return prefix + "2 rows have more fields than the 2 columns (the extra fields are not written): " + file
               + " lines 5, 8\n" + prefix
               + "2 rows have fewer fields than the 2 columns (the missing ones are written empty): " + file
               + " lines 4, 7\n";
    };
    const std::string expected = paragraph("quarrow-cli: warning: ", csv.string());
    for (const bool firstReading : {false, true}) {
        SCOPED_TRACE(firstReading ? "--suggest-types" : "one reading");
        std::vector<std::string> args = {"--rfc4180", "-H", "-q", "-d", "postgresql", csv.string()};
        if (firstReading)
            args.push_back("--suggest-types");
        const auto run = runCli(args);
        EXPECT_EQ(run.status, kExitOk);
        EXPECT_EQ(run.err, expected);
        for (const char* row : {"('xy','1')", "('p,qr','2')", "('12','')", "('ab','cd')", "('m\r\nno','')"})
            EXPECT_NE(run.out.find(row), std::string::npos) << row;
    }

    ScriptOptions script;
    script.headerLine = true;
    script.exactQuoting = true;
    const WindowResult window = viaWindow(csv, script);
    EXPECT_EQ(window.structure, paragraph("", "shapes.csv"));
}

// A CSV file put together record by record, noting the physical line where
// each record begins.
struct LinedCsv {
    std::string text;
    std::uint64_t nextLine = 1;

    std::uint64_t add(const std::string& record)
    {
        const std::uint64_t line = nextLine;
        text += record + "\r\n";
        for (std::size_t i = 0; i < record.size(); ++i) {
            if (record[i] == '\n' || (record[i] == '\r' && (i + 1 == record.size() || record[i + 1] != '\n')))
                ++nextLine;
        }
        ++nextLine;
        return line;
    }
};

// Where the rows of a file that do not fit the columns begin.
struct BadLines {
    std::vector<std::uint64_t> longRows;
    std::vector<std::uint64_t> shortRows;
};

// The structure paragraph for files (named as given) whose bad rows begin
// on the given lines, at most kShapeLinesKept of each per file.
std::string structureOf(const std::vector<std::string>& names, const std::vector<BadLines>& files,
                        const std::string& prefix)
{
    std::string out;
    for (const bool longRows : {true, false}) {
        std::size_t total = 0;
        std::string where;
        for (std::size_t f = 0; f < files.size(); ++f) {
            const auto& lines = longRows ? files[f].longRows : files[f].shortRows;
            if (lines.empty())
                continue;
            total += lines.size();
            where += (where.empty() ? "" : "; ") + names[f] + (lines.size() == 1 ? " line " : " lines ");
            for (std::size_t i = 0; i < lines.size(); ++i)
                where += (i > 0 ? ", " : "") + std::to_string(lines[i]);
        }
        if (total == 0)
            continue;
        out += prefix + std::to_string(total) + (total == 1 ? " row has " : " rows have ")
               + (longRows ? "more fields than the 3 columns (the extra fields are not written): "
                           : "fewer fields than the 3 columns (the missing ones are written empty): ")
               + where + "\n";
    }
    return out;
}

// Records that span lines come before rows with too many or too few fields
// and before the value that keeps column n from being a number: every
// message names the physical line where that row's record begins, in the
// converter's writing pass and first reading (batches cut finely, so that
// the lines spanned lie in earlier batches) and in the window's profile.
TEST(ConverterExactQuoting, MessagesNameThePhysicalLineOfARecord)
{
    struct Case {
        const char* name;
        std::vector<LinedCsv> files;
        std::vector<BadLines> bad;
        std::size_t explainedFile = 0;
        std::uint64_t explainedLine = 0;
    };
    std::vector<Case> cases;
    {
        Case c{"CR LF, LF and CR, several in one record", {LinedCsv{}}, {BadLines{}}};
        LinedCsv& f = c.files[0];
        f.add("id,note,n");
        f.add("1,\"a\r\nb\",1");
        f.add("2,\"c\nd\re\r\nf\",2");
        c.bad[0].longRows.push_back(f.add("3,x,3,extra"));
        c.bad[0].shortRows.push_back(f.add("4,y"));
        f.add("5,\"g\rh\",5");
        c.bad[0].longRows.push_back(f.add("6,\"i\r\n\r\nj\",6,extra"));
        c.explainedLine = f.add("7,z,12a");
        c.bad[0].shortRows.push_back(f.add("8"));
        // A NUL ends the record's fields, not its lines.
        c.bad[0].shortRows.push_back(f.add(std::string("9,\"k\0\r\nl\",9", 11)));
        c.bad[0].longRows.push_back(f.add("10,m,10,extra"));
        cases.push_back(std::move(c));
    }
    {
        Case c{"the header spans lines", {LinedCsv{}}, {BadLines{}}};
        LinedCsv& f = c.files[0];
        f.add("id,\"no\r\nte\",n");
        c.bad[0].longRows.push_back(f.add("1,x,1,extra"));
        f.add("2,\"a\nb\",2");
        c.bad[0].shortRows.push_back(f.add("3,y"));
        c.explainedLine = f.add("4,z,12a");
        cases.push_back(std::move(c));
    }
    {
        Case c{"the second of two files", {LinedCsv{}, LinedCsv{}}, {BadLines{}, BadLines{}}};
        LinedCsv& a = c.files[0];
        a.add("id,note,n");
        a.add("1,\"a\r\nb\r\nc\",1");
        c.bad[0].longRows.push_back(a.add("2,x,2,extra"));
        LinedCsv& b = c.files[1];
        b.add("3,\"d\re\",3");
        c.bad[1].shortRows.push_back(b.add("4,\"f\ng\""));
        c.bad[1].longRows.push_back(b.add("5,y,5,extra"));
        c.explainedFile = 1;
        c.explainedLine = b.add("6,z,12a");
        cases.push_back(std::move(c));
    }
    {
        // More records than a batch of the writing pass holds, each of the
        // first ones spanning lines; bad rows on both sides of batch
        // boundaries.
        Case c{"across batches", {LinedCsv{}}, {BadLines{}}};
        LinedCsv& f = c.files[0];
        f.add("id,note,n");
        for (std::size_t i = 0; i < kBatchLines + 10; ++i) {
            const std::string id = std::to_string(i);
            f.add(id + ",\"" + id + (i % 2 == 0 ? "\r\n" : "\n") + "x\"," + id);
            if (i == 3)
                c.bad[0].longRows.push_back(f.add("3,x,3,extra"));
        }
        c.bad[0].shortRows.push_back(f.add("4,y"));
        for (std::size_t i = 0; i < kBatchLines; ++i)
            f.add("5,\"a\rb\",5");
        c.bad[0].longRows.push_back(f.add("6,x,6,extra"));
        c.explainedLine = f.add("7,z,12a");
        cases.push_back(std::move(c));
    }

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::vector<std::filesystem::path> paths;
        std::vector<std::string> names;
        std::vector<std::string> fileNames;
        for (std::size_t f = 0; f < c.files.size(); ++f) {
            fileNames.push_back(std::string(1, static_cast<char>('a' + f)) + ".csv");
            paths.push_back(dir.write(fileNames.back(), c.files[f].text));
            names.push_back(paths.back().string());
        }
        const std::string explained =
            "line " + std::to_string(c.explainedLine) + " of " + names[c.explainedFile] + ": '12a'";

        for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Ansi}) {
            SCOPED_TRACE(encoding == TextEncoding::Utf8 ? "utf-8" : "ansi");
            ConverterOptions o;
            o.inputs = paths;
            o.script.dialect = Dialect::PostgreSql;
            o.script.headerLine = true;
            o.script.nullEmpty = true;
            o.script.encoding = encoding;
            o.script.exactQuoting = true;
            for (const bool firstReading : {false, true}) {
                SCOPED_TRACE(firstReading ? "--suggest-types --explain" : "one reading");
                o.suggestTypes = firstReading;
                o.explain = firstReading;
                std::ostringstream out;
                std::ostringstream err;
                ASSERT_EQ(convert(o, out, err, false), kExitOk) << err.str();
                const std::string warnings = structureOf(names, c.bad, "quarrow-cli: warning: ");
                if (firstReading) {
                    EXPECT_NE(err.str().find(explained), std::string::npos) << err.str();
                    EXPECT_NE(err.str().find(warnings), std::string::npos) << err.str();
                } else {
                    EXPECT_EQ(err.str(), warnings);
                }
            }

            // Batches of a record or a few in the small files, of many in
            // the large one (a thread each).
            const std::vector<std::size_t> batchSizes =
                c.files[0].nextLine < 100 ? std::vector<std::size_t>{1, 2, 3} : std::vector<std::size_t>{1000, 4099};
            for (const std::size_t batchLines : batchSizes) {
                SCOPED_TRACE("first reading in batches of " + std::to_string(batchLines));
                std::atomic<std::uint64_t> bytesRead{0};
                const InputProfile read = profileInputs(o, bytesRead, nullptr, batchLines);
                ASSERT_FALSE(read.error) << *read.error;
                ASSERT_EQ(read.profile.columns.size(), 3u);
                EXPECT_EQ(describeStructure(read.profile, 3), structureOf(names, c.bad, ""));
                const ValueSite* why = read.profile.columns[2].whyNotNarrower(true);
                ASSERT_NE(why, nullptr);
                EXPECT_EQ(read.profile.where(*why),
                          "line " + std::to_string(c.explainedLine) + " of " + names[c.explainedFile]);
            }
        }

        // The window: the Suggest tooltips' and the Success box's profile.
        Workspace workspace;
        ScriptOptions script;
        script.headerLine = true;
        script.exactQuoting = true;
        for (const auto& path : paths)
            workspace.load(path, loadOptionsFor(script));
        const ProfileReading reading{script.separator, script.headerLine, script.exactQuoting};
        for (const bool shapesOnly : {false, true}) {
            const TableProfile profile = profileWorkspace(workspace, reading, shapesOnly);
            EXPECT_EQ(describeStructure(profile, 3), structureOf(fileNames, c.bad, ""));
            if (shapesOnly)
                continue;
            const ValueSite* why = profile.columns[2].whyNotNarrower(true);
            ASSERT_NE(why, nullptr);
            EXPECT_EQ(profile.where(*why),
                      "line " + std::to_string(c.explainedLine) + " of " + fileNames[c.explainedFile]);
        }
    }
}

} // namespace
} // namespace quarrow::cli
