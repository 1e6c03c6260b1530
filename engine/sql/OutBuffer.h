#pragma once

#include <cstddef>
#include <cstring>
#include <memory>

namespace quarrow {

// A growable byte buffer written through raw pointers: the caller asks for
// room for the worst case, writes, and sets the new end. Avoids the
// zero-filling and per-byte checks of std::string on the hot path.
class OutBuffer {
public:
    // Returns where to write at least `room` more bytes.
    char* reserveTail(std::size_t room)
    {
        if (m_capacity - m_size < room)
            grow(m_size + room);
        return m_data.get() + m_size;
    }
    void setEnd(const char* end) noexcept { m_size = static_cast<std::size_t>(end - m_data.get()); }

    void append(const char* data, std::size_t size)
    {
        char* o = reserveTail(size);
        if (size > 0)
            std::memcpy(o, data, size);
        m_size += size;
    }

    const char* data() const noexcept { return m_data.get(); }
    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    void clear() noexcept { m_size = 0; }

private:
    void grow(std::size_t needed)
    {
        std::size_t capacity = m_capacity < 4096 ? 4096 : m_capacity;
        while (capacity < needed)
            capacity *= 2;
        std::unique_ptr<char[]> data(new char[capacity]);
        if (m_size > 0)
            std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace quarrow
