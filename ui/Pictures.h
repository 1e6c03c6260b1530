#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace quarrow {

// The program's named pictures ("folder48", "save48", "saveblack48",
// "column", "column_Disabled", "exit", "feedback", "about", "help", and the
// program's own icon "quarrow"), drawn from the vector artwork in the
// resources at the size asked for.
QPixmap picture(const QString& name, int size);
// The picture at its natural size (the number in its name, 48 for the
// program's icon, 32 for the column pictures, 16 for the menu pictures),
// sharp on high-density screens.
QIcon pictureIcon(const QString& name);
int naturalPictureSize(const QString& name);

} // namespace quarrow
