#pragma once

#include "cli/BoundedQueue.h"
#include "cli/ByteBudget.h"
#include "cli/InputSources.h"
#include "cli/Recycler.h"
#include "engine/csv/LineReader.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow::cli {

// Characters per batch: about 1 MiB of UTF-16 text, or half that in UTF-8.
inline constexpr std::size_t kBatchUnits = std::size_t{1} << 19;
inline constexpr std::size_t kBatchLines = 1 << 14;
// The reading thread takes from the ByteBudget in steps, not per line.
inline constexpr std::size_t kChargeStep = std::size_t{1} << 18;

// Lines on their way from the reading thread to the others; or, when
// `error` is set, the reason reading stopped. The lines are UTF-16 text, or
// when `utf8` is set the file's own UTF-8 bytes. All of a batch's lines come
// from one file.
struct LineBatch {
    std::u16string text;
    std::string bytes;
    bool utf8 = false;
    std::vector<std::size_t> ends;
    std::size_t file = 0;        // index of the file among the inputs
    std::uint64_t firstLine = 1; // number in its file of the batch's first line (record, read exactly)
    // Lines the reader left out in its file before the batch's first line:
    // firstLine does not count them.
    std::uint64_t droppedBefore = 0;
    std::size_t charged = 0; // taken from the ByteBudget, given back once worked on
    std::optional<std::string> error;

    std::size_t heldBytes() const noexcept { return utf8 ? bytes.size() : text.size() * sizeof(char16_t); }
};

// The other side closed the queue or the budget: reading stops.
struct Cancelled {};

// Cuts the lines the reader hands over into batches and queues them.
class BatchingSink final : public LineSink {
public:
    // With `takeUtf8`, UTF-8 text is batched as its own bytes.
    BatchingSink(BoundedQueue<LineBatch>& queue, Recycler<LineBatch>& recycler, ByteBudget& budget, bool takeUtf8,
                 std::size_t batchLines = kBatchLines)
        : m_queue(queue), m_recycler(recycler), m_budget(budget), m_takeUtf8(takeUtf8), m_batchLines(batchLines)
    {
        startBatch();
    }

    // The lines that follow are those of input number `file`.
    void startFile(std::size_t file)
    {
        flush();
        m_batch.file = file;
        m_batch.firstLine = 1;
        m_linesInFile = 0;
        m_droppedInFile = 0;
        m_batch.droppedBefore = 0;
    }

    void line(std::u16string_view text) override { add(m_batch.text, text, false); }
    bool takesUtf8() const override { return m_takeUtf8; }
    void utf8Line(std::string_view bytes) override { add(m_batch.bytes, bytes, true); }
    // A long line is collected straight into the batch: no copy of it is
    // made on the way.
    bool takesParts() const override { return true; }
    void linePart(std::u16string_view piece) override { addPart(m_batch.text, piece, false); }
    void utf8LinePart(std::string_view piece) override { addPart(m_batch.bytes, piece, true); }
    // A batch's lines follow each other in the file: lines left out between
    // two end the batch. Dropped lines come in runs (above the table, or
    // comments), so batches stay large unless comments and rows alternate.
    void linesDropped(std::uint64_t count) override
    {
        if (!m_batch.ends.empty())
            flush();
        m_droppedInFile += count;
        m_batch.droppedBefore = m_droppedInFile;
    }

    void flush()
    {
        if (m_batch.ends.empty() && !m_batch.error)
            return;
        charge();
        if (!m_queue.push(std::move(m_batch)))
            throw Cancelled{};
        startBatch();
    }

    void fail(std::string message)
    {
        // The pieces of the line that was being read when reading failed.
        const std::size_t end = m_batch.ends.empty() ? 0 : m_batch.ends.back();
        if (m_batch.utf8)
            m_batch.bytes.resize(std::min(end, m_batch.bytes.size()));
        else
            m_batch.text.resize(std::min(end, m_batch.text.size()));
        m_batch.error = std::move(message);
        flush();
    }

private:
    // A batch holds lines of one kind: a file of the other kind starts a new one.
    template <typename Text, typename View>
    void addPart(Text& store, View piece, bool utf8)
    {
        if (m_batch.utf8 != utf8) {
            flush();
            m_batch.utf8 = utf8;
        }
        if (store.capacity() < kBatchUnits)
            store.reserve(kBatchUnits + 1024);
        store.append(piece);
        m_uncharged += piece.size() * sizeof(typename View::value_type);
        if (m_uncharged >= kChargeStep)
            charge();
    }

    template <typename Text, typename View>
    void add(Text& store, View line, bool utf8)
    {
        addPart(store, line, utf8);
        m_batch.ends.push_back(store.size());
        ++m_linesInFile;
        if (store.size() >= kBatchUnits || m_batch.ends.size() >= m_batchLines)
            flush();
    }

    // Waits while the bytes already in the pipeline and this batch's would
    // pass the budget.
    void charge()
    {
        if (m_uncharged == 0)
            return;
        if (!m_budget.take(m_uncharged, m_batch.charged))
            throw Cancelled{};
        m_batch.charged += m_uncharged;
        m_uncharged = 0;
    }

    void startBatch()
    {
        const bool utf8 = m_batch.utf8;
        const std::size_t file = m_batch.file;
        m_batch = m_recycler.take();
        m_batch.text.clear();
        m_batch.bytes.clear();
        m_batch.utf8 = utf8;
        m_batch.ends.clear();
        m_batch.file = file;
        m_batch.firstLine = m_linesInFile + 1;
        m_batch.droppedBefore = m_droppedInFile;
        m_batch.charged = 0;
        m_batch.error.reset();
        m_batch.ends.reserve(std::min(m_batchLines, kBatchLines));
        m_uncharged = 0;
    }

    BoundedQueue<LineBatch>& m_queue;
    Recycler<LineBatch>& m_recycler;
    ByteBudget& m_budget;
    bool m_takeUtf8;
    std::size_t m_batchLines;
    LineBatch m_batch;
    std::size_t m_uncharged = 0;
    std::uint64_t m_linesInFile = 0;
    std::uint64_t m_droppedInFile = 0;
};

// A reading's failure as ReadError words it, for the file called `name`.
inline std::string describeReadError(const std::string& name, std::uint64_t lineNumber, const std::string& reason)
{
    return name + ": line " + std::to_string(lineNumber) + ": " + reason;
}

// Reads `sources` one after another into `sink` and closes `queue` when they
// are read. A failure reaches the consumer as the error of the last batch,
// with what was read before it, the file named by `names` (what the user
// gave, where the bytes come from a copy or a descriptor); a reading the
// consumer cancelled just ends.
inline void readInputsInto(const std::vector<InputSource>& sources, const std::vector<std::string>& names,
                           TextEncoding encoding, RecordCutting cutting, LineDropping dropping, BatchingSink& sink,
                           BoundedQueue<LineBatch>& queue, std::atomic<std::uint64_t>& bytesRead)
{
    try {
        for (std::size_t f = 0; f < sources.size(); ++f) {
            sink.startFile(f);
            try {
                readSourceLines(sources[f], encoding, sink, &bytesRead, cutting, dropping);
            } catch (const ReadError& e) {
                const std::string message =
                    f < names.size() ? describeReadError(names[f], e.lineNumber(), e.reason()) : e.what();
                sink.fail("File load error! " + message);
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

} // namespace quarrow::cli
