#include "tests/cli/RunCli.h"
#include "tests/support/TempDir.h"

#include "cli/Converter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarrow::cli {
namespace {

using test::runCli;
using test::TempDir;

// A column of numbers with NA where a value is missing, one of text whose
// "NA" is a country, and \N as another marker.
constexpr std::string_view kCsv = "amount,country,note\r\n12,NA,\\N\r\nNA,DE,x\r\n7,FR,\\N\r\n";

TEST(ConverterNullMarkers, MarkersBecomeNullAndLetTheColumnBeTyped)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", std::string(kCsv)).string();
    const test::Run run = runCli({"-q", "-H", "-d", "sqlite", "--suggest-types", "--explain", "--null-marker", "NA",
                                  "--null-marker", "\\N", "--save-profile", (dir.path() / "p.toml").string(), csv});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "\r\nCREATE TABLE NEW_TABLE (\r\namount integer,\r\ncountry text,\r\nnote text\r\n);\r\n\r\n"
                       "INSERT INTO NEW_TABLE (`amount`,`country`,`note`) VALUES\r\n('12',NULL,NULL);\r\n"
                       "INSERT INTO NEW_TABLE (`amount`,`country`,`note`) VALUES\r\n(NULL,'DE','x');\r\n"
                       "INSERT INTO NEW_TABLE (`amount`,`country`,`note`) VALUES\r\n('7','FR',NULL);\r\n");
    EXPECT_NE(run.err.find("NULL markers met: 'NA' 2 cells, '\\N' 2 cells\n"), std::string::npos) << run.err;

    // The saved profile keeps them; --no-null-markers drops them.
    const test::Run again = runCli({"-q", "--profile", (dir.path() / "p.toml").string(), csv});
    EXPECT_EQ(again.out, run.out);
    const test::Run dropped = runCli({"-q", "--profile", (dir.path() / "p.toml").string(), "--no-null-markers", csv});
    EXPECT_NE(dropped.out.find("('12','NA','\\N');"), std::string::npos) << dropped.out;

    // None by default: NA is a country.
    const test::Run plain = runCli({"-q", "-H", "--suggest-types", csv});
    EXPECT_NE(plain.out.find("`amount` varchar(2)"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("('12','NA','\\\\N');"), std::string::npos) << plain.out;
}

TEST(ConverterNullMarkers, EmptyMarkerIsBadUsage)
{
    TempDir dir;
    const auto csv = dir.write("a.csv", std::string(kCsv)).string();
    const test::Run run = runCli({"-q", "-H", "--null-marker", "", csv});
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_TRUE(run.err.starts_with("quarrow-cli: --null-marker: a NULL marker must not be empty")) << run.err;
}

} // namespace
} // namespace quarrow::cli
