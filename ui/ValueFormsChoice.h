#pragma once

#include "engine/sql/FormedItems.h"
#include "engine/types/ValueForms.h"

#include <QObject>

#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class QPushButton;
class QWidget;

namespace quarrow {

class SettingsStore;

// How the file writes numbers and dates (types/ValueForms.h), beside the
// other reading settings: a button that names the choice and opens a menu
// of the decimal marks, group marks and date orders. The choice does not
// change how files load, only how Suggest and the export read values of
// typed columns, so it stays open while files are loaded. The settings
// store remembers it from one run to the next.
class ValueFormsChoice final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ValueFormsChoice)

public:
    explicit ValueFormsChoice(QWidget* parent);

    QPushButton* button() const noexcept { return m_button; }
    ValueForms forms() const noexcept { return m_forms; }
    // Sets the choice for this run (a profile's, Auto-detect's); the
    // remembered one stays as it is.
    void setForms(const ValueForms& forms);

    // Where the choice is remembered; takes the remembered choice now.
    void setStore(std::function<std::shared_ptr<SettingsStore>()> openStore);

signals:
    // The user picked from the menu; the choice is remembered by then.
    void picked();

private:
    void showForms();
    void pick(const ValueForms& forms);

    QPushButton* m_button;
    QMenu* m_menu;
    ValueForms m_forms;
    QActionGroup* m_decimals;
    QActionGroup* m_groups;
    QActionGroup* m_dates;
    std::function<std::shared_ptr<SettingsStore>()> m_openStore;
};

// The button's caption: "Numbers, dates: as written" or the forms in words.
QString valueFormsCaption(const ValueForms& forms);

// For the export's report: the values of typed columns in no chosen form,
// written as the file has them; empty when there are none.
QString misfitsReportText(const std::vector<FormMisfits>& misfits, const std::vector<std::u16string>& names,
                          const ValueForms& forms);

} // namespace quarrow
