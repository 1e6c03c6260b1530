// The Windows form of the converter's interrupt cleanup (cli/InterruptCleanup.h).
#include "cli/InterruptCleanup.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quarrow::cli {

namespace {

// The handler runs on a thread of its own while the converter may still be
// writing: the temporary file is opened with FILE_SHARE_DELETE so that it
// can be deleted now and disappears when the process ends. The name is
// read and changed under one lock, which InterruptsHeld keeps for a whole
// step (recursive: arming happens inside such a step).
std::recursive_mutex g_lock;
// The files to delete, each with the text that named it.
std::vector<std::pair<const char*, std::wstring>> g_temporaries;

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
        g_lock.lock(); // kept until the process ends
        for (const auto& temporary : g_temporaries)
            ::DeleteFileW(temporary.second.c_str());
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
    // The text is the converter's UTF-8 form of the name.
    std::wstring path = fromUtf8(temporaryPath);
    const std::lock_guard held(g_lock);
    g_temporaries.emplace_back(temporaryPath, std::move(path));
}

void disarmInterruptCleanup(const char* temporaryPath)
{
    const std::lock_guard held(g_lock);
    g_temporaries.erase(std::remove_if(g_temporaries.begin(), g_temporaries.end(),
                                       [&](const auto& temporary) { return temporary.first == temporaryPath; }),
                        g_temporaries.end());
}

InterruptsHeld::InterruptsHeld() noexcept
{
    g_lock.lock();
}

InterruptsHeld::~InterruptsHeld()
{
    g_lock.unlock();
}

} // namespace quarrow::cli
