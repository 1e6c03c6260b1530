#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace quarrow::cli {

// Bytes read, of how many, and the rate, on one line of a terminal that
// each update rewrites; shown once the work has taken a second, at most
// four times a second. `label`, when not empty, starts the line: a run that
// reads its inputs twice names each reading, so that the figures starting
// again from zero are not taken for a step back.
class ProgressDisplay {
public:
    ProgressDisplay(std::ostream& err, bool enabled, std::uint64_t totalBytes,
                    const std::atomic<std::uint64_t>& bytesRead, std::string label = {});

    void update() { show(false); }
    // The final figures, and the line ended; nothing if nothing was shown.
    void finish();

private:
    void show(bool final);

    std::ostream& m_err;
    bool m_enabled;
    std::uint64_t m_total;
    const std::atomic<std::uint64_t>& m_bytesRead;
    std::string m_label;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastShown;
    bool m_shown = false;
};

} // namespace quarrow::cli
