#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace quarrow::cli {

// Bytes of lines held between reading and formatting. The reading thread
// takes bytes as its batch grows and waits while batches ahead of it hold
// bytes and the total would pass the limit; the other side gives a batch's
// bytes back once it is formatted. So a line longer than the limit is read
// only when nothing else is held, and nothing more is read while it is
// held: memory follows the longest line once, not once per queued batch.
class ByteBudget {
public:
    explicit ByteBudget(std::size_t limit) : m_limit(limit) {}
    ByteBudget(const ByteBudget&) = delete;
    ByteBudget& operator=(const ByteBudget&) = delete;

    // Takes `bytes` more for a holder that holds `own` already; false once
    // the budget is closed.
    bool take(std::size_t bytes, std::size_t own)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closed || m_held == own || m_held + bytes <= m_limit; });
        if (m_closed)
            return false;
        m_held += bytes;
        return true;
    }

    void give(std::size_t bytes)
    {
        std::lock_guard lock(m_mutex);
        m_held -= bytes;
        m_changed.notify_all();
    }

    // Ends all waiting: the reading is being stopped.
    void close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_limit;
    std::size_t m_held = 0;
    bool m_closed = false;
};

} // namespace quarrow::cli
