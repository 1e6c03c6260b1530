#include "ui/SuggestFlow.h"

#include "ui/BackgroundWork.h"
#include "ui/WorkScope.h"
#include "engine/profile/TypeSuggestion.h"

namespace quarrow {

std::vector<TFormColumnTypes::Suggestion> suggestColumnTypes(QWidget* owner, BackgroundWork*& current,
                                                             LoadedDataProfile& profile, const LoadOptions& reading,
                                                             bool nullEmpty,
                                                             const std::vector<std::u16string>& nullMarkers)
{
    ProfileReading profileReading = profileReadingOf(reading);
    profileReading.nullMarkers = nullMarkers;
    const TableProfile* read = nullptr;
    {
        BackgroundWork work(owner, QStringLiteral("Suggesting types"));
        work.setCancellable(false);
        work.setProgress([] { return BackgroundWork::Progress{QStringLiteral("Reading the loaded rows..."), 0, 0}; });
        BusyCursor busy;
        const CurrentWork busyWith(current, work);
        work.run([&] { read = &profile.profile(profileReading); });
    }
    const TableProfile& table = *read;
    const auto suggestions = suggestTypes(table, reading.dialect, nullEmpty);
    std::vector<TFormColumnTypes::Suggestion> out;
    out.reserve(suggestions.size());
    for (std::size_t i = 0; i < suggestions.size(); ++i)
        out.push_back({QString::fromStdU16String(suggestions[i].type),
                       QString::fromStdString(explainColumn(table.columns[i], suggestions[i]))});
    return out;
}

} // namespace quarrow
