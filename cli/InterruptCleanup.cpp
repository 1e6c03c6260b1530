#include "cli/InterruptCleanup.h"

#include <atomic>
#include <csignal>
#include <pthread.h>
#include <unistd.h>

namespace quarrow::cli {

namespace {

// Only async-signal-safe work in the handler: an atomic load, unlink, _exit.
std::atomic<const char*> g_temporary{nullptr};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removeTemporaryAndExit(int signal)
{
    if (const char* path = g_temporary.load())
        ::unlink(path);
    ::_exit(128 + signal);
}

} // namespace

void installInterruptCleanup()
{
    struct sigaction action {};
    action.sa_handler = removeTemporaryAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
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
