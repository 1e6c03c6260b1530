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

// The text that says which characters of a name `dialect` refuses and how
// they are written instead, e.g. "a double quote or NUL becomes _".
std::string refusedCharactersText(Dialect dialect);
// Whether `name` holds a character that `dialect` takes in no name.
bool hasRefusedCharacters(Dialect dialect, std::u16string_view name) noexcept;

// The column names as a script for `dialect` writes them: characters the
// database refuses in a name replaced by "_" (see refusedCharactersText()),
// MySQL's cut names never ending in a blank, each cut to the
// dialect's limit (never inside a character), then made unique again,
// ignoring ASCII letter case, by the first free suffix "_2", "_3", ...; the
// name is cut further where the suffix needs the room. A name within the
// limit that collides with nothing is kept as it is.
WrittenNames limitColumnNames(Dialect dialect, const std::vector<std::u16string>& names);

} // namespace quarrow
