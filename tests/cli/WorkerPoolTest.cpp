#include "cli/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using quarrow::cli::WorkerPool;

TEST(WorkerPool, ResultsAndErrorsComeBackThroughTheirFutures)
{
    WorkerPool pool(2);
    std::vector<std::future<std::string>> results;
    for (int i = 0; i < 50; ++i) {
        results.push_back(pool.submit([i] {
            if (i % 7 == 3)
                throw std::runtime_error("task " + std::to_string(i));
            return std::to_string(i * i);
        }));
    }
    for (int i = 0; i < 50; ++i) {
        if (i % 7 == 3)
            EXPECT_THROW(results[static_cast<std::size_t>(i)].get(), std::runtime_error) << i;
        else
            EXPECT_EQ(results[static_cast<std::size_t>(i)].get(), std::to_string(i * i));
    }
}

// The converter's tasks use what outlives the pool but not its futures: a
// pool that is destroyed while tasks wait (a reading that fails half way)
// must run them all before it is gone.
TEST(WorkerPool, DestructionRunsEveryTaskStillQueued)
{
    std::atomic<int> ran{0};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::thread opener;
    {
        WorkerPool pool(1);
        // The one thread is held by the first task while the rest queue.
        (void)pool.submit([&ran, released] {
            released.wait();
            ++ran;
        });
        for (int i = 0; i < 20; ++i)
            (void)pool.submit([&ran] { ++ran; });
        opener = std::thread([&release] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            release.set_value();
        });
    }
    opener.join();
    EXPECT_EQ(ran.load(), 21);
}

TEST(WorkerPool, MoveOnlyTasksAndResults)
{
    WorkerPool pool;
    auto owned = std::make_unique<int>(41);
    auto result = pool.submit([owned = std::move(owned)]() mutable {
        ++*owned;
        return std::move(owned);
    });
    EXPECT_EQ(*result.get(), 42);
}

} // namespace
