#pragma once

#include "engine/profile/ColumnProfile.h"
#include "engine/workspace/Workspace.h"

namespace quarrow {

// The profile of the rows an export of the workspace writes: every row but
// the first when it holds the names, split with `separator`, one column per
// column name. Line numbers count from each file's first line. With
// `shapesOnly` only the rows' field counts are kept (TableProfile::files).
TableProfile profileWorkspace(const Workspace& workspace, char16_t separator, bool headerLine, bool shapesOnly = false);

} // namespace quarrow
