#include "InterruptCleanup.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace quarrow::cli {

namespace {

// Only async-signal-safe work in the handler: an atomic load, unlink, _exit.
std::atomic<const char*> g_temporary{nullptr};

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
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void armInterruptCleanup(const char* temporaryPath) { g_temporary.store(temporaryPath); }

void disarmInterruptCleanup() { g_temporary.store(nullptr); }

} // namespace quarrow::cli
