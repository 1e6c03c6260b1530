// Loads a CSV file into a workspace, as the window does (on a worker thread,
// with the progress counter and the cancel flag in place), and reports the
// memory it takes per input byte: the rows' own bytes, and the process's
// peak resident size (which includes the program itself).

#include "engine/workspace/Workspace.h"
#include "platform/posix/LargePages.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <sys/resource.h>

int main(int argc, char** argv)
{
    quarrow::setChunkAdvice(&quarrow::adviseLargePages); // as the window does
    if (argc != 2) {
        std::fprintf(stderr, "usage: workspace_memory FILE.csv\n");
        return 2;
    }
    const std::filesystem::path path = argv[1];
    const auto inputBytes = static_cast<double>(std::filesystem::file_size(path));

    const auto start = std::chrono::steady_clock::now();
    quarrow::Workspace workspace;
    quarrow::LoadReport report;
    std::atomic<std::uint64_t> bytesRead{0};
    const std::atomic<bool> cancel{false};
    std::thread worker([&] {
        report =
            workspace.load(path, quarrow::LoadOptions{quarrow::TextEncoding::Utf8, true, u',', quarrow::Dialect::MySql},
                           quarrow::LoadControl{&bytesRead, &cancel});
    });
    worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (report.readFailed) {
        std::fprintf(stderr, "workspace_memory: %s\n", report.failure.c_str());
        return 1;
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double peakBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
    std::printf("  %-28s %10lld rows  load %6.2f s  rows %.2f B/B  peak RSS %.2f B/B\n", path.filename().c_str(),
                static_cast<long long>(report.rowCount), seconds,
                static_cast<double>(workspace.rowBytes()) / inputBytes, peakBytes / inputBytes);
    return 0;
}
