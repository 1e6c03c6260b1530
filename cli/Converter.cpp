#include "Converter.h"

#include "BoundedQueue.h"
#include "InterruptCleanup.h"
#include "Recycler.h"
#include "csv/LineReader.h"
#include "files/FileOpen.h"
#include "sql/ByteSink.h"
#include "sql/ScriptFormatter.h"
#include "text/Utf8.h"
#include "types/TypeListFile.h"
#include "workspace/Workspace.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <deque>
#include <future>
#include <memory>
#include <cstdio>
#include <iomanip>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include "platform/windows/WindowsFiles.h"
#endif

namespace quarrow::cli {

namespace {

// Characters per batch: about 1 MiB of UTF-16 text, or half that in UTF-8.
constexpr std::size_t kBatchUnits = std::size_t{1} << 19;
constexpr std::size_t kBatchLines = 1 << 14;
constexpr std::size_t kQueueDepth = 4;

// Lines on their way from the reading thread to the writing one; or, when
// `error` is set, the reason reading stopped. The lines are UTF-16 text, or
// when `utf8` is set the file's own UTF-8 bytes.
struct LineBatch {
    std::u16string text;
    std::string bytes;
    bool utf8 = false;
    std::vector<std::size_t> ends;
    std::optional<std::string> error;
};

struct Cancelled {};

std::string toUtf8(std::u16string_view text)
{
    std::string bytes(text.size() * 3, '\0');
    std::uint64_t replaced = 0;
    char* end = utf8::encode(text.data(), text.size(), bytes.data(), replaced);
    bytes.resize(static_cast<std::size_t>(end - bytes.data()));
    return bytes;
}

std::string limitText(Dialect dialect)
{
    const NameLimit limit = columnNameLimit(dialect);
    const std::string unit = limit.unit == NameUnit::Utf8Bytes ? " bytes" : " characters";
    return std::to_string(limit.max) + unit;
}

class BatchingSink final : public LineSink {
public:
    // With UTF-8 output, UTF-8 input is formatted from its own bytes.
    BatchingSink(BoundedQueue<LineBatch>& queue, Recycler<LineBatch>& recycler, bool takeUtf8)
        : m_queue(queue), m_recycler(recycler), m_takeUtf8(takeUtf8)
    {
        startBatch();
    }

    void line(std::u16string_view text) override { add(m_batch.text, text, false); }
    bool takesUtf8() const override { return m_takeUtf8; }
    void utf8Line(std::string_view bytes) override { add(m_batch.bytes, bytes, true); }

    void flush()
    {
        if (m_batch.ends.empty() && !m_batch.error)
            return;
        if (!m_queue.push(std::move(m_batch)))
            throw Cancelled{};
        startBatch();
    }

    void fail(std::string message)
    {
        m_batch.error = std::move(message);
        flush();
    }

private:
    // A batch holds lines of one kind: a file of the other kind starts a new one.
    template <typename Text, typename View>
    void add(Text& store, View line, bool utf8)
    {
        if (m_batch.utf8 != utf8) {
            flush();
            m_batch.utf8 = utf8;
        }
        if (store.capacity() < kBatchUnits)
            store.reserve(kBatchUnits + 1024);
        store.append(line);
        m_batch.ends.push_back(store.size());
        if (store.size() >= kBatchUnits || m_batch.ends.size() >= kBatchLines)
            flush();
    }

    void startBatch()
    {
        const bool utf8 = m_batch.utf8;
        m_batch = m_recycler.take();
        m_batch.text.clear();
        m_batch.bytes.clear();
        m_batch.utf8 = utf8;
        m_batch.ends.clear();
        m_batch.error.reset();
        m_batch.ends.reserve(kBatchLines);
    }

    BoundedQueue<LineBatch>& m_queue;
    Recycler<LineBatch>& m_recycler;
    bool m_takeUtf8;
    LineBatch m_batch;
};

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

// The script is written to a new file beside the target and renamed over it
// only when complete, so a failed run leaves any existing file as it was.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::filesystem::path& target) : m_target(target)
    {
        std::filesystem::path folder = target.parent_path();
        if (folder.empty())
            folder = ".";
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0;; ++attempt) {
            std::ostringstream suffix;
            suffix << '.' << std::hex << random() << ".tmp";
            std::filesystem::path name(".");
            name += target.filename();
            name += suffix.str();
            m_temporary = folder / name;
            try {
                m_file.emplace(m_temporary, FileSink::Mode::Exclusive);
                m_temporaryText = pathText(m_temporary);
                armInterruptCleanup(m_temporaryText.c_str());
                return;
            } catch (const OutputError& e) {
                if (e.error() != EEXIST || attempt > 100)
                    throw OutputError(target, "Cannot create", e.error());
            }
        }
    }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    ~ReplacingFile()
    {
        disarmInterruptCleanup();
        if (!m_committed) {
            m_file.reset();
            std::error_code ignored;
            std::filesystem::remove(m_temporary, ignored);
        }
    }

