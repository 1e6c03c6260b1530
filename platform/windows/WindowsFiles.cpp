#include "platform/windows/WindowsFiles.h"

#include <windows.h>

#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace quarrow::windows {

namespace {

constexpr std::size_t kClassicPathLimit = MAX_PATH;

} // namespace

int errnoFromWin32(unsigned long error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY: return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
    }
}

std::filesystem::path extendedLengthPath(const std::filesystem::path& path)
{
    // https://learn.microsoft.com/windows/win32/fileio/maximum-file-path-limitation:
    // a name beyond MAX_PATH is accepted by the wide file functions when it
    // starts with "\\?\" ("\\?\UNC\" for a share); such a name is passed on
    // unparsed, so it must be absolute and use backslashes only, with no "."
    // or ".." left in it.
    const std::wstring& native = path.native();
    if (native.size() < kClassicPathLimit - 12 || native.starts_with(LR"(\\?\)"))
        return path;
    // A share's name (\\server\share\...) is absolute as it stands; the
    // standard library's normalising does not keep its two backslashes.
    if (native.starts_with(LR"(\\)")) {
        const std::filesystem::path rest(native.substr(2));
        return LR"(\\?\UNC\)" + rest.lexically_normal().make_preferred().native();
    }
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    if (ec)
        return path;
    const std::wstring text = full.lexically_normal().make_preferred().native();
    if (text.size() < kClassicPathLimit - 12)
        return text;
    return LR"(\\?\)" + text;
}

std::FILE* openFile(const std::filesystem::path& path, FileAccess access)
{
    // https://learn.microsoft.com/windows/win32/api/fileapi/nf-fileapi-createfilew:
    // a share mode without FILE_SHARE_WRITE fails the open with
    // ERROR_SHARING_VIOLATION when another handle already has write access,
    // and keeps later opens for writing out while this handle is open.
    DWORD desired = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    int flags = _O_RDONLY | _O_BINARY;
    const wchar_t* mode = L"rb";
    if (access != FileAccess::Read) {
        desired = GENERIC_WRITE;
        disposition = access == FileAccess::CreateNew ? CREATE_NEW : CREATE_ALWAYS;
        flags = _O_WRONLY | _O_BINARY;
        mode = L"wb";
    }
    const std::filesystem::path name = extendedLengthPath(path);
    // A new file is the converter's temporary one, which its Ctrl-C handler
    // deletes while another thread may still be writing it.
    const DWORD share = FILE_SHARE_READ | (access == FileAccess::CreateNew ? FILE_SHARE_DELETE : 0);
    HANDLE handle = ::CreateFileW(name.c_str(), desired, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoFromWin32(::GetLastError());
        return nullptr;
    }
    // The handle becomes a C runtime descriptor and then a stream, each
    // owning the one before on success
    // (https://learn.microsoft.com/cpp/c-runtime-library/reference/open-osfhandle).
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (descriptor == -1) {
        ::CloseHandle(handle);
        errno = EMFILE;
        return nullptr;
    }
    std::FILE* file = ::_wfdopen(descriptor, mode);
    if (file == nullptr) {
        const int error = errno;
        ::_close(descriptor);
        errno = error != 0 ? error : EMFILE;
    }
    return file;
}

std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to)
{
    // https://learn.microsoft.com/windows/win32/api/winbase/nf-winbase-movefileexw:
    // MOVEFILE_REPLACE_EXISTING replaces an existing file (not a folder);
    // MOVEFILE_WRITE_THROUGH returns only once the move is on the disk.
    if (::MoveFileExW(extendedLengthPath(from).c_str(), extendedLengthPath(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return {errnoFromWin32(::GetLastError()), std::generic_category()};
}

} // namespace quarrow::windows
