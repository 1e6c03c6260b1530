#pragma once

#include "engine/profile/ColumnProfile.h"
#include "engine/workspace/Workspace.h"

namespace quarrow {

// How an export reads the workspace's rows.
struct ProfileReading {
    char16_t separator = u',';
    bool headerLine = true;
    bool exactQuoting = false; // the rows are records read exactly
    // Values counted as NULL markers (csv/NullMarkers.h); none by default.
    std::vector<std::u16string> nullMarkers{};
    ValueForms forms{}; // values are also read in these (types/ValueForms.h)

    friend bool operator==(const ProfileReading&, const ProfileReading&) = default;
};

inline ProfileReading profileReadingOf(const LoadOptions& options) noexcept
{
    return {options.separator, options.headerLine, options.exactQuoting, {}, options.forms};
}

// The profile of the rows an export of the workspace writes: every row but
// the first when it holds the names, split as `reading` says, one column per
// column name. Line numbers count from each file's first line. With
// `shapesOnly` only the rows' field counts are kept (TableProfile::files).
TableProfile profileWorkspace(const Workspace& workspace, const ProfileReading& reading, bool shapesOnly = false);

} // namespace quarrow
