#pragma once

namespace quarrow {

// The user's choice for reading CSV files and writing the script. ANSI is the
// legacy code page (Windows-1252 here).
enum class TextEncoding { Utf8, Ansi };

} // namespace quarrow
