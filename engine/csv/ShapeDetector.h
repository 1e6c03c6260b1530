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
    // fields), quotes respected. Where two give the same share of lines, the
    // one that keeps numbers whole ("1,5" under ';') wins, then the one that
    // leaves no blank at the start of fields (", " inside values under Tab);
    // else nothing is decided.
    ShapeChoice<char16_t> separator;
    // Yes when the table's first line differs in kind from the lines below
    // (text over numbers, dates, true/false; a run of years over other
    // numbers) and repeats no name, or when every column holds text and the
    // line is plainly names: distinct, none of them again below, and shaped
    // unlike the values (case, digits, marks) in most columns. No when it
    // holds the same kind of values, or repeats a name over text only.
    // Undecided otherwise.
    ShapeChoice<bool> headerLine;
    // A UTF-8 byte-order mark, else strict UTF-8 over the sample: UTF-8 when
    // it holds non-ASCII text and all of it is valid, ANSI when some is not.
    // A UTF-16 mark decides nothing (it is read as UTF-16 whatever the
    // setting); the other proposals judge the text it gives.
    ShapeChoice<TextEncoding> encoding;
    // Yes when a quoted field holds the separator or a line break, which
    // only exact quoting keeps whole, or when a value holds a double quote (a
    // doubled one, or one inside an unquoted field), which the default
    // reading drops.
    ShapeChoice<bool> exactQuoting;
    // Lines at the top that are not of the table's shape: a title or a `#`
    // comment, one field over a table of several. The value is how many
    // lines come before the table (blank ones too); the other proposals
    // are judged on the lines after them. No value and no evidence where
    // the table starts on line 1.
    ShapeChoice<std::size_t> linesAbove;
    // How numbers and dates are written (csv/FormDetector.h): the decimal
    // and group marks (no date order in it), and the date order.
    ShapeChoice<ValueForms> numberForm;
    ShapeChoice<DateOrder> dateOrder;
    std::size_t lines = 0; // records in the sample (one may span lines)
};

// Judges a sample: the file's first bytes. `complete` tells that it is the
// whole file; otherwise the lines that start in it are judged (the sample is
// cut after its last line break), and a last record cut off inside quotes is
// left out. `currentSeparator` is also tried, and
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

// The same for a file's first bytes read by the caller (from a file that
// cannot be opened by name): at most `sampleBytes` + 1 of them, where more
// than `sampleBytes` tells that the file goes on.
CsvShape detectCsvShapeOfStart(std::string start, char16_t currentSeparator = u',',
                               std::size_t sampleBytes = kShapeSampleBytes);

// A separator as the evidence names it: ';' or Tab.
std::string separatorName(char16_t separator);

} // namespace quarrow
