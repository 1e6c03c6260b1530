#pragma once

#include "engine/settings/ConversionProfile.h"
#include "kit/Dialogs.h"

#include <QString>

#include <optional>

namespace quarrow {

class Workspace;

// The file types of the File menu's "Save Profile..." and "Open Profile...".
FileDialogSpec profileSaveTypes();
FileDialogSpec profileOpenTypes();

// Writes the settings and, when files are loaded, the workspace's column
// names and types to the profile file at `path`. Throws OutputError.
void saveWindowProfile(const QString& path, const ScriptOptions& options, const Workspace& workspace);

// Reads the whole profile at `path`. Throws ProfileError, whose text names
// the file and the place.
ConversionProfile openWindowProfile(const QString& path);

// Gives the loaded columns the profile's types by position. Nothing when
// the workspace has no columns or the profile holds no types.
std::optional<ColumnTypesApplied> applyProfileTypes(const ConversionProfile& profile, Workspace& workspace);

// What a person is told when the profile's column count is not the loaded
// file's; empty when they agree (every type applied).
QString columnTypesAppliedText(const ColumnTypesApplied& applied);

} // namespace quarrow