    ByteSink& sink() { return *m_file; }

    void commit()
    {
        m_file->close();
#ifdef _WIN32
        const std::error_code ec = windows::replaceFile(m_temporary, m_target);
#else
        std::error_code ec;
        std::filesystem::rename(m_temporary, m_target, ec);
#endif
        if (!ec)
            disarmInterruptCleanup();
        if (ec)
            throw OutputError(m_target, "Cannot replace", ec.value());
        m_committed = true;
    }

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::string m_temporaryText; // what the signal handler removes
    std::optional<FileSink> m_file;
    bool m_committed = false;
};

std::string formatBytes(double bytes)
{
    static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    int unit = 0;
    while (bytes >= 1000.0 && unit < 4) {
        bytes /= 1000.0;
        ++unit;
    }
    std::ostringstream s;
    s << std::fixed << std::setprecision(unit == 0 ? 0 : 1) << bytes << ' ' << kUnits[unit];
    return s.str();
}

class ProgressDisplay {
public:
    ProgressDisplay(std::ostream& err, bool enabled, std::uint64_t totalBytes, const std::atomic<std::uint64_t>& bytesRead)
        : m_err(err), m_enabled(enabled), m_total(totalBytes), m_bytesRead(bytesRead),
          m_start(std::chrono::steady_clock::now()), m_lastShown(m_start)
    {
    }

    void update() { show(false); }

    void finish()
    {
        if (m_shown) {
            show(true); // the final figures
            m_err << "\n";
        }
        m_shown = false;
    }

private:
    void show(bool final)
    {
        if (!m_enabled)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (!final &&
            (now - m_start < std::chrono::seconds(1) || now - m_lastShown < std::chrono::milliseconds(250)))
            return;
        m_lastShown = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const auto done = m_bytesRead.load(std::memory_order_relaxed);
        m_err << "\r" << formatBytes(static_cast<double>(done));
        if (m_total > 0)
            m_err << " of " << formatBytes(static_cast<double>(m_total)) << " ("
                  << std::min<std::uint64_t>(100, done * 100 / m_total) << "%)";
        m_err << ", " << formatBytes(static_cast<double>(done) / seconds) << "/s   " << std::flush;
        m_shown = true;
    }

    std::ostream& m_err;
    bool m_enabled;
    std::uint64_t m_total;
    const std::atomic<std::uint64_t>& m_bytesRead;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastShown;
    bool m_shown = false;
};

struct FormattedBatch {
    OutBuffer bytes;
    std::uint64_t substituted = 0;
};

// Turns the stream of line batches into script bytes, exactly as the writer
// does for a workspace holding the same lines. Batches are formatted on
// worker threads, each with its own copy of the formatter, and written in
// order: a row's bytes depend only on the row and its position.
class ScriptAssembler {
public:
    ScriptAssembler(const ConverterOptions& options, const std::optional<TypeList>& types, ByteSink& sink,
                    Recycler<LineBatch>& batches)
        : m_options(options), m_types(types), m_sink(sink), m_batches(batches)
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
        std::size_t skip = 0;
        if (!m_formatter) {
            if (batch.ends.empty())
                return;
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
        if (batch.ends.size() <= skip)
            return;
        const std::uint64_t first = m_rows;
        m_rows += batch.ends.size() - skip;
        if (m_inFlight.size() >= kMaxInFlight)
            writeOldest();
        OutBuffer bytes = m_buffers.take();
        bytes.clear();
        m_inFlight.push_back(std::async(std::launch::async, [this, formatter = *m_formatter, batch = std::move(batch),
                                                             bytes = std::move(bytes), skip, first]() mutable {
            FormattedBatch out{std::move(bytes), 0};
            std::size_t begin = skip == 0 ? 0 : batch.ends[skip - 1];
            std::uint64_t index = first;
            const std::u16string_view text(batch.text);
            const std::string_view utf8Text(batch.bytes);
            for (std::size_t i = skip; i < batch.ends.size(); ++i) {
                const std::size_t end = batch.ends[i];
                if (batch.utf8)
                    formatter.appendUtf8Row(out.bytes, utf8Text.substr(begin, end - begin), index++);
                else
                    formatter.appendRow(out.bytes, text.substr(begin, end - begin), index++);
                begin = end;
            }
            out.substituted = formatter.substituted();
            m_batches.give(std::move(batch));
            return out;
        }));
    }

    bool started() const noexcept { return m_formatter.has_value(); }

    const std::vector<RenamedColumn>& renamedColumns() const { return m_formatter->renamedColumns(); }

