#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// Told of every large block of memory the row store takes, before anything
// is written to it, so that the program can ask its system to back the
// block with large pages: a gigabyte of 4 KiB pages costs a quarter of a
// million page faults while the lines arrive. Installed once at start,
// before any load; none by default.
using ChunkAdvice = void (*)(void* data, std::size_t bytes);
void setChunkAdvice(ChunkAdvice advice) noexcept;

// Every loaded line in few large chunks plus one 4-byte reference per line,
// so that multi-gigabyte inputs fit: no heap string per line, and no growth
// by copying (a full chunk stays where it is and a new one starts).
//
// Each line is kept in the smallest of three forms: one byte a character
// when every character is below U+0100 (all of ASCII and of Latin-1), the
// UTF-8 of the file when that is shorter than UTF-16, else UTF-16. An ASCII
// file thus costs its own size, and no line costs more than its UTF-16.
// Readers get UTF-16 either way: a view of the store, or the line decoded
// into a buffer of theirs; a reader that works on UTF-8 gets the lines held
// in UTF-8 (ASCII ones included) as they are.
class RowStore {
public:
    RowStore() = default;
    RowStore(const RowStore&) = delete;
    RowStore& operator=(const RowStore&) = delete;
    RowStore(RowStore&&) noexcept = default;
    RowStore& operator=(RowStore&&) noexcept = default;

    // Makes room for about `bytes` more bytes in one chunk, so a file of
    // known size lands in a single allocation. Only what is written is ever
    // touched, so an estimate on the high side costs address space, not
    // memory.
    void reserve(std::uint64_t bytes);

    void append(std::u16string_view line);
    // `line` must be valid UTF-8 (as the line reader delivers it).
    void appendUtf8(std::string_view line);
    void clear();
    // Drops every row from `count` on, and their text.
    void truncate(std::size_t count);

    std::size_t size() const noexcept { return m_rows.size(); }
    bool empty() const noexcept { return m_rows.empty(); }

    // Row `i` as UTF-16: a view of the store, or of `scratch` when the row
    // had to be decoded there. The view lasts until `scratch` changes.
    std::u16string_view row(std::size_t i, std::u16string& scratch) const;
    // Row `i` as UTF-8 when it is held so (ASCII rows are), else nothing.
    std::optional<std::string_view> utf8Row(std::size_t i) const noexcept;

    // Bytes held: chunk bytes in use plus the references.
    std::uint64_t bytesUsed() const noexcept;

private:
    // Ascii and Latin1 rows hold one byte a character.
    enum class Form : std::uint32_t { Ascii = 0, Latin1 = 1, Utf8 = 2, Utf16 = 3 };

    struct Place {
        const unsigned char* text;
        std::size_t bytes;
        std::uint32_t offset;
        Form form;
    };
    Place locate(std::size_t row) const noexcept;

    struct Chunk {
        std::unique_ptr<unsigned char[]> data;
        std::uint64_t capacity = 0;
        std::uint64_t used = 0;
        std::size_t firstRow = 0;
    };

    // A reference holds the form in its top bits and the row's start in its
    // chunk below them. A row ends where the next row of the same chunk
    // starts, or at the chunk's end.
    static constexpr unsigned kOffsetBits = 30;
    static constexpr std::uint32_t kOffsetMask = (std::uint32_t{1} << kOffsetBits) - 1;
    static constexpr std::uint64_t kMinChunkBytes = std::uint64_t{1} << 21;
    static constexpr std::uint64_t kMaxChunkBytes = std::uint64_t{1} << kOffsetBits;
    // Smaller chunks are not worth large pages: many small files would each
    // hold a large page mostly empty.
    static constexpr std::uint64_t kAdvisedChunkBytes = std::uint64_t{1} << 25;

    void addChunk(std::uint64_t bytes);
    unsigned char* place(std::uint64_t bytes, Form form);
    std::size_t chunkOf(std::size_t row) const noexcept;
    void appendNarrow(std::u16string_view line, Form form);

    std::vector<Chunk> m_chunks;
    std::deque<std::uint32_t> m_rows;
    std::u16string m_decoded; // a UTF-8 line being judged
};

} // namespace quarrow
