#include "ui/PreviewFlow.h"

#include "engine/profile/TypeSuggestion.h"

namespace quarrow {

PreviewFlow::PreviewFlow(const Workspace& workspace, TFormPreview::SettingsSource settings)
    : m_workspace(workspace), m_settings(std::move(settings))
{
}

void PreviewFlow::open(QWidget* parent)
{
    if (!m_preview) {
        m_preview = new TFormPreview(m_workspace, m_settings, parent);
        m_preview->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

void PreviewFlow::holdForLoad()
{
    if (m_preview)
        m_preview->holdForLoad();
}

void PreviewFlow::refresh()
{
    if (m_preview)
        m_preview->refresh();
}

PreviewModel::Settings previewSettings(const LoadedDataProfile& profile, const LoadOptions& reading, bool nullEmpty,
                                       const std::vector<std::u16string>& nullMarkers)
{
    PreviewModel::Settings settings{reading.separator,    reading.headerLine, nullEmpty, {},
                                    reading.exactQuoting, nullMarkers};
    ProfileReading profileReading = profileReadingOf(reading);
    profileReading.nullMarkers = nullMarkers;
    if (const TableProfile* table = profile.cached(profileReading)) {
        for (const auto& s : suggestTypes(*table, reading.dialect, settings.nullEmpty))
            settings.suggestions.push_back(QString::fromStdU16String(s.type));
    }
    return settings;
}

} // namespace quarrow