    // Writes what is still being formatted and ends the script; returns the
    // number of substituted characters.
    std::uint64_t finish()
    {
        while (!m_inFlight.empty())
            writeOldest();
        OutBuffer end;
        m_formatter->appendEnd(end, m_rows);
        m_sink.write(end.data(), end.size());
        return m_substituted;
    }

private:
    static constexpr std::size_t kMaxInFlight = 3;

    void start(std::u16string_view firstLine)
    {
        const ScriptOptions& script = m_options.script;
        ColumnSetup setup = setUpColumns(firstLine, loadOptionsFor(script));
        if (m_types)
            ApplyTypeList(*m_types, setup.types);
        m_formatter.emplace(script, setup.names, setup.types);
        OutBuffer head;
        m_formatter->appendHead(head);
        m_substituted += m_formatter->substituted();
        // Workers start from a clean count.
        m_formatter.emplace(script, setup.names, setup.types);
        m_sink.write(head.data(), head.size());
    }

    void writeOldest()
    {
        FormattedBatch done = m_inFlight.front().get();
        m_inFlight.pop_front();
        m_substituted += done.substituted;
        m_sink.write(done.bytes.data(), done.bytes.size());
        m_buffers.give(std::move(done.bytes));
    }

    const ConverterOptions& m_options;
    const std::optional<TypeList>& m_types;
    ByteSink& m_sink;
    Recycler<LineBatch>& m_batches;
    Recycler<OutBuffer> m_buffers;
    std::optional<ScriptFormatter> m_formatter;
    std::deque<std::future<FormattedBatch>> m_inFlight;
    std::uint64_t m_rows = 0;
    std::uint64_t m_substituted = 0;
};

void readAll(const ConverterOptions& options, BoundedQueue<LineBatch>& queue, Recycler<LineBatch>& recycler,
             std::atomic<std::uint64_t>& bytesRead)
{
    BatchingSink sink(queue, recycler, options.script.encoding == TextEncoding::Utf8);
    try {
        for (const auto& path : options.inputs) {
            try {
                readLines(path, options.script.encoding, sink, &bytesRead);
            } catch (const ReadError& e) {
                sink.fail(std::string("File load error! ") + e.what());
                break;
            }
        }
        sink.flush();
    } catch (const Cancelled&) {
    } catch (const std::exception& e) {
        try {
            sink.fail(e.what());
        } catch (const Cancelled&) {
        }
    }
    queue.close();
}

} // namespace

int convert(const ConverterOptions& options, std::ostream& out, std::ostream& err, bool progress)
{
    auto failWith = [&](const std::string& message) {
        err << "quarrow-cli: " << message << "\n";
        return kExitFailure;
    };

    // Missing inputs are refused before anything is written.
    std::uint64_t totalBytes = 0;
    for (const auto& path : options.inputs) {
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
    if (options.typesFile) {
        try {
            types = LoadTypeListFile(*options.typesFile);
        } catch (const TypeListError& e) {
            return failWith(e.what());
        }
    }

    std::optional<ReplacingFile> file;
    std::optional<OstreamSink> stream;
    BoundedQueue<LineBatch> queue(kQueueDepth);
    Recycler<LineBatch> batches;
    std::atomic<std::uint64_t> bytesRead{0};
    std::thread reader;
    auto stopReader = [&] {
        queue.close();
        if (reader.joinable())
            reader.join();
    };

    try {
        ByteSink* sink = nullptr;
        if (options.output) {
            file.emplace(*options.output);
            sink = &file->sink();
        } else {
            stream.emplace(out);
            sink = &*stream;
        }

        ScriptAssembler assembler(options, types, *sink, batches);
        ProgressDisplay display(err, progress, totalBytes, bytesRead);
        reader = std::thread([&] { readAll(options, queue, batches, bytesRead); });

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
        if (file)
            file->commit();
        else
            stream->flush();
        if (const auto& renamed = assembler.renamedColumns(); !renamed.empty()) {
            err << "quarrow-cli: warning: " << renamed.size()
                << (renamed.size() == 1 ? " column name was" : " column names were");
            if (columnNameLimit(options.script.dialect).unit == NameUnit::None)
                err << " changed to keep them apart:\n";
            else
                err << " shortened to the " << limitText(options.script.dialect) << " that "
                    << dialectInfo(options.script.dialect).identifier << " takes:\n";
            for (const auto& r : renamed)
                err << "  \"" << toUtf8(r.from) << "\" -> \"" << toUtf8(r.to) << "\"\n";
        }
        if (substituted > 0) {
            err << "quarrow-cli: warning: " << substituted
                << (substituted == 1 ? " character" : " characters")
                << " could not be written in ANSI and " << (substituted == 1 ? "was" : "were") << " replaced\n";
        }
        return kExitOk;
    } catch (const std::exception& e) {
        stopReader();
        return failWith(e.what());
    }
}

} // namespace quarrow::cli
