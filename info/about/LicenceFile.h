#pragma once

#include <QString>

#include <optional>

namespace quarrow {

// Where the About window finds license.txt: beside the program first (the
// build tree, or a folder the program was copied into with its licence), then
// in the documentation folder of an installation, `docFromProgram` seen from
// the program's folder ("../share/doc/quarrow" from bin/). A link counts when
// it leads to a file; a folder of that name does not. Returns the path
// without "..", or nothing when neither place holds the file.
std::optional<QString> findLicenceFile(const QString& programFolder, const QString& docFromProgram);

// The documentation folder as this build installs it, seen from the program's.
QString installedDocFolderFromProgram();

} // namespace quarrow
