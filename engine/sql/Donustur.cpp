#include "sql/Donustur.h"

#include "workspace/Workspace.h"

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

ExportResult ScriptWriter::finish()
{
    m_cutter.write(m_sink, m_buffer);
    m_buffer.clear();
    m_formatter.appendEnd(m_buffer.bytes, m_rows);
    m_sink.write(m_buffer.bytes.data(), m_buffer.bytes.size());
    m_buffer.clear();
    return {m_rows, m_formatter.substituted() + m_cutter.substituted()};
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
