#include "cli/Converter.h"

#include "cli/BoundedQueue.h"
#include "cli/ByteBudget.h"
#include "cli/InputSources.h"
#include "cli/LineBatch.h"
#include "cli/OutputFile.h"
#include "cli/ProfilePass.h"
#include "cli/ProgressDisplay.h"
#include "cli/Recycler.h"
#include "cli/WorkerPool.h"
#include "engine/csv/LineReader.h"
#include "engine/files/FileOpen.h"
#include "engine/sql/ByteSink.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/settings/ConversionProfile.h"
#include "engine/sql/StatementCutter.h"
#include "engine/text/UnicodeText.h"
#include "engine/text/Utf8.h"
#include "engine/types/TypeListFile.h"
#include "engine/workspace/Workspace.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <deque>
#include <future>
#include <memory>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <thread>
#include <type_traits>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quarrow::cli {

namespace {

constexpr std::size_t kQueueDepth = 4;
// A batch this large (a very long line) is formatted and written on its
// own, with nothing else in flight, and its buffers are not kept for reuse.
constexpr std::size_t kLargeBatchBytes = std::size_t{4} << 20;
// Bytes of lines read but not yet formatted: far above what the queue holds
// in ordinary batches, so it only holds back the reading of a long line
// while another is in the pipeline.
constexpr std::size_t kHeldBytes = std::size_t{16} << 20;

std::string limitText(Dialect dialect)
{
    const NameLimit limit = columnNameLimit(dialect);
    const std::string unit = limit.unit == NameUnit::Utf8Bytes ? " bytes" : " characters";
    return std::to_string(limit.max) + unit;
}

class OstreamSink final : public ByteSink {
public:
    explicit OstreamSink(std::ostream& out) : m_out(out) {}
    void write(const char* data, std::size_t size) override
    {
        errno = 0;
        m_out.write(data, static_cast<std::streamsize>(size));
        if (!m_out)
            throw OutputError("standard output", "Cannot write", errno != 0 ? errno : EIO);
    }
    void flush()
    {
        m_out.flush();
        if (!m_out)
            throw OutputError("standard output", "Cannot write", errno != 0 ? errno : EIO);
    }

private:
    std::ostream& m_out;
};

struct FormattedBatch {
    FormattedRows rows;
    std::uint64_t substituted = 0;
    TableProfile shapes; // the field counts of the batch's rows, when counted
    std::vector<FormMisfits> misfits;
};

// Turns the stream of line batches into script bytes, exactly as the writer
// does for a workspace holding the same lines. Batches are formatted on
// worker threads, each with its own copy of the formatter, and written in
// order: a row's bytes depend only on the row and its position. Statements
// cut by size are cut here, in order, by the window writer's StatementCutter.
// With `countShapes` each batch's rows are also counted by their fields on
// its worker, and the counts added up in order: the reading thread, which
// sets the pace, does no more than read and cut.
class ScriptAssembler {
public:
    ScriptAssembler(const ConverterOptions& options, const std::optional<TypeList>& types, ByteSink& sink,
                    Recycler<LineBatch>& batches, ByteBudget& budget, bool countShapes)
        : m_options(options), m_types(types), m_sink(sink), m_batches(batches), m_budget(budget),
          m_countShapes(countShapes), m_shapes(0, options.script.separator, options.script.exactQuoting)
    {
    }

    ~ScriptAssembler()
    {
        for (auto& pending : m_inFlight) {
            if (pending.valid())
                pending.wait();
        }
    }

