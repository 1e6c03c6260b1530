#include "cli/QuarrowCli.h"

#include "cli/Converter.h"
#include "engine/files/FileOpen.h"
#include "engine/text/Utf8.h"
#include "engine/workspace/SeparatorText.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

#ifdef _WIN32
#include "platform/windows/WindowsFiles.h"
#endif

namespace quarrow::cli {

namespace {

std::filesystem::path argumentPath(const std::string& text)
{
#ifdef _WIN32
    return windows::extendedLengthPath(pathFromUtf8(text));
#else
    return pathFromUtf8(text);
#endif
}

constexpr const char* kVersion = QUARROW_VERSION_TEXT;

// Command-line arguments are UTF-8; the engine's texts are UTF-16.
std::u16string fromUtf8(const std::string& text, const std::string& option)
{
    std::u16string out(text.size(), u'\0');
    const auto r = utf8::decode(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out.data(), true);
    if (!r.valid)
        throw CLI::ValidationError(option, "the text is not valid UTF-8");
    out.resize(r.written);
    return out;
}

} // namespace

int runQuarrowCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool stderrIsTerminal)
{
    CLI::App app{"Turns CSV files into an SQL script (CREATE TABLE and INSERT statements).", "quarrow-cli"};
    app.get_formatter()->column_width(26);

    ConverterOptions options;
    std::vector<std::string> inputs;
    std::string output;
    std::string database = "mysql";
    std::string table = "NEW_TABLE";
    std::string separator = ",";
    std::string encoding = "utf8";
    std::string typesFile;

    app.add_option("FILE", inputs, "CSV files, loaded in order as one table")->required();
    app.add_option("-o,--output", output, "write the script to PATH; - or none: standard output")->option_text("PATH");
    app.add_option("-d,--database", database, "mysql|mssql|access|oracle|postgresql|ibmdb2|sqlite (default mysql)")
        ->option_text("ID")
        ->check(CLI::IsMember({"mysql", "mssql", "access", "oracle", "postgresql", "ibmdb2", "sqlite"}));
    app.add_option("-t,--table", table, "table name (default NEW_TABLE)")->option_text("NAME");
    app.add_option("-s,--separator", separator, "separator text; the two characters \\t mean Tab (default ,)")
        ->option_text("TEXT");
    app.add_flag("-H,--header", options.script.headerLine, "the first line holds column names");
    app.add_option("-e,--encoding", encoding, "utf8 or ansi, for reading and for writing (default utf8)")
        ->option_text("ENC")
        ->check(CLI::IsMember({"utf8", "ansi"}));
    app.add_flag("-n,--null-empty", options.script.nullEmpty, "NULL for empty cells");
    app.add_flag("-m,--multi-row", options.script.multiRow,
                 "multi-row INSERT statements (a new one before 1 MiB, SQLite with --transaction 256 KiB, Oracle "
                 "64 KiB, SQL Server 1000 rows; Access keeps one per row)");
    app.add_flag("--transaction", options.script.transaction,
                 "the whole script one transaction: a failed load leaves no rows (not for Access)");
    app.add_flag("--copy", options.script.copy,
                 "PostgreSQL only: the rows as COPY ... FROM stdin data, for psql (fastest to load)");
    app.add_flag("--rfc4180", options.script.exactQuoting,
                 "exact CSV quoting: values keep their line breaks, quotes and blanks");
    app.add_option("--types", typesFile, "apply a type-list file to the column types after loading")
        ->option_text("FILE");
    app.add_flag("--suggest-types", options.suggestTypes,
                 "type each column from its values (reads the inputs twice); --types still overrides");
    app.add_flag("--explain", options.explain, "print each column's profile and suggested type on stderr");
    app.add_flag("--strict", options.strict,
                 "rows with more or fewer fields than columns are an error: nothing is written");
    app.add_flag("-q,--quiet", options.quiet, "no progress display");
    app.set_version_flag("--version", std::string("quarrow-cli ") + kVersion,
                         "the version (" + std::string(kVersion) + ")");

    try {
        app.parse(argc, argv);
        const auto separatorText = fromUtf8(separator, "--separator");
        const auto decoded = decodeSeparatorText(separatorText);
        if (!decoded)
            throw CLI::ValidationError("--separator", "the separator must not be empty");
        options.script.separator = *decoded;
        options.script.tableName = fromUtf8(table, "--table");
        if (options.script.copy && database != "postgresql")
            throw CLI::ValidationError("--copy", "only PostgreSQL (-d postgresql) reads COPY ... FROM stdin");
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        err << "quarrow-cli: " << e.what() << "\n\n" << app.help();
        return kExitUsage;
    }

    for (const auto& input : inputs)
        options.inputs.push_back(argumentPath(input));
    if (!output.empty() && output != "-")
        options.output = argumentPath(output);
    if (!typesFile.empty())
        options.typesFile = argumentPath(typesFile);
    options.script.dialect = *dialectFromIdentifier(database);
    options.script.encoding = encoding == "ansi" ? TextEncoding::Ansi : TextEncoding::Utf8;
    if (options.script.transaction && options.script.dialect == Dialect::Access)
        err << "quarrow-cli: warning: Access SQL has no transaction statements: the script is written without "
               "them\n";

    return convert(options, out, err, stderrIsTerminal && !options.quiet);
}

} // namespace quarrow::cli
