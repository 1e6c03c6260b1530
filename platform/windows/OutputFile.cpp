// The Windows form of the converter's output target (cli/OutputFile.h).
#include "OutputFile.h"

#include "InterruptCleanup.h"
#include "files/FileOpen.h"
#include "platform/windows/WindowsFiles.h"

#include <windows.h>

#include <cerrno>
#include <random>
#include <sstream>

namespace quarrow::cli {

namespace {

enum class Node { Missing, File, Folder, Device };

// What the name leads to now, asked of the object itself as stat() would:
// GetFileType tells a file on a disk from a character device (NUL, CON, a
// serial port) or a pipe, whatever the name's spelling.
Node nodeAt(const std::filesystem::path& path)
{
    // https://learn.microsoft.com/windows/win32/api/fileapi/nf-fileapi-createfilew:
    // no access asked, only the attributes; FILE_FLAG_BACKUP_SEMANTICS opens
    // a folder too.
    HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    // Not there, a folder on the way missing, or a file open without
    // sharing: the creation that follows says why.
    if (handle == INVALID_HANDLE_VALUE)
        return Node::Missing;
    Node node = Node::File;
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        node = Node::Device;
    } else {
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            node = Node::Folder;
    }
    ::CloseHandle(handle);
    return node;
}

// Moves the finished temporary file into place. An existing file is
// replaced with ReplaceFileW, which keeps its attributes (hidden, read by
// an index...), its security and its creation time; a new name, or a file
// system that cannot do that, gets the temporary file as it is.
std::error_code moveIntoPlace(const std::filesystem::path& temporary, const std::filesystem::path& target)
{
    const std::filesystem::path from = windows::extendedLengthPath(temporary);
    const std::filesystem::path to = windows::extendedLengthPath(target);
    // https://learn.microsoft.com/windows/win32/api/winbase/nf-winbase-replacefilew:
    // it fails with ERROR_FILE_NOT_FOUND for a new name; on every failure
    // the replacement keeps its own name, so MoveFileExW can still move it
    // and say why it cannot.
    if (::ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return {};
    return windows::replaceFile(temporary, target);
}

} // namespace

OutputFile::OutputFile(const std::filesystem::path& path) : m_target(path)
{
    const Node node = nodeAt(windows::extendedLengthPath(path));
    if (node == Node::Folder)
        throw OutputError(path, "Cannot create", EISDIR);
    if (node == Node::Device) {
        m_sink.emplace(path, FileSink::Mode::Replace);
        return;
    }

    // A new, uniquely named file beside the target, created and named to the
    // Ctrl-C handler as one step.
    std::filesystem::path folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0;; ++attempt) {
        std::ostringstream suffix;
        suffix << '.' << std::hex << random() << ".tmp";
        std::filesystem::path name(".");
        name += path.filename();
        name += suffix.str();
        m_temporary = folder / name;
        const InterruptsHeld held;
        try {
            m_sink.emplace(m_temporary, FileSink::Mode::Exclusive);
            m_temporaryText = pathText(m_temporary);
            armInterruptCleanup(m_temporaryText.c_str());
            return;
        } catch (const OutputError& e) {
            m_temporary.clear();
            if (e.error() != EEXIST || attempt > 100)
                throw OutputError(path, "Cannot create", e.error());
        }
    }
}

OutputFile::~OutputFile()
{
    if (!m_temporary.empty() && !m_committed)
        discardTemporary();
}

void OutputFile::discardTemporary() noexcept
{
    const InterruptsHeld held;
    m_sink.reset();
    std::error_code ignored;
    std::filesystem::remove(windows::extendedLengthPath(m_temporary), ignored);
    disarmInterruptCleanup();
}

void OutputFile::commit()
{
    m_sink->close();
    if (m_temporary.empty())
        return;
    const InterruptsHeld held;
    const std::error_code ec = moveIntoPlace(m_temporary, m_target);
    if (ec)
        throw OutputError(m_target, "Cannot replace", ec.value());
    disarmInterruptCleanup();
    m_committed = true;
}

} // namespace quarrow::cli
