#include "update/qt/QtNoticeBox.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace quarrow {

namespace {

QString qtText(const std::u16string& text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void QtNoticeBox::Pending::settle()
{
    {
        std::lock_guard lock(mutex);
        settled = true;
    }
    changed.notify_all();
}

QtNoticeBox::QtNoticeBox(QObject* context, Shower shower) : m_context(context), m_shower(std::move(shower)) {}

void QtNoticeBox::show(const std::u16string& caption, const std::u16string& text)
{
    const auto pending = std::make_shared<Pending>();
    {
        std::lock_guard lock(m_mutex);
        if (m_context == nullptr)
            return;
        std::erase_if(m_pending, [](const std::weak_ptr<Pending>& p) { return p.expired(); });
        m_pending.push_back(pending);
        QMetaObject::invokeMethod(
            m_context,
            [pending, shower = m_shower, caption = qtText(caption), text = qtText(text)] {
                bool released = false;
                {
                    std::lock_guard guard(pending->mutex);
                    released = pending->settled;
                }
                if (!released) {
                    try {
                        shower(caption, text);
                    } catch (...) {
                    }
                }
                pending->settle();
            },
            Qt::QueuedConnection);
    }
    std::unique_lock lock(pending->mutex);
    pending->changed.wait(lock, [&] { return pending->settled; });
}

void QtNoticeBox::detach()
{
    std::lock_guard lock(m_mutex);
    m_context = nullptr;
    for (const auto& weak : m_pending) {
        if (const auto pending = weak.lock())
            pending->settle();
    }
    m_pending.clear();
}

} // namespace quarrow
