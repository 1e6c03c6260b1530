#include "tests/support/TempDir.h"
#include "tests/cli/RunCli.h"

#include "cli/Converter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quarrow::cli {
namespace {

#ifndef _WIN32
using test::quoted;
using test::readFile;
using test::runCli;
using test::shell;
using test::TempDir;

// Inputs that are not files on a disk: standard input ("-"), pipes and
// FIFOs. Each run's script must equal the one made from the same bytes in
// ordinary files: b.csv's rows change the suggested type of column v, and
// every row of both must be there. A FIFO opened a second time waits for a
// writer that never comes: the time limit turns that into a failure.
TEST(ConverterInputs, PipesAndStandardInputGiveEveryRowEvenWhenReadTwice)
{
    TempDir dir;
    const auto a = dir.write("a.csv", "id,v\r\n1,10\r\n2,20\r\n");
    const auto b = dir.write("b.csv", "3,abc\r\n4,30000000000\r\n");
    // Standard input a file already read in part: what is left is the input.
    dir.write("c.csv", "a line read before\r\nid,v\r\n1,10\r\n2,20\r\n");
    std::filesystem::create_directory(dir.path() / "tmp");
    ASSERT_EQ(shell("mkfifo " + quoted((dir.path() / "fifo.csv").string())), 0);
    struct Case {
        std::string command; // in bash, in the folder; `cli` is the converter
        std::vector<std::string> reference;
    };
    const Case cases[] = {
        {"cli -H --suggest-types -d sqlite a.csv <(cat b.csv)", {"-H", "--suggest-types", "-d", "sqlite", "a", "b"}},
        {"cli -H --strict <(cat a.csv) <(cat b.csv)", {"-H", "--strict", "a", "b"}},
        {"cat a.csv | cli -H --suggest-types -", {"-H", "--suggest-types", "a"}},
        {"cat b.csv | cli -H --explain a.csv - b.csv", {"-H", "--explain", "a", "b", "b"}},
        {"cat b.csv > fifo.csv & cli -H --suggest-types a.csv fifo.csv", {"-H", "--suggest-types", "a", "b"}},
        {"cli -H --suggest-types - < a.csv", {"-H", "--suggest-types", "a"}},
        {"cat b.csv | cli -H a.csv -", {"-H", "a", "b"}},
        {"{ read -r line; cli -H -; } < c.csv", {"-H", "a"}},
        {"{ read -r line; cli -H --suggest-types -; } < c.csv", {"-H", "--suggest-types", "a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        std::vector<std::string> arguments;
        for (const auto& r : c.reference)
            arguments.push_back(r == "a" ? a.string() : r == "b" ? b.string() : r);
        const auto reference = runCli(arguments);
        ASSERT_EQ(reference.status, kExitOk) << reference.err;
        const std::string command = "cd " + quoted(dir.path().string()) + " && cli() { timeout 60 "
                                    + quoted(QUARROW_CLI_BINARY)
                                    + " -q \"$@\"; } && export TMPDIR=" + quoted((dir.path() / "tmp").string())
                                    + " && { " + c.command + "; } >out.sql 2>err.txt";
        EXPECT_EQ(shell("bash -c " + quoted(command)), 0) << readFile(dir.path() / "err.txt");
        EXPECT_EQ(readFile(dir.path() / "out.sql"), reference.out);
        EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "tmp")) << "a copy was left behind";
    }
}

// Messages name an input as it was given, whatever it is read from: not
// the copy of a pipe, nor the system's name for standard input.
TEST(ConverterInputs, MessagesNameTheInputAsGiven)
{
    TempDir dir;
    const auto err = dir.path() / "err.txt";
    struct Case {
        std::string command; // in bash
        std::string message;
    };
    const Case cases[] = {
        {"cli --suggest-types - <&-", "Cannot read standard input: Bad file descriptor"},
        {"printf 'x\\r\\ncaf\\xe9\\r\\n' | cli --suggest-types -",
         "File load error! standard input: line 2: invalid UTF-8"},
        {"cli --strict <(printf 'x\\r\\ncaf\\xe9\\r\\n')", "File load error! /dev/fd/"},
        {"printf 'x\\r\\n1,2\\r\\n' | cli --explain -", "standard input line 2"},
        {"printf 'x\\r\\n1,2\\r\\n' | cli -", "standard input line 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const std::string command = "cli() { " + quoted(QUARROW_CLI_BINARY) + " -q \"$@\"; } && { " + c.command
                                    + "; } >/dev/null 2>" + quoted(err.string());
        shell("bash -c " + quoted(command));
        EXPECT_NE(readFile(err).find(c.message), std::string::npos) << readFile(err);
    }
}
#endif

} // namespace
} // namespace quarrow::cli
