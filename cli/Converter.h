#pragma once

#include "cli/ConverterOptions.h"

#include <ostream>

namespace quarrow::cli {

// Exit statuses of the converter.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Loads the inputs in order as one workspace would and writes the script,
// streaming: lines are read on one thread and formatted and written on the
// other, so memory stays flat whatever the input size. The script goes to
// `out` unless an output path is set; then it goes where OutputFile says: a
// regular file is written beside its target and renamed into place only
// when complete, a FIFO or device directly. Messages go to `err`.
// `progress` shows bytes read and the rate on `err` once the work takes more
// than a second.
int convert(const ConverterOptions& options, std::ostream& out, std::ostream& err, bool progress);

} // namespace quarrow::cli
