#include "Pictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace quarrow {

int naturalPictureSize(const QString& name)
{
    if (name.endsWith(u"48"))
        return 48;
    if (name.startsWith(u"column"))
        return 32;
    return 16;
}

QPixmap picture(const QString& name, int size)
{
    QSvgRenderer renderer(u":/pictures/" + name + u".svg");
    const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    const int pixels = qRound(size * ratio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QIcon pictureIcon(const QString& name)
{
    QIcon icon;
    const int size = naturalPictureSize(name);
    icon.addPixmap(picture(name, size));
    if (size > 16)
        icon.addPixmap(picture(name, 24));
    return icon;
}

} // namespace quarrow
