#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

namespace quarrow {

// The small window that announces another version: frameless, on top, in the
// top right corner of the primary screen; it shows itself without taking the
// focus, opens the download address when its link is clicked, can be dragged
// and closes itself 11 seconds after it was made.
class TNewVer final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TNewVer)

public:
    // `openAddress` hands an address to the desktop (the window's Dialogs in
    // the program, a recorder in tests). `mainWindow` gets the focus back.
    TNewVer(const QString& productName, const QString& serverVersion, const QString& downloadAddress,
            std::function<void(const QString&)> openAddress, QWidget* mainWindow);
    ~TNewVer() override;
};

} // namespace quarrow
