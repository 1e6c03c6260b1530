#pragma once

#include "ui/LoadedDataProfile.h"
#include "ui/TFormPreview.h"

#include <QPointer>

class QWidget;

namespace quarrow {

// The main window's preview: one window at a time, opened from the File
// menu and kept until the user closes it. The main window tells it when a
// load is about to change the rows and when the rows or the options have
// changed.
class PreviewFlow final {
public:
    PreviewFlow(const Workspace& workspace, TFormPreview::SettingsSource settings);

    // Shows the preview over `parent` and brings it to the front, making it
    // first when none is open.
    void open(QWidget* parent);
    // A load is about to change the rows: an open preview shows none until
    // refresh().
    void holdForLoad();
    // The rows or the options changed: an open preview shows them again.
    void refresh();

private:
    const Workspace& m_workspace;
    TFormPreview::SettingsSource m_settings;
    QPointer<TFormPreview> m_preview;
};

// What the preview shows for the rows read as `reading` says: the suggested
// types only when the rows have been profiled for that reading already (the
// preview never starts a profile of its own).
PreviewModel::Settings previewSettings(const LoadedDataProfile& profile, const LoadOptions& reading, bool nullEmpty,
                                       const std::vector<std::u16string>& nullMarkers = {});

} // namespace quarrow
