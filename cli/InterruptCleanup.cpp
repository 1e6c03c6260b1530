#include "cli/InterruptCleanup.h"

#include <atomic>
#include <csignal>
#include <exception>
#include <pthread.h>
#include <unistd.h>

namespace quarrow::cli {

namespace {

// Only async-signal-safe work in the handler: atomic loads, unlink,
// sigaction, sigprocmask, raise, _exit.
// The converter writes at most two files at once: the script and the profile.
constexpr int kMaxTemporaries = 4;
std::atomic<const char*> g_temporaries[kMaxTemporaries];
static_assert(std::atomic<const char*>::is_always_lock_free);

// Every signal whose default action ends the process, by signal(7), and
// that can be caught (not SIGKILL). The faults (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGABRT, SIGTRAP, SIGSYS) are among them: the handler removes the
// files and raises the signal again with its default action, which then
// dumps core as it would have. A fault in the few steps held (see
// InterruptsHeld) ends the process without the handler.
const sigset_t& handledSignals()
{
    static const sigset_t signals = [] {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : {SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,
                           SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS})
            sigaddset(&set, signal);
#ifdef SIGSTKFLT
        sigaddset(&set, SIGSTKFLT);
#endif
#ifdef SIGPWR
        sigaddset(&set, SIGPWR);
#endif
#ifdef SIGEMT
        sigaddset(&set, SIGEMT);
#endif
#ifdef SIGLOST
        sigaddset(&set, SIGLOST);
#endif
        // The real-time signals that the C library leaves to programs end
        // the process too.
        for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
            sigaddset(&set, signal);
        return set;
    }();
    return signals;
}

// Removes the files, then ends the process by the signal itself, as it
// would have ended without the handler, so that the shell and other callers
// see which signal it was.
extern "C" void removeTemporaryAndExit(int signal)
{
    for (auto& temporary : g_temporaries) {
        if (const char* path = temporary.load())
            ::unlink(path);
    }
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
    const sigset_t& signals = handledSignals();
    struct sigaction action {};
    action.sa_handler = removeTemporaryAndExit;
    // While one signal removes the files, the others wait.
    action.sa_mask = signals;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&signals, signal) != 1)
            continue;
        // A signal the caller ignores stays ignored (nohup, a background
        // job): a write then fails with EPIPE or EFBIG instead, and the
        // run's error path removes the file. A handler already in place is
        // a sanitizer's, whose report of a fault matters more.
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) != 0 || inherited.sa_handler != SIG_DFL)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

void armInterruptCleanup(const char* temporaryPath)
{
    for (auto& temporary : g_temporaries) {
        const char* none = nullptr;
        if (temporary.compare_exchange_strong(none, temporaryPath))
            return;
    }
    // More files at once than the converter ever writes: a file that a
    // signal would leave behind is a fault to find at once.
    std::terminate();
}

void disarmInterruptCleanup(const char* temporaryPath)
{
    for (auto& temporary : g_temporaries) {
        const char* armed = temporaryPath;
        if (temporary.compare_exchange_strong(armed, nullptr))
            return;
    }
}

InterruptsHeld::InterruptsHeld() noexcept
{
    pthread_sigmask(SIG_BLOCK, &handledSignals(), &m_previous);
}

// A signal that came meanwhile is delivered here, with the handler seeing
// the names as they now stand.
InterruptsHeld::~InterruptsHeld()
{
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

} // namespace quarrow::cli
