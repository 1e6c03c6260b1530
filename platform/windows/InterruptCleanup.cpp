// The Windows form of the converter's interrupt cleanup (cli/InterruptCleanup.h).
#include "InterruptCleanup.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace quarrow::cli {

namespace {

// The handler runs on a thread of its own while the converter may still be
// writing: the temporary file is opened with FILE_SHARE_DELETE so that it
// can be deleted now and disappears when the process ends.
std::wstring g_paths[2];
std::atomic<const wchar_t*> g_temporary{nullptr};
unsigned g_next = 0;

std::wstring fromUtf8(const char* text)
{
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (size <= 1)
        return {};
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
    out.pop_back();
    return out;
}

BOOL WINAPI removeTemporaryAndExit(DWORD event)
{
    // https://learn.microsoft.com/windows/console/handlerroutine: Ctrl-C,
    // Ctrl-Break and closing the console window end the process unless the
    // handler returns TRUE; the closing events only give it a short while.
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        if (const wchar_t* path = g_temporary.load())
            ::DeleteFileW(path);
        ::ExitProcess(STATUS_CONTROL_C_EXIT);
    default: return FALSE;
    }
}

} // namespace

void installInterruptCleanup()
{
    // https://learn.microsoft.com/windows/console/setconsolectrlhandler
    ::SetConsoleCtrlHandler(removeTemporaryAndExit, TRUE);
}

void armInterruptCleanup(const char* temporaryPath)
{
    // Two slots, so that the text the handler may be reading is never the
    // one being replaced.
    std::wstring& slot = g_paths[g_next++ % 2];
    slot = fromUtf8(temporaryPath);
    g_temporary.store(slot.c_str());
}

void disarmInterruptCleanup()
{
    g_temporary.store(nullptr);
}

} // namespace quarrow::cli
