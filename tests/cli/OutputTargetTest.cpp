#include "tests/support/TempDir.h"
#include "tests/cli/RunCli.h"
#include "tests/cli/ScriptTargets.h"

#include "cli/Converter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#ifndef _WIN32
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#endif

namespace quarrow::cli {
namespace {

#ifndef _WIN32
namespace fs = std::filesystem;
using test::quoted;
using test::readFile;
using test::runCli;
using test::shell;
using test::TempDir;

const std::string kCli = quoted(QUARROW_CLI_BINARY);
// An unprivileged user for the cases where only the system's checks stop a
// run: root passes them all.
constexpr uid_t kNobody = 65534;
const std::string kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

// Hidden temporary files left in a folder.
std::set<std::string> leftovers(const fs::path& folder)
{
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name[0] == '.' && name.compare(name.size() - 4, 4, ".tmp") == 0)
            found.insert(name);
    }
    return found;
}

class OutputTargets : public test::ScriptTargets {};

// Targets that a plain `>` could not write, or that could only be written
// in place, are refused before the inputs are read (--explain would print
// its profile first), with the system's reason, and stay as they were.
TEST_F(OutputTargets, TargetsThatCannotBeReplacedAreRefusedBeforeReading)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to act as another user";
    ASSERT_EQ(::chmod(m_dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(m_csv.c_str(), 0644), 0);
    struct Case {
        const char* name;
        mode_t folderMode;
        uid_t folderOwner;
        mode_t fileMode;
        uid_t fileOwner;
        std::string reason;
    };
    const Case cases[] = {
        // The shell's `>` says "Permission denied".
        {"read-only file in our folder", 0755, kNobody, 0444, kNobody, "Permission denied"},
        // No temporary file can be made beside it.
        {"our file in a folder we cannot write", 0755, 0, 0644, kNobody, "folder"},
        // Only the file's owner, or the folder's, may replace it.
        {"someone else's file in a sticky folder", 01777, 0, 0666, 0, "Operation not permitted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = m_dir.path() / c.name;
        fs::create_directory(folder);
        const fs::path target = folder / "out.sql";
        std::ofstream(target) << "previous script";
        ASSERT_EQ(::chown(target.c_str(), c.fileOwner, c.fileOwner), 0);
        ASSERT_EQ(::chmod(target.c_str(), c.fileMode), 0);
        ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        const fs::path err = m_dir.path() / "err.txt";
        const int status = shell(kAsNobody + kCli + " -q -H --explain -o " + quoted(target.string()) + " "
                                 + quoted(m_csv.string()) + " 2>" + quoted(err.string()));
        EXPECT_EQ(status, kExitFailure);
        const std::string message = readFile(err);
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_EQ(message.find("column  type"), std::string::npos) << "read before refusing:\n" << message;
        EXPECT_EQ(readFile(target), "previous script");
        EXPECT_TRUE(leftovers(folder).empty());
    }
}

TEST_F(OutputTargets, MissingFolderIsReportedBeforeReading)
{
    const auto run = runCli({"-H", "--explain", "-o", (m_dir.path() / "no" / "out.sql").string(), m_csv.string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_EQ(run.err.rfind("quarrow-cli: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("column  type"), std::string::npos) << run.err;
}

// As root, a link that another user planted in a sticky world-writable
// folder is not followed where the system's protected_symlinks says no:
// the shell's `>` refuses it too.
TEST_F(OutputTargets, PlantedLinkInAStickyFolderIsNotFollowed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    // Distributions switch the rule on at boot; a bare system (a container,
    // a virtual machine without an init) may have it off: root turns it on
    // for the test and back off after it.
    const std::string setting = "/proc/sys/fs/protected_symlinks";
    const std::string before = readFile(setting);
    if (before == "0\n")
        std::ofstream(setting) << "1\n";
    struct Restore {
        std::string path, value;
        ~Restore()
        {
            if (value == "0\n")
                std::ofstream(path) << value;
        }
    } restore{setting, before};
    if (readFile(setting) != "1\n")
        GTEST_SKIP() << "fs.protected_symlinks is off and cannot be switched on: the system itself follows such links";
    const fs::path shared = m_dir.path() / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const fs::path victim = m_dir.write("victim.conf", "precious");
    const fs::path link = shared / "out.sql";
    fs::create_symlink(victim, link);
    ASSERT_EQ(::lchown(link.c_str(), kNobody, kNobody), 0);
    ASSERT_NE(shell("echo x >" + quoted(link.string()) + " 2>/dev/null"), 0) << "the shell followed the link";
    const auto run = runCli({"-o", link.string(), m_csv.string()});
    EXPECT_EQ(run.status, kExitFailure);
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_TRUE(leftovers(m_dir.path()).empty());
    EXPECT_TRUE(leftovers(shared).empty());
}

// While the script is written its file is private; it ends with the old
// file's mode, or a new file's usual one under the caller's umask: also the
// file made through a link to a name not yet taken, which is written where
// it stands rather than beside it.
TEST_F(OutputTargets, TemporaryFileIsPrivateUntilComplete)
{
    struct Case {
        const char* name;
        int oldMode;       // -1: no old file
        bool danglingLink; // out.sql a link to new.sql, not yet there
        const char* umask;
        const char* during; // the file being written, as a pattern for grep
        const char* finalMode;
    };
    for (const Case& c : {Case{"new file", -1, false, "022", "^[.]out[.]sql[.].*[.]tmp$", "644"},
                          Case{"shared old file", 0664, false, "022", "^[.]out[.]sql[.].*[.]tmp$", "664"},
                          Case{"file made through a dangling link", -1, true, "027", "^new[.]sql$", "640"}}) {
        SCOPED_TRACE(c.name);
        const fs::path folder = m_dir.path() / "run";
        fs::remove_all(folder);
        fs::create_directory(folder);
        if (c.oldMode >= 0) {
            std::ofstream(folder / "out.sql") << "previous script";
            ASSERT_EQ(::chmod((folder / "out.sql").c_str(), static_cast<mode_t>(c.oldMode)), 0);
        }
        if (c.danglingLink)
            fs::create_symlink("new.sql", folder / "out.sql");
        // The input is a FIFO held open, so the run waits, writing, while
        // its file is looked at.
        const std::string during = quoted(c.during);
        const std::string script =
            "cd " + quoted(folder.string()) + " && mkfifo in.csv && umask " + c.umask + " && { " + kCli
            + " -q -o out.sql in.csv & pid=$!; exec 3>in.csv; printf 'a\\n1\\n' >&3; i=0; "
              "while ! ls -a | grep -q "
            + during + " && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done; stat -c %a $(ls -a | grep " + during
            + ") >during; exec 3>&-; wait $pid; echo $? >status; stat -L -c %a out.sql >after; }";
        ASSERT_EQ(shell(script), 0);
        EXPECT_EQ(readFile(folder / "during"), "600\n");
        EXPECT_EQ(readFile(folder / "status"), "0\n");
        EXPECT_EQ(readFile(folder / "after"), std::string(c.finalMode) + "\n");
        EXPECT_EQ(readFile(folder / "out.sql").find("previous"), std::string::npos);
        EXPECT_NE(readFile(folder / "out.sql").find("INSERT"), std::string::npos);
        EXPECT_TRUE(leftovers(folder).empty());
        EXPECT_EQ(fs::is_symlink(fs::symlink_status(folder / "out.sql")), c.danglingLink);
    }
}

// Standard output named as a file is written through the descriptor the
// shell gave, so `>>` appends and nothing is emptied.
TEST_F(OutputTargets, StandardOutputByNameKeepsAppending)
{
    for (const std::string name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
        SCOPED_TRACE(name);
        const fs::path log = m_dir.write("log.txt", "earlier line\n");
        ASSERT_EQ(shell(kCli + " -q -H -o " + name + " " + quoted(m_csv.string()) + " >>" + quoted(log.string())), 0);
        EXPECT_EQ(readFile(log), "earlier line\n" + m_script);
    }
}

// A name as long as the file system takes is written, though the
// temporary file's name adds to it.
TEST_F(OutputTargets, LongestNamesAreWritten)
{
    for (const std::size_t length : {std::size_t{244}, std::size_t{255}}) {
        SCOPED_TRACE(length);
        const fs::path target = m_dir.path() / std::string(length, 'n');
        const auto run = convertTo(target);
        EXPECT_EQ(run.status, kExitOk) << run.err;
        EXPECT_EQ(readFile(target), m_script);
        EXPECT_TRUE(leftovers(m_dir.path()).empty());
    }
}

// A file size limit, or a closed pipe on standard error, stop the run:
// by the signal, or by the write's error where the signal is ignored. The
// temporary file goes either way and the old file stays.
TEST_F(OutputTargets, FileSizeLimitAndClosedPipeLeaveNoTemporaryFile)
{
    std::string big = "id,text\r\n";
    for (int i = 0; i < 20000; ++i)
        big += std::to_string(i) + ",some text to fill the file\r\n";
    const fs::path csv = m_dir.write("big.csv", big);
    const fs::path target = m_dir.write("out.sql", "previous script");
    const fs::path err = m_dir.path() / "err.txt";
    struct Case {
        const char* name;
        std::string shellPrefix;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"SIGXFSZ", "ulimit -f 8; ", 128 + SIGXFSZ, ""},
        {"EFBIG", "ulimit -f 8; trap '' XFSZ; ", kExitFailure, "File too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string command = c.shellPrefix + "exec " + kCli + " -q -H -o " + quoted(target.string()) + " "
                                    + quoted(csv.string()) + " 2>" + quoted(err.string());
        EXPECT_EQ(shell("bash -c " + quoted(command)), c.status) << readFile(err);
        EXPECT_NE(readFile(err).find(c.message), std::string::npos) << readFile(err);
        EXPECT_EQ(readFile(target), "previous script");
        EXPECT_TRUE(leftovers(m_dir.path()).empty());
    }

    // Standard error a pipe whose reader has gone: the explanation written
    // there while the temporary file exists meets SIGPIPE, or EPIPE.
    for (const bool ignored : {false, true}) {
        SCOPED_TRACE(ignored ? "SIGPIPE ignored" : "SIGPIPE");
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ::close(ends[0]);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::dup2(ends[1], 2);
            std::signal(SIGPIPE, ignored ? SIG_IGN : SIG_DFL);
            ::execl(QUARROW_CLI_BINARY, "quarrow-cli", "-q", "-H", "--explain", "-o", target.c_str(), csv.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ends[1]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (ignored)
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitOk) << status;
        else
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
        EXPECT_TRUE(leftovers(m_dir.path()).empty());
        std::ofstream(target, std::ios::trunc) << "previous script";
    }
}

// The script and its profile are written together: a run stopped while it
// writes either one, by the file size limit's signal or by its error where
// the signal is ignored, leaves both old files as they were and neither
// temporary file. The profile is the larger file here (many columns, one
// row), so a limit between the two sizes stops the run in the profile's
// writing, after the whole script was written.
TEST_F(OutputTargets, RunStoppedPartWayKeepsTheOldScriptAndProfile)
{
    std::string header;
    std::string row;
    for (int i = 0; i < 400; ++i) {
        header += (i > 0 ? "," : "") + std::string("c") + std::to_string(i);
        row += (i > 0 ? "," : "") + std::string("1");
    }
    const fs::path csv = m_dir.write("wide.csv", header + "\r\n" + row + "\r\n");
    const fs::path script = m_dir.path() / "out.sql";
    const fs::path profile = m_dir.path() / "p.toml";
    const auto whole = runCli({"-H", "-o", script.string(), "--save-profile", profile.string(), csv.string()});
    ASSERT_EQ(whole.status, kExitOk) << whole.err;
    const std::uintmax_t scriptSize = fs::file_size(script);
    const std::uintmax_t profileSize = fs::file_size(profile);
    ASSERT_GT(profileSize, scriptSize + 2048) << "the profile must be the larger file";
    // ulimit -f counts 1024-byte blocks.
    const std::string inProfile = std::to_string((scriptSize + profileSize) / 2 / 1024);
    const std::string inScript = std::to_string(scriptSize / 2 / 1024);
    const fs::path err = m_dir.path() / "err.txt";
    struct Case {
        const char* name;
        std::string shellPrefix;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"script, SIGXFSZ", "ulimit -f " + inScript + "; ", 128 + SIGXFSZ, ""},
        {"script, EFBIG", "ulimit -f " + inScript + "; trap '' XFSZ; ", kExitFailure, "File too large"},
        {"profile, SIGXFSZ", "ulimit -f " + inProfile + "; ", 128 + SIGXFSZ, ""},
        {"profile, EFBIG", "ulimit -f " + inProfile + "; trap '' XFSZ; ", kExitFailure,
         "Cannot write " + profile.string() + ": File too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(script, std::ios::trunc) << "previous script";
        std::ofstream(profile, std::ios::trunc) << "previous profile";
        const std::string command = c.shellPrefix + "exec " + kCli + " -q -H -o " + quoted(script.string())
                                    + " --save-profile " + quoted(profile.string()) + " " + quoted(csv.string()) + " 2>"
                                    + quoted(err.string());
        EXPECT_EQ(shell("bash -c " + quoted(command)), c.status) << readFile(err);
        EXPECT_NE(readFile(err).find(c.message), std::string::npos) << readFile(err);
        EXPECT_EQ(readFile(script), "previous script");
        EXPECT_EQ(readFile(profile), "previous profile");
        EXPECT_TRUE(leftovers(m_dir.path()).empty());
    }
}

// Every signal whose default action ends the process (signal(7): Term and
// Core), the faults among them, removes the temporary files of both the
// script and its profile, leaves the old files as they were, and ends the
// run by that same signal. The run waits on a FIFO, its temporary files
// made, when the signal comes. The sanitizers' own handlers of the faults
// are switched off, so that the run behaves as a build without them.
TEST_F(OutputTargets, EverySignalThatEndsTheRunRemovesItsTemporaryFiles)
{
    struct Case {
        const char* name;
        int signal;
    };
    const Case cases[] = {
        {"HUP", SIGHUP},   {"INT", SIGINT},   {"QUIT", SIGQUIT},     {"ILL", SIGILL},           {"TRAP", SIGTRAP},
        {"ABRT", SIGABRT}, {"BUS", SIGBUS},   {"FPE", SIGFPE},       {"USR1", SIGUSR1},         {"SEGV", SIGSEGV},
        {"USR2", SIGUSR2}, {"PIPE", SIGPIPE}, {"ALRM", SIGALRM},     {"TERM", SIGTERM},         {"STKFLT", SIGSTKFLT},
        {"XCPU", SIGXCPU}, {"XFSZ", SIGXFSZ}, {"VTALRM", SIGVTALRM}, {"PROF", SIGPROF},         {"IO", SIGIO},
        {"PWR", SIGPWR},   {"SYS", SIGSYS},   {"RTMIN", SIGRTMIN},   {"RTMIN+1", SIGRTMIN + 1}, {"RTMAX", SIGRTMAX},
    };
    const char* const asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = "ASAN_OPTIONS=" + std::string(asan != nullptr && *asan != '\0' ? asan : "")
                                    + (asan != nullptr && *asan != '\0' ? ":" : "")
                                    + "handle_segv=0:handle_sigbus=0:handle_sigfpe=0";
    // ThreadSanitizer's runtime catches the same three faults and ends the
    // run with its own exit status instead of the signal.
    const char* const tsan = std::getenv("TSAN_OPTIONS");
    const std::string tsanOptions = "TSAN_OPTIONS=" + std::string(tsan != nullptr && *tsan != '\0' ? tsan : "")
                                    + (tsan != nullptr && *tsan != '\0' ? ":" : "")
                                    + "handle_segv=0:handle_sigbus=0:handle_sigfpe=0";
    const fs::path folder = m_dir.path() / "run";
    const fs::path script = folder / "out.sql";
    const fs::path profile = folder / "p.toml";
    const fs::path input = folder / "in.csv";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::create_directory(folder);
        std::ofstream(script) << "previous script";
        std::ofstream(profile) << "previous profile";
        ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // As a shell starts it: every signal at its default, none held,
            // and no core file.
            for (int signal = 1; signal < NSIG; ++signal)
                std::signal(signal, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, 2);
            ::putenv(const_cast<char*>(asanOptions.c_str()));
            ::putenv(const_cast<char*>(tsanOptions.c_str()));
            ::execl(QUARROW_CLI_BINARY, "quarrow-cli", "-q", "-H", "-o", script.c_str(), "--save-profile",
                    profile.c_str(), input.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // The FIFO opens for writing once the run reads it, after its
        // output files were made.
        int feed = -1;
        for (int tries = 0; feed < 0 && tries < 3000; ++tries) {
            feed = ::open(input.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (feed < 0) {
                ASSERT_EQ(errno, ENXIO);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        ASSERT_GE(feed, 0) << "the run never read its input";
        ASSERT_EQ(::write(feed, "a\n1\n", 4), 4);
        EXPECT_EQ(leftovers(folder).size(), 2u) << "the temporary files of the script and the profile";
        ASSERT_EQ(::kill(child, c.signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(feed);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
        EXPECT_TRUE(leftovers(folder).empty());
        EXPECT_EQ(readFile(script), "previous script");
        EXPECT_EQ(readFile(profile), "previous profile");
    }
}
#endif

} // namespace
} // namespace quarrow::cli
