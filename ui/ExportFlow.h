#pragma once

#include "ui/LoadedDataProfile.h"
#include "engine/sql/ScriptWriter.h"

#include <QString>

#include <optional>

class QWidget;

namespace quarrow {

class BackgroundWork;

// What an export that ran to its end has to report beside the file's name.
struct ExportRun {
    ExportResult result;
    QString structure; // the rows whose field count differs from the columns; empty when all fit
};

// Writes the workspace as `options` say into the file at `path` on a worker
// thread, with a progress window over `owner` that counts the rows and can
// cancel, and the busy cursor; `current` points at the work while it runs.
// The script takes the file's name only when the export ends; std::nullopt
// when it was cancelled (the file of that name is then as it was). Throws
// when the export fails.
std::optional<ExportRun> exportOnWorker(QWidget* owner, BackgroundWork*& current, const Workspace& workspace,
                                        LoadedDataProfile& profile, const QString& path, const ScriptOptions& options);

// The text of the box that reports a finished export: the file's full name,
// then what was written otherwise than loaded (header names that repeated
// one another, characters ANSI cannot hold, names the database cannot take),
// the rows that do not fit the columns, and, for a long script that commits
// every row (sql/LoadSpeed.h), the options that load it fast.
QString exportReportText(const QString& path, const std::vector<ColumnRename>& renames, const ExportRun& run,
                         const ScriptOptions& options);

} // namespace quarrow
