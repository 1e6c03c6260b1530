#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace quarrow {

enum class FileAccess {
    Read,     // others may read too; nobody may write while it is open
    Replace,  // create, or empty an existing file
    CreateNew // create; fail with EEXIST when the name is taken
};

// Opens a file in binary mode. On failure returns nullptr with errno set.
std::FILE* openFile(const std::filesystem::path& path, FileAccess access);

using FileOpener = std::FILE* (*)(const std::filesystem::path& path, FileAccess access);

// Where the standard library cannot open every path (on Windows fopen takes
// ANSI names) or cannot say how a file is shared, the program installs its
// platform's opener once at start, before any thread opens files. nullptr
// goes back to the standard one.
void setFileOpener(FileOpener opener) noexcept;

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A path as UTF-8 for messages, whatever the platform's path encoding: on
// Windows the narrow form would be the ANSI code page, which cannot spell
// every name. Elsewhere these are the path's own bytes.
std::string pathText(const std::filesystem::path& path);

// The inverse, for paths that arrive as UTF-8 (command-line arguments).
std::filesystem::path pathFromUtf8(std::string_view text);

} // namespace quarrow
