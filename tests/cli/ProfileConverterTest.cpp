#include "tests/cli/RunCli.h"
#include "tests/support/TempDir.h"

#include "cli/Converter.h"
#include "engine/settings/ConversionProfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace quarrow::cli {
namespace {

using test::runCli;
using test::TempDir;

std::vector<std::string> with(std::vector<std::string> args, const std::string& last)
{
    args.push_back(last);
    return args;
}

// A profile's settings against the same settings given as options: the
// scripts must be byte for byte the same, whichever way the settings came.
TEST(ConverterProfile, CommandLineOptionsWinOverTheProfile)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "id;city;note\r\n1;Bursa;\r\n2;\xC4\xB0zmir;x\r\n").string();
    const auto profile = dir.write("p.toml", "version = 1\n"
                                             "database = \"postgresql\"\n"
                                             "table = \"orders\"\n"
                                             "separator = \";\"\n"
                                             "header = true\n"
                                             "null-empty = true\n"
                                             "multi-row = true\n"
                                             "transaction = true\n"
                                             "copy = true\n"
                                             "columns = [ { name = \"id\", type = \"numeric(5)\" } ]\n")
                             .string();
    const auto types = dir.write("types.txt", "bigint\r\nvarchar(9)\r\n").string();
    struct Case {
        std::vector<std::string> withProfile;
        std::vector<std::string> equivalent;
    };
    const std::vector<Case> cases{
        {{}, {"-d", "postgresql", "-t", "orders", "-s", ";", "-H", "-n", "-m", "--transaction", "--copy"}},
        {{"-d", "postgresql", "-t", "t2", "-s", ";"},
         {"-d", "postgresql", "-t", "t2", "-s", ";", "-H", "-n", "-m", "--transaction", "--copy"}},
        {{"--no-copy", "--no-null-empty", "--no-transaction"},
         {"-d", "postgresql", "-t", "orders", "-s", ";", "-H", "-m"}},
        // The database replaced: the profile's COPY does not follow it.
        {{"-d", "sqlite"}, {"-d", "sqlite", "-t", "orders", "-s", ";", "-H", "-n", "-m", "--transaction"}},
        // Without the header line, the first line is a row.
        {{"--no-header", "--no-copy"}, {"-d", "postgresql", "-t", "orders", "-s", ";", "-n", "-m", "--transaction"}},
        {{"-s", ",", "--no-copy"}, {"-d", "postgresql", "-t", "orders", "-H", "-n", "-m", "--transaction"}},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.withProfile)
            joined += a + " ";
        SCOPED_TRACE(joined);
        std::vector<std::string> args{"--profile", profile};
        args.insert(args.end(), c.withProfile.begin(), c.withProfile.end());
        const auto viaProfile = runCli(with(args, csv));
        // The profile's column type goes with it: numeric(5) for the first column.
        const auto typesFile = dir.write("numeric.txt", "numeric(5)\r\n").string();
        auto equivalent = c.equivalent;
        equivalent.insert(equivalent.end(), {"--types", typesFile});
        const auto viaOptions = runCli(with(equivalent, csv));
        ASSERT_EQ(viaOptions.status, kExitOk) << viaOptions.err;
        EXPECT_EQ(viaProfile.status, kExitOk) << viaProfile.err;
        EXPECT_EQ(viaProfile.out, viaOptions.out);
    }

    // A type-list file lies over the profile's types, by position.
    auto run = runCli({"--profile", profile, "--no-copy", "--types", types, csv});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_NE(run.out.find("id bigint,\r\ncity varchar(9),\r\nnote text"), std::string::npos) << run.out;
    // Suggested types replace the profile's.
    run = runCli({"--profile", profile, "--no-copy", "--suggest-types", "-q", csv});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out.find("numeric(5)"), std::string::npos) << run.out;

    run = runCli({"--profile", profile, "-d", "sqlite", csv});
    EXPECT_NE(run.err.find("warning: the profile's copy = true is for PostgreSQL only"), std::string::npos) << run.err;
    run = runCli({"--profile", profile, "-d", "sqlite", "--copy", csv});
    EXPECT_EQ(run.status, kExitUsage);
    run = runCli({"--profile", profile, "-H", "--no-header", csv});
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_NE(run.err.find("--no-header"), std::string::npos) << run.err;
}

