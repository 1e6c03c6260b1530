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

// Shapes that were guessed wrong: what --detect says, and that -s auto and
// -H auto then give the script the settings given by hand give.
TEST(ConverterDetect, CloseEvidenceIsJudgedOnWholeNumbersTitlesAndText)
{
    TempDir dir;
    struct Case {
        std::string name;
        std::string bytes;
        std::vector<std::string> byHand;
        std::string detected; // a part of --detect's output
    };
    const std::vector<Case> cases{
        {"decimal.csv",
         "1,5;2,25\r\n3,75;4,5\r\n",
         {"-s", ";", "--no-header"},
         "separator: ';'\n  2 of 2 lines have 2 fields with ';', as 2 of 2 lines have 3 fields with ',', but ',' "
         "would cut 4 numbers such as \"1,5\" that ';' keeps whole\nheader line: no\n"},
        {"names.tsv",
         "Smith, John\tNew York, NY\nDoe, Jane\tBoston, MA\nRoe, Rick\tAustin, TX\n",
         {"-s", "\t"},
         "separator: Tab\n"},
        {"years.csv",
         "Country,2019,2020,2021\nFrance,1.5,2.5,3\nSpain,4,5,6.5\n",
         {"-H"},
         "header line: yes\n  line 1 holds years over other numbers in columns 2, 3, 4\n"},
        {"text.csv", "name,city\nAnna,Berlin\nBert,Hamburg\n", {"-H"}, "header line: yes\n"},
        {"utf16.csv",
         std::string("\xFF\xFE"
                     "i\0d\0;\0v\0\r\0\n\0"
                     "1\0;\0"
                     "2\0\r\0\n\0",
                     22),
         {"-s", ";", "-H"},
         "separator: ';'\n  2 of 2 lines have 2 fields with ';'\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string csv = dir.write(c.name, c.bytes).string();
        const auto detect = runCli({"--detect", csv});
        EXPECT_EQ(detect.status, kExitOk) << detect.err;
        EXPECT_NE(detect.out.find(c.detected), std::string::npos) << detect.out;

        const auto automatic = runCli({"-q", "-s", "auto", "-H", "auto", csv});
        auto byHand = c.byHand;
        byHand.push_back(csv);
        const auto reference = runCli(byHand);
        ASSERT_EQ(reference.status, kExitOk) << reference.err;
        EXPECT_EQ(automatic.status, kExitOk) << automatic.err;
        EXPECT_EQ(automatic.out, reference.out);
    }
}

// A title above the table is pointed out by --detect and by -s auto even when
// quiet; the settings detected are those of the table below it.
TEST(ConverterDetect, TitleAboveTheTableIsPointedOut)
{
    TempDir dir;
    const auto csv = dir.write("titled.csv", "Orders of May\r\nid;name\r\n1;Anna\r\n2;Bert\r\n").string();
    const std::string evidence = "line 1 is not of the table's shape (3 of 3 lines below line 1 have 2 fields with "
                                 "';'): a title or a comment above it, which the reading takes for the table's first "
                                 "line; the separator and header line are judged on the lines below it";
    const auto detect = runCli({"--detect", csv});
    EXPECT_EQ(detect.status, kExitOk);
    EXPECT_EQ(detect.out.substr(0, detect.out.find("header line:")),
              "lines above the table: 1\n  " + evidence
                  + "\nseparator: ';'\n  3 of 3 lines below line 1 have "
                    "2 fields with ';'\n");
    EXPECT_NE(detect.out.find("header line: yes\n  line 2 holds names"), std::string::npos) << detect.out;
    EXPECT_NE(detect.out.find("options: --skip-lines 1 -s ';' -H"), std::string::npos) << detect.out;

    const auto automatic = runCli({"-q", "-s", "auto", "-H", "auto", csv});
    EXPECT_EQ(automatic.status, kExitOk);
    // The converter's own warning of the fields dropped follows.
    EXPECT_EQ(automatic.err.substr(0, automatic.err.find('\n') + 1),
              "quarrow-cli: warning: " + evidence + " (--skip-lines 1 leaves them out, or --skip-lines auto)\n");
    EXPECT_EQ(automatic.out, runCli({"-s", ";", "-H", csv}).out);
}

// Quotes the default reading drops: a note proposes exact quoting.
TEST(ConverterDetect, QuotesInsideValuesProposeExactQuoting)
{
    TempDir dir;
    const auto csv = dir.write("quotes.csv", "id;text\r\n1;ha \"\"ha\"\" ha\r\n2;37\xC2\xB0"
                                             "36'37.8\"N\r\n")
                         .string();
    const auto run = runCli({"-s", "auto", csv});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_NE(run.err.find("quarrow-cli: note: 2 values hold a double quote, doubled or inside an unquoted field "
                           "(first on line 2): the default reading drops it, exact quoting keeps it (--rfc4180)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(runCli({"--detect", csv}).out.find("options: -s ';' -H -e utf8 --rfc4180\n"), std::string::npos);
}

// The line of a byte that is not UTF-8, with lines ended by CR alone.
TEST(ConverterDetect, BadByteIsNamedOnItsLine)
{
    TempDir dir;
    const auto csv = dir.write("cr.csv", "a;b\rx;y\rJos\xE9;z\r").string();
    const auto detect = runCli({"--detect", csv});
    EXPECT_NE(detect.out.find("  byte 0xE9 on line 3 is not UTF-8: ANSI text\n"), std::string::npos) << detect.out;
    const auto run = runCli({"-e", "utf8", csv});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("cr.csv: line 3: invalid UTF-8 at byte 11"), std::string::npos) << run.err;
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
