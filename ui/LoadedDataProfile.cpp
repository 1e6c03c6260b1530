#include "ui/LoadedDataProfile.h"

#include "engine/profile/TypeSuggestion.h"

namespace quarrow {

bool LoadedDataProfile::current(const ProfileReading& reading) const noexcept
{
    return m_profile && m_reading == reading && m_rows == m_workspace.rowCount();
}

const TableProfile& LoadedDataProfile::profile(const ProfileReading& reading)
{
    if (!current(reading)) {
        m_profile = profileWorkspace(m_workspace, reading);
        m_reading = reading;
        m_rows = m_workspace.rowCount();
    }
    return *m_profile;
}

std::string LoadedDataProfile::structureWarnings(const ProfileReading& reading)
{
    const std::size_t columns = m_workspace.columnNames().size();
    if (current(reading))
        return describeStructure(*m_profile, columns);
    return describeStructure(profileWorkspace(m_workspace, reading, true), columns);
}

} // namespace quarrow
