#pragma once

#include "cli/InputSources.h"
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
    std::vector<InputSource> sources;
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

    std::vector<InputSource> readFrom() const
    {
        if (!sources.empty())
            return sources;
        std::vector<InputSource> named;
        for (const auto& input : inputs)
            named.push_back({input, -1, -1});
        return named;
    }
};

} // namespace quarrow::cli
