#pragma once

#include "ui/LoadedDataProfile.h"
#include "ui/TFormColumnTypes.h"

#include <vector>

class QWidget;

namespace quarrow {

class BackgroundWork;

// The types the column types dialog suggests, with why each is not
// narrower: the loaded rows read as `reading` says, for its database.
// Profiling reads every loaded row once (the profile is then kept until the
// next load or Clear), on a worker thread as a load is, with a progress
// window over `owner` that cannot be cancelled; `current` points at the work
// while it runs. Cells that are `nullMarkers` count as missing values.
std::vector<TFormColumnTypes::Suggestion> suggestColumnTypes(QWidget* owner, BackgroundWork*& current,
                                                             LoadedDataProfile& profile, const LoadOptions& reading,
                                                             bool nullEmpty,
                                                             const std::vector<std::u16string>& nullMarkers = {});

} // namespace quarrow
