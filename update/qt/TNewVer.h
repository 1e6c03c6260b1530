#pragma once

#include "kit/MouseGestures.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QMouseEvent;
class QTimer;
class QToolButton;
class QVariantAnimation;

namespace quarrow {

// The small window that announces another version: frameless, on top, in the
// top right corner of the primary screen's free area (panels excluded); it
// shows itself without taking the focus, gives the focus back to the main
// window when that was the active one, opens the download address when its
// link is clicked, can be dragged and closes itself 11 seconds after it was
// made.
class TNewVer final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TNewVer)

public:
    // `openAddress` hands an address to the desktop (the window's Dialogs in
    // the program, a recorder in tests). `mainWindow` gets the focus back and
    // owns the popup, which is made hidden and shows itself a moment later;
    // closing it only hides it.
    TNewVer(const QString& productName, const QString& serverVersion, const QString& downloadAddress,
            std::function<void(const QString&)> openAddress, QWidget* mainWindow);
    ~TNewVer() override;

    // Ticks of the close timer (TimerClose) left before the popup closes
    // itself.
    int closeCount() const noexcept { return m_closeCount; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void buildControls(const QString& productName, const QString& serverVersion);
    void placeOnPrimaryScreen();
    void giveFocusBack(bool mainWindowWasActive);
    // Reveals the window from its centre outwards, or hides it towards the
    // centre and then closes it.
    void animate(bool expand);

    void TimerStartTimer();
    void TimerCloseTimer();
    void TimerLinkTimer();
    void Label2Click();
    void Button1Click();

    QString m_downloadAddress;
    std::function<void(const QString&)> m_openAddress;
    QPointer<QWidget> m_mainWindow;

    QFrame* m_frame = nullptr;
    QLabel* m_iconLabel = nullptr;
    QFrame* m_textPanel = nullptr;
    QLabel* m_caption = nullptr;
    QLabel* m_downloadLink = nullptr;
    QFrame* m_buttonPanel = nullptr;
    QToolButton* m_closeButton = nullptr;
    QTimer* m_startTimer = nullptr;
    QTimer* m_closeTimer = nullptr;
    QTimer* m_linkTimer = nullptr;
    QVariantAnimation* m_animation = nullptr;

    int m_closeCount = 11;
    bool m_closesAfterAnimation = false;
    WindowDrag m_drag{*this};
    ClickTracker m_linkClick;
};

} // namespace quarrow
