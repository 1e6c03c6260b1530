#pragma once

#include <QString>
#include <QStringList>

namespace quarrow {

struct FileDialogSpec;

// The file types of the dialogs that choose CSV files. "*" and not "*.*":
// on Linux a CSV file need not have an extension.
FileDialogSpec csvFileTypes();

// The one file the command line can name: every argument preceded by one
// space, then characters of code 32 or less trimmed from both ends, so a
// path with single spaces works with or without quotes.
QString commandLinePath(const QStringList& arguments);

// Whether a file name's extension (from its last full stop) is ".csv" in
// any letter case.
bool hasCsvExtension(const QString& path);

} // namespace quarrow
