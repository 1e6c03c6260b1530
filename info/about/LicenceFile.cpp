#include "info/about/LicenceFile.h"

#include <QDir>
#include <QFileInfo>

namespace quarrow {

std::optional<QString> findLicenceFile(const QString& programFolder, const QString& docFromProgram)
{
    const QDir program(programFolder);
    for (const QString& folder : {programFolder, program.filePath(docFromProgram)}) {
        const QString path = QDir::cleanPath(QDir(folder).filePath(QStringLiteral("license.txt")));
        // isFile() follows a link to its target: a dangling link, or a folder
        // of that name, counts as missing.
        if (QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

QString installedDocFolderFromProgram()
{
    return QStringLiteral(QUARROW_DOCDIR_FROM_BINDIR);
}

} // namespace quarrow