// -e is an option like any other: given, it beats the profile's encoding,
// for the reading as for the writing.
TEST(ConverterProfile, EncodingOptionWinsOverTheProfiles)
{
    TempDir dir;
    // The same name as Windows-1252 (not UTF-8) and as UTF-8 (two ANSI characters).
    const auto ansiCsv = dir.write("ansi.csv", "id,note\r\n1,Jos\xE9\r\n").string();
    const auto utf8Csv = dir.write("utf8.csv", "id,note\r\n1,Jos\xC3\xA9\r\n").string();
    struct Case {
        std::string profileEncoding;
        std::vector<std::string> options;
        std::string csv;
        int status;
        std::string expected; // in the script, or in the error when refused
    };
    const std::vector<Case> cases{
        {"utf8", {}, ansiCsv, kExitFailure, "invalid UTF-8"},
        {"utf8", {"-e", "ansi"}, ansiCsv, kExitOk, "('1','Jos\xE9')"},
        // Read as UTF-8 the name has four characters, as ANSI five.
        {"ansi", {"--suggest-types", "-q"}, utf8Csv, kExitOk, "`note` varchar(5)"},
        {"ansi", {"-e", "utf8", "--suggest-types", "-q"}, utf8Csv, kExitOk, "`note` varchar(4)"},
    };
    for (const auto& c : cases) {
        std::string joined = c.profileEncoding + ":";
        for (const auto& a : c.options)
            joined += " " + a;
        SCOPED_TRACE(joined);
        const auto profile =
            dir.write("p.toml", "version = 1\nheader = true\nencoding = \"" + c.profileEncoding + "\"\n").string();
        std::vector<std::string> args{"--profile", profile};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto run = runCli(with(args, c.csv));
        EXPECT_EQ(run.status, c.status) << run.err;
        const std::string& seen = c.status == kExitOk ? run.out : run.err;
        EXPECT_NE(seen.find(c.expected), std::string::npos) << seen;
    }
}

// A type-list file shorter than the profile's types replaces only the
// types it has: the profile's go on after it, the dialect's default after
// both.
TEST(ConverterProfile, ShortTypeListKeepsTheProfilesTypesForTheRest)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "id,day,note\r\n1,2024-01-05,x\r\n").string();
    const auto profile = dir.write("p.toml", "version = 1\nheader = true\ncolumns = [\n"
                                             "  { name = \"id\", type = \"numeric(5)\" },\n"
                                             "  { name = \"day\", type = \"date\" },\n]\n")
                             .string();
    const auto types = dir.write("types.txt", "bigint\r\n").string();
    const auto run = runCli({"--profile", profile, "--types", types, csv});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_NE(run.out.find("(\r\n`id` bigint,\r\n`day` date,\r\n`note` text\r\n);"), std::string::npos) << run.out;
}

// Suggest once, keep the profile, and the next run needs nothing else.
TEST(ConverterProfile, SavedProfileFreezesTheRunsSettingsAndSuggestedTypes)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "id|when|name\n1|2024-01-05|ann\n2|2024-02-29|bob\n").string();
    const auto saved = (dir.path() / "weekly.toml").string();
    const auto first = runCli({"--suggest-types", "-q", "-H", "-s", "|", "-d", "mssql", "-t", "w", "-n", "-m",
                               "--rfc4180", "--save-profile", saved, csv});
    ASSERT_EQ(first.status, kExitOk) << first.err;

    const ConversionProfile profile = readProfileFile(saved);
    EXPECT_EQ(profile.script.dialect, Dialect::MsSql);
    EXPECT_EQ(profile.script.separator, u'|');
    EXPECT_TRUE(profile.script.headerLine && profile.script.nullEmpty && profile.script.multiRow
                && profile.script.exactQuoting);
    ASSERT_EQ(profile.columns.size(), 3u);
    EXPECT_EQ(profile.columns[0].name, u"id");
    EXPECT_NE(profile.columns[0].type, u"nvarchar(max)") << "the suggested type is kept";

    const auto again = runCli({"--profile", saved, csv});
    EXPECT_EQ(again.status, kExitOk) << again.err;
    EXPECT_EQ(again.out, first.out);

    // Saved again without changes: the same file.
    const auto resaved = (dir.path() / "again.toml").string();
    EXPECT_EQ(runCli({"--profile", saved, "--save-profile", resaved, csv}).status, kExitOk);
    EXPECT_EQ(test::readFile(resaved), test::readFile(saved));
}

TEST(ConverterProfile, RefusedProfileStopsBeforeAnythingIsWritten)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "a\r\n1\r\n").string();
    const auto profile = dir.write("bad.toml", "version = 1\nheader = true\nseparator = \"\"\n").string();
    const auto target = dir.path() / "out.sql";
    const auto run = runCli({"--profile", profile, "-o", target.string(), csv});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("Cannot read profile " + profile + ": line 3, key \"separator\": "), std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(run.out.empty());
}

// A profile that cannot be saved stops the run before anything is read or
// converted: the script stays as it was, and no temporary file is left.
TEST(ConverterProfile, ProfileThatCannotBeSavedStopsTheRunBeforeConverting)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "a\r\n1\r\n").string();
    const auto script = dir.write("out.sql", "previous script");
    std::filesystem::create_directory(dir.path() / "folder");
    struct Case {
        std::filesystem::path profile;
        std::string message;
    };
    const Case cases[] = {
        {dir.path() / "missing-folder" / "p.toml", "Cannot save the profile: Cannot create "},
        {dir.path() / "folder", "Cannot save the profile: "},
        {dir.path() / "." / "out.sql", "are the same file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile.string());
        const auto run = runCli({"-H", "--explain", "-o", script.string(), "--save-profile", c.profile.string(), csv});
        EXPECT_EQ(run.status, kExitFailure);
        EXPECT_EQ(run.err.rfind("quarrow-cli: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("column  type"), std::string::npos) << "read before refusing:\n" << run.err;
        EXPECT_EQ(test::readFile(script), "previous script");
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"a.csv", "folder", "out.sql"}));
    }
}

} // namespace
} // namespace quarrow::cli
