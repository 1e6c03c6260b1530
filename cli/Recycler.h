#pragma once

#include <mutex>
#include <vector>

namespace quarrow::cli {

// Keeps large buffers for reuse between threads, so that a long run does not
// pay for fresh pages on every batch.
template <typename T>
class Recycler {
public:
    T take()
    {
        std::lock_guard lock(m_mutex);
        if (m_items.empty())
            return T{};
        T item = std::move(m_items.back());
        m_items.pop_back();
        return item;
    }

    void give(T item)
    {
        std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(item));
    }

private:
    std::mutex m_mutex;
    std::vector<T> m_items;
};

} // namespace quarrow::cli
