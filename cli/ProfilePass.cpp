#include "cli/ProfilePass.h"

#include "cli/Converter.h"
#include "cli/InputSources.h"
#include "cli/WorkerPool.h"
#include "engine/csv/ExactQuoting.h"
#include "engine/files/FileOpen.h"
#include "engine/profile/TypeSuggestion.h"
#include "engine/sql/LoadSpeed.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/text/UnicodeText.h"
#include "engine/text/Utf8.h"

#include <algorithm>
#include <deque>
#include <future>
#include <sstream>
#include <thread>

namespace quarrow::cli {

namespace {

// Counts the line breaks of a piece of a record: an LF that opens it ends
// the CR LF of the pieces before when they left `afterCr`.
template <typename Unit>
void countPieceLineBreaks(const Unit* p, const Unit* const end, std::uint64_t& breaks, bool& afterCr)
{
    if (p == end)
        return;
    if (afterCr && *p == Unit{'\n'})
        ++p;
    afterCr = end[-1] == Unit{'\r'};
    breaks += countLineBreaks(p, end);
}

} // namespace

ProfilingSink::ProfilingSink(const ScriptOptions& script, bool shapesOnly, LineSink* next)
    : m_script(script), m_shapesOnly(shapesOnly), m_next(next), m_profiler(0, script.separator, script.exactQuoting),
      m_counter(script.separator, script.exactQuoting),
      m_byteCounter(static_cast<char>(script.separator), script.exactQuoting)
{
    m_profiler.setValueForms(script.forms);
}

void ProfilingSink::startFile(std::string name)
{
    // A line left unfinished by a failed reading is not counted.
    m_inPieces = false;
    m_counter.finish();
    m_byteCounter.finish();
    m_pieceBreaks = 0;
    m_pieceEndsInCr = false;
    if (!m_started) {
        m_firstLine.clear();
        m_firstLineBytes.clear();
    }
    m_profiler.startFile(std::move(name));
}

bool ProfilingSink::takesParts() const
{
    return m_shapesOnly && m_next != nullptr && m_next->takesParts() && m_script.separator != u'\0'
           && m_script.separator != kQuote && (m_script.separator < 0x80 || !takesUtf8());
}

void ProfilingSink::linePart(std::u16string_view piece)
{
    if (m_started) {
        m_counter.feed(piece.data(), piece.data() + piece.size());
        if (m_script.exactQuoting)
            countPieceLineBreaks(piece.data(), piece.data() + piece.size(), m_pieceBreaks, m_pieceEndsInCr);
    } else
        m_firstLine.append(piece);
    m_inPieces = true;
    m_next->linePart(piece);
}

void ProfilingSink::utf8LinePart(std::string_view piece)
{
    if (m_started) {
        m_byteCounter.feed(piece.data(), piece.data() + piece.size());
        if (m_script.exactQuoting) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
            countPieceLineBreaks(bytes, bytes + piece.size(), m_pieceBreaks, m_pieceEndsInCr);
        }
    } else
        m_firstLineBytes.append(piece);
    m_inPieces = true;
    m_next->utf8LinePart(piece);
}

template <typename Unit>
void ProfilingSink::addPiecedShape(std::size_t fields, const Unit* lastPiece, const Unit* end)
{
    if (m_script.exactQuoting)
        countPieceLineBreaks(lastPiece, end, m_pieceBreaks, m_pieceEndsInCr);
    m_profiler.addShape(fields, m_pieceBreaks);
    m_pieceBreaks = 0;
    m_pieceEndsInCr = false;
}

bool ProfilingSink::start(std::u16string_view firstLine)
{
    m_setup = setUpColumns(firstLine, loadOptionsFor(m_script));
    m_profiler.setColumns(m_setup.names.size(), m_shapesOnly);
    m_started = true;
    if (m_script.headerLine)
        m_profiler.skipLine(firstLine);
    return m_script.headerLine;
}

void ProfilingSink::line(std::u16string_view text)
{
    if (m_inPieces) {
        // The last piece of a line that came in pieces.
        m_inPieces = false;
        if (m_started) {
            m_counter.feed(text.data(), text.data() + text.size());
            addPiecedShape(m_counter.finish(), text.data(), text.data() + text.size());
        } else {
            m_firstLine.append(text);
            if (!start(m_firstLine))
                m_profiler.addRow(m_firstLine);
            m_firstLine.clear();
            m_firstLine.shrink_to_fit();
        }
        m_next->line(text);
        return;
    }
    if (m_started || !start(text))
        m_profiler.addRow(text);
    if (m_next)
        m_next->line(text);
}

bool ProfilingSink::takesUtf8() const
{
    if (m_next)
        return m_next->takesUtf8();
    return m_script.encoding == TextEncoding::Utf8 && TableProfiler::takesUtf8(m_script.separator);
}

