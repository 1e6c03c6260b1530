#pragma once

#include "engine/csv/NullMarkers.h"
#include "engine/sql/FormedItems.h"
#include "engine/sql/OutBuffer.h"
#include "engine/text/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// PostgreSQL's bulk form of a script: after the CREATE TABLE, one
// COPY table (columns) FROM stdin; the rows as data lines in COPY's text
// format, and a line \. that ends them. psql sends the lines that follow the
// statement in the script to the server (psql, "COPY ... FROM STDIN"); other
// clients may not, which is why this form is the user's choice.
//
// The text format (PostgreSQL documentation, COPY, "Text Format"): columns
// are separated by a tab, \N stands for NULL, and a backslash, tab, line feed
// and carriage return in a value are written \\, \t, \n and \r; every other
// character stands for itself, in the client's encoding, which is the
// script's. A data line may end in CR LF like the rest of the script, as
// long as every line does.

// "COPY table (columns) FROM stdin;" with CR LF, from the INSERT header line
// of the same table and columns (already in the output encoding).
std::string copyStatement(std::string_view insertHeader);

// The line that ends the data, CR LF included.
inline constexpr std::string_view kCopyEnd = "\\.\r\n";

// Writes rows as data lines, each with its CR LF: the values the INSERT
// forms would write for the same row (clean-up or exact reading alike), NULL
// for an empty value with `nullEmpty`, missing fields empty, fields beyond
// the columns dropped.
class CopyRowWriter {
public:
    CopyRowWriter(TextEncoding encoding, char16_t separator, bool exactQuoting, bool nullEmpty, std::size_t columns);

    // Returns the row's field count, those beyond the columns included, as
    // ScriptFormatter::appendRow does; nothing for a record read exactly.
    // `formed`, when given, writes the values in a chosen form plain.
    std::optional<std::size_t> append(OutBuffer& out, std::u16string_view row, std::uint64_t& substituted,
                                      items::FormedItems* formed = nullptr);

    // Values that are NULL markers are written \N.
    void setNullMarkers(std::shared_ptr<const NullMarkers> markers) { m_markers = std::move(markers); }

private:
    char* writeValue(char* o, std::u16string_view value, std::uint64_t& substituted) const;

    TextEncoding m_encoding;
    char16_t m_separator;
    bool m_exactQuoting;
    bool m_nullEmpty;
    std::size_t m_columns;
    std::u16string m_value; // the value being put together, reused
    std::shared_ptr<const NullMarkers> m_markers;
};

} // namespace quarrow
