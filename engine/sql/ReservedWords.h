#pragma once

#include "engine/workspace/Dialect.h"

#include <string_view>

namespace quarrow {

// Whether a bare identifier spelled `word` would be taken as a reserved word by
// the dialect's SQL, so that it has to be written in quotes there. Letters are
// compared without regard to ASCII case; a word holding any character above
// U+007F is never reserved. MySQL, SQL Server and Access scripts quote every
// name, so nothing is reserved for them.
bool isReservedWord(Dialect dialect, std::u16string_view word) noexcept;

} // namespace quarrow
