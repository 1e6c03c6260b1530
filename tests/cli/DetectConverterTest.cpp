#include "tests/cli/RunCli.h"
#include "tests/support/TempDir.h"

#include "cli/Converter.h"
#include "engine/settings/ConversionProfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarrow::cli {
namespace {

using test::runCli;
using test::TempDir;

std::string joined(const std::vector<std::string>& args)
{
    std::string text;
    for (const auto& a : args)
        text += a + " ";
    return text;
}

TEST(ConverterDetect, DetectPrintsTheProposalAndConvertsNothing)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "id;name\r\n1;Jos\xE9\r\n2;\"a;b\"\r\n").string();
    auto run = runCli({"--detect", csv});
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "separator: ';'\n"
                       "  3 of 3 lines have 2 fields with ';'\n"
                       "header line: yes\n"
                       "  line 1 holds names over numbers, dates or true/false in column 1\n"
                       "encoding: ansi\n"
                       "  byte 0xE9 on line 2 is not UTF-8: ANSI text\n"
                       "exact quoting: yes\n"
                       "  1 quoted field holds the separator or a line break (first on line 3): exact quoting keeps "
                       "them whole\n"
                       "options: -s ';' -H -e ansi --rfc4180\n");
    EXPECT_TRUE(run.err.empty()) << run.err;

    const auto single = dir.write("one.csv", "name\r\nann\r\n").string();
    run = runCli({"--detect", single});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_NE(run.out.find("separator: undecided: keep the current setting\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("options:"), std::string::npos) << run.out;

    run = runCli({"--detect", (dir.path() / "missing.csv").string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("missing.csv"), std::string::npos) << run.err;
    run = runCli({"--detect", csv, csv});
    EXPECT_EQ(run.status, kExitUsage);
}

// A detected setting gives the script the same setting given by hand does;
// what is not detected stays as it was, from the defaults or a profile.
TEST(ConverterDetect, AutoSettingsEqualTheSameSettingsGivenByHand)
{
    TempDir dir;
    const auto semicolons = dir.write("semi.csv", "id;city\r\n1;Bursa\r\n2;\xC4\xB0zmir\r\n").string();
    const auto ansi = dir.write("ansi.csv", "id,name\r\n1,Jos\xE9\r\n").string();
    const auto textOnly = dir.write("text.csv", "a|b\r\nx|y\r\n").string();
    const auto profile = dir.write("p.toml", "version = 1\nheader = true\nseparator = \"|\"\n").string();
    struct Case {
        std::vector<std::string> automatic;
        std::vector<std::string> byHand;
        std::string said; // on stderr
    };
    const std::vector<Case> cases{
        {{"-s", "auto", "-H", "auto", semicolons},
         {"-s", ";", "-H", semicolons},
         "quarrow-cli: separator ';' (detected: 3 of 3 lines have 2 fields with ';')\n"
         "quarrow-cli: header line on (detected: line 1 holds names over numbers, dates or true/false in column 1)\n"},
        {{"--separator", "auto", "--header=auto", "-e", "auto", semicolons},
         {"-s", ";", "-H", "-e", "utf8", semicolons},
         "encoding utf8 (detected: 1 non-ASCII character, all valid UTF-8)"},
        {{"-e", "auto", "-H", "auto", ansi}, {"-e", "ansi", "-H", ansi}, "encoding ansi (detected: byte 0xE9"},
        // Undecided: the defaults stay.
        {{"-s", "auto", "-H", "auto", textOnly}, {"-s", "|", textOnly}, "header line stays off (not detected: every"},
        // Undecided: the profile's values stay.
        {{"--profile", profile, "-H", "auto", textOnly}, {"-s", "|", "-H", textOnly}, "header line stays on"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(joined(c.automatic));
        const auto automatic = runCli(c.automatic);
        const auto byHand = runCli(c.byHand);
        ASSERT_EQ(byHand.status, kExitOk) << byHand.err;
        EXPECT_EQ(automatic.status, kExitOk) << automatic.err;
        EXPECT_EQ(automatic.out, byHand.out);
        EXPECT_NE(automatic.err.find(c.said), std::string::npos) << automatic.err;

        auto quiet = c.automatic;
        quiet.insert(quiet.begin(), "-q");
        const auto silent = runCli(quiet);
        EXPECT_EQ(silent.out, byHand.out);
        EXPECT_TRUE(silent.err.empty()) << silent.err;
    }
}

TEST(ConverterDetect, SavedProfileHoldsTheDetectedSettings)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "id\tv\n1\t2\n").string();
    const auto saved = (dir.path() / "p.toml").string();
    const auto run = runCli({"-q", "-s", "auto", "-H", "auto", "--save-profile", saved, csv});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    const ConversionProfile profile = readProfileFile(saved);
    EXPECT_EQ(profile.script.separator, u'\t');
    EXPECT_TRUE(profile.script.headerLine);
    ASSERT_EQ(profile.columns.size(), 2u);
    EXPECT_EQ(profile.columns[1].name, u"v");
}

#ifndef _WIN32
// Standard input is read from its copy: once for the shape, once for the script.
TEST(ConverterDetect, StandardInputIsDetectedAndConvertedWhole)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", "id;v\r\n1;2\r\n3;4\r\n");
    const auto reference = runCli({"-s", ";", "-H", csv.string()});
    const std::string command = "cat " + test::quoted(csv.string()) + " | " + test::quoted(QUARROW_CLI_BINARY)
                                + " -q -s auto -H auto - >" + test::quoted((dir.path() / "out.sql").string());
    EXPECT_EQ(test::shell("bash -c " + test::quoted(command)), 0);
    EXPECT_EQ(test::readFile(dir.path() / "out.sql"), reference.out);
}
#endif

} // namespace
} // namespace quarrow::cli
