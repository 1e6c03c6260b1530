#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarrow {

using TypeList = std::vector<std::u16string>;

// A type-list file could not be read; what() names the file and the reason.
class TypeListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads one type per line. First as strict UTF-8 (a UTF-8 byte-order mark
// skipped); when that fails, again from the start: a byte-order mark (UTF-8,
// UTF-16 LE, UTF-16 BE) decides, otherwise the ANSI code page. Lines are not
// trimmed; an empty line is an empty type. Throws TypeListError.
TypeList LoadTypeListFile(const std::filesystem::path& path);

// Overwrites the leading entries of `target` with those of `source`; the
// length of `target` never changes.
void ApplyTypeList(const TypeList& source, TypeList& target);

// Writes the UTF-8 byte-order mark, then each type followed by CR LF.
// Throws OutputError.
void SaveTypeListFile(const std::filesystem::path& path, const TypeList& types);

} // namespace quarrow
