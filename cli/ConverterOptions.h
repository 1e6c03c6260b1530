#pragma once

#include "cli/ShapeReport.h"
#include "engine/sql/ScriptFormatter.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quarrow::cli {

struct ConverterOptions {
    std::vector<std::filesystem::path> inputs; // as named on the command line, and in messages
    // Where each input is read from when that differs from its name
    // (standard input, a copy of a pipe); empty: from the names.
    std::vector<std::filesystem::path> sources;
    std::optional<std::filesystem::path> output; // standard output when empty
    ScriptOptions script; // also the reading options: encoding, header line, separator, exact quoting
    std::optional<std::filesystem::path> typesFile;
    // A profile's column types: under the type-list file's, replaced by the
    // suggested ones.
    std::optional<std::vector<std::u16string>> profileTypes;
    // Where to write the run's settings and column types once the script is done.
    std::optional<std::filesystem::path> saveProfile;
    bool quiet = false;
    // Settings taken from the first input's shape before reading it.
    DetectedSettings detect;
    // Read the inputs once more before writing: to type the columns from
    // their values, to explain the types on the error stream, to refuse rows
    // whose field count differs from the columns.
    bool suggestTypes = false;
    bool explain = false;
    bool strict = false;

    const std::vector<std::filesystem::path>& readFrom() const noexcept { return sources.empty() ? inputs : sources; }
};

} // namespace quarrow::cli
