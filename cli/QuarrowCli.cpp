#include "cli/QuarrowCli.h"

#include "cli/Converter.h"
#include "engine/csv/LineReader.h"
#include "engine/files/FileOpen.h"
#include "engine/settings/ConversionProfile.h"
#include "engine/text/Utf8.h"
#include "engine/workspace/SeparatorText.h"

#include <CLI/CLI.hpp>

#include <algorithm>
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

// "-H auto" asks for the header line to be detected, but -H is a flag that
// takes no value: the pair becomes the hidden --header-auto before parsing.
std::vector<std::string> withHeaderAuto(int argc, const char* const* argv)
{
    std::vector<std::string> args(argv, argv + argc);
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--")
            break;
        if ((args[i] == "-H" || args[i] == "--header") && i + 1 < args.size() && args[i + 1] == "auto") {
            args[i] = "--header-auto";
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else if (args[i] == "--header=auto") {
            args[i] = "--header-auto";
        }
    }
    return args;
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
    std::string profileFile;
    std::string saveProfileFile;
    std::string detectFile;
    std::string tableMode = "create";
    std::vector<std::string> nullMarkers;
    std::string decimal;
    std::string group;
    std::string dates;
    bool headerAuto = false;
    // The settings a profile also holds: taken from the command line only
    // when given there.
    bool header = false;
    bool nullEmpty = false;
    bool multiRow = false;
    bool transaction = false;
    bool copy = false;
    bool exactQuoting = false;
    std::string skipLines;
    std::string comment;

    app.add_option("FILE", inputs, "CSV files, loaded in order as one table");
    app.add_option("-o,--output", output, "write the script to PATH; - or none: standard output")->option_text("PATH");
    auto* databaseOption =
        app.add_option("-d,--database", database, "mysql|mssql|access|oracle|postgresql|ibmdb2|sqlite (default mysql)")
            ->option_text("ID")
            ->check(CLI::IsMember({"mysql", "mssql", "access", "oracle", "postgresql", "ibmdb2", "sqlite"}));
    auto* tableOption = app.add_option("-t,--table", table, "table name (default NEW_TABLE)")->option_text("NAME");
    auto* separatorOption =
        app.add_option(
               "-s,--separator", separator,
               "separator text; the two characters \\t mean Tab; auto: detected from the first FILE (default ,)")
            ->option_text("TEXT");
    auto* headerOption =
        app.add_flag("-H,--header", header, "the first line holds column names; -H auto: detected from the first FILE");
    app.add_flag("--header-auto", headerAuto)->group("");
    auto* encodingOption =
        app.add_option("-e,--encoding", encoding,
                       "utf8 or ansi, for reading and for writing; auto: detected from the first FILE (default utf8)")
            ->option_text("ENC")
            ->check(CLI::IsMember({"utf8", "ansi", "auto"}));
    auto* nullEmptyOption = app.add_flag("-n,--null-empty", nullEmpty, "NULL for empty cells");
    auto* multiRowOption =
        app.add_flag("-m,--multi-row", multiRow,
                     "multi-row INSERT statements (a new one before 1 MiB, SQLite with --transaction 256 KiB, Oracle "
                     "64 KiB, SQL Server 1000 rows; Access keeps one per row)");
    auto* transactionOption = app.add_flag("--transaction", transaction,
                                           "the whole script one transaction: a failed load leaves no rows (not for "
                                           "Access)");
    auto* copyOption = app.add_flag(
        "--copy", copy, "PostgreSQL only: the rows as COPY ... FROM stdin data, for psql (fastest to load)");
    auto* tableModeOption =
        app.add_option("--table-mode", tableMode,
                       "what the script does about the table: create (default; it must not exist), "
                       "create-if-missing, replace (drop it if it exists, create it), append (rows only: it exists "
                       "with these columns); not all for Access and Db2")
            ->option_text("MODE")
            ->check(CLI::IsMember({"create", "create-if-missing", "replace", "append"}));
    auto* nullMarkerOption =
        app.add_option("--null-marker", nullMarkers,
                       "a value written as NULL, matched against the whole cleaned value, letter case as given "
                       "(NA, \\N, -); give it once for each; none by default; read with --rfc4180 a quoted value "
                       "stays a value")
            ->option_text("TEXT")
            ->allow_extra_args(false);
    auto* noNullMarkersOption = app.add_flag("--no-null-markers")->group("");
    auto* exactQuotingOption =
        app.add_flag("--rfc4180", exactQuoting, "exact CSV quoting: values keep their line breaks, quotes and blanks");
    auto* skipLinesOption =
        app.add_option("--skip-lines", skipLines,
                       "leave out the first N lines of each FILE (a title, a date, blank lines above the header), "
                       "quotes in them or not; auto: as many as the first FILE has above its table (default 0)")
            ->option_text("N");
    auto* commentOption =
        app.add_option("--comment", comment,
                       "leave out lines that begin with this one character, such as #; not inside a quoted value "
                       "read with --rfc4180 (default none)")
            ->option_text("CHAR");
    auto* decimalOption =
        app.add_option("--decimal", decimal,
                       "numbers in typed columns are written with a decimal point or comma; auto: detected from "
                       "the first FILE; none: as they stand (the default)")
            ->option_text("MARK")
            ->check(CLI::IsMember({"point", "comma", "auto", "none"}));
    auto* groupOption = app.add_option("--group", group,
                                       "between groups of three digits in numbers: none, ',', '.', blank (also "
                                       "U+00A0 and U+202F) or \"'\" (default none)")
                            ->option_text("MARK")
                            ->check(CLI::IsMember({"none", ",", ".", "blank", "'"}));
    auto* datesOption =
        app.add_option("--dates", dates,
                       "dates in typed columns are written dmy, mdy (with '.', '/' or '-'), ymd (with '/' or '.') or "
                       "iso, with four-digit years and an optional time (AM/PM too); auto: detected from the first "
                       "FILE; none: as they stand (the default)")
            ->option_text("ORDER")
            ->check(CLI::IsMember({"iso", "dmy", "mdy", "ymd", "auto", "none"}));
    app.add_option("--types", typesFile, "apply a type-list file to the column types after loading")
        ->option_text("FILE");
    app.add_flag("--suggest-types", options.suggestTypes,
                 "type each column from its values (reads the inputs twice); --types still overrides");
    app.add_option("--profile", profileFile,
                   "take the settings and column types from a profile file; options given on the command line win "
                   "over the profile's values, and --no-header, --no-null-empty, --no-multi-row, --no-transaction, "
                   "--no-copy, --no-rfc4180 turn its flags off, and --no-null-markers drops its NULL markers")
        ->option_text("FILE");
    app.add_option("--save-profile", saveProfileFile,
                   "write this run's settings and column types (after --suggest-types) to a profile file")
        ->option_text("FILE");
    // Off switches for a profile's flags, named in --profile's help.
    const std::pair<CLI::Option*, const char*> offSwitches[] = {
        {headerOption, "--no-header"},      {nullEmptyOption, "--no-null-empty"},
        {multiRowOption, "--no-multi-row"}, {transactionOption, "--no-transaction"},
        {copyOption, "--no-copy"},          {exactQuotingOption, "--no-rfc4180"},
    };
    std::vector<CLI::Option*> offOptions;
    for (const auto& [on, name] : offSwitches)
        offOptions.push_back(app.add_flag(name)->group(""));
    app.add_option("--detect", detectFile,
                   "print the separator, header line, encoding and quoting that FILE seems to need, with the "
                   "evidence, and convert nothing")
        ->option_text("FILE");
    app.add_flag("--explain", options.explain, "print each column's profile and suggested type on stderr");
    app.add_flag("--strict", options.strict,
                 "rows with more or fewer fields than columns are an error: nothing is written");
    app.add_flag("-q,--quiet", options.quiet, "no progress display");
    app.set_version_flag("--version", std::string("quarrow-cli ") + kVersion,
                         "the version (" + std::string(kVersion) + ")");

    try {
        const std::vector<std::string> args = withHeaderAuto(argc, argv);
        std::vector<const char*> pointers;
        for (const auto& arg : args)
            pointers.push_back(arg.c_str());
        app.parse(static_cast<int>(pointers.size()), pointers.data());
        if (!detectFile.empty() && !inputs.empty())
            throw CLI::ValidationError("--detect", "converts nothing: give it the one FILE to look at");
        if (inputs.empty() && detectFile.empty())
            throw CLI::RequiredError("FILE");
        if (headerAuto && headerOption->count() > 0)
            throw CLI::ValidationError("-H auto", "give -H once");
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

    // The profile first, whole: a refused one changes nothing.
    if (!profileFile.empty()) {
        try {
            const ConversionProfile profile = readProfileFile(argumentPath(profileFile));
            options.script = profile.script;
            if (!profile.columns.empty())
                options.profileTypes = profileColumnTypes(profile);
        } catch (const ProfileError& e) {
            err << "quarrow-cli: " << e.what() << "\n";
            return kExitFailure;
        }
    }

    ScriptOptions& script = options.script;
    try {
        options.detect.separator = separatorOption->count() > 0 && separator == "auto";
        options.detect.headerLine = headerAuto;
        options.detect.encoding = encodingOption->count() > 0 && encoding == "auto";
        if (!options.detect.separator && (separatorOption->count() > 0 || profileFile.empty())) {
            const auto separatorText = fromUtf8(separator, "--separator");
            if (const auto refusal = separatorTextRefusal(separatorText))
                throw CLI::ValidationError("--separator", *refusal);
            script.separator = *decodeSeparatorText(separatorText);
        }
        if (tableOption->count() > 0 || profileFile.empty())
            script.tableName = fromUtf8(table, "--table");
        if (databaseOption->count() > 0 || profileFile.empty())
            script.dialect = *dialectFromIdentifier(database);
        if (!options.detect.encoding && (encodingOption->count() > 0 || profileFile.empty()))
            script.encoding = encoding == "ansi" ? TextEncoding::Ansi : TextEncoding::Utf8;
        const std::pair<bool*, bool> flags[] = {
            {&script.headerLine, header},       {&script.nullEmpty, nullEmpty}, {&script.multiRow, multiRow},
            {&script.transaction, transaction}, {&script.copy, copy},           {&script.exactQuoting, exactQuoting},
        };
        for (std::size_t i = 0; i < std::size(flags); ++i) {
            if (offSwitches[i].first->count() > 0 && offOptions[i]->count() > 0)
                throw CLI::ValidationError(offSwitches[i].second,
                                           "turns off what " + offSwitches[i].first->get_name() + " turns on");
            if (offSwitches[i].first->count() > 0 || profileFile.empty())
                *flags[i].first = flags[i].second;
            else if (offOptions[i]->count() > 0)
                *flags[i].first = false;
        }
        if (nullMarkerOption->count() > 0 && noNullMarkersOption->count() > 0)
            throw CLI::ValidationError("--no-null-markers", "drops the markers that --null-marker gives");
        if (nullMarkerOption->count() > 0 || noNullMarkersOption->count() > 0 || profileFile.empty()) {
            script.nullMarkers.clear();
            for (const auto& marker : nullMarkers)
                script.nullMarkers.push_back(fromUtf8(marker, "--null-marker"));
            if (const std::string refusal = nullMarkersRefusal(script.nullMarkers); !refusal.empty())
                throw CLI::ValidationError("--null-marker", refusal);
        }
        if (tableModeOption->count() > 0 || profileFile.empty())
            script.tableMode = *tableModeFromIdentifier(tableMode);
        if (const std::string refusal = tableModeRefusal(script.dialect, script.tableMode); !refusal.empty())
            throw CLI::ValidationError("--table-mode " + std::string(tableModeInfo(script.tableMode).identifier),
                                       refusal);
        options.detect.numberForm = decimal == "auto";
        options.detect.dateOrder = dates == "auto";
        options.detect.skipLines = skipLines == "auto";
        if (skipLinesOption->count() > 0 && !options.detect.skipLines) {
            const bool digits =
                !skipLines.empty() && skipLines.size() <= 18
                && std::all_of(skipLines.begin(), skipLines.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits)
                throw CLI::ValidationError("--skip-lines", "takes a number of lines (0 or more) or auto");
            script.skipLines = std::stoull(skipLines);
        }
        if (commentOption->count() > 0) {
            const std::u16string text = fromUtf8(comment, "--comment");
            if (text.size() != 1)
                throw CLI::ValidationError("--comment", "takes one character, such as #");
            script.comment = text[0];
        }
        // With -s auto the separator is known once the file is read.
        if (const std::string refusal =
                commentRefusal(script.comment, options.detect.separator ? u'\0' : script.separator);
            !refusal.empty())
            throw CLI::ValidationError("--comment", refusal);
        if (decimalOption->count() > 0 && decimal != "auto")
            script.forms.decimal = decimalMarkFromName(decimal).value_or(DecimalMark::None);
        if (groupOption->count() > 0)
            script.forms.group = *groupMarkFromName(group);
        if (datesOption->count() > 0 && dates != "auto")
            script.forms.dates = dateOrderFromName(dates).value_or(DateOrder::None);
        if (formsConflict(script.forms))
            throw CLI::ValidationError("--group", "the group separator must differ from the decimal mark");
        if (groupOption->count() > 0 && script.forms.group != GroupMark::None
            && script.forms.decimal == DecimalMark::None && !options.detect.numberForm)
            throw CLI::ValidationError("--group", "needs --decimal point or --decimal comma");
        if (script.copy && script.dialect != Dialect::PostgreSql) {
            if (copyOption->count() > 0)
                throw CLI::ValidationError("--copy", "only PostgreSQL (-d postgresql) reads COPY ... FROM stdin");
            // The profile's COPY was for PostgreSQL, which the command line replaced.
            err << "quarrow-cli: warning: the profile's copy = true is for PostgreSQL only: -d "
                << dialectInfo(script.dialect).identifier << " gets INSERT statements\n";
            script.copy = false;
        }
    } catch (const CLI::ParseError& e) {
        err << "quarrow-cli: " << e.what() << "\n\n" << app.help();
        return kExitUsage;
    }

    if (!detectFile.empty()) {
        try {
            printShapeProposal(detectCsvShapeOfFile(argumentPath(detectFile), script.separator), out);
            return kExitOk;
        } catch (const ShapeReadError& e) {
            err << "quarrow-cli: " << e.what() << "\n";
            return kExitFailure;
        }
    }

    for (const auto& input : inputs)
        options.inputs.push_back(argumentPath(input));
    if (!output.empty() && output != "-")
        options.output = argumentPath(output);
    if (!typesFile.empty())
        options.typesFile = argumentPath(typesFile);
    if (!saveProfileFile.empty())
        options.saveProfile = argumentPath(saveProfileFile);
    if ((script.forms.chosen() || options.detect.numberForm || options.detect.dateOrder)
        && !dialectTakesForms(script.dialect))
        err << "quarrow-cli: warning: " << dialectInfo(script.dialect).identifier
            << " reads decimals and date-times by its own settings: their values are written as the file has "
               "them, dates as #m/d/yyyy#\n";
    if (script.transaction && script.dialect == Dialect::Access)
        err << "quarrow-cli: warning: Access SQL has no transaction statements: the script is written without "
               "them\n";

    return convert(options, out, err, stderrIsTerminal && !options.quiet);
}

} // namespace quarrow::cli
