#pragma once

#include "engine/sql/ByteSink.h"
#include "engine/sql/OutBuffer.h"
#include "engine/sql/ScriptFormatter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarrow {

// Rows formatted back to back by a ScriptFormatter, with the offset at which
// each row's bytes begin. Bytes before the first row (the head) are allowed.
struct FormattedRows {
    OutBuffer bytes;
    std::vector<std::size_t> starts;

    void clear() noexcept
    {
        bytes.clear();
        starts.clear();
    }
};

// The one sequential step between formatted rows and the output: where a
// multi-row statement would pass its size limit, ends it before the row and
// starts a new INSERT. Whether a row starts a statement depends on the bytes
// of the rows before it, so this sees every row of a script in order, while
// the rows themselves may be formatted in batches on other threads.
class StatementCutter {
public:
    explicit StatementCutter(const ScriptFormatter& formatter);

    // Writes `rows` to `sink`, the head first when it is there; the rows
    // continue those of the previous call.
    void write(ByteSink& sink, const FormattedRows& rows);

    // Characters the output encoding could not hold in the headers it added.
    std::uint64_t substituted() const noexcept { return m_substituted; }

private:
    std::size_t m_limit;
    std::string m_break; // ";" CR LF and the INSERT header
    std::uint64_t m_headerSubstituted;
    std::size_t m_headerBytes;
    std::uint64_t m_statementBytes = 0; // of the statement so far; 0 before the first row
    std::uint64_t m_substituted = 0;
};

} // namespace quarrow
