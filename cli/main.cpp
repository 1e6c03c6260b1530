#include "InterruptCleanup.h"
#include "QuarrowCli.h"

#include <iostream>

#ifdef _WIN32
#include "files/FileOpen.h"
#include "platform/windows/ConsoleProgram.h"
#include "platform/windows/SystemCodePage.h"
#include "platform/windows/WindowsFiles.h"

#include <string>
#include <vector>
#else
#include <unistd.h>
#endif

int main(int argc, char** argv)
{
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
