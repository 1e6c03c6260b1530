#pragma once

#ifndef _WIN32
#include <csignal>
#endif

namespace quarrow::cli {

// A run stopped by Ctrl-C, a termination signal, a file size limit or a
// closed pipe must not leave its half-written temporary file behind. The
// converter names the file while it writes it; the signal handler removes it
// and ends the process by the same signal. Signals that the converter was
// started with ignored stay ignored.
void installInterruptCleanup();
void armInterruptCleanup(const char* temporaryPath);
void disarmInterruptCleanup();

// Holds back the signals that the clean-up handles, on the calling thread,
// for the life of the object: creating the temporary file and naming it to
// the handler (or renaming or removing it and taking the name back) then
// happen as one step, so no signal finds the file made but not yet named.
// The converter does this before it starts its other threads, so a signal
// sent to the process waits for this thread. On Windows the console's
// handler runs on a thread of its own and waits for the object instead.
class InterruptsHeld {
public:
    InterruptsHeld() noexcept;
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
#ifndef _WIN32
    sigset_t m_previous;
#endif
};

} // namespace quarrow::cli