    void add(LineBatch batch)
    {
        const std::size_t charged = batch.charged;
        std::size_t skip = 0;
        if (!m_formatter) {
            if (batch.ends.empty()) {
                m_budget.give(charged);
                return;
            }
            if (batch.utf8) {
                std::u16string firstLine(batch.ends.front(), u'\0');
                const auto decoded = utf8::decode(reinterpret_cast<const unsigned char*>(batch.bytes.data()),
                                                  batch.ends.front(), firstLine.data(), true);
                firstLine.resize(decoded.written);
                start(firstLine);
            } else {
                start(std::u16string_view(batch.text).substr(0, batch.ends.front()));
            }
            if (m_options.script.headerLine)
                skip = 1;
        }
        if (batch.ends.size() <= skip) {
            // A header read exactly alone in its batch: the lines it spans
            // still count.
            if (skip > 0 && m_options.script.exactQuoting) {
                if (std::optional<TableProfiler> shapes = shapeCounter(batch)) {
                    while (!m_inFlight.empty())
                        writeOldest();
                    FormattedRows none;
                    formatRows(*m_formatter, batch, skip, m_rows, none, &*shapes);
                    addShapes(shapes->take());
                }
            }
            m_budget.give(charged);
            return;
        }
        const std::uint64_t first = m_rows;
        m_rows += batch.ends.size() - skip;

        if (batch.heldBytes() > kLargeBatchBytes) {
            // A long line: its text and its statement are the only large
            // things held, and neither is kept afterwards.
            while (!m_inFlight.empty())
                writeOldest();
            ScriptFormatter formatter = *m_formatter;
            FormattedRows rows;
            std::optional<TableProfiler> shapes = shapeCounter(batch);
            formatRows(formatter, batch, skip, first, rows, shapes ? &*shapes : nullptr);
            m_substituted += formatter.substituted();
            addMisfits(m_misfits, formatter.formMisfits());
            if (shapes)
                addShapes(shapes->take());
            batch = LineBatch{};
            m_cutter->write(m_sink, rows);
            m_budget.give(charged);
            return;
        }

        if (m_inFlight.size() >= kMaxInFlight)
            writeOldest();
        FormattedRows rows = m_buffers.take();
        rows.clear();
        m_inFlight.push_back(m_pool.submit([this, formatter = *m_formatter, batch = std::move(batch),
                                            rows = std::move(rows), skip, first, charged]() mutable {
            FormattedBatch out{std::move(rows), 0, {}, {}};
            std::optional<TableProfiler> shapes = shapeCounter(batch);
            formatRows(formatter, batch, skip, first, out.rows, shapes ? &*shapes : nullptr);
            out.substituted = formatter.substituted();
            out.misfits = formatter.formMisfits();
            if (shapes)
                out.shapes = shapes->take();
            m_budget.give(charged);
            m_batches.give(std::move(batch));
            return out;
        }));
    }

    bool started() const noexcept { return m_formatter.has_value(); }
    std::size_t columnCount() const noexcept { return m_columnCount; }
    const std::vector<ColumnRename>& renames() const noexcept { return m_renames; }

    const std::vector<RenamedColumn>& renamedColumns() const { return m_formatter->renamedColumns(); }
    // The columns' names and types as the script has them; once started.
    const std::vector<std::u16string>& columnNames() const noexcept { return m_names; }
    const std::vector<std::u16string>& columnTypes() const noexcept { return m_columnTypes; }

    // Writes what is still being formatted and ends the script; returns the
    // number of substituted characters.
    std::uint64_t finish()
    {
        while (!m_inFlight.empty())
            writeOldest();
        OutBuffer end;
        m_formatter->appendEnd(end, m_rows);
        m_sink.write(end.data(), end.size());
        return m_substituted + m_cutter->substituted();
    }

    // Per column, the values in no chosen form; after finish().
    const std::vector<FormMisfits>& formMisfits() const noexcept { return m_misfits; }

    // The rows' field counts, every input named; after finish().
    const TableProfile& shapes()
    {
        startShapeFilesTo(m_options.inputs.size());
        return m_shapes.profile();
    }

private:
    static constexpr std::size_t kMaxInFlight = 3;

    void start(std::u16string_view firstLine)
    {
        const ScriptOptions& script = m_options.script;
        ColumnSetup setup = setUpColumns(firstLine, loadOptionsFor(script));
        m_renames = setup.renames;
        m_columnCount = setup.names.size();
        m_shapes.setColumns(m_columnCount, true);
        if (m_types)
            ApplyTypeList(*m_types, setup.types);
        m_formatter.emplace(script, setup.names, setup.types);
        m_names = setup.names;
        m_columnTypes = setup.types;
        m_cutter.emplace(*m_formatter);
        OutBuffer head;
        m_formatter->appendHead(head);
        m_substituted += m_formatter->substituted();
        // Workers start from a clean count.
        m_formatter.emplace(script, setup.names, setup.types);
        m_sink.write(head.data(), head.size());
    }

