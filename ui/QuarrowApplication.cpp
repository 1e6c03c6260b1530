#include "ui/QuarrowApplication.h"

#include "ui/ErrorReport.h"
#include "ui/Pictures.h"

namespace quarrow {

QuarrowApplication::QuarrowApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromUtf16(kApplicationTitle));
    setOrganizationName(QStringLiteral("TARNIX"));
    setWindowIcon(pictureIcon(QStringLiteral("quarrow")));
}

bool QuarrowApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (m_dialogs != nullptr)
            reportFailure(*m_dialogs, activeWindow(), std::current_exception());
        return false;
    }
}

} // namespace quarrow
