#pragma once

#include <QPoint>

#include <functional>

class QEvent;
class QMouseEvent;
class QWidget;
class QWindow;

namespace quarrow {

// A button going down: a press, or the second press of a double-click.
bool isButtonPress(const QEvent* event) noexcept;
// Any of the events a drag or a click is made of.
bool isPointerEvent(const QEvent* event) noexcept;

// Moves a window that has no title bar to hold by whatever part of it the
// pointer holds: the left or middle button starts the drag, each move shifts
// the window by the pointer's step since the last one, the release ends it.
// A left-button drag is handed to the window manager or compositor first
// (QWindow::startSystemMove), which alone can move a window on Wayland and
// keeps X11 snapping and edge resistance; where it refuses, the window is
// moved by hand as for the middle button.
class WindowDrag final {
public:
    // Hands a drag to the platform; false when the platform cannot take it.
    using SystemMove = std::function<bool(QWindow&)>;

    explicit WindowDrag(QWidget& window);
    WindowDrag(QWidget& window, SystemMove systemMove);

    // Every press and release is used up, so the right button starts nothing
    // either; a move is used only while dragging.
    bool handle(const QMouseEvent* event);
    bool dragging() const noexcept { return m_dragging; }

private:
    QWidget& m_window;
    SystemMove m_systemMove;
    bool m_dragging = false;
    QPoint m_from; // the pointer on the screen at the last step
};

// A click as a button takes it: the left button pressed and released on the
// same widget; sliding off before letting go clicks nothing.
class ClickTracker final {
public:
    // Whether `event`, sent to `target`, completes a click.
    bool isClick(const QWidget& target, const QMouseEvent* event) noexcept;

private:
    bool m_pressed = false;
};

} // namespace quarrow
