#include "ui/LoadedDataProfile.h"

#include "engine/profile/TypeSuggestion.h"
#include "engine/profile/WorkspaceProfile.h"

namespace quarrow {

bool LoadedDataProfile::current(char16_t separator, bool headerLine) const noexcept
{
    return m_profile && m_separator == separator && m_headerLine == headerLine && m_rows == m_workspace.rowCount();
}

const TableProfile& LoadedDataProfile::profile(char16_t separator, bool headerLine)
{
    if (!current(separator, headerLine)) {
        m_profile = profileWorkspace(m_workspace, separator, headerLine);
        m_separator = separator;
        m_headerLine = headerLine;
        m_rows = m_workspace.rowCount();
    }
    return *m_profile;
}

std::string LoadedDataProfile::structureWarnings(char16_t separator, bool headerLine)
{
    const std::size_t columns = m_workspace.columnNames().size();
    if (current(separator, headerLine))
        return describeStructure(*m_profile, columns);
    return describeStructure(profileWorkspace(m_workspace, separator, headerLine, true), columns);
}

} // namespace quarrow
