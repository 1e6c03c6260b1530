#include "cli/InterruptCleanup.h"

#include <atomic>
#include <csignal>
#include <pthread.h>
#include <unistd.h>

namespace quarrow::cli {

namespace {

// Only async-signal-safe work in the handler: an atomic load, unlink,
// sigaction, sigprocmask, raise, _exit.
std::atomic<const char*> g_temporary{nullptr};

// Besides the interruptions, a file size limit reached (SIGXFSZ) and a
// reader gone from a pipe written to (SIGPIPE, standard error included) end
// the process while the file may exist.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};

// Removes the file, then ends the process by the signal itself, as it
// would have ended without the handler, so that the shell and other callers
// see which signal it was.
extern "C" void removeTemporaryAndExit(int signal)
{
    if (const char* path = g_temporary.load())
        ::unlink(path);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

} // namespace

void installInterruptCleanup()
{
    struct sigaction action {};
    action.sa_handler = removeTemporaryAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) {
        // A signal the caller ignores stays ignored (nohup, a background
        // job): a write then fails with EPIPE or EFBIG instead, and the
        // run's error path removes the file.
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

void armInterruptCleanup(const char* temporaryPath)
{
    g_temporary.store(temporaryPath);
}

void disarmInterruptCleanup()
{
    g_temporary.store(nullptr);
}

InterruptsHeld::InterruptsHeld() noexcept
{
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kSignals)
        sigaddset(&held, signal);
    pthread_sigmask(SIG_BLOCK, &held, &m_previous);
}

// A signal that came meanwhile is delivered here, with the handler seeing
// the name as it now stands.
InterruptsHeld::~InterruptsHeld()
{
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

} // namespace quarrow::cli
