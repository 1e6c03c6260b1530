#include "tests/db/Process.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <algorithm>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quarrow::dbtest {

namespace {

std::runtime_error systemError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const noexcept { return m_fd; }

private:
    int m_fd;
};

Fd openOrThrow(const std::filesystem::path& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0)
        throw systemError("cannot open " + path.string());
    return Fd(fd);
}

// Forks and executes the command with the given standard streams. Every
// string the child needs is prepared before the fork, so that the child
// makes only async-signal-safe calls before exec.
pid_t spawn(const Command& command, int in, int out, int err)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        const auto name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto& added : command.env)
            replaced = replaced || std::string_view(added).starts_with(name);
        if (!replaced)
            env.emplace_back(entry);
    }
    env.insert(env.end(), command.env.begin(), command.env.end());

    std::string program = command.program.string();
    std::vector<std::string> args = command.args;
    std::vector<char*> argv{program.data()};
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string workDir = command.workDir.string();
    const ServiceAccount& account = ServiceAccount::get();
    const bool switchUser = command.asService && account.switches();
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0)
        throw systemError("fork");
    if (pid == 0) {
        if (::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            ::_exit(126);
        if (!workDir.empty() && ::chdir(workDir.c_str()) != 0)
            ::_exit(126);
        if (switchUser
            && (::setgroups(0, nullptr) != 0 || ::setgid(account.gid()) != 0 || ::setuid(account.uid()) != 0))
            ::_exit(126);
        // After the user switch, which clears it. Should the test process
        // die before it can stop the child, the kernel kills the child.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
            ::_exit(126);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

int decodeStatus(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// Waits for the child up to `limit`; true when it ended (status filled in).
bool waitFor(pid_t pid, std::chrono::milliseconds limit, int& status)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return true;
        if (r < 0 && errno != EINTR)
            throw systemError("waitpid");
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

std::string shorten(const std::string& text)
{
    constexpr std::size_t kKeep = 4000;
    if (text.size() <= kKeep)
        return text;
    return text.substr(0, kKeep / 2) + "\n[... " + std::to_string(text.size() - kKeep) + " bytes ...]\n"
           + text.substr(text.size() - kKeep / 2);
}

} // namespace

ServiceAccount::ServiceAccount()
{
    if (::geteuid() != 0)
        return;
    const passwd* account = ::getpwnam("nobody");
    if (account == nullptr)
        throw std::runtime_error("running as root, but there is no account `nobody` to run the servers as");
    m_switch = true;
    m_uid = account->pw_uid;
    m_gid = account->pw_gid;
}

const ServiceAccount& ServiceAccount::get()
{
    static const ServiceAccount account;
    return account;
}

void ServiceAccount::adopt(const std::filesystem::path& folder) const
{
    std::filesystem::create_directories(folder);
    if (m_switch && ::chown(folder.c_str(), m_uid, m_gid) != 0)
        throw systemError("cannot give " + folder.string() + " to the service account");
}

std::string Command::text() const
{
    std::string t = program.string();
    for (const auto& a : args) {
        t += ' ';
        t += a.size() > 200 ? a.substr(0, 200) + "..." : a;
    }
    if (!input.empty())
        t += " < " + input.string();
    return t;
}

std::string describe(const Command& command, const Outcome& outcome)
{
    std::string d = command.program.empty() ? std::string() : "command: " + command.text() + "\n";
    d += outcome.timedOut ? "timed out and was killed\n" : "exit status " + std::to_string(outcome.status) + "\n";
    if (!outcome.out.empty())
        d += "stdout:\n" + shorten(outcome.out) + "\n";
    if (!outcome.err.empty())
        d += "stderr:\n" + shorten(outcome.err) + "\n";
    return d;
}

Outcome run(const Command& command, const std::filesystem::path& scratch, std::chrono::seconds limit)
{
    static std::atomic<unsigned> counter{0};
    const std::string stem = "run" + std::to_string(counter++);
    const auto outPath = scratch / (stem + ".out");
    const auto errPath = scratch / (stem + ".err");
    Outcome outcome;
    {
        const Fd in = openOrThrow(command.input.empty() ? std::filesystem::path("/dev/null") : command.input, O_RDONLY);
        const Fd out = openOrThrow(outPath, O_WRONLY | O_CREAT | O_TRUNC);
        const Fd err = openOrThrow(errPath, O_WRONLY | O_CREAT | O_TRUNC);
        const pid_t pid = spawn(command, in.get(), out.get(), err.get());
        int status = 0;
        if (!waitFor(pid, limit, status)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            outcome.timedOut = true;
        }
        outcome.status = decodeStatus(status);
    }
    outcome.out = readAll(outPath);
    outcome.err = readAll(errPath);
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored);
    std::filesystem::remove(errPath, ignored);
    return outcome;
}

ChildProcess::ChildProcess(const Command& command, const std::filesystem::path& log, int stopSignal,
                           std::chrono::seconds grace)
    : m_stopSignal(stopSignal), m_grace(grace)
{
    const Fd in = openOrThrow("/dev/null", O_RDONLY);
    const Fd out = openOrThrow(log, O_WRONLY | O_CREAT | O_APPEND);
    m_pid = spawn(command, in.get(), out.get(), out.get());
}

ChildProcess::~ChildProcess()
{
    try {
        stop();
    } catch (...) {
        // A destructor cannot report; the kernel still kills the child with this process.
    }
}

bool ChildProcess::ended()
{
    if (m_pid < 0)
        return true;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return true;
    }
    return false;
}

void ChildProcess::stop()
{
    if (ended())
        return;
    ::kill(m_pid, m_stopSignal);
    int status = 0;
    if (!waitFor(m_pid, m_grace, status)) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
}

std::filesystem::path findProgram(std::string_view name, const std::vector<std::filesystem::path>& extraFolders)
{
    std::vector<std::filesystem::path> folders;
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            folders.emplace_back(rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    folders.insert(folders.end(), extraFolders.begin(), extraFolders.end());
    for (const auto& folder : folders) {
        const auto candidate = folder / name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace quarrow::dbtest
