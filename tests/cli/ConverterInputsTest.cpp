#include "tests/support/TempDir.h"
#include "tests/cli/RunCli.h"

#include "cli/Converter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

// What a run of the binary with a given standard input left.
struct StdinRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the converter with `input` as its standard input and `folder` as its
// $TMPDIR. As root it runs as nobody, so that only the descriptor it was
// given lets it read the input. `feed`, when open, is written `bytes` and
// closed once the converter runs.
StdinRun runWithStandardInput(const std::vector<std::string>& arguments, int input, int feed, const std::string& bytes,
                              const std::filesystem::path& folder)
{
    const std::filesystem::path outPath = folder / "out.sql";
    const std::filesystem::path errPath = folder / "err.txt";
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::vector<const char*> argv{"quarrow-cli", "-q"};
    for (const auto& a : arguments)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    const std::string tmpdir = "TMPDIR=" + (folder / "tmp").string();
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(input, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (feed >= 0)
            ::close(feed);
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(126);
        ::putenv(const_cast<char*>(tmpdir.c_str()));
        ::execv(QUARROW_CLI_BINARY, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(out);
    ::close(err);
    if (feed >= 0) {
        EXPECT_EQ(::write(feed, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(feed);
    }
    StdinRun run;
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

// Standard input is read through descriptor 0, never opened again by a
// name such as /dev/stdin: the system refuses that for a pipe from another
// user, a file that only the caller could open, and a socket. Read once,
// read twice (through the private copy) and with its start read once more
// for detection, each gives the script of the same bytes in a file.
TEST(ConverterInputs, StandardInputIsReadThroughItsDescriptorWhateverItIs)
{
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    const std::string bytes = "id;v\r\n1;10\r\n2;x\r\n3;30000000000\r\n";
    const auto csv = dir.write("a.csv", bytes);
    const std::filesystem::path tmp = dir.path() / "tmp";
    std::filesystem::create_directory(tmp);
    ASSERT_EQ(::chmod(tmp.c_str(), 0777), 0);
    enum class Kind { Pipe, Socket, LockedFile };
    const char* const kindNames[] = {"pipe", "socket", "file locked after it was opened"};
    const std::vector<std::vector<std::string>> optionSets = {
        {"-H", "-s", ";"}, {"-H", "-s", ";", "--suggest-types"}, {"-H", "-s", "auto"}, {"-s", "auto", "-H", "auto"}};
    for (const Kind kind : {Kind::Pipe, Kind::Socket, Kind::LockedFile}) {
        for (const auto& options : optionSets) {
            SCOPED_TRACE(::testing::Message()
                         << kindNames[static_cast<int>(kind)] << ":" << ::testing::PrintToString(options));
            std::vector<std::string> arguments = options;
            arguments.push_back(csv.string());
            const auto reference = runCli(arguments);
            ASSERT_EQ(reference.status, kExitOk) << reference.err;
            arguments.back() = "-";
            int ends[2] = {-1, -1};
            int feed = -1;
            int input = -1;
            if (kind == Kind::Pipe) {
                ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
                input = ends[0];
                feed = ends[1];
            } else if (kind == Kind::Socket) {
                ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
                input = ends[0];
                feed = ends[1];
            } else {
                ASSERT_EQ(::chmod(csv.c_str(), 0644), 0);
                input = ::open(csv.c_str(), O_RDONLY | O_CLOEXEC);
                ASSERT_GE(input, 0);
                ASSERT_EQ(::chmod(csv.c_str(), 0), 0);
            }
            const StdinRun run = runWithStandardInput(arguments, input, feed, bytes, dir.path());
            ::close(input);
            EXPECT_EQ(run.status, kExitOk) << run.err;
            EXPECT_EQ(run.out, reference.out) << run.err;
            EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "a copy was left behind";
        }
    }
}

// The private copy of a pipe goes to $TMPDIR: where that folder cannot take
// it, the run stops before writing and names the folder and the reason.
TEST(ConverterInputs, CopyOfAPipeGoesToTheTemporaryFolder)
{
    TempDir dir;
    const auto target = dir.write("out.sql", "previous script");
    const auto err = dir.path() / "err.txt";
    const std::string command = "printf 'a\\r\\n1\\r\\n' | TMPDIR=/nonexistent " + quoted(QUARROW_CLI_BINARY)
                                + " -q --suggest-types -o " + quoted(target.string()) + " - 2>" + quoted(err.string());
    EXPECT_EQ(shell("bash -c " + quoted(command)), kExitFailure);
    EXPECT_NE(
        readFile(err).find("Cannot copy standard input to a temporary file in /nonexistent: No such file or directory"),
        std::string::npos)
        << readFile(err);
    EXPECT_EQ(readFile(target), "previous script");
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
