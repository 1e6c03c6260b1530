#pragma once

#include "engine/sql/ScriptFormatter.h"

#include <cstdint>

namespace quarrow {

// Past this many rows a script that makes its database commit every row takes
// long enough to load (tens of seconds to minutes: docs/performance.md) that
// the window and the converter point at the options that load it fast.
inline constexpr std::uint64_t kSlowLoadRows = 10'000;

// Whether a script of `rows` rows written with `options` has one INSERT a row
// outside a transaction, so that every row is a commit of its own, and is long
// enough for that to matter. Access is left out: it runs one statement at a
// time whatever the options, and has no faster form to offer. So is Oracle:
// SQL*Plus does not commit after each statement unless told to (SET
// AUTOCOMMIT is OFF by default, SQL*Plus User's Guide and Reference), so its
// rows are not committed one by one.
bool loadsSlowly(const ScriptOptions& options, std::uint64_t rows) noexcept;

} // namespace quarrow
