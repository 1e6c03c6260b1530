// What the window's progress and Cancel cost: times loading a CSV file into
// a workspace and writing the workspace as a script, each both ways in
// alternating rounds of one run:
//
//   plain    the engine call on the calling thread with no control, as the
//            window made it before its work moved off the GUI thread
//   control  the call on a worker thread with the progress counter and the
//            cancel flag in place, while the waiting thread reads the
//            counter ten times a second, as the window does
//
//   control_overhead FILE.csv [ROUNDS]
//
// Prints, after an untimed round of each, the medians of the wall time and
// of the processor time the process spent, and the ratios control/plain.
// The target (control/plain <= 1.10) is checked on the processor time: on
// a machine shared with other work the wall time mostly measures the wait
// for a processor. The script goes to /dev/null through the same file
// writer the window uses, so that the disk does not decide the figures.

#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"
#include "platform/posix/LargePages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <time.h>

namespace {

using namespace quarrow;
using Clock = std::chrono::steady_clock;

const LoadOptions kReading{TextEncoding::Utf8, true, u',', Dialect::MySql};

struct Cost {
    double wall = 0; // seconds
    double cpu = 0;  // processor seconds of the whole process
};

double processorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

Cost measure(const std::function<void()>& run)
{
    const auto start = Clock::now();
    const double cpuStart = processorSeconds();
    run();
    return {std::chrono::duration<double>(Clock::now() - start).count(), processorSeconds() - cpuStart};
}

// Runs `work` on a worker thread and waits for it, reading `counter` every
// 100 ms meanwhile.
Cost onWorker(const std::function<void()>& work, const std::atomic<std::uint64_t>& counter)
{
    return measure([&] {
        std::mutex mutex;
        std::condition_variable ended;
        bool finished = false;
        std::thread worker([&] {
            work();
            std::lock_guard lock(mutex);
            finished = true;
            ended.notify_one();
        });
        std::uint64_t seen = 0;
        {
            std::unique_lock lock(mutex);
            while (!ended.wait_for(lock, std::chrono::milliseconds(100), [&] { return finished; }))
                seen = std::max(seen, counter.load(std::memory_order_relaxed));
        }
        worker.join();
        if (seen > 0 && counter.load(std::memory_order_relaxed) < seen)
            std::abort(); // the counter went backwards
    });
}

Cost onThisThread(const std::function<void()>& work)
{
    return measure(work);
}

double median(const std::vector<Cost>& costs, double Cost::*field)
{
    std::vector<double> values;
    for (const Cost& cost : costs)
        values.push_back(cost.*field);
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void report(const char* what, const std::vector<Cost>& plain, const std::vector<Cost>& control, double megabytes)
{
    const double pw = median(plain, &Cost::wall);
    const double cw = median(control, &Cost::wall);
    const double pc = median(plain, &Cost::cpu);
    const double cc = median(control, &Cost::cpu);
    std::printf("  %-6s wall: plain %6.2f s control %6.2f s ratio %.3f | cpu: plain %6.2f s (%6.1f MB/s) "
                "control %6.2f s (%6.1f MB/s) ratio %.3f %s\n",
                what, pw, cw, cw / pw, pc, megabytes / pc, cc, megabytes / cc, cc / pc,
                cc / pc <= 1.10 ? "ok" : "MISS");
}

} // namespace

int main(int argc, char** argv)
{
    quarrow::setChunkAdvice(&quarrow::adviseLargePages); // as the window does
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: control_overhead FILE.csv [ROUNDS]\n");
        return 2;
    }
    const std::filesystem::path path = argv[1];
    const int rounds = argc == 3 ? std::atoi(argv[2]) : 5;
    if (rounds < 1) {
        std::fprintf(stderr, "control_overhead: ROUNDS must be a positive number\n");
        return 2;
    }
    const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    const std::filesystem::path output = "/dev/null";
    ScriptOptions script;
    script.headerLine = true;

    std::vector<Cost> loadPlain, loadControl, exportPlain, exportControl;
    std::int64_t rows = 0;
    // Every other round runs the controlled way first, so that a drift in
    // the machine's speed falls on both alike. Round -1 is not counted: in
    // it the file and the heap are touched for the first time.
    for (int round = -1; round < rounds; ++round) {
        auto plainLoad = [&] {
            Workspace workspace;
            loadPlain.push_back(onThisThread([&] { rows = workspace.load(path, kReading).rowCount; }));
        };
        auto controlledLoad = [&] {
            Workspace workspace;
            std::atomic<std::uint64_t> bytesRead{0};
            const std::atomic<bool> cancel{false};
            LoadReport result;
            loadControl.push_back(onWorker(
                [&] {
                    result = workspace.load(path, kReading, LoadControl{&bytesRead, &cancel});
                },
                bytesRead));
            if (result.cancelled || result.rowCount != rows)
                std::abort();
        };
        if (round % 2 == 0 || round < 0) {
            plainLoad();
            controlledLoad();
        } else {
            controlledLoad();
            plainLoad();
        }
        if (round < 0) {
            loadPlain.clear();
            loadControl.clear();
        }
    }

    Workspace workspace;
    workspace.load(path, kReading);
    for (int round = -1; round < rounds; ++round) {
        auto plainExport = [&] { exportPlain.push_back(onThisThread([&] { Donustur(workspace, script, output); })); };
        auto controlledExport = [&] {
            std::atomic<std::uint64_t> rowsWritten{0};
            const std::atomic<bool> cancel{false};
            exportControl.push_back(onWorker(
                [&] {
                    Donustur(workspace, script, output, ExportControl{&rowsWritten, &cancel});
                },
                rowsWritten));
        };
        if (round % 2 == 0 || round < 0) {
            plainExport();
            controlledExport();
        } else {
            controlledExport();
            plainExport();
        }
        if (round < 0) {
            exportPlain.clear();
            exportControl.clear();
        }
    }

    std::printf("  %s: %.1f MB, %lld rows, %d rounds (medians)\n", path.filename().c_str(), megabytes,
                static_cast<long long>(rows), rounds);
    report("load", loadPlain, loadControl, megabytes);
    report("export", exportPlain, exportControl, megabytes);
    return 0;
}
