#pragma once

#ifndef _WIN32
#include <csignal>
#endif

namespace quarrow::cli {

// A run stopped by a signal must not leave its half-written temporary files
// behind: Ctrl-C, a termination signal, a file size limit, a closed pipe,
// a timer or a user signal nobody expects, a fault. The converter names each
// file while it writes it; the signal handler removes them and ends the
// process by the same signal. It takes every signal whose default action
// ends the process and that can be caught (signal(7): Term and Core); a
// signal the converter was started with ignored stays ignored, and one that
// already has a handler (a sanitizer's) keeps it.
void installInterruptCleanup();
// Names a file to remove, until disarmed; a few at once (the script and
// the profile). The text must live until then.
void armInterruptCleanup(const char* temporaryPath);
void disarmInterruptCleanup(const char* temporaryPath);

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
