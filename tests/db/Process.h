#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace quarrow::dbtest {

// Database servers refuse to run as root (PostgreSQL always, MariaDB without
// --user=root), so when the tests run as root the servers run as the
// unprivileged account `nobody`; otherwise everything runs as the caller.
class ServiceAccount {
public:
    static const ServiceAccount& get();

    bool switches() const noexcept { return m_switch; }
    uid_t uid() const noexcept { return m_uid; }
    gid_t gid() const noexcept { return m_gid; }
    // Creates the folder if needed and gives it to the service account.
    void adopt(const std::filesystem::path& folder) const;

private:
    ServiceAccount();
    bool m_switch = false;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};

struct Command {
    std::filesystem::path program; // a full path (see findProgram)
    std::vector<std::string> args; // without the program
    std::vector<std::string> env;  // NAME=value, added to (or replacing in) the environment
    std::filesystem::path input;   // standard input; /dev/null when empty
    std::filesystem::path workDir; // the child's current folder; unchanged when empty
    bool asService = false;        // run as the service account

    std::string text() const; // for messages
};

struct Outcome {
    int status = -1; // exit status, or 128 + the signal that ended it
    bool timedOut = false;
    std::string out;
    std::string err;

    bool succeeded() const noexcept { return status == 0 && !timedOut; }
};

// The command, how it ended and what it printed (shortened), for a failure message.
std::string describe(const Command& command, const Outcome& outcome);

// Runs the command to its end and captures its output through files in
// `scratch`; a command still running after `limit` is killed.
Outcome run(const Command& command, const std::filesystem::path& scratch,
            std::chrono::seconds limit = std::chrono::seconds(300));

// A long-running child, such as a database server. Stopped by its process
// id when the object goes: `stopSignal` first, SIGKILL after the grace
// time. The child is also killed by the kernel if this process dies
// without running destructors (a crash, a sanitizer abort, a timeout kill),
// so no test run leaves a server behind.
class ChildProcess {
public:
    ChildProcess(const Command& command, const std::filesystem::path& log, int stopSignal, std::chrono::seconds grace);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const noexcept { return m_pid; }
    // Whether the child has ended (reaping it if so).
    bool ended();
    void stop();

private:
    pid_t m_pid = -1;
    int m_stopSignal;
    std::chrono::seconds m_grace;
};

// The program `name` on PATH or in one of `extraFolders`; empty when absent.
std::filesystem::path findProgram(std::string_view name, const std::vector<std::filesystem::path>& extraFolders = {});

} // namespace quarrow::dbtest