    // Formats the batch's rows back to back, noting where each begins for
    // the statement cutter; `shapes`, when given, counts each row's fields
    // while the row is at hand.
    static void formatRows(ScriptFormatter& formatter, const LineBatch& batch, std::size_t skip, std::uint64_t index,
                           FormattedRows& out, TableProfiler* shapes)
    {
        std::size_t begin = skip == 0 ? 0 : batch.ends[skip - 1];
        const std::u16string_view text(batch.text);
        const std::string_view utf8Text(batch.bytes);
        if (shapes) {
            std::size_t headerBegin = 0;
            for (std::size_t i = 0; i < skip; ++i) {
                const std::size_t headerEnd = batch.ends[i];
                if (batch.utf8)
                    shapes->skipUtf8Line(utf8Text.substr(headerBegin, headerEnd - headerBegin));
                else
                    shapes->skipLine(text.substr(headerBegin, headerEnd - headerBegin));
                headerBegin = headerEnd;
            }
        }
        for (std::size_t i = skip; i < batch.ends.size(); ++i) {
            const std::size_t end = batch.ends[i];
            out.starts.push_back(out.bytes.size());
            if (batch.utf8) {
                const std::string_view row = utf8Text.substr(begin, end - begin);
                countShape(shapes, formatter.appendUtf8Row(out.bytes, row, index++), row);
            } else {
                const std::u16string_view row = text.substr(begin, end - begin);
                countShape(shapes, formatter.appendRow(out.bytes, row, index++), row);
            }
            begin = end;
        }
    }

    // Counts a row's fields with `shapes`, when given: those the formatter
    // counted while it split the row, or for a record read exactly (no
    // count) the profiler's, which also counts the lines it spans.
    template <typename Row>
    static void countShape(TableProfiler* shapes, std::optional<std::size_t> fields, Row row)
    {
        if (!shapes)
            return;
        if (fields)
            shapes->addShape(*fields);
        else if constexpr (std::is_same_v<Row, std::string_view>)
            shapes->addUtf8Row(row);
        else
            shapes->addRow(row);
    }

    // A counter of the batch's rows' fields, as one profiler of every row
    // would count them; none when the rows are not counted here.
    std::optional<TableProfiler> shapeCounter(const LineBatch& batch) const
    {
        if (!m_countShapes)
            return std::nullopt;
        std::optional<TableProfiler> profiler(std::in_place, 0, m_options.script.separator,
                                              m_options.script.exactQuoting);
        profiler->setColumns(m_columnCount, true);
        profiler->resumeFile(batch.file, inputName(m_options.inputs[batch.file]),
                             batch.firstLine - 1 + batch.droppedBefore);
        return profiler;
    }

    void startShapeFilesTo(std::size_t files)
    {
        while (m_shapes.profile().files.size() < files)
            m_shapes.startFile(inputName(m_options.inputs[m_shapes.profile().files.size()]));
    }

    void addShapes(const TableProfile& part)
    {
        startShapeFilesTo(part.files.size());
        m_shapes.append(part);
    }

    void writeOldest()
    {
        FormattedBatch done = m_inFlight.front().get();
        m_inFlight.pop_front();
        m_substituted += done.substituted;
        addMisfits(m_misfits, done.misfits);
        if (m_countShapes)
            addShapes(done.shapes);
        m_cutter->write(m_sink, done.rows);
        m_buffers.give(std::move(done.rows));
    }

    const ConverterOptions& m_options;
    const std::optional<TypeList>& m_types;
    ByteSink& m_sink;
    Recycler<LineBatch>& m_batches;
    ByteBudget& m_budget;
    Recycler<FormattedRows> m_buffers;
    std::optional<ScriptFormatter> m_formatter;
    std::optional<StatementCutter> m_cutter;
    std::deque<std::future<FormattedBatch>> m_inFlight;
    std::vector<ColumnRename> m_renames;
    std::vector<std::u16string> m_names;
    std::vector<std::u16string> m_columnTypes;
    std::uint64_t m_rows = 0;
    std::uint64_t m_substituted = 0;
    std::vector<FormMisfits> m_misfits;
    bool m_countShapes;
    std::size_t m_columnCount = 0;
    TableProfiler m_shapes;
    // Last: its tasks use the members above, and it finishes them before
    // those are destroyed.
    WorkerPool m_pool;
};

void readAll(const ConverterOptions& options, BoundedQueue<LineBatch>& queue, Recycler<LineBatch>& recycler,
             ByteBudget& budget, std::atomic<std::uint64_t>& bytesRead)
{
    // UTF-8 text stays UTF-8 only when the formatter works on it as it is:
    // else each row would be held both as bytes and decoded.
    BatchingSink sink(queue, recycler, budget, ScriptFormatter::formatsUtf8Directly(options.script));
    readInputsInto(options.readFrom(), inputNames(options.inputs), options.script.encoding,
                   {options.script.exactQuoting, options.script.separator}, lineDroppingFor(options.script), sink,
                   queue, bytesRead);
}

// A name in a message to a terminal: UTF-8, with control characters
// written as escapes so that a name cannot move the cursor or recolour.
std::string printableName(std::u16string_view name)
{
    std::string text;
    char escape[8];
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
            text += escape;
            continue;
        }
        const std::size_t units = (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size()) ? 2 : 1;
        char bytes[6];
        std::uint64_t replaced = 0;
        text.append(bytes, utf8::encode(&name[i], units, bytes, replaced));
        i += units - 1;
    }
    return text;
}

