#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <functional>

class QWidget;

namespace quarrow {

// Runs one long piece of engine work (a load or an export) on a worker
// thread while the GUI thread keeps handling events, so the windows keep
// painting. A progress window with a Cancel button appears once the work has
// taken longer than `delay`; until the work ends, the owner window takes no
// input. The GUI thread only reads the shared counters and sets the cancel
// flag; the work itself never touches a widget.
class BackgroundWork final {
public:
    struct Progress {
        QString text;     // what the progress window says, updated as it goes
        qint64 done = 0;  // out of `total`
        qint64 total = 0; // 0: no known end
    };

    BackgroundWork(QWidget* owner, QString title);
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // How long the work may take before the progress window shows.
    void setDelay(std::chrono::milliseconds delay) { m_delay = delay; }
    // Work that cannot stop half way shows no Cancel button.
    void setCancellable(bool cancellable) { m_cancellable = cancellable; }
    // Called on the GUI thread a few times a second while the work runs.
    void setProgress(std::function<Progress()> progress) { m_progress = std::move(progress); }

    // Runs `work` on a worker thread and returns when it has ended; an
    // exception it threw is thrown again here. Cancel sets cancelFlag().
    void run(const std::function<void()>& work);

    const std::atomic<bool>& cancelFlag() const noexcept { return m_cancel; }
    bool cancelled() const noexcept { return m_cancel.load(std::memory_order_relaxed); }
    // Asks the running work to stop (the window is closing).
    void cancel() noexcept { m_cancel.store(true, std::memory_order_relaxed); }

    // The delay that new work gets; tests set it to zero.
    static void setDefaultDelay(std::chrono::milliseconds delay);

private:
    QWidget* m_owner;
    QString m_title;
    std::chrono::milliseconds m_delay;
    std::function<Progress()> m_progress;
    bool m_cancellable = true;
    std::atomic<bool> m_cancel{false};
};

} // namespace quarrow
