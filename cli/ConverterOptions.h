#pragma once

#include "sql/ScriptFormatter.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quarrow::cli {

struct ConverterOptions {
    std::vector<std::filesystem::path> inputs;
    std::optional<std::filesystem::path> output; // standard output when empty
    ScriptOptions script; // also the reading options: encoding, header line, separator, exact quoting
    std::optional<std::filesystem::path> typesFile;
    bool quiet = false;
};

} // namespace quarrow::cli
