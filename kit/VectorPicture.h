#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace quarrow {

// The SVG resource drawn at `size` device-independent pixels for a screen of
// `ratio` device pixels to one, so it stays sharp at any scale. A resource
// that cannot be read gives a transparent picture of that size.
QPixmap vectorPicture(const QString& resource, QSize size, qreal ratio);
// The same for the application's own scale.
QPixmap vectorPicture(const QString& resource, QSize size);

} // namespace quarrow
