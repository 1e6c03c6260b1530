#include "cli/InterruptCleanup.h"
#include "cli/QuarrowCli.h"

#include <iostream>

#ifdef _WIN32
#include "engine/files/FileOpen.h"
#include "platform/windows/ConsoleProgram.h"
#include "platform/windows/SystemCodePage.h"
#include "platform/windows/WindowsFiles.h"

#include <string>
#include <vector>
#else
#include <unistd.h>
#endif
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
#ifdef _WIN32
    (void)argc;
    (void)argv;
    quarrow::windows::prepareStandardStreams();
    quarrow::setFileOpener(quarrow::windows::openFile);
    const auto ansi = quarrow::windows::SystemCodePage::forSystem();
    quarrow::setAnsiCodePage(ansi.get());
    const std::vector<std::string> arguments = quarrow::windows::utf8Arguments();
    std::vector<const char*> pointers;
    for (const auto& argument : arguments)
        pointers.push_back(argument.c_str());
    return quarrow::cli::runQuarrowCli(static_cast<int>(pointers.size()), pointers.data(), std::cout, std::cerr,
                                       quarrow::windows::standardErrorIsConsole());
#else
    return quarrow::cli::runQuarrowCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
#endif
}
