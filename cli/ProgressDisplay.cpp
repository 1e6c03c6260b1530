#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

namespace quarrow::cli {

namespace {

std::string formatBytes(double bytes)
{
    static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    int unit = 0;
    while (bytes >= 1000.0 && unit < 4) {
        bytes /= 1000.0;
        ++unit;
    }
    std::ostringstream s;
    s << std::fixed << std::setprecision(unit == 0 ? 0 : 1) << bytes << ' ' << kUnits[unit];
    return s.str();
}

} // namespace

ProgressDisplay::ProgressDisplay(std::ostream& err, bool enabled, std::uint64_t totalBytes,
                                 const std::atomic<std::uint64_t>& bytesRead, std::string label)
    : m_err(err), m_enabled(enabled), m_total(totalBytes), m_bytesRead(bytesRead), m_label(std::move(label)),
      m_start(std::chrono::steady_clock::now()), m_lastShown(m_start)
{
}

void ProgressDisplay::finish()
{
    if (m_shown) {
        show(true); // the final figures
        m_err << "\n";
    }
    m_shown = false;
}

void ProgressDisplay::show(bool final)
{
    if (!m_enabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!final && (now - m_start < std::chrono::seconds(1) || now - m_lastShown < std::chrono::milliseconds(250)))
        return;
    m_lastShown = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const auto done = m_bytesRead.load(std::memory_order_relaxed);
    m_err << "\r" << m_label << formatBytes(static_cast<double>(done));
    if (m_total > 0)
        m_err << " of " << formatBytes(static_cast<double>(m_total)) << " ("
              << std::min<std::uint64_t>(100, done * 100 / m_total) << "%)";
    m_err << ", " << formatBytes(static_cast<double>(done) / seconds) << "/s   " << std::flush;
    m_shown = true;
}

} // namespace quarrow::cli
