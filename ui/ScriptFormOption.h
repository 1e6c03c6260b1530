#pragma once

#include "engine/workspace/Dialect.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string_view>

class QAction;
class QFont;
class QLabel;
class QMenu;
class QStatusBar;

namespace quarrow {

class SettingsStore;

// A File menu item that picks a form of the script the export writes (one
// transaction, PostgreSQL's COPY): checkable, remembered in the settings
// file from one run to the next, and shown in the status bar while it is on,
// since it changes what the export writes. It is offered only for the
// databases that have the form: for the others the item is disabled and the
// export writes without it, but the remembered choice stays.
class ScriptFormOption final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScriptFormOption)

public:
    struct Setup {
        QString itemText;
        QString objectName; // the item's; the status label's is this + "Status"
        QString toolTip;    // the item's and the status label's
        std::u16string_view settingName;
        bool (*offeredFor)(Dialect) = nullptr;
    };

    ScriptFormOption(QMenu* menu, QStatusBar* statusBar, const QFont& statusFont, const Setup& setup, QObject* parent);

    QAction* action() const noexcept { return m_action; }
    // Sets the mark for this run (a profile's choice); the remembered
    // choice stays as it is.
    void setChecked(bool on);
    // Checked, and offered for the database chosen now.
    bool isOn() const;
    // The database chosen now.
    void setDialect(Dialect dialect);

    // Where the choice is remembered; takes the remembered choice now. A
    // store that cannot be read leaves the option off.
    void setStore(std::function<std::shared_ptr<SettingsStore>()> openStore);
    // Writes the choice the item now shows. When that fails the item goes
    // back, and the failure is thrown on for the error report.
    void remember();

private:
    void showInStatus();

    QAction* m_action;
    QLabel* m_status;
    std::u16string_view m_settingName;
    bool (*m_offeredFor)(Dialect);
    Dialect m_dialect = Dialect::MySql;
    std::function<std::shared_ptr<SettingsStore>()> m_openStore;
};

} // namespace quarrow
