// quarrow-cli --help and the man page quarrow-cli(1) must name the same
// options: an option added to one and forgotten in the other fails here.

#include "tests/cli/RunCli.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#ifdef QUARROW_CLI_MAN_PAGE

namespace quarrow::cli {
namespace {

using Names = std::set<std::string>;

// Every option name in `text`: `--long-name` or `-x`, standing alone (not
// inside a word such as "multi-row" or a path such as "/dev/fd/N").
Names optionNames(const std::string& text)
{
    static const std::regex name(R"((?:^|[\s,(\[|"])(--[A-Za-z0-9][A-Za-z0-9-]*|-[A-Za-z])(?=$|[\s,.;:=)\]|"]))");
    Names names;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), name); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1].str());
    return names;
}

// Troff text as a reader sees it, for the names: `\-` is a hyphen and the
// font changes (\fB, \fI, \fR, \fP) go.
std::string plainTroff(const std::string& troff)
{
    static const std::regex fontChange(R"(\\f[BIRP])");
    std::string text = std::regex_replace(troff, fontChange, "");
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '-') {
            out += '-';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct HelpOptions {
    Names defined;   // the options the usage lists, one a line
    Names mentioned; // every option named anywhere in the usage
};

HelpOptions helpOptions(const std::string& help)
{
    // An option line starts with its names: "  -o,--output PATH   text".
    static const std::regex optionLine(R"(^\s+(-[^\s]+))");
    HelpOptions options;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, optionLine)) {
            std::string names = m[1].str();
            for (char& c : names)
                if (c == ',')
                    c = ' ';
            const Names found = optionNames(names);
            options.defined.insert(found.begin(), found.end());
        }
    }
    options.mentioned = optionNames(help);
    return options;
}

struct ManOptions {
    Names defined;   // the options of the OPTIONS section's entries (the line after .TP)
    Names mentioned; // every option named in the OPTIONS section
};

ManOptions manOptions(const std::string& troff)
{
    ManOptions options;
    std::istringstream lines(troff);
    bool inOptions = false;
    bool tagNext = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".SH", 0) == 0) {
            inOptions = line.find("OPTIONS") != std::string::npos;
            continue;
        }
        if (!inOptions)
            continue;
        if (line.rfind(".TP", 0) == 0) {
            tagNext = true;
            continue;
        }
        const Names found = optionNames(plainTroff(line));
        if (tagNext)
            options.defined.insert(found.begin(), found.end());
        options.mentioned.insert(found.begin(), found.end());
        tagNext = false;
    }
    return options;
}

std::string missingFrom(const Names& wanted, const Names& present)
{
    std::string missing;
    for (const auto& name : wanted)
        if (!present.count(name))
            missing += (missing.empty() ? "" : " ") + name;
    return missing;
}

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
