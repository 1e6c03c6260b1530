#pragma once

#include "engine/profile/ColumnProfile.h"
#include "engine/profile/WorkspaceProfile.h"
#include "engine/workspace/Workspace.h"

#include <optional>
#include <string>

namespace quarrow {

// The profile of the workspace's rows as an export would write them, made
// when first asked for and kept until the rows or the way they are read
// change: profiling reads every row, and a large load is read once, not at
// every press of a button.
class LoadedDataProfile final {
public:
    explicit LoadedDataProfile(const Workspace& workspace) : m_workspace(workspace) {}

    // After Clear or a load: the rows are no longer those profiled.
    void forget() noexcept { m_profile.reset(); }

    const TableProfile& profile(const ProfileReading& reading);
    // The profile when one is at hand for this reading, else nullptr.
    const TableProfile* cached(const ProfileReading& reading) const noexcept
    {
        return current(reading) ? &*m_profile : nullptr;
    }
    // The rows whose field count differs from the columns, in sentences;
    // empty when every row fits. Counts only fields unless a full profile
    // is at hand.
    std::string structureWarnings(const ProfileReading& reading);

private:
    bool current(const ProfileReading& reading) const noexcept;

    const Workspace& m_workspace;
    std::optional<TableProfile> m_profile;
    ProfileReading m_reading;
    std::size_t m_rows = 0;
};

} // namespace quarrow
