#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

namespace quarrow {

// Every loaded line in few large UTF-16 chunks plus one 8-byte reference per
// line, so that multi-gigabyte inputs fit: no heap string per line, and no
// growth by copying (a full chunk stays where it is and a new one starts).
class RowStore {
public:
    RowStore() = default;
    RowStore(const RowStore&) = delete;
    RowStore& operator=(const RowStore&) = delete;
    RowStore(RowStore&&) noexcept = default;
    RowStore& operator=(RowStore&&) noexcept = default;

    // Makes room for about `units` more code units in one chunk, so a file
    // of known size lands in a single allocation. Only what is written is
    // ever touched, so an estimate on the high side costs address space,
    // not memory.
    void reserve(std::uint64_t units);

    void append(std::u16string_view line);
    void clear();
    // Drops every row from `count` on, and their text.
    void truncate(std::size_t count);

    std::size_t size() const noexcept { return m_rows.size(); }
    bool empty() const noexcept { return m_rows.empty(); }
    std::u16string_view operator[](std::size_t i) const noexcept;

    // Bytes held: chunk capacity in use plus the references.
    std::uint64_t bytesUsed() const noexcept;

private:
    struct Chunk {
        std::unique_ptr<char16_t[]> data;
        std::uint64_t capacity = 0;
        std::uint64_t used = 0;
    };

    static constexpr unsigned kOffsetBits = 40;
    static constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;
    static constexpr std::uint64_t kMinChunkUnits = std::uint64_t{1} << 20;
    static constexpr std::uint64_t kMaxChunkUnits = std::uint64_t{1} << 29;

    void addChunk(std::uint64_t units);

    std::vector<Chunk> m_chunks;
    // Chunk index in the high bits, offset in the chunk in the low bits. A
    // row ends where the next row of the same chunk starts, or at the
    // chunk's end.
    std::deque<std::uint64_t> m_rows;
};

} // namespace quarrow
