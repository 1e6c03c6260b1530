#pragma once

#include <atomic>
#include <functional>
#include <mutex>

namespace quarrow {

// Lets another thread end a blocking wait early: the waiting side registers
// a waker while it waits; cancel() sets the flag and calls the waker, so the
// wait ends at once instead of at its time-out. Shared by both threads.
class CancelSignal {
public:
    void cancel();
    bool cancelled() const noexcept { return m_cancelled.load(std::memory_order_acquire); }

    // `wake` is called from the cancelling thread, at most once, while it is
    // registered; it must only nudge the waiting thread.
    void setWaker(std::function<void()> wake);
    void clearWaker();

private:
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    std::function<void()> m_wake;
};

} // namespace quarrow
