#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QAction;
class QFont;
class QLabel;
class QMenu;
class QStatusBar;

namespace quarrow {

class SettingsStore;

// The File menu's "Exact CSV quoting (RFC 4180)": a reading option like the
// header and encoding choices, so it is chosen before the first load and
// locked while files are loaded. It changes what every value holds, so the
// status bar says so for as long as it is on, and the settings store
// remembers it from one run to the next.
class ExactQuotingOption final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExactQuotingOption)

public:
    ExactQuotingOption(QMenu* menu, QStatusBar* statusBar, const QFont& statusFont, QObject* parent);

    QAction* action() const noexcept { return m_action; }
    // Sets the mark for this run (a profile's choice); the remembered
    // choice stays as it is.
    void setChecked(bool on);
    bool isOn() const;
    void setLocked(bool locked);

    // Where the choice is remembered; takes the remembered choice now. A
    // store that cannot be read leaves the option off.
    void setStore(std::function<std::shared_ptr<SettingsStore>()> openStore);
    // Writes the choice the item now shows. When that fails the item goes
    // back, and the failure is thrown on for the error report.
    void remember();

private:
    void showInStatus(bool on);

    QAction* m_action;
    QLabel* m_status;
    std::function<std::shared_ptr<SettingsStore>()> m_openStore;
};

} // namespace quarrow