void ProfilingSink::utf8Line(std::string_view bytes)
{
    if (m_inPieces) {
        m_inPieces = false;
        if (m_started) {
            m_byteCounter.feed(bytes.data(), bytes.data() + bytes.size());
            const auto* last = reinterpret_cast<const unsigned char*>(bytes.data());
            addPiecedShape(m_byteCounter.finish(), last, last + bytes.size());
        } else {
            m_firstLineBytes.append(bytes);
            std::u16string first(m_firstLineBytes.size(), u'\0');
            const auto decoded = utf8::decode(reinterpret_cast<const unsigned char*>(m_firstLineBytes.data()),
                                              m_firstLineBytes.size(), first.data(), true);
            first.resize(decoded.written);
            if (!start(first))
                m_profiler.addRow(first);
            m_firstLineBytes.clear();
            m_firstLineBytes.shrink_to_fit();
        }
        m_next->utf8Line(bytes);
        return;
    }
    const bool direct = TableProfiler::takesUtf8(m_script.separator);
    if (!direct || !m_started) {
        if (m_scratch.size() < bytes.size())
            m_scratch.resize(bytes.size());
        const auto decoded =
            utf8::decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), m_scratch.data(), true);
        const std::u16string_view text(m_scratch.data(), decoded.written);
        if (m_started || !start(text)) {
            if (direct)
                m_profiler.addUtf8Row(bytes);
            else
                m_profiler.addRow(text);
        }
    } else {
        m_profiler.addUtf8Row(bytes);
    }
    if (m_next)
        m_next->utf8Line(bytes);
}

void warnAboutStructure(const TableProfile& profile, std::size_t columns, std::ostream& err)
{
    std::istringstream lines(describeStructure(profile, columns));
    for (std::string line; std::getline(lines, line);)
        err << "quarrow-cli: warning: " << line << "\n";
}

namespace {

// Said once, beside the explanation: the script stays as asked, since a caller
// may run it inside a transaction of its own.
std::string slowLoadNote(Dialect dialect, std::uint64_t rows)
{
    std::string note = "quarrow-cli: note: " + std::to_string(rows)
                       + " rows, one INSERT each and no transaction: the database commits every row, which loads "
                         "slowly; ";
    if (dialect == Dialect::PostgreSql)
        note += "--copy loads it fastest, --transaction -m fast";
    else
        note += "--transaction -m loads it fast";
    return note + " (the script is written as asked)\n";
}

constexpr std::size_t kQueueDepth = 4;
// Bytes of lines read but not yet profiled (see ByteBudget).
constexpr std::size_t kHeldBytes = std::size_t{16} << 20;

// The profile of one batch's lines, the first `skip` of them not written, as
// the profiler of the whole table would have made it.
TableProfile profileBatch(const LineBatch& batch, std::size_t skip, std::size_t columns, const ScriptOptions& script,
                          std::string fileName)
{
    TableProfiler profiler(0, script.separator, script.exactQuoting);
    profiler.setValueForms(script.forms);
    profiler.setColumns(columns);
    if (!script.nullMarkers.empty())
        profiler.setNullMarkers(std::make_shared<const NullMarkers>(script.nullMarkers));
    profiler.resumeFile(batch.file, std::move(fileName), batch.firstLine - 1 + batch.droppedBefore);
    std::size_t begin = 0;
    for (std::size_t i = 0; i < batch.ends.size(); ++i) {
        const std::size_t end = batch.ends[i];
        if (i < skip && batch.utf8)
            profiler.skipUtf8Line(std::string_view(batch.bytes).substr(begin, end - begin));
        else if (i < skip)
            profiler.skipLine(std::u16string_view(batch.text).substr(begin, end - begin));
        else if (batch.utf8)
            profiler.addUtf8Row(std::string_view(batch.bytes).substr(begin, end - begin));
        else
            profiler.addRow(std::u16string_view(batch.text).substr(begin, end - begin));
        begin = end;
    }
    return profiler.take();
}

std::u16string firstLineOf(const LineBatch& batch)
{
    if (!batch.utf8)
        return batch.text.substr(0, batch.ends.front());
    std::u16string line(batch.ends.front(), u'\0');
    const auto r =
        utf8::decode(reinterpret_cast<const unsigned char*>(batch.bytes.data()), batch.ends.front(), line.data(), true);
    line.resize(r.written);
    return line;
}

} // namespace

