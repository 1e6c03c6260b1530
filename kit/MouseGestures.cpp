#include "kit/MouseGestures.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace quarrow {

bool isButtonPress(const QEvent* event) noexcept
{
    return event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
}

bool isPointerEvent(const QEvent* event) noexcept
{
    return isButtonPress(event) || event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease;
}

WindowDrag::WindowDrag(QWidget& window) : WindowDrag(window, [](QWindow& handle) { return handle.startSystemMove(); })
{
}

WindowDrag::WindowDrag(QWidget& window, SystemMove systemMove) : m_window(window), m_systemMove(std::move(systemMove))
{
}

bool WindowDrag::handle(const QMouseEvent* event)
{
    if (isButtonPress(event)) {
        if (event->button() == Qt::LeftButton && event->type() == QEvent::MouseButtonPress) {
            // The window manager moves the window from here on and keeps the
            // pointer; no move or release of this drag comes back to us.
            QWindow* handle = m_window.window()->windowHandle();
            if (handle != nullptr && m_systemMove && m_systemMove(*handle))
                return true;
        }
        if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton) {
            m_dragging = true;
            m_from = event->globalPosition().toPoint();
        }
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        m_dragging = false;
        return true;
    }
    if (!m_dragging)
        return false;
    const QPoint at = event->globalPosition().toPoint();
    m_window.move(m_window.pos() + (at - m_from));
    m_from = at;
    return true;
}

bool ClickTracker::isClick(const QWidget& target, const QMouseEvent* event) noexcept
{
    if (isButtonPress(event)) {
        m_pressed = event->button() == Qt::LeftButton;
        return false;
    }
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && target.rect().contains(event->position().toPoint());
    m_pressed = false;
    return click;
}

} // namespace quarrow
