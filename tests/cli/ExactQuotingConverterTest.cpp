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
    struct Row {
        const char* name;
        std::vector<std::filesystem::path> files;
        Dialect dialect;
        bool header;
        bool nullEmpty;
        bool multiRow;
        TextEncoding encoding;
        char16_t separator = u',';
    };
    const std::vector<Row> rows = {
        {"mysql", {big}, Dialect::MySql, true, false, false, TextEncoding::Utf8},
        {"sqlite multi null", {big}, Dialect::Sqlite, true, true, true, TextEncoding::Utf8},
        {"oracle no header", {big, big}, Dialect::Oracle, false, false, true, TextEncoding::Utf8},
        {"postgresql ansi", {big}, Dialect::PostgreSql, true, true, false, TextEncoding::Ansi},
        {"mssql with utf-16", {big, wide}, Dialect::MsSql, true, false, true, TextEncoding::Utf8},
        {"non-ASCII separator", {wide, wide}, Dialect::IbmDb2, true, false, false, TextEncoding::Utf8, u'\u00a7'},
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

} // namespace
} // namespace quarrow::cli
