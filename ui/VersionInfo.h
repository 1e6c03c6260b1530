#pragma once

#include <QString>

namespace quarrow {

// The texts of an executable's version block.
struct TEXEVersionData {
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString LegalTrademarks;
    QString OriginalFileName;
    QString ProductName;
    QString ProductVersion;
    QString Comments;
    QString PrivateBuild;
    QString SpecialBuild;
};

// Reads the version block carried by the executable at `path`: the string
// table of its first translation. Missing keys stay empty. Throws
// std::system_error with the system's error when the file cannot be read,
// ENOEXEC when it is no executable and ENODATA when it carries no usable
// block; never returns a partly filled record.
TEXEVersionData ReadVersionData(const QString& path);

// "major.minor" of the executable's fixed file version; "65535.65535" when
// the file has no readable version block. Never fails.
QString FileVersionText(const QString& path);

} // namespace quarrow
