#include "ui/ProfileFlow.h"

#include "ui/EngineText.h"
#include "engine/workspace/Workspace.h"

namespace quarrow {

FileDialogSpec profileSaveTypes()
{
    return {QStringLiteral("Quarrow profile (*.toml)|*.toml|All files (*)|*"), QStringLiteral("toml")};
}

// "*" and not "*.*": on Linux a name need not have an extension.
FileDialogSpec profileOpenTypes()
{
    return {QStringLiteral("Quarrow profile (*.toml)|*.toml|All files (*)|*"), QString()};
}

void saveWindowProfile(const QString& path, const ScriptOptions& options, const Workspace& workspace)
{
    writeProfileFile(localPath(path), makeProfile(options, workspace.columnNames(), workspace.columnTypes()));
}

ConversionProfile openWindowProfile(const QString& path)
{
    return readProfileFile(localPath(path));
}

std::optional<ColumnTypesApplied> applyProfileTypes(const ConversionProfile& profile, Workspace& workspace)
{
    if (profile.columns.empty() || workspace.columnTypes().empty())
        return std::nullopt;
    std::vector<std::u16string> types = workspace.columnTypes();
    const ColumnTypesApplied applied = applyProfileColumnTypes(profile, types);
    for (std::size_t i = 0; i < types.size(); ++i)
        workspace.replaceType(i, types[i]);
    return applied;
}

QString columnTypesAppliedText(const ColumnTypesApplied& applied)
{
    if (applied.profile == applied.columns)
        return {};
    return u"The profile holds types for " + QString::number(applied.profile) + u" columns and the file has "
           + QString::number(applied.columns) + u": " + QString::number(applied.matched) + u" of "
           + QString::number(applied.columns) + u" columns took the profile's type, the others keep theirs.";
}

} // namespace quarrow
