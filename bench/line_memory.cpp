// Reads a file with the engine's line reader, as the load does, and reports
// the memory that its longest line costs: the peak of live heap bytes
// (counted by this program's operator new) and the growth of the peak
// resident set size, each as a ratio to the longest line's length in the
// file. The sink keeps a copy of the longest line, as a row store would, so
// a ratio of 2 means the reader's own overhead equals one copy of the line.
//
//   line_memory [--utf8 | --parts] FILE
//
//   --utf8   the sink takes UTF-8 lines undecoded; without it every line
//            arrives as UTF-16 (the window's way)
//   --parts  the sink takes UTF-8 lines undecoded and long ones in pieces,
//            collecting each in a string of its own that it then hands on
//            and reuses, as the converter's batches do: it keeps no copy,
//            so the figure is the line's own storage and what the reader
//            adds to it

#include "engine/csv/LineReader.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <sys/resource.h>

namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

void* allocate(std::size_t size)
{
    // A header in front of each block remembers its size for the count.
    void* block = std::malloc(size + alignof(std::max_align_t));
    if (block == nullptr)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    const std::size_t live = g_live.fetch_add(size) + size;
    std::size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + alignof(std::max_align_t);
}

void release(void* pointer) noexcept
{
    if (pointer == nullptr)
        return;
    void* block = static_cast<char*>(pointer) - alignof(std::max_align_t);
    g_live.fetch_sub(*static_cast<std::size_t*>(block));
    std::free(block);
}

long peakResidentKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Keeps the longest line, sized exactly, and the longest line's length in
// the file's own units (bytes for UTF-8 kept as it is).
class LongestLine final : public quarrow::LineSink {
public:
    LongestLine(bool takeUtf8, bool takeParts) : m_takeUtf8(takeUtf8), m_takeParts(takeParts) {}

    void line(std::u16string_view text) override
    {
        ++lines;
        if (text.size() * 2 <= m_heldBytes)
            return;
        m_text.clear();
        m_text.shrink_to_fit();
        m_text.reserve(text.size());
        m_text.assign(text);
        m_heldBytes = text.size() * 2;
    }
    bool takesUtf8() const override { return m_takeUtf8; }
    bool takesParts() const override { return m_takeParts; }
    void utf8LinePart(std::string_view piece) override { m_collected.append(piece); }
    void utf8Line(std::string_view bytes) override
    {
        if (m_takeParts) {
            ++lines;
            m_collected.append(bytes);
            m_longest = std::max(m_longest, m_collected.size());
            m_collected.clear();
            return;
        }
        ++lines;
        if (bytes.size() <= m_heldBytes)
            return;
        m_bytes.clear();
        m_bytes.shrink_to_fit();
        m_bytes.reserve(bytes.size());
        m_bytes.assign(bytes);
        m_heldBytes = bytes.size();
    }

    std::size_t heldBytes() const noexcept { return m_heldBytes; }
    std::size_t longest() const noexcept
    {
        return m_takeParts ? m_longest : m_takeUtf8 ? m_heldBytes : m_heldBytes / 2;
    }
    std::size_t lines = 0;

private:
    bool m_takeUtf8;
    bool m_takeParts;
    std::string m_collected;
    std::size_t m_longest = 0;
    std::u16string m_text;
    std::string m_bytes;
    std::size_t m_heldBytes = 0;
};

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void operator delete(void* pointer) noexcept
{
    release(pointer);
}
void operator delete[](void* pointer) noexcept
{
    release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept
{
    release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept
{
    release(pointer);
}

int main(int argc, char** argv)
{
    const bool parts = argc == 3 && std::strcmp(argv[1], "--parts") == 0;
    const bool utf8 = parts || (argc == 3 && std::strcmp(argv[1], "--utf8") == 0);
    if (argc != (utf8 ? 3 : 2)) {
        std::fprintf(stderr, "usage: line_memory [--utf8 | --parts] FILE\n");
        return 2;
    }
    const std::filesystem::path path = argv[argc - 1];

    LongestLine sink(utf8, parts);
    const long residentBefore = peakResidentKb();
    const std::size_t heapBefore = g_live.load();
    g_peak.store(heapBefore);
    try {
        quarrow::readLines(path, quarrow::TextEncoding::Utf8, sink);
    } catch (const quarrow::ReadError& e) {
        std::fprintf(stderr, "line_memory: %s\n", e.what());
        return 1;
    }
    const long residentAfter = peakResidentKb();

    // ASCII lines: one byte in the file per unit held.
    const double lineBytes = static_cast<double>(sink.longest());
    if (lineBytes == 0) {
        std::fprintf(stderr, "line_memory: no line\n");
        return 1;
    }
    std::printf("  %-30s %-6s longest %8.1f MB  heap peak %5.2f x  RSS growth %5.2f x  (held copy %4.2f x)\n",
                path.filename().c_str(),
                parts  ? "parts"
                : utf8 ? "utf8"
                       : "utf16",
                lineBytes / 1e6, static_cast<double>(g_peak.load() - heapBefore) / lineBytes,
                static_cast<double>(residentAfter - residentBefore) * 1024.0 / lineBytes,
                static_cast<double>(sink.heldBytes()) / lineBytes);
    return 0;
}
