#pragma once

#include "cli/QuarrowCli.h"
#include "engine/files/FileOpen.h"
#include "platform/windows/WindowsFiles.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow::test::windows {

inline void writeBytes(const std::filesystem::path& path, std::string_view bytes)
{
    FilePtr file(quarrow::windows::openFile(path, FileAccess::Replace));
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        throw std::runtime_error("cannot write " + pathText(path));
}

inline std::string readBytes(const std::filesystem::path& path)
{
    FilePtr file(quarrow::windows::openFile(path, FileAccess::Read));
    if (!file)
        throw std::runtime_error("cannot read " + pathText(path));
    std::string bytes;
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get()))
        bytes.append(buffer, got);
    return bytes;
}

// Another program's handle on a file, opened for writing the way an editor
// or a spreadsheet that keeps the file open does.
class WritingHandle {
public:
    explicit WritingHandle(const std::filesystem::path& path, DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE)
        : m_handle(::CreateFileW(quarrow::windows::extendedLengthPath(path).c_str(), GENERIC_WRITE, share, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~WritingHandle()
    {
        if (isOpen())
            ::CloseHandle(m_handle);
    }
    WritingHandle(const WritingHandle&) = delete;
    WritingHandle& operator=(const WritingHandle&) = delete;

    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// The converter run in-process, as quarrow-cli.exe runs it.
inline int runCli(const std::vector<std::string>& args, std::string& out, std::string& err)
{
    std::vector<const char*> argv{"quarrow-cli"};
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::ostringstream o;
    std::ostringstream e;
    const int status = cli::runQuarrowCli(static_cast<int>(argv.size()), argv.data(), o, e, false);
    out = o.str();
    err = e.str();
    return status;
}

// The names in a folder, sorted; through the wide API because the standard
// library's directory listing does not take the "\\?\" form.
inline std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    const std::wstring pattern = quarrow::windows::extendedLengthPath(folder).native() + L"\\*";
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot list " + pathText(folder));
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(pathText(name));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

struct ProgramRun {
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

// Runs a program with a wide command line, its standard output and error
// going to files, and waits for it.
inline ProgramRun runProgram(const std::wstring& commandLine, const std::filesystem::path& folder)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto outPath = folder / L"stdout.bin";
    const auto errPath = folder / L"stderr.txt";
    HANDLE out = ::CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE err = ::CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    const BOOL started =
        ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(out);
    ::CloseHandle(err);
    if (!started)
        throw std::runtime_error("cannot start the program, error " + std::to_string(::GetLastError()));
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ProgramRun run;
    ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    run.out = readBytes(outPath);
    run.err = readBytes(errPath);
    return run;
}

inline std::wstring quoted(const std::filesystem::path& path)
{
    return L"\"" + path.native() + L"\"";
}

// A file of the build tree as Wine names it: the build machine's root is
// drive Z: in every new prefix.
inline std::filesystem::path buildFile(std::string_view unixPath)
{
    return std::filesystem::path(L"Z:" + std::wstring(unixPath.begin(), unixPath.end())).make_preferred();
}

// The converter built beside the tests.
inline std::filesystem::path converterProgram()
{
    return buildFile(QUARROW_CLI_BINARY_PATH);
}

} // namespace quarrow::test::windows
