#include "ui/InputFiles.h"

#include "kit/Dialogs.h"

#include <QFileInfo>

namespace quarrow {

FileDialogSpec csvFileTypes()
{
    return {QStringLiteral("CSV Files (*.csv)|*.csv|All files (*)|*"), QString()};
}

QString commandLinePath(const QStringList& arguments)
{
    QString joined;
    for (const QString& argument : arguments)
        joined += u' ' + argument;
    qsizetype begin = 0;
    qsizetype end = joined.size();
    while (begin < end && joined[begin].unicode() <= u' ')
        ++begin;
    while (end > begin && joined[end - 1].unicode() <= u' ')
        --end;
    return joined.sliced(begin, end - begin);
}

bool hasCsvExtension(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && name.sliced(dot).toLower() == u".csv";
}

} // namespace quarrow
