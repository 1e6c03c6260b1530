#pragma once

#include "engine/workspace/Workspace.h"

#include <QString>

#include <functional>

class QWidget;

namespace quarrow {

class BackgroundWork;

// How the load of one file on the worker went.
struct FileLoadRun {
    LoadReport report;
    // Cancel was pressed (or the window closed), even when it came only as
    // the file ended: it still ends the batch the file belongs to.
    bool cancelled = false;
};

// Loads the CSV file at `path` into `workspace` on a worker thread, with a
// progress window over `owner` that counts the bytes read, and the busy
// cursor; `current` points at the work while it runs. `beforeRun` is called
// once the work is set up and before the worker touches the rows (the
// preview stops reading them there). Throws what the load throws.
FileLoadRun loadOnWorker(QWidget* owner, BackgroundWork*& current, Workspace& workspace, const QString& path,
                         const LoadOptions& options, const std::function<void()>& beforeRun);

} // namespace quarrow
