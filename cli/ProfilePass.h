#pragma once

#include "cli/ConverterOptions.h"
#include "cli/LineBatch.h"
#include "cli/ProgressDisplay.h"
#include "engine/csv/FieldSplitter.h"
#include "engine/csv/LineReader.h"
#include "engine/profile/ColumnProfile.h"
#include "engine/types/TypeListFile.h"
#include "engine/workspace/Workspace.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace quarrow::cli {

// Profiles the lines the reader hands over, as the script will have them:
// the first line gives the columns (and is skipped when it holds the
// names). With a next sink it passes every line on unchanged, so that one
// reading can also count the rows' fields (the converter's writing pass
// counts them on its formatting workers instead).
class ProfilingSink final : public LineSink {
public:
    ProfilingSink(const ScriptOptions& script, bool shapesOnly, LineSink* next = nullptr);

    void passTo(LineSink* next) noexcept { m_next = next; }
    void startFile(std::string name);

    void line(std::u16string_view text) override;
    bool takesUtf8() const override;
    void utf8Line(std::string_view bytes) override;
    // Counting shapes only, a long line is passed on in pieces and counted
    // as it goes, so that neither this sink nor the reader holds it whole.
    bool takesParts() const override;
    void linePart(std::u16string_view piece) override;
    void utf8LinePart(std::string_view piece) override;
    void linesDropped(std::uint64_t count) override
    {
        m_profiler.dropLines(count);
        if (m_next)
            m_next->linesDropped(count);
    }

    bool started() const noexcept { return m_started; }
    const ColumnSetup& columns() const noexcept { return m_setup; }
    const TableProfile& profile() const noexcept { return m_profiler.profile(); }

private:
    // True when the line is the header and is not profiled.
    bool start(std::u16string_view firstLine);
    // A record that came in pieces, counted: its last piece is [lastPiece, end).
    template <typename Unit>
    void addPiecedShape(std::size_t fields, const Unit* lastPiece, const Unit* end);

    ScriptOptions m_script;
    bool m_shapesOnly;
    LineSink* m_next;
    TableProfiler m_profiler;
    ColumnSetup m_setup;
    bool m_started = false;
    std::u16string m_scratch;
    // A line arriving in pieces: the first line is collected (it gives the
    // columns), later ones are only counted.
    bool m_inPieces = false;
    std::u16string m_firstLine;
    std::string m_firstLineBytes;
    RawFieldCounter<char16_t> m_counter;
    RawFieldCounter<char> m_byteCounter;
    // The line breaks of a record read exactly that arrives in pieces; a CR
    // that ends a piece may have its LF in the next.
    std::uint64_t m_pieceBreaks = 0;
    bool m_pieceEndsInCr = false;
};

// Prints the rows whose field count differs from the columns as warnings.
void warnAboutStructure(const TableProfile& profile, std::size_t columns, std::ostream& err);

// What a reading of every input learnt, or why it stopped.
struct InputProfile {
    bool started = false; // some input held a line: the columns are set up
    ColumnSetup columns;
    TableProfile profile;
    std::optional<std::string> error;
};

// Reads every input once and profiles its lines as the script will have
// them: one thread reads and cuts the lines into batches of at most
// `batchLines`, worker threads profile the batches, and their profiles are
// added up in order, so the result is the one profiler's that saw every
// line. `bytesRead` is advanced as the inputs are read; `display`, when
// given, is updated as batches arrive.
InputProfile profileInputs(const ConverterOptions& options, std::atomic<std::uint64_t>& bytesRead,
                           ProgressDisplay* display = nullptr, std::size_t batchLines = kBatchLines);

// Reads every input once before anything is written, for --suggest-types,
// --explain and --strict: prints the explanation and the structure
// warnings, and puts the suggested types, overridden by the type-list
// file's, into `types`. `progress` shows the reading as the writing's is
// shown, named as the first. Returns the exit status when the run must stop
// (a read failure; rows that do not fit under --strict).
std::optional<int> profileBeforeWriting(const ConverterOptions& options, std::optional<TypeList>& types,
                                        std::ostream& err, bool progress = false, std::uint64_t totalBytes = 0);

} // namespace quarrow::cli
