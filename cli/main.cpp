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
    // Buffers of 1 MiB and more (a long line's, tens of MB) come from the
    // system and go back to it when freed. Left to itself, glibc raises this
    // threshold after the first such buffer is freed and serves the next
    // ones from the heap, where freed memory stays resident: several long
    // lines then cost three times one. The batch buffers that are reused
    // for the whole run are about this size.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    std::ios::sync_with_stdio(false);
    quarrow::cli::installInterruptCleanup();
    return quarrow::cli::runQuarrowCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
