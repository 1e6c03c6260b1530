#include "engine/files/FileOpen.h"

#include <atomic>
#include <cerrno>
#include <system_error>
#include <type_traits>

namespace quarrow {

namespace {

// A template so that only the branch for the platform's path type is compiled.
template <typename Path>
std::FILE* openNarrow(const Path& path, const char* mode)
{
    if constexpr (std::is_same_v<typename Path::value_type, char>) {
        return std::fopen(path.c_str(), mode);
    } else {
        try {
            return std::fopen(path.string().c_str(), mode);
        } catch (const std::system_error&) {
            errno = EILSEQ; // the narrow code page cannot spell the name
            return nullptr;
        }
    }
}

// The standard library gives no sharing rules: a file another program
// writes is read all the same.
std::FILE* standardOpen(const std::filesystem::path& path, FileAccess access)
{
    return openNarrow(path, access == FileAccess::Read ? "rb" : access == FileAccess::Replace ? "wb" : "wbx");
}

std::atomic<FileOpener> g_opener{standardOpen};

} // namespace

std::FILE* openFile(const std::filesystem::path& path, FileAccess access)
{
    errno = 0;
    return g_opener.load(std::memory_order_acquire)(path, access);
}

void setFileOpener(FileOpener opener) noexcept
{
    g_opener.store(opener != nullptr ? opener : standardOpen, std::memory_order_release);
}

std::string pathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::filesystem::path pathFromUtf8(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace quarrow
