#include "engine/workspace/RowStore.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace quarrow {

void RowStore::addChunk(std::uint64_t units)
{
    Chunk chunk;
    // Uninitialised on purpose: pages are only touched as lines arrive.
    chunk.data.reset(new char16_t[units]);
    chunk.capacity = units;
    m_chunks.push_back(std::move(chunk));
}

void RowStore::reserve(std::uint64_t units)
{
    if (!m_chunks.empty() && m_chunks.back().capacity - m_chunks.back().used >= units)
        return;
    units = std::clamp(units, kMinChunkUnits, kMaxChunkUnits);
    try {
        addChunk(units);
    } catch (const std::bad_alloc&) {
        // The address space is short; appending falls back to small chunks.
    }
}

void RowStore::append(std::u16string_view line)
{
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < line.size()) {
        const std::uint64_t growth =
            m_chunks.empty() ? kMinChunkUnits : std::min(m_chunks.back().capacity * 2, kMaxChunkUnits);
        addChunk(std::max<std::uint64_t>(line.size(), std::max(growth, kMinChunkUnits)));
    }
    Chunk& chunk = m_chunks.back();
    if (!line.empty())
        std::memcpy(chunk.data.get() + chunk.used, line.data(), line.size() * sizeof(char16_t));
    m_rows.push_back((static_cast<std::uint64_t>(m_chunks.size() - 1) << kOffsetBits) | chunk.used);
    chunk.used += line.size();
}

void RowStore::clear()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_chunks.clear();
    m_chunks.shrink_to_fit();
}

void RowStore::truncate(std::size_t count)
{
    if (count >= m_rows.size())
        return;
    const std::uint64_t ref = m_rows[count];
    const auto chunkIndex = static_cast<std::size_t>(ref >> kOffsetBits);
    m_chunks[chunkIndex].used = ref & kOffsetMask;
    m_chunks.resize(chunkIndex + 1);
    m_rows.resize(count);
}

std::u16string_view RowStore::operator[](std::size_t i) const noexcept
{
    const std::uint64_t ref = m_rows[i];
    const std::size_t chunkIndex = static_cast<std::size_t>(ref >> kOffsetBits);
    const std::uint64_t offset = ref & kOffsetMask;
    const Chunk& chunk = m_chunks[chunkIndex];
    std::uint64_t end = chunk.used;
    if (i + 1 < m_rows.size() && (m_rows[i + 1] >> kOffsetBits) == chunkIndex)
        end = m_rows[i + 1] & kOffsetMask;
    return {chunk.data.get() + offset, static_cast<std::size_t>(end - offset)};
}

std::uint64_t RowStore::bytesUsed() const noexcept
{
    std::uint64_t units = 0;
    for (const auto& c : m_chunks)
        units += c.used;
    return units * sizeof(char16_t) + m_rows.size() * sizeof(std::uint64_t);
}

} // namespace quarrow
