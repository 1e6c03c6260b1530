#pragma once

#include "update/core/UpdateCheck.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace quarrow {

// Brings the server's notice from the check thread to the GUI thread: the
// box is shown there by a queued call and the check thread waits until it
// has been dismissed. When the window goes first (detach()), a waiting check
// thread is released at once and later notices are dropped.
class QtNoticeBox final : public NoticeBox {
public:
    using Shower = std::function<void(const QString& caption, const QString& text)>;

    // `context` lives on the GUI thread; `shower` runs there and returns
    // when the user has dismissed the box.
    QtNoticeBox(QObject* context, Shower shower);

    void show(const std::u16string& caption, const std::u16string& text) override;
    // GUI thread, before `context` goes.
    void detach();

private:
    // One shown or waiting notice; `settled` once dismissed or released.
    struct Pending {
        std::mutex mutex;
        std::condition_variable changed;
        bool settled = false;
        void settle();
    };

    std::mutex m_mutex;
    QObject* m_context;
    Shower m_shower;
    std::vector<std::weak_ptr<Pending>> m_pending;
};

} // namespace quarrow
