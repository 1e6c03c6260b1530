#include "kit/VectorPicture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace quarrow {

QPixmap vectorPicture(const QString& resource, QSize size, qreal ratio)
{
    QPixmap pixmap(QSize(qRound(size.width() * ratio), qRound(size.height() * ratio)));
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QPixmap vectorPicture(const QString& resource, QSize size)
{
    return vectorPicture(resource, size, qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0);
}

} // namespace quarrow
