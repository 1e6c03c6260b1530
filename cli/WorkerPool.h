#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace quarrow::cli {

// A few threads that run tasks in the order they are handed in. Both of the
// converter's readings give every batch of lines to a task; a thread started
// per batch would pay for its start every few hundred kilobytes.
//
// The pool finishes every task it was given before its destructor returns,
// so tasks may refer to anything that outlives the pool: declare the pool
// after what its tasks use.
class WorkerPool {
public:
    // The threads the machine runs at once, at least two.
    static std::size_t defaultThreads() noexcept
    {
        return std::max<std::size_t>(2, std::thread::hardware_concurrency());
    }

    explicit WorkerPool(std::size_t threads = defaultThreads())
    {
        m_threads.reserve(threads);
        for (std::size_t i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { work(); });
    }

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    ~WorkerPool()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_ready.notify_all();
        for (auto& thread : m_threads)
            thread.join();
    }

    // Runs `task` on one of the threads; its result, or what it threw,
    // comes through the future.
    template <typename Task>
    std::future<std::invoke_result_t<Task&>> submit(Task task)
    {
        using Result = std::invoke_result_t<Task&>;
        // std::function wants a copyable target: the packaged task, which
        // holds the move-only state, is shared.
        auto packaged = std::make_shared<std::packaged_task<Result()>>(std::move(task));
        std::future<Result> result = packaged->get_future();
        {
            std::lock_guard lock(m_mutex);
            m_tasks.emplace_back([packaged] { (*packaged)(); });
        }
        m_ready.notify_one();
        return result;
    }

private:
    void work()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [&] { return m_closing || !m_tasks.empty(); });
                if (m_tasks.empty())
                    return; // closing, and nothing left to run
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_tasks;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

} // namespace quarrow::cli
