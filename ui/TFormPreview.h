#pragma once

#include "ui/PreviewModel.h"

#include <QDialog>

#include <functional>

class QLabel;
class QTableView;

namespace quarrow {

// Shows the first rows of the export as they will be written: names,
// types, the cells after clean-up, NULL told apart from empty text, rows
// with too many or too few fields marked. Read-only and modeless; the main
// window refreshes it after loads and Clear, and it reads the options again
// whenever it is activated.
class TFormPreview final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormPreview)

public:
    using SettingsSource = std::function<PreviewModel::Settings()>;

    TFormPreview(const Workspace& workspace, SettingsSource settings, QWidget* parent = nullptr);

    // The rows may have changed (a load, Clear): shows them from the start.
    void refresh();
    // A load is about to change the rows on another thread: shows none, and
    // reads nothing of them, until refresh().
    void holdForLoad();
    PreviewModel& model() noexcept { return m_model; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void showCount();

    PreviewModel m_model;
    SettingsSource m_settings;
    QTableView* m_table = nullptr;
    QLabel* m_note = nullptr;
};

} // namespace quarrow