void reportRenames(std::ostream& err, const std::vector<ColumnRename>& renames)
{
    for (const auto& rename : renames) {
        err << "quarrow-cli: warning: column " << rename.column + 1 << " \"" << printableName(rename.from)
            << "\" renamed to \"" << printableName(rename.to) << "\": it repeats an earlier column's name\n";
    }
}

// Whether two output targets are one file: the same file where both exist,
// else the same name once the links on the way are resolved.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec) && !ec)
        return true;
    const std::filesystem::path first = std::filesystem::weakly_canonical(a, ec);
    if (ec)
        return false;
    const std::filesystem::path second = std::filesystem::weakly_canonical(b, ec);
    return !ec && first == second;
}

// The type-list file's types over the profile's, by position: the longer
// list decides the length.
void reportMisfits(std::ostream& err, const std::vector<FormMisfits>& misfits, const std::vector<std::u16string>& names,
                   const ValueForms& forms)
{
    std::vector<std::string> printable;
    for (const auto& name : names)
        printable.push_back(printableName(name));
    std::string text = describeMisfits(misfits, printable, forms);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        err << "quarrow-cli: warning: " << text.substr(at, end - at) << "\n";
        at = end + 1;
    }
}

std::optional<TypeList> layeredTypes(const std::optional<TypeList>& under, const std::optional<TypeList>& over)
{
    if (!under)
        return over;
    TypeList types = *under;
    if (over) {
        for (std::size_t i = 0; i < over->size(); ++i) {
            if (i < types.size())
                types[i] = (*over)[i];
            else
                types.push_back((*over)[i]);
        }
    }
    return types;
}

} // namespace

