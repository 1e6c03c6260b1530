#pragma once

namespace quarrow::cli {

// A run stopped by Ctrl-C or a termination signal must not leave its
// half-written temporary file behind. The converter names the file while it
// writes it; the signal handler removes it and ends the process.
void installInterruptCleanup();
void armInterruptCleanup(const char* temporaryPath);
void disarmInterruptCleanup();

} // namespace quarrow::cli
