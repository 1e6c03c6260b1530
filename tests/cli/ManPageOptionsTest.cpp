// quarrow-cli --help and the man page quarrow-cli(1) must name the same
// options: an option added to one and forgotten in the other fails here.

#include "tests/cli/RunCli.h"
#include "tests/support/OptionNames.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#ifdef QUARROW_CLI_MAN_PAGE

namespace quarrow::cli {
namespace {

using test::HelpOptions;
using test::helpOptions;
using test::ManOptions;
using test::manOptions;
using test::missingFrom;
using test::Names;
using test::optionNames;
using test::plainTroff;

// The extraction itself, on the forms the two texts use: were it to miss a
// form, the comparison below would pass with the option missing from both.
TEST(ManPageOptions, NamesAreFoundInBothForms)
{
    // clang-format off
    const struct { const char* text; Names names; } cases[] = {
        {"  -o,--output PATH        write the script", {"-o", "--output"}},
        {"  --save-profile FILE     write (after --suggest-types) to a file", {"--save-profile", "--suggest-types"}},
        {"  -H,--header             the first line; -H auto: detected", {"-H", "--header"}},
        {"--no-header, --no-copy turn its flags off", {"--no-header", "--no-copy"}},
        {"--header=auto decides", {"--header"}},
        {"multi-row statements, UTF-8, /dev/fd/N, a - b, 1 -2", {}},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(optionNames(c.text), c.names) << c.text;
    EXPECT_EQ(optionNames(plainTroff(R"(.BR \-n ", " \-\-null\-empty " \fIX\fR")")), (Names{"-n", "--null-empty"}));
}

TEST(ManPageOptions, HelpAndManPageNameTheSameOptions)
{
    const test::Run run = test::runCli({"--help"});
    ASSERT_EQ(run.status, 0);
    const HelpOptions help = helpOptions(run.out);
    ASSERT_TRUE(help.defined.count("--output")) << run.out;

    std::ifstream file(QUARROW_CLI_MAN_PAGE, std::ios::binary);
    ASSERT_TRUE(file) << "cannot read " << QUARROW_CLI_MAN_PAGE;
    const ManOptions man = manOptions(std::string(std::istreambuf_iterator<char>(file), {}));
    ASSERT_TRUE(man.defined.count("--output"));

    EXPECT_EQ(missingFrom(help.defined, man.defined), "")
        << "options --help lists that have no entry under OPTIONS in " << QUARROW_CLI_MAN_PAGE;
    EXPECT_EQ(missingFrom(man.defined, help.defined), "") << "man page entries that --help does not list";
    EXPECT_EQ(missingFrom(help.mentioned, man.mentioned), "")
        << "options --help names that the man page's OPTIONS never names";
    EXPECT_EQ(missingFrom(man.mentioned, help.mentioned), "")
        << "options the man page's OPTIONS names that --help never names";
}

} // namespace
} // namespace quarrow::cli

#endif
