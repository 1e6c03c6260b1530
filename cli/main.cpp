#include "InterruptCleanup.h"
#include "QuarrowCli.h"

#include <iostream>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char** argv)
{
#if defined(__GLIBC__)
    // The buffers of a very long line (tens of MB) go to the system and
    // back. Left to itself, glibc raises its threshold after the first such
    // buffer is freed and serves the next ones from the heap, where freed
    // memory stays resident: several long lines then cost three times one.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
#endif
    std::ios::sync_with_stdio(false);
    quarrow::cli::installInterruptCleanup();
    return quarrow::cli::runQuarrowCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
