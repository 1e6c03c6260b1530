#pragma once

#include "engine/csv/NullMarkers.h"

#include "engine/types/ValueForms.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// What every value of a column is, narrowest first. An integer column is
// also a decimal one, and a date column a date-time one; text holds anything.
enum class ValueKind : std::uint8_t { Integer, Decimal, Date, DateTime, Text };
inline constexpr std::size_t kNarrowKinds = 4; // every kind but text

std::string_view kindName(ValueKind kind) noexcept;

// The forms a column is also tried in when they were not chosen, so that a
// suggestion can say which would have typed it (bit k of
// ColumnProfile::alternativesHold is entry k).
inline constexpr std::array<ValueForms, 8> kAlternativeForms{{
    {DecimalMark::Comma, GroupMark::None, DateOrder::None},
    {DecimalMark::Comma, GroupMark::Point, DateOrder::None},
    {DecimalMark::Point, GroupMark::None, DateOrder::None},
    {DecimalMark::Point, GroupMark::Comma, DateOrder::None},
    {DecimalMark::None, GroupMark::None, DateOrder::Iso},
    {DecimalMark::None, GroupMark::None, DateOrder::Dmy},
    {DecimalMark::None, GroupMark::None, DateOrder::Mdy},
    {DecimalMark::None, GroupMark::None, DateOrder::Ymd},
}};
inline constexpr std::uint8_t kAllAlternatives = 0xFF;

// The alternatives left to try once `forms` are chosen: those of a kind
// (numbers, dates) not chosen.
std::uint8_t alternativesBeside(const ValueForms& forms) noexcept;

// A value that was read: its file (index into TableProfile::files), its
// line (1-based, of that file) and, where it tells something, the value
// itself, cut to a few dozen characters. line 0: no such value.
struct ValueSite {
    std::uint32_t file = 0;
    std::uint64_t line = 0;
    std::string value; // UTF-8

    explicit operator bool() const noexcept { return line != 0; }
    friend bool operator==(const ValueSite&, const ValueSite&) = default;
};

// Everything the typing of one column needs, in the same few bytes however
// many rows it has seen. Values are those the script writes: after field
// clean-up (double quotes dropped, blanks trimmed), or for records read
// exactly the fields' values as they stand (csv/ExactQuoting.h); missing
// fields of a short row are empty cells.
struct ColumnProfile {
    std::uint64_t nonEmpty = 0;
    std::uint64_t empty = 0;
    // Cells that are NULL markers (csv/NullMarkers.h): NULL whatever the
    // options, so they rule no kind out; counted apart from the others.
    std::uint64_t nullMarkers = 0;
    std::uint64_t maxChars = 0;      // code points
    std::uint64_t maxBytes = 0;      // in UTF-8
    std::uint64_t maxUtf16Units = 0; // what SQL Server's nvarchar(n) counts
    bool nonAscii = false;

    // holds[k]: every non-empty value so far fits kind k.
    std::array<bool, kNarrowKinds> holds{true, true, true, true};
    // The first non-empty value that did not fit each kind.
    std::array<ValueSite, kNarrowKinds> ruledOutBy;
    ValueSite firstEmpty; // line only

    // The figures of numbers and dates, kept while some narrow kind holds
    // (cleared when none does). Integers: the range while it fits 64 bits;
    // digits (without sign) of the longest integer part of an integer or a
    // decimal.
    std::int64_t minInteger = 0;
    std::int64_t maxInteger = 0;
    bool beyond64Bits = false;
    std::uint32_t integerDigits = 0;
    std::uint32_t scale = 0; // most digits after the point
    // Dates and date-times.
    int minYear = 9999;
    std::uint32_t fractionDigits = 0; // most digits of a second's fraction

    // Some value was a number or date only in the chosen forms.
    bool formed = false;
    // The forms not chosen (kAlternativeForms) in which every non-empty
    // value is a number, or every one a date, as it stands or in that form;
    // `alternativesUsed`: those some value needed. With the figures of the
    // values read so.
    std::uint8_t alternativesHold = kAllAlternatives;
    std::uint8_t alternativesUsed = 0;
    std::uint32_t alternativeIntegerDigits = 0;
    std::uint32_t alternativeScale = 0;
    int alternativeMinYear = 9999;
    std::uint32_t alternativeFractionDigits = 0;
    bool alternativeTime = false; // some date had a time of day

    // The narrowest kind that holds every value: empty cells are ignored
    // when they are written as NULL, and otherwise keep the column text,
    // since '' goes into no number or date. Text when there is no value.
    ValueKind kind(bool nullEmpty) const noexcept;

    // The value that kept the column from being narrower than kind(): the
    // empty cell, or the first value that the next narrower kind could not
    // hold. For text, whichever of numbers and dates lasted longer.
    const ValueSite* whyNotNarrower(bool nullEmpty) const noexcept;

    friend bool operator==(const ColumnProfile&, const ColumnProfile&) = default;
};

// A file's rows whose field count differs from the columns: extra fields
// are not written, missing ones are written empty.
struct FileShape {
    std::string name;
    std::uint64_t rows = 0; // rows of this file that are written
    std::uint64_t longRows = 0;
    std::uint64_t shortRows = 0;
    std::vector<std::uint64_t> firstLongLines; // at most kShapeLinesKept
    std::vector<std::uint64_t> firstShortLines;
    // Line breaks inside records read exactly (header included): the
    // physical lines beyond the first of each record.
    std::uint64_t spannedLines = 0;

