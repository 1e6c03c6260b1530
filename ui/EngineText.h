#pragma once

#include <QFile>
#include <QString>
#include <QStringView>

#include <filesystem>
#include <string_view>

namespace quarrow {

// The engine's UTF-16 text seen as Qt text, without a copy.
inline QStringView qtView(std::u16string_view text) noexcept
{
    return QStringView(text.data(), static_cast<qsizetype>(text.size()));
}

// A path from a dialog, a drop or the command line as the engine opens it:
// in the file system's own encoding, so every name the desktop can show
// reaches the same file.
inline std::filesystem::path localPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace quarrow
