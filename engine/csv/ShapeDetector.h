#pragma once

#include "engine/text/TextEncoding.h"
#include "engine/types/ValueForms.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quarrow {

// How much of a file the detector reads: the lines that start in it.
inline constexpr std::size_t kShapeSampleBytes = std::size_t{64} << 10;

// One proposal. No value: the sample does not decide, and the current
// setting should stay. The evidence says why, in a sentence (UTF-8).
template <typename T>
struct ShapeChoice {
    std::optional<T> value;
    std::string evidence;

    T valueOr(T current) const { return value.value_or(current); }
};

// The settings a CSV file seems to need, from the start of the file.
struct CsvShape {
    // Among comma, semicolon, Tab, pipe and the current separator: the one
    // that gives the most lines the same field count (of at least two
    // fields), quotes respected; more fields break a tie, and a tie in both
    // decides nothing.
    ShapeChoice<char16_t> separator;
    // Yes when line 1 differs in kind from the lines below (text over
    // numbers, dates, true/false) and repeats no name; no when it holds the
    // same kind of values; undecided when every column holds text.
    ShapeChoice<bool> headerLine;
    // A byte-order mark, else strict UTF-8 over the sample: UTF-8 when it
    // holds non-ASCII text and all of it is valid, ANSI when some is not.
    ShapeChoice<TextEncoding> encoding;
    // Yes when a quoted field holds the separator or a line break, which
    // only exact quoting keeps whole.
    ShapeChoice<bool> exactQuoting;
    // How numbers and dates are written (csv/FormDetector.h): the decimal
    // and group marks (no date order in it), and the date order.
    ShapeChoice<ValueForms> numberForm;
    ShapeChoice<DateOrder> dateOrder;
    std::size_t lines = 0; // records in the sample (one may span lines)
};

// Judges a sample: the file's first bytes. `complete` tells that it is the
// whole file; otherwise the sample ends where a line ends, and a last record
// cut off inside quotes is left out. `currentSeparator` is also tried, and
// splits the lines for the other proposals when the separator stays
// undecided.
CsvShape detectCsvShape(std::string_view sample, bool complete, char16_t currentSeparator = u',');

// The file could not be read; what() names it and the system's reason.
class ShapeReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the lines that start in the file's first `sampleBytes` bytes and
// judges them. Throws ShapeReadError.
CsvShape detectCsvShapeOfFile(const std::filesystem::path& path, char16_t currentSeparator = u',',
                              std::size_t sampleBytes = kShapeSampleBytes);

// A separator as the evidence names it: ';' or Tab.
std::string separatorName(char16_t separator);

} // namespace quarrow
