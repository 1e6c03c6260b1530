#pragma once

#include "engine/workspace/Dialect.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// How a database measures the length of a column name.
enum class NameUnit {
    None,       // no limit
    CodePoints, // characters
    Utf16Units, // characters of a UTF-16 text: a pair beyond U+FFFF counts two
    Utf8Bytes,  // bytes of the name in UTF-8
};

struct NameLimit {
    NameUnit unit;
    std::size_t max;
};

NameLimit columnNameLimit(Dialect dialect) noexcept;

// The length of `name` in `unit`.
std::size_t nameLength(std::u16string_view name, NameUnit unit) noexcept;

struct RenamedColumn {
    std::size_t column;
    std::u16string from; // as given
    std::u16string to;   // as written
};

struct WrittenNames {
    std::vector<std::u16string> names;
    std::vector<RenamedColumn> renamed; // in column order
};

// The column names as a script for `dialect` writes them: each cut to the
// dialect's limit (never inside a character), then made unique again,
// ignoring ASCII letter case, by the first free suffix "_2", "_3", ...; the
// name is cut further where the suffix needs the room. A name within the
// limit that collides with nothing is kept as it is.
WrittenNames limitColumnNames(Dialect dialect, const std::vector<std::u16string>& names);

} // namespace quarrow
