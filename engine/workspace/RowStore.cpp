#include "engine/workspace/RowStore.h"

#include "engine/text/Utf8.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace quarrow {

namespace {

std::atomic<ChunkAdvice> chunkAdvice{nullptr};

bool isAscii(std::string_view text) noexcept
{
    unsigned char any = 0;
    for (const char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// The most any character of the text sets: below 0x80 for ASCII, below
// 0x100 for Latin-1.
char16_t bitsOf(std::u16string_view text) noexcept
{
    char16_t any = 0;
    for (const char16_t c : text)
        any |= c;
    return any;
}

} // namespace

void setChunkAdvice(ChunkAdvice advice) noexcept
{
    chunkAdvice.store(advice, std::memory_order_relaxed);
}

void RowStore::addChunk(std::uint64_t bytes)
{
    Chunk chunk;
    // Uninitialised on purpose: pages are only touched as lines arrive.
    chunk.data.reset(new unsigned char[bytes]);
    if (const ChunkAdvice advice = chunkAdvice.load(std::memory_order_relaxed);
        advice != nullptr && bytes >= kAdvisedChunkBytes)
        advice(chunk.data.get(), bytes);
    chunk.capacity = bytes;
    chunk.firstRow = m_rows.size();
    m_chunks.push_back(std::move(chunk));
}

void RowStore::reserve(std::uint64_t bytes)
{
    if (!m_chunks.empty() && m_chunks.back().capacity - m_chunks.back().used >= bytes)
        return;
    bytes = std::clamp(bytes, kMinChunkBytes, kMaxChunkBytes);
    try {
        addChunk(bytes);
    } catch (const std::bad_alloc&) {
        // The address space is short; appending falls back to small chunks.
    }
}

unsigned char* RowStore::place(std::uint64_t bytes, Form form)
{
    // A row must start where a reference can point: a row longer than a
    // chunk gets one of its own, and the row after it a new one.
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < bytes
        || m_chunks.back().used > kOffsetMask) {
        const std::uint64_t growth =
            m_chunks.empty() ? kMinChunkBytes : std::min(m_chunks.back().capacity * 2, kMaxChunkBytes);
        addChunk(std::max(bytes, std::max(growth, kMinChunkBytes)));
    }
    Chunk& chunk = m_chunks.back();
    m_rows.push_back((static_cast<std::uint32_t>(form) << kOffsetBits) | static_cast<std::uint32_t>(chunk.used));
    unsigned char* at = chunk.data.get() + chunk.used;
    chunk.used += bytes;
    return at;
}

void RowStore::appendNarrow(std::u16string_view line, Form form)
{
    unsigned char* out = place(line.size(), form);
    for (const char16_t c : line)
        *out++ = static_cast<unsigned char>(c);
}

void RowStore::append(std::u16string_view line)
{
    if (const char16_t bits = bitsOf(line); bits < 0x100) {
        appendNarrow(line, bits < 0x80 ? Form::Ascii : Form::Latin1);
        return;
    }
    const std::uint64_t bytes = line.size() * sizeof(char16_t);
    std::memcpy(place(bytes, Form::Utf16), line.data(), bytes);
}

void RowStore::appendUtf8(std::string_view line)
{
    if (isAscii(line)) {
        unsigned char* out = place(line.size(), Form::Ascii);
        if (!line.empty())
            std::memcpy(out, line.data(), line.size());
        return;
    }
    if (m_decoded.size() < line.size())
        m_decoded.resize(line.size());
    const auto r =
        utf8::decode(reinterpret_cast<const unsigned char*>(line.data()), line.size(), m_decoded.data(), true);
    const std::u16string_view text(m_decoded.data(), r.written);
    if (bitsOf(text) < 0x100) {
        appendNarrow(text, Form::Latin1);
    } else if (line.size() < text.size() * sizeof(char16_t)) {
        std::memcpy(place(line.size(), Form::Utf8), line.data(), line.size());
    } else {
        const std::uint64_t bytes = text.size() * sizeof(char16_t);
        std::memcpy(place(bytes, Form::Utf16), text.data(), bytes);
    }
}

void RowStore::clear()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_decoded.clear();
    m_decoded.shrink_to_fit();
}

std::size_t RowStore::chunkOf(std::size_t row) const noexcept
{
    // The last chunk begun at or before the row holds it; few chunks exist.
    const auto it = std::upper_bound(m_chunks.begin(), m_chunks.end(), row,
                                     [](std::size_t r, const Chunk& c) { return r < c.firstRow; });
    return static_cast<std::size_t>(it - m_chunks.begin()) - 1;
}

void RowStore::truncate(std::size_t count)
{
    if (count >= m_rows.size())
        return;
    const std::size_t c = chunkOf(count);
    m_chunks[c].used = m_rows[count] & kOffsetMask;
    m_chunks.resize(c + 1);
    m_rows.resize(count);
}

RowStore::Place RowStore::locate(std::size_t i) const noexcept
{
    const std::uint32_t ref = m_rows[i];
    const std::size_t c = chunkOf(i);
    const Chunk& chunk = m_chunks[c];
    const std::uint32_t offset = ref & kOffsetMask;
    std::uint64_t end = chunk.used;
    if (i + 1 < m_rows.size() && (c + 1 == m_chunks.size() || i + 1 < m_chunks[c + 1].firstRow))
        end = m_rows[i + 1] & kOffsetMask;
    return {chunk.data.get() + offset, static_cast<std::size_t>(end - offset), offset,
            static_cast<Form>(ref >> kOffsetBits)};
}

std::u16string_view RowStore::row(std::size_t i, std::u16string& scratch) const
{
    const Place at = locate(i);
    switch (at.form) {
    case Form::Ascii:
    case Form::Latin1: {
        if (scratch.size() < at.bytes)
            scratch.resize(at.bytes);
        char16_t* out = scratch.data();
        for (std::size_t k = 0; k < at.bytes; ++k)
            out[k] = at.text[k];
        return {scratch.data(), at.bytes};
    }
    case Form::Utf8: {
        if (scratch.size() < at.bytes)
            scratch.resize(at.bytes);
        const auto r = utf8::decode(at.text, at.bytes, scratch.data(), true);
        return {scratch.data(), r.written};
    }
    case Form::Utf16: break;
    }
    const std::size_t units = at.bytes / sizeof(char16_t);
    // The chunk's storage is aligned for any type; a row that starts at an
    // odd byte is copied out.
    if (at.offset % alignof(char16_t) == 0)
        return {reinterpret_cast<const char16_t*>(at.text), units};
    if (scratch.size() < units)
        scratch.resize(units);
    std::memcpy(scratch.data(), at.text, at.bytes);
    return {scratch.data(), units};
}

std::optional<std::string_view> RowStore::utf8Row(std::size_t i) const noexcept
{
    const Place at = locate(i);
    if (at.form != Form::Ascii && at.form != Form::Utf8)
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(at.text), at.bytes);
}

std::uint64_t RowStore::bytesUsed() const noexcept
{
    std::uint64_t bytes = 0;
    for (const auto& c : m_chunks)
        bytes += c.used;
    return bytes + m_rows.size() * sizeof(std::uint32_t);
}

} // namespace quarrow
