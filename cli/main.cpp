#include "InterruptCleanup.h"
#include "QuarrowCli.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    quarrow::cli::installInterruptCleanup();
    return quarrow::cli::runQuarrowCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
