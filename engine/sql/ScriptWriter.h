#pragma once

#include "engine/sql/ByteSink.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/sql/StatementCutter.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>

namespace quarrow {

class Workspace;

struct ExportResult {
    std::uint64_t rowsExported = 0;
    std::uint64_t substituted = 0;      // characters the output encoding could not hold
    std::vector<RenamedColumn> renamed; // names cut to the database's length limit
    std::vector<FormMisfits> misfits;   // per column: values in no chosen form, written as they are
};

// Streams a script through a formatter into a sink in pieces of about
// kFlushBytes, so that only one piece is ever held.
class ScriptWriter {
public:
    static constexpr std::size_t kFlushBytes = 1 << 20;

    ScriptWriter(const ScriptOptions& options, const std::vector<std::u16string>& names,
                 const std::vector<std::u16string>& types, ByteSink& sink);

    void writeHead();
    void writeRow(std::u16string_view row);
    // The same for a row in UTF-8 (valid, as the line reader delivers it).
    void writeUtf8Row(std::string_view row);
    // Ends the last statement and hands everything left to the sink.
    ExportResult finish();

private:
    void flushIfFull();

    ScriptFormatter m_formatter;
    StatementCutter m_cutter;
    ByteSink& m_sink;
    FormattedRows m_buffer;
    std::uint64_t m_rows = 0;
};

// What an export on another thread shares with the thread that waits for it.
struct ExportControl {
    std::atomic<std::uint64_t>* rowsWritten = nullptr; // advanced as rows are formatted
    const std::atomic<bool>* cancel = nullptr;         // set to stop the export
};

// Thrown when an export stops through ExportControl::cancel.
class ExportCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "export cancelled"; }
};

// The script writer: writes the workspace as an SQL script. Throws
// OutputError when the output fails; what was written stays.
ExportResult Donustur(const Workspace& workspace, const ScriptOptions& options, ByteSink& sink,
                      const ExportControl& control = {});
// Creates or empties the file at `path` and writes into it; the file is
// closed on every path. A cancelled export removes the file it began.
ExportResult Donustur(const Workspace& workspace, const ScriptOptions& options, const std::filesystem::path& path,
                      const ExportControl& control = {});

} // namespace quarrow
