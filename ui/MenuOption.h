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

// A checkable File menu item that changes what a load or an export makes
// (exact CSV quoting, one transaction, PostgreSQL's COPY): remembered in the
// settings file from one run to the next, and shown in the status bar while
// it applies, since the output differs. A form of the script that only some
// databases have is offered only for those: for the others the item is
// disabled and the export writes without it, but the remembered choice stays.
class MenuOption final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MenuOption)

public:
    struct Setup {
        QString itemText;
        QString objectName;       // the item's
        QString statusObjectName; // the status label's
        QString toolTip;          // the item's
        QString statusToolTip;    // the status label's
        std::u16string_view settingName;
        // The databases the option applies to; none given: every one.
        bool (*offeredFor)(Dialect) = nullptr;
    };

    MenuOption(QMenu* menu, QStatusBar* statusBar, const QFont& statusFont, const Setup& setup, QObject* parent);

    QAction* action() const noexcept { return m_action; }
    // Sets the mark for this run (a profile's choice); the remembered
    // choice stays as it is.
    void setChecked(bool on);
    // Checked, and offered for the database chosen now.
    bool isOn() const;
    // The database chosen now.
    void setDialect(Dialect dialect);
    // A locked item keeps its mark but cannot be changed (a reading option
    // while files are loaded).
    void setLocked(bool locked);

    // Where the choice is remembered; takes the remembered choice now. A
    // store that cannot be read leaves the option off.
    void setStore(std::function<std::shared_ptr<SettingsStore>()> openStore);
    // Writes the choice the item now shows. When that fails the item goes
    // back, and the failure is thrown on for the error report.
    void remember();

private:
    bool offered() const;
    void showState();

    QAction* m_action;
    QLabel* m_status;
    std::u16string_view m_settingName;
    bool (*m_offeredFor)(Dialect);
    Dialect m_dialect = Dialect::MySql;
    bool m_locked = false;
    std::function<std::shared_ptr<SettingsStore>()> m_openStore;
};

} // namespace quarrow
