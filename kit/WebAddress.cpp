#include "kit/WebAddress.h"

#include <QDesktopServices>
#include <QUrl>

namespace quarrow {

void openWebAddress(const QString& address)
{
    try {
        QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
    } catch (...) {
        // Opening a page is a convenience: a failure leaves the program as it was.
    }
}

QString helpAddress(const QString& httpBase, const QString& productName)
{
    QString path = productName;
    for (QChar& c : path) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
        else if (c == u' ')
            c = u'-';
    }
    return httpBase + u"/help/" + path + u'/';
}

} // namespace quarrow
