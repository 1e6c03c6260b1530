#include "ui/Pictures.h"

#include "kit/VectorPicture.h"

// The artwork is compiled into the ui library; without a reference from code
// that is linked anyway, the linker leaves it out of the program.
static void registerPictureResources()
{
    Q_INIT_RESOURCE(pictures);
}

namespace quarrow {

int naturalPictureSize(const QString& name)
{
    if (name.endsWith(u"48") || name == u"quarrow")
        return 48;
    if (name.startsWith(u"column"))
        return 32;
    return 16;
}

QPixmap picture(const QString& name, int size)
{
    static const bool registered = (registerPictureResources(), true);
    Q_UNUSED(registered);
    return vectorPicture(u":/pictures/" + name + u".svg", QSize(size, size));
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