    friend bool operator==(const FileShape&, const FileShape&) = default;
};
inline constexpr std::size_t kShapeLinesKept = 5;

struct TableProfile {
    std::vector<ColumnProfile> columns;
    std::vector<FileShape> files;
    std::uint64_t rows = 0;
    // The cells that each NULL marker stood in, by the marker's index.
    std::vector<std::uint64_t> nullMarkerCells{};
    ValueForms forms{}; // the forms values were read in besides their own

    std::uint64_t longRows() const noexcept;
    std::uint64_t shortRows() const noexcept;
    // "line 3 of a.csv"
    std::string where(const ValueSite& site) const;

    // Adds the profile of the rows that come next, as if the profiler had
    // gone on through them: a table profiled in consecutive parts, each by a
    // profiler of its own (see TableProfiler::resumeFile), and added up in
    // order gives exactly the profile of the whole. Both have the same
    // columns; `later` names its files by their index in this profile's.
    // Its line numbers are moved on past the lines that this profile's
    // records of the same file spanned (FileShape::spannedLines), which a
    // part cannot know.
    void append(const TableProfile& later);

    friend bool operator==(const TableProfile&, const TableProfile&) = default;
};

// Builds a TableProfile row by row. The window's workspace and the
// converter's streaming reader feed it the same way: startFile() for each
// file, then every line of it in order, skipLine() for a line that is not
// written (the header) and addRow() for the others. No allocation per row
// or cell once the first values that ruled a kind out are kept. With
// `exactQuoting` the rows are records read exactly, split and valued as the
// script writes them then.
class TableProfiler {
public:
    TableProfiler(std::size_t columns, char16_t separator, bool exactQuoting = false);

    // For a reader that learns the columns from the first line: sets them
    // before the first row. With `shapesOnly` only the field counts of the
    // rows are kept (TableProfile::files), for a reader that must not slow
    // down for values it does not type.
    void setColumns(std::size_t columns, bool shapesOnly = false);
    // Values are also read in these forms (types/ValueForms.h); before the
    // first row.
    void setValueForms(const ValueForms& forms);

    void startFile(std::string name);
    // Values that are NULL markers, before the first row; none by default.
    void setNullMarkers(std::shared_ptr<const NullMarkers> markers);
    // For a profiler that takes over in the middle of a table: the rows that
    // follow are those of file number `file` (from 0) after its first
    // `recordsBefore` lines, or records when they are read exactly; the
    // lines those records spanned are added by TableProfile::append(). The
    // files before it are left unnamed and empty.
    void resumeFile(std::size_t file, std::string name, std::uint64_t recordsBefore);
    // A line (or record) that is not written; a record read exactly is
    // needed for the lines it spans.
    void skipLine(std::u16string_view record = {});
    // Lines of the file that the reader left out before the next row
    // (LineSink::linesDropped): they count, so that sites keep the file's
    // line numbers. A profiler that resumes counts them in `recordsBefore`.
    void dropLines(std::uint64_t lines) { m_line += lines; }
    void skipUtf8Line(std::string_view record);
    void addRow(std::u16string_view line);
    // A row counted by its fields alone, for a profiler that keeps only the
    // shapes (a line too long to be held whole is counted in pieces): a
    // record read exactly tells how many line breaks it holds.
    void addShape(std::size_t fields, std::uint64_t lineBreaks = 0);
    // The line as valid UTF-8; only with an ASCII separator other than the
    // double quote and NUL (otherwise decode it and call addRow()).
    void addUtf8Row(std::string_view line);
    static bool takesUtf8(char16_t separator) noexcept;

    // The profile of the rows that follow, made by another profiler (see
    // TableProfile::append); its files must have been started here.
    void append(const TableProfile& later) { m_profile.append(later); }

    const TableProfile& profile() const noexcept { return m_profile; }
    TableProfile take() { return std::move(m_profile); }

private:
    template <typename Unit>
    void addRowOf(const Unit* begin, const Unit* end);
    // After a record read exactly: the physical lines it spanned.
    template <typename Unit>
    void endRecord(const Unit* begin, const Unit* end);
    void addSpannedLines(std::uint64_t lines);
    void beginRow();
    void recordFields(std::size_t fields);
    // `ascii`: the row, hence the value, holds only ASCII.
    template <typename Unit>
    void addValue(ColumnProfile& column, const Unit* begin, const Unit* end, bool ascii);
    template <typename Unit>
    void measureAndType(ColumnProfile& column, const Unit* begin, const Unit* end);
    // A field of a record read exactly, its quotes still in it.
    template <typename Unit>
    void addExactField(ColumnProfile& column, const Unit* begin, const Unit* end, bool ascii);
    // A value as it is written (trimmed or unquoted as its reading does).
    template <typename Unit>
    void addWrittenValue(ColumnProfile& column, const Unit* begin, const Unit* end, bool ascii);
    void addEmpty(ColumnProfile& column);
    // Counts the cell as a NULL marker when it is one.
    bool isNullMarker(ColumnProfile& column, std::optional<std::size_t> marker);
    void ruleOut(ColumnProfile& column, std::size_t kind, const std::string& sample);

    TableProfile m_profile;
    char16_t m_separator;
    bool m_exact;
    ValueForms m_forms;
    std::size_t m_columns = 0;
    bool m_shapesOnly = false;
    std::uint64_t m_line = 0;
    // The value of a quoted field read exactly, its quotes resolved.
    std::vector<unsigned char> m_exactBytes;
    std::vector<char16_t> m_exactText;
    std::shared_ptr<const NullMarkers> m_markers;
};

} // namespace quarrow
