#pragma once

#include "engine/files/FileOpen.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace quarrow::windows {

// The engine's file opener on Windows (see setFileOpener()): wide paths, and
// the sharing rules of the CSV reader: a file is read while others may read
// it too, the open fails when another program already has it open for
// writing, and nobody can open it for writing while it is read.
std::FILE* openFile(const std::filesystem::path& path, FileAccess access);

// An absolute path too long for the classic Win32 limit, in the "\\?\" form
// that lifts it; other paths as they are.
std::filesystem::path extendedLengthPath(const std::filesystem::path& path);

// Moves `from` over `to`, replacing a file that is there: the last step of
// writing a file through a temporary one.
std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// errno for a Win32 error code, so that failures read as they do elsewhere.
int errnoFromWin32(unsigned long error);

} // namespace quarrow::windows
