#pragma once

#include "engine/profile/ColumnProfile.h"
#include "engine/workspace/Workspace.h"

#include <optional>
#include <string>

namespace quarrow {

// The profile of the workspace's rows as an export would write them, made
// when first asked for and kept until the rows or the separator change:
// profiling reads every row, and a large load is read once, not at every
// press of a button.
class LoadedDataProfile final {
public:
    explicit LoadedDataProfile(const Workspace& workspace) : m_workspace(workspace) {}

    // After Clear or a load: the rows are no longer those profiled.
    void forget() noexcept { m_profile.reset(); }

    const TableProfile& profile(char16_t separator, bool headerLine);
    // The profile when one is at hand for these options, else nullptr.
    const TableProfile* cached(char16_t separator, bool headerLine) const noexcept
    {
        return current(separator, headerLine) ? &*m_profile : nullptr;
    }
    // The rows whose field count differs from the columns, in sentences;
    // empty when every row fits. Counts only fields unless a full profile
    // is at hand.
    std::string structureWarnings(char16_t separator, bool headerLine);

private:
    bool current(char16_t separator, bool headerLine) const noexcept;

    const Workspace& m_workspace;
    std::optional<TableProfile> m_profile;
    char16_t m_separator = u'\0';
    bool m_headerLine = false;
    std::size_t m_rows = 0;
};

} // namespace quarrow
