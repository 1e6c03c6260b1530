#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>

namespace quarrow {

// The window program's two options, --help and --version, count only as the
// one and only argument: every other command line names the file to load
// (commandLinePath), so a path with spaces needs no quotes and a file called
// "--help" opens as "./--help". They are answered before any window exists,
// so they need no display.
//
// Writes the answer to `out` and returns the exit status; returns nothing
// when the program is to open its window. `executablePath` is the running
// program, whose version block gives the version.
std::optional<int> answerWindowOption(const QStringList& arguments, const QString& executablePath, std::ostream& out);

} // namespace quarrow