int convert(const ConverterOptions& given, std::ostream& out, std::ostream& err, bool progress)
{
    auto failWith = [&](const std::string& message) {
        err << "quarrow-cli: " << message << "\n";
        return kExitFailure;
    };

    // Missing inputs are refused before anything is written.
    std::uint64_t totalBytes = 0;
    for (const auto& path : given.inputs) {
#ifndef _WIN32
        if (isStandardInput(path)) {
            struct stat node {};
            if (::fstat(STDIN_FILENO, &node) != 0)
                return failWith(std::string("Cannot read standard input: ") + std::strerror(errno));
            // What is left to read when the caller read a part.
            const off_t at = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
            if (S_ISREG(node.st_mode) && at >= 0 && at <= node.st_size)
                totalBytes += static_cast<std::uint64_t>(node.st_size - at);
            continue;
        }
#endif
        std::error_code ec;
        const auto status = std::filesystem::status(path, ec);
        if (ec || !std::filesystem::exists(status))
            return failWith("File not found: " + pathText(path));
        if (std::filesystem::is_directory(status))
            return failWith("Not a file: " + pathText(path));
        if (std::filesystem::is_regular_file(status)) {
            const auto size = std::filesystem::file_size(path, ec);
            if (!ec)
                totalBytes += size;
        }
    }

    std::optional<TypeList> types;
    if (given.typesFile) {
        try {
            types = LoadTypeListFile(*given.typesFile);
        } catch (const TypeListError& e) {
            return failWith(e.what());
        }
    }

    // Suggested types replace the profile's, as any option given replaces
    // the profile's value.
    if (!given.suggestTypes)
        types = layeredTypes(given.profileTypes, types);

    // Without a reading before the writing one, that one counts the rows' fields.
    const bool readTwice = given.suggestTypes || given.explain || given.strict;

    // The output is opened, and a file to replace checked, before any input
    // is read: a target that cannot be written fails at once, not after a
    // first reading of all the inputs.
    std::optional<OutputFile> file;
    try {
        if (given.output)
            file.emplace(*given.output);
    } catch (const std::exception& e) {
        return failWith(e.what());
    }
    // The profile likewise: written beside its place and renamed into it
    // with the script, so that a run writes both or neither.
    std::optional<OutputFile> profileFile;
    try {
        if (given.saveProfile)
            profileFile.emplace(*given.saveProfile, nullptr);
    } catch (const std::exception& e) {
        return failWith(std::string("Cannot save the profile: ") + e.what());
    }
    // Devices are written as they are; two files renamed to one name would lose the script.
    if (file && profileFile && (file->replaces() || profileFile->replaces())
        && sameFile(file->target(), profileFile->target()))
        return failWith("The profile (--save-profile) and the script (-o) are the same file: "
                        + pathText(*given.saveProfile));

    ConverterOptions options = given;
    std::optional<InputSources> sources;
    try {
        // Detecting reads the start of the first input once more.
        sources.emplace(given.inputs, readTwice || given.detect.any());
    } catch (const InputError& e) {
        return failWith(e.what());
    }
    options.sources = sources->sources();
    totalBytes += sources->copiedBytes();

    if (given.detect.any() && !options.sources.empty()) {
        try {
            const CsvShape shape =
                detectSourceShape(options.sources.front(), inputName(options.inputs.front()), options.script.separator);
            applyDetectedShape(shape, given.detect, options.script, err, given.quiet);
        } catch (const ShapeReadError& e) {
            return failWith(e.what());
        }
        // The comment was checked against the separator given, not the one found.
        if (const std::string refusal = commentRefusal(options.script.comment, options.script.separator);
            !refusal.empty())
            return failWith("--comment: " + refusal + " (detected: " + separatorName(options.script.separator) + ")");
    }

    if (readTwice) {
        if (const auto stop = profileBeforeWriting(options, types, err, progress, totalBytes))
            return *stop;
    }

    std::optional<OstreamSink> stream;
    BoundedQueue<LineBatch> queue(kQueueDepth);
    ByteBudget budget(kHeldBytes);
    Recycler<LineBatch> batches;
    std::atomic<std::uint64_t> bytesRead{0};
    std::thread reader;
    auto stopReader = [&] {
        budget.close();
        queue.close();
        if (reader.joinable())
            reader.join();
    };

    try {
        ByteSink* sink = nullptr;
        if (file) {
            sink = &file->sink();
        } else {
            stream.emplace(out);
            sink = &*stream;
        }

        ScriptAssembler assembler(options, types, *sink, batches, budget, !readTwice);
        ProgressDisplay display(err, progress, totalBytes, bytesRead, readTwice ? "writing: " : "");
        reader = std::thread([&] { readAll(options, queue, batches, budget, bytesRead); });

        std::optional<std::string> readError;
        while (auto batch = queue.pop()) {
            std::optional<std::string> error = std::move(batch->error);
            assembler.add(std::move(*batch));
            if (error) {
                readError = std::move(error);
                break;
            }
            display.update();
        }
        stopReader();
        display.finish();
        if (readError)
            return failWith(*readError);
        if (!assembler.started())
            return failWith("No input!");

        const std::uint64_t substituted = assembler.finish();
        if (profileFile) {
            const std::string text =
                profileText(makeProfile(options.script, assembler.columnNames(), assembler.columnTypes()));
            profileFile->sink().write(text.data(), text.size());
            profileFile->close();
        }
        if (file)
            file->commit();
        else
            stream->flush();
        if (profileFile)
            profileFile->commit();
        if (const auto& renamed = assembler.renamedColumns(); !renamed.empty()) {
            err << "quarrow-cli: warning: " << renamed.size()
                << (renamed.size() == 1 ? " column name was" : " column names were");
            const Dialect dialect = options.script.dialect;
            const bool limited = columnNameLimit(dialect).unit != NameUnit::None;
            if (std::any_of(renamed.begin(), renamed.end(),
                            [&](const RenamedColumn& r) { return hasRefusedCharacters(dialect, r.from); }))
                err << " changed to names that " << dialectInfo(dialect).identifier << " takes ("
                    << refusedCharactersText(dialect) << (limited ? ", at most " + limitText(dialect) : "") << "):\n";
            else if (!limited)
                err << " changed to keep them apart:\n";
            else
                err << " shortened to the " << limitText(dialect) << " that " << dialectInfo(dialect).identifier
                    << " takes:\n";
            for (const auto& r : renamed)
                err << "  \"" << printableName(r.from) << "\" -> \"" << printableName(r.to) << "\"\n";
        }
        if (substituted > 0) {
            err << "quarrow-cli: warning: " << substituted << (substituted == 1 ? " character" : " characters")
                << " could not be written in ANSI and " << (substituted == 1 ? "was" : "were") << " replaced\n";
        }
        reportRenames(err, assembler.renames());
        reportMisfits(err, assembler.formMisfits(), assembler.columnNames(), options.script.forms);
        if (!readTwice)
            warnAboutStructure(assembler.shapes(), assembler.columnCount(), err);
        return kExitOk;
    } catch (const std::exception& e) {
        stopReader();
        return failWith(e.what());
    }
}

} // namespace quarrow::cli
