#pragma once

#include "net/CancelSignal.h"

#include <condition_variable>
#include <mutex>

namespace quarrow::test {

// Blocks the calling thread until `cancel` fires, the way an exchange with a
// server that never answers waits until the program ends it.
inline void waitForCancel(CancelSignal& cancel)
{
    std::mutex mutex;
    std::condition_variable woken;
    bool wake = false;
    cancel.setWaker([&] {
        std::lock_guard lock(mutex);
        wake = true;
        woken.notify_all();
    });
    std::unique_lock lock(mutex);
    woken.wait(lock, [&] { return wake; });
    lock.unlock();
    cancel.clearWaker();
}

} // namespace quarrow::test
