#include "tests/support/TempDir.h"
#include "tests/cli/RunCli.h"

#include "cli/Converter.h"
#include "cli/QuarrowCli.h"
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

} // namespace
} // namespace quarrow::cli
