#include "engine/sql/ScriptWriter.h"

#include "engine/workspace/Workspace.h"

namespace quarrow {

ScriptWriter::ScriptWriter(const ScriptOptions& options, const std::vector<std::u16string>& names,
                           const std::vector<std::u16string>& types, ByteSink& sink)
    : m_formatter(options, names, types), m_cutter(m_formatter), m_sink(sink)
{
}

void ScriptWriter::flushIfFull()
{
    if (m_buffer.bytes.size() >= kFlushBytes) {
        m_cutter.write(m_sink, m_buffer);
        m_buffer.clear();
    }
}

void ScriptWriter::writeHead()
{
    m_formatter.appendHead(m_buffer.bytes);
    flushIfFull();
}

void ScriptWriter::writeRow(std::u16string_view row)
{
    m_buffer.starts.push_back(m_buffer.bytes.size());
    m_formatter.appendRow(m_buffer.bytes, row, m_rows++);
    flushIfFull();
}

void ScriptWriter::writeUtf8Row(std::string_view row)
{
    m_buffer.starts.push_back(m_buffer.bytes.size());
    m_formatter.appendUtf8Row(m_buffer.bytes, row, m_rows++);
    flushIfFull();
}

ExportResult ScriptWriter::finish()
{
    m_cutter.write(m_sink, m_buffer);
    m_buffer.clear();
    m_formatter.appendEnd(m_buffer.bytes, m_rows);
    m_sink.write(m_buffer.bytes.data(), m_buffer.bytes.size());
    m_buffer.clear();
    return {m_rows, m_formatter.substituted() + m_cutter.substituted(), m_formatter.renamedColumns(),
            m_formatter.formMisfits()};
}

ExportResult Donustur(const Workspace& workspace, const ScriptOptions& options, ByteSink& sink,
                      const ExportControl& control)
{
    ScriptWriter writer(options, workspace.columnNames(), workspace.columnTypes(), sink);
    writer.writeHead();
    const std::size_t first = options.headerLine ? 1 : 0;
    // The waiting thread looks at the count a few times a second; every
    // few thousand rows is often enough and costs nothing per row.
    constexpr std::size_t kReportEvery = 4096;
    std::u16string scratch;
    for (std::size_t r = first; r < workspace.rowCount(); ++r) {
        if ((r - first) % kReportEvery == 0 && r > first) {
            if (control.cancel != nullptr && control.cancel->load(std::memory_order_relaxed))
                throw ExportCancelled();
            if (control.rowsWritten != nullptr)
                control.rowsWritten->store(r - first, std::memory_order_relaxed);
        }
        // Rows the store holds in UTF-8 are formatted from it as they are.
        if (const auto bytes = workspace.utf8Row(r))
            writer.writeUtf8Row(*bytes);
        else
            writer.writeRow(workspace.row(r, scratch));
    }
    if (control.cancel != nullptr && control.cancel->load(std::memory_order_relaxed))
        throw ExportCancelled();
    ExportResult result = writer.finish();
    if (control.rowsWritten != nullptr)
        control.rowsWritten->store(result.rowsExported, std::memory_order_relaxed);
    return result;
}

ExportResult Donustur(const Workspace& workspace, const ScriptOptions& options, const std::filesystem::path& path,
                      const ExportControl& control)
{
    FileSink file(path);
    try {
        const ExportResult result = Donustur(workspace, options, static_cast<ByteSink&>(file), control);
        file.close();
        return result;
    } catch (const ExportCancelled&) {
        try {
            file.close();
        } catch (const OutputError&) {
        }
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        throw;
    }
}

} // namespace quarrow