InputProfile profileInputs(const ConverterOptions& options, std::atomic<std::uint64_t>& bytesRead,
                           ProgressDisplay* display, std::size_t batchLines)
{
    const ScriptOptions& script = options.script;
    BoundedQueue<LineBatch> queue(kQueueDepth);
    ByteBudget budget(kHeldBytes);
    Recycler<LineBatch> recycler;
    // UTF-8 lines stay bytes when the profiler takes them as they are.
    const bool utf8 = script.encoding == TextEncoding::Utf8 && TableProfiler::takesUtf8(script.separator);
    BatchingSink sink(queue, recycler, budget, utf8, batchLines);
    std::thread reader([&] {
        readInputsInto(options.readFrom(), inputNames(options.inputs), script.encoding,
                       {script.exactQuoting, script.separator}, lineDroppingFor(script), sink, queue, bytesRead);
    });
    auto stopReader = [&] {
        budget.close();
        queue.close();
        if (reader.joinable())
            reader.join();
    };

    InputProfile result;
    TableProfiler whole(0, script.separator, script.exactQuoting);
    if (!script.nullMarkers.empty())
        whole.setNullMarkers(std::make_shared<const NullMarkers>(script.nullMarkers));
    whole.setValueForms(script.forms);
    auto startFilesTo = [&](std::size_t files) {
        while (whole.profile().files.size() < files)
            whole.startFile(inputName(options.inputs[whole.profile().files.size()]));
    };
    // Twice as many batches as threads: a thread that finishes one finds
    // the next waiting.
    const std::size_t threads = WorkerPool::defaultThreads();
    const std::size_t maxInFlight = 2 * threads;
    std::deque<std::future<TableProfile>> inFlight;
    WorkerPool pool(threads);
    auto addOldest = [&] {
        const TableProfile part = inFlight.front().get();
        inFlight.pop_front();
        startFilesTo(part.files.size());
        whole.append(part);
    };
    try {
        while (auto batch = queue.pop()) {
            std::optional<std::string> error = std::move(batch->error);
            std::size_t skip = 0;
            if (!result.started && !batch->ends.empty()) {
                result.columns = setUpColumns(firstLineOf(*batch), loadOptionsFor(script));
                whole.setColumns(result.columns.names.size());
                result.started = true;
                skip = script.headerLine ? 1 : 0;
            }
            // Read exactly, a header alone in its batch still counts for
            // the lines it spans.
            if (batch->ends.size() > skip || (skip > 0 && script.exactQuoting)) {
                if (inFlight.size() >= maxInFlight)
                    addOldest();
                inFlight.push_back(
                    pool.submit([&, batch = std::move(*batch), skip, columns = result.columns.names.size()]() mutable {
                        TableProfile part =
                            profileBatch(batch, skip, columns, script, inputName(options.inputs[batch.file]));
                        budget.give(batch.charged);
                        recycler.give(std::move(batch));
                        return part;
                    }));
            } else {
                budget.give(batch->charged);
            }
            if (error) {
                result.error = std::move(error);
                break;
            }
            if (display)
                display->update();
        }
        stopReader();
        while (!inFlight.empty())
            addOldest();
    } catch (...) {
        stopReader();
        throw;
    }
    startFilesTo(options.inputs.size());
    result.profile = whole.take();
    return result;
}

std::optional<int> profileBeforeWriting(const ConverterOptions& options, std::optional<TypeList>& types,
                                        std::ostream& err, bool progress, std::uint64_t totalBytes)
{
    std::atomic<std::uint64_t> bytesRead{0};
    ProgressDisplay display(err, progress, totalBytes, bytesRead, "first reading: ");
    InputProfile input = profileInputs(options, bytesRead, &display);
    display.finish();
    if (input.error) {
        err << "quarrow-cli: " << *input.error << "\n";
        return kExitFailure;
    }
    if (!input.started)
        return std::nullopt; // the writing pass says "No input!"

    const TableProfile& profile = input.profile;
    const std::size_t columns = input.columns.names.size();
    const auto suggestions = suggestTypes(profile, options.script.dialect, options.script.nullEmpty);
    if (options.explain) {
        err << explainProfile(profile, input.columns.names, suggestions);
        if (!options.script.nullMarkers.empty()) {
            std::string met;
            for (std::size_t m = 0; m < options.script.nullMarkers.size(); ++m) {
                const std::uint64_t cells = m < profile.nullMarkerCells.size() ? profile.nullMarkerCells[m] : 0;
                if (cells > 0)
                    met += (met.empty() ? "" : ", ") + ("'" + toUtf8(options.script.nullMarkers[m]) + "' ")
                           + std::to_string(cells) + (cells == 1 ? " cell" : " cells");
            }
            err << "NULL markers met: " << (met.empty() ? "none" : met) << "\n";
        }
        const auto note = tableModeNote(options.script.tableMode, options.script.tableName, input.columns.names);
        if (!note.empty())
            err << toUtf8(note) << "\n";
        if (loadsSlowly(options.script, profile.rows))
            err << slowLoadNote(options.script.dialect, profile.rows);
    }
    if (options.strict && profile.longRows() + profile.shortRows() > 0) {
        std::istringstream lines(describeStructure(profile, columns));
        for (std::string line; std::getline(lines, line);)
            err << "quarrow-cli: " << line << "\n";
        err << "quarrow-cli: nothing written (--strict)\n";
        return kExitFailure;
    }
    warnAboutStructure(profile, columns, err);
    if (options.suggestTypes) {
        TypeList suggested;
        suggested.reserve(suggestions.size());
        for (const auto& s : suggestions)
            suggested.push_back(s.type);
        if (types)
            ApplyTypeList(*types, suggested);
        types = std::move(suggested);
    }
    return std::nullopt;
}

} // namespace quarrow::cli
