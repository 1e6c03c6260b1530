#include "net/CancelSignal.h"

#include <utility>

namespace quarrow {

void CancelSignal::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled.store(true, std::memory_order_release);
    if (m_wake) {
        m_wake();
        m_wake = nullptr;
    }
}

void CancelSignal::setWaker(std::function<void()> wake)
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled.load(std::memory_order_relaxed)) {
        wake();
        return;
    }
    m_wake = std::move(wake);
}

void CancelSignal::clearWaker()
{
    std::lock_guard lock(m_mutex);
    m_wake = nullptr;
}

} // namespace quarrow
