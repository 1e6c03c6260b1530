// The Windows form of the converter's output target (cli/OutputFile.h).
#include "cli/OutputFile.h"

#include "cli/InterruptCleanup.h"
#include "engine/files/FileOpen.h"
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

// The attributes a replacement takes over from the file it replaces, as
// the POSIX form takes over the mode. Read-only is not among them: such a
// file refuses to be replaced, and says so.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

} // namespace

OutputFile::OutputFile(const std::filesystem::path& path, const char* inPlaceAdvice) : m_target(path)
{
    // A file that cannot be replaced is refused with the system's reason alone.
    (void)inPlaceAdvice;
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
            break;
        } catch (const OutputError& e) {
            m_temporary.clear();
            if (e.error() != EEXIST || attempt > 100)
                throw OutputError(path, "Cannot create", e.error());
        }
    }
    // MoveFileExW gives the old name the new file's attributes: the new file
    // takes the old one's now. (ReplaceFileW would keep them itself, but
    // where the old file cannot be replaced it may leave a backup copy of
    // its own beside it.)
    if (node == Node::File) {
        const DWORD old = ::GetFileAttributesW(windows::extendedLengthPath(path).c_str());
        if (old != INVALID_FILE_ATTRIBUTES && (old & kKeptAttributes) != 0
            && !::SetFileAttributesW(windows::extendedLengthPath(m_temporary).c_str(), old & kKeptAttributes)) {
            const int error = windows::errnoFromWin32(::GetLastError());
            discardTemporary();
            throw OutputError(path, "Cannot keep the attributes of", error);
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
    disarmInterruptCleanup(m_temporaryText.c_str());
}

void OutputFile::close()
{
    if (m_closed)
        return;
    m_sink->close();
    m_closed = true;
}

void OutputFile::commit()
{
    close();
    if (m_temporary.empty())
        return;
    const InterruptsHeld held;
    const std::error_code ec = windows::replaceFile(m_temporary, m_target);
    if (ec)
        throw OutputError(m_target, "Cannot replace", ec.value());
    disarmInterruptCleanup(m_temporaryText.c_str());
    m_committed = true;
}

} // namespace quarrow::cli
