#include "platform/windows/ConsoleProgram.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <memory>

namespace quarrow::windows {

namespace {

UINT g_consoleOutputCodePage = 0;

void restoreConsoleOutputCodePage()
{
    if (g_consoleOutputCodePage != 0)
        ::SetConsoleOutputCP(g_consoleOutputCodePage);
}

std::string toUtf8(const wchar_t* text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back(); // the terminating NUL
    return out;
}

} // namespace

std::vector<std::string> utf8Arguments()
{
    // https://learn.microsoft.com/windows/win32/api/shellapi/nf-shellapi-commandlinetoargvw:
    // splits the wide command line by the same rules as the C runtime; the
    // array is freed with LocalFree.
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> out;
    if (arguments == nullptr)
        return out;
    const std::unique_ptr<wchar_t*, decltype(&::LocalFree)> owner(arguments, &::LocalFree);
    for (int i = 0; i < count; ++i)
        out.push_back(toUtf8(arguments[i]));
    return out;
}

void prepareStandardStreams()
{
    // https://learn.microsoft.com/cpp/c-runtime-library/reference/setmode:
    // in text mode the runtime turns every LF written into CR LF.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    // https://learn.microsoft.com/windows/console/setconsoleoutputcp: the
    // code page belongs to the console, which outlives the program, so the
    // console's own is put back at exit.
    g_consoleOutputCodePage = ::GetConsoleOutputCP();
    if (g_consoleOutputCodePage != 0 && ::SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreConsoleOutputCodePage);
}

bool standardErrorIsConsole()
{
    // https://learn.microsoft.com/windows/console/getconsolemode: fails for
    // a handle that is not a console's.
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

} // namespace quarrow::windows
