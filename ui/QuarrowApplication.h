#pragma once

#include <QApplication>

namespace quarrow {

class Dialogs;

// The application object. Its name is the program's title; a failure that
// escapes an event handler lands in the general error report instead of
// ending the program.
class QuarrowApplication final : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuarrowApplication)

public:
    QuarrowApplication(int& argc, char** argv);

    void setDialogs(Dialogs* dialogs) noexcept { m_dialogs = dialogs; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    Dialogs* m_dialogs = nullptr;
};

} // namespace quarrow
