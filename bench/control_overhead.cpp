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
// Prints the median wall time of each and the ratio control/plain. The
// script goes to /dev/null through the same file writer the window uses, so
// the disk does not decide the figures.

#include "sql/Donustur.h"
#include "workspace/Workspace.h"

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

namespace {

using namespace quarrow;
using Clock = std::chrono::steady_clock;

const LoadOptions kReading{TextEncoding::Utf8, true, u',', Dialect::MySql};

// Runs `work` on a worker thread and waits for it, reading `counter` every
// 100 ms meanwhile. Returns the work's own wall time, measured on the worker.
double onWorker(const std::function<void()>& work, const std::atomic<std::uint64_t>& counter)
{
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    double seconds = 0;
    std::thread worker([&] {
        const auto start = Clock::now();
        work();
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
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
    return seconds;
}

double onThisThread(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void report(const char* what, const std::vector<double>& plain, const std::vector<double>& control, double megabytes)
{
    const double p = median(plain);
    const double c = median(control);
    std::printf("  %-6s plain %7.2f s %7.1f MB/s | control %7.2f s %7.1f MB/s | control/plain %.3f %s\n", what, p,
                megabytes / p, c, megabytes / c, c / p, c / p <= 1.10 ? "ok" : "MISS");
}

} // namespace

int main(int argc, char** argv)
{
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

    std::vector<double> loadPlain, loadControl, exportPlain, exportControl;
    std::int64_t rows = 0;
    // Every other round runs the controlled way first, so that a drift in
    // the machine's speed falls on both alike.
    for (int round = 0; round < rounds; ++round) {
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
        if (round % 2 == 0) {
            plainLoad();
            controlledLoad();
        } else {
            controlledLoad();
            plainLoad();
        }
    }

    Workspace workspace;
    workspace.load(path, kReading);
    for (int round = 0; round < rounds; ++round) {
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
        if (round % 2 == 0) {
            plainExport();
            controlledExport();
        } else {
            controlledExport();
            plainExport();
        }
    }

    std::printf("  %s: %.1f MB, %lld rows, %d rounds (median wall time)\n", path.filename().c_str(), megabytes,
                static_cast<long long>(rows), rounds);
    report("load", loadPlain, loadControl, megabytes);
    report("export", exportPlain, exportControl, megabytes);
    return 0;
}
