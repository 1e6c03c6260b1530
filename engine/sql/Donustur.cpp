#include "sql/Donustur.h"

#include "workspace/Workspace.h"

namespace quarrow {

ScriptWriter::ScriptWriter(const ScriptOptions& options, const std::vector<std::u16string>& names,
                           const std::vector<std::u16string>& types, ByteSink& sink)
    : m_formatter(options, names, types), m_sink(sink)
{
}

void ScriptWriter::flushIfFull()
{
    if (m_buffer.size() >= kFlushBytes) {
        m_sink.write(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }
}

void ScriptWriter::writeHead()
{
    m_formatter.appendHead(m_buffer);
    flushIfFull();
}

void ScriptWriter::writeRow(std::u16string_view row)
{
    m_formatter.appendRow(m_buffer, row, m_rows++);
    flushIfFull();
}

ExportResult ScriptWriter::finish()
{
    m_formatter.appendEnd(m_buffer, m_rows);
    m_sink.write(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return {m_rows, m_formatter.substituted(), m_formatter.renamedColumns()};
}

ExportResult Donustur(const Workspace& workspace, const ScriptOptions& options, ByteSink& sink)
{
    ScriptWriter writer(options, workspace.columnNames(), workspace.columnTypes(), sink);
    writer.writeHead();
    const std::size_t first = options.headerLine ? 1 : 0;
    for (std::size_t r = first; r < workspace.rowCount(); ++r)
        writer.writeRow(workspace.row(r));
    return writer.finish();
}

ExportResult Donustur(const Workspace& workspace, const ScriptOptions& options, const std::filesystem::path& path)
{
    FileSink file(path);
    const ExportResult result = Donustur(workspace, options, static_cast<ByteSink&>(file));
    file.close();
    return result;
}

} // namespace quarrow
