#include "engine/sql/StatementCutter.h"

#include <cassert>
#include <string_view>

namespace quarrow {

namespace {

constexpr std::string_view kContinued = ",\r\n";

} // namespace

StatementCutter::StatementCutter(const ScriptFormatter& formatter)
    : m_limit(formatter.statementBytesLimit()), m_break(";\r\n"),
      m_headerSubstituted(formatter.insertHeaderSubstituted()), m_headerBytes(formatter.insertHeader().size())
{
    m_break += formatter.insertHeader();
}

void StatementCutter::write(ByteSink& sink, const FormattedRows& rows)
{
    const char* data = rows.bytes.data();
    const std::size_t size = rows.bytes.size();
    if (m_limit == 0 || rows.starts.empty()) {
        if (size > 0)
            sink.write(data, size);
        return;
    }
    // A statement's bytes are its header line and its value lines, each
    // with its terminator and line end. Every row after the first of the
    // script begins with the terminator of the row before it, ",\r\n", as
    // long as the formatter keeps one statement; so a row's byte count is
    // what it adds to a statement, and a cut is a change of those bytes.
    std::size_t written = 0;
    for (std::size_t k = 0; k < rows.starts.size(); ++k) {
        const std::size_t begin = rows.starts[k];
        const std::size_t end = k + 1 < rows.starts.size() ? rows.starts[k + 1] : size;
        const std::size_t rowBytes = end - begin;
        if (m_statementBytes == 0) {
            // The script's first row: its header is in place, its terminator is not yet.
            m_statementBytes = rowBytes + kContinued.size();
            continue;
        }
        if (m_statementBytes + rowBytes <= m_limit) {
            m_statementBytes += rowBytes;
            continue;
        }
        assert(std::string_view(data + begin, kContinued.size()) == kContinued);
        sink.write(data + written, begin - written);
        sink.write(m_break.data(), m_break.size());
        written = begin + kContinued.size();
        m_statementBytes = m_headerBytes + rowBytes;
        m_substituted += m_headerSubstituted;
    }
    if (size > written)
        sink.write(data + written, size - written);
}

} // namespace quarrow
