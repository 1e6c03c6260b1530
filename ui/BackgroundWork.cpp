#include "ui/BackgroundWork.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <exception>
#include <vector>
#include <thread>

namespace quarrow {

namespace {

std::chrono::milliseconds g_defaultDelay{500};

// Keeps the owner window's controls and menus from taking input while the
// work runs, as a modal progress window would, and gives them back on every
// path. The window itself stays enabled: a disabled window would disable
// the progress window it owns.
class InputBlock final {
public:
    explicit InputBlock(QWidget* owner)
    {
        if (owner == nullptr)
            return;
        QWidget* window = owner->window();
        for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow())
                block(child);
        }
        // The program's other windows (the modeless dialogs) too.
        for (QWidget* other : QApplication::topLevelWidgets()) {
            if (other != window && other->isVisible())
                block(other);
        }
    }
    ~InputBlock()
    {
        for (const auto& child : m_blocked) {
            if (child)
                child->setEnabled(true);
        }
    }
    InputBlock(const InputBlock&) = delete;
    InputBlock& operator=(const InputBlock&) = delete;

private:
    void block(QWidget* widget)
    {
        if (widget->isEnabled()) {
            widget->setEnabled(false);
            m_blocked.push_back(widget);
        }
    }

    std::vector<QPointer<QWidget>> m_blocked;
};

} // namespace

void BackgroundWork::setDefaultDelay(std::chrono::milliseconds delay)
{
    g_defaultDelay = delay;
}

BackgroundWork::BackgroundWork(QWidget* owner, QString title)
    : m_owner(owner), m_title(std::move(title)), m_delay(g_defaultDelay)
{
}

void BackgroundWork::run(const std::function<void()>& work)
{
    InputBlock block(m_owner);
    QEventLoop loop;
    std::exception_ptr failure;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        finished.store(true, std::memory_order_release);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    QElapsedTimer clock;
    clock.start();
    QProgressDialog* dialog = nullptr;
    QTimer tick;
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (finished.load(std::memory_order_acquire))
            return;
        if (dialog == nullptr && clock.elapsed() < m_delay.count())
            return;
        const Progress progress = m_progress ? m_progress() : Progress{};
        if (dialog == nullptr) {
            dialog = new QProgressDialog(m_owner != nullptr ? m_owner->window() : nullptr);
            dialog->setObjectName(QStringLiteral("ProgressDialog"));
            dialog->setWindowTitle(m_title);
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setAutoReset(false);
            dialog->setAutoClose(false);
            dialog->setMinimumDuration(0);
            dialog->setAttribute(Qt::WA_DeleteOnClose, false);
            if (!m_cancellable)
                dialog->setCancelButton(nullptr);
            QObject::connect(dialog, &QProgressDialog::canceled, [this, dialog] {
                cancel();
                dialog->setLabelText(QStringLiteral("Cancelling..."));
            });
        }
        if (!cancelled())
            dialog->setLabelText(progress.text);
        // Large totals are scaled into the dialog's int range.
        const qint64 total = progress.total > 0 ? progress.total : 0;
        const int shift = total > 0x3FFFFFFF ? 20 : 0;
        dialog->setMaximum(static_cast<int>(total >> shift));
        dialog->setValue(static_cast<int>(std::min(progress.done, total) >> shift));
        dialog->show();
    });
    tick.start();
    if (!finished.load(std::memory_order_acquire))
        loop.exec();
    worker.join();
    tick.stop();
    delete dialog;
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace quarrow
