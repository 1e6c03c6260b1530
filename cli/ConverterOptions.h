#pragma once

#include "text/TextEncoding.h"
#include "workspace/Dialect.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quarrow::cli {

struct ConverterOptions {
    std::vector<std::filesystem::path> inputs;
    std::optional<std::filesystem::path> output; // standard output when empty
    Dialect dialect = Dialect::MySql;
    std::u16string tableName = u"NEW_TABLE";
    char16_t separator = u',';
    bool headerLine = false;
    TextEncoding encoding = TextEncoding::Utf8;
    bool nullEmpty = false;
    bool multiRow = false;
    std::optional<std::filesystem::path> typesFile;
    bool quiet = false;
};

} // namespace quarrow::cli
