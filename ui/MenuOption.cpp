#include "ui/MenuOption.h"

#include "update/core/SettingsStore.h"
#include "update/core/UpdateCheck.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

namespace quarrow {

MenuOption::MenuOption(QMenu* menu, QStatusBar* statusBar, const QFont& statusFont, const Setup& setup, QObject* parent)
    : QObject(parent), m_action(menu->addAction(setup.itemText)), m_status(new QLabel(setup.itemText, statusBar)),
      m_settingName(setup.settingName), m_offeredFor(setup.offeredFor)
{
    m_action->setObjectName(setup.objectName);
    m_action->setCheckable(true);
    m_action->setToolTip(setup.toolTip);
    m_status->setObjectName(setup.statusObjectName);
    m_status->setFont(statusFont);
    m_status->setToolTip(setup.statusToolTip);
    statusBar->addPermanentWidget(m_status);
    connect(m_action, &QAction::toggled, this, &MenuOption::showState);
    showState();
}

void MenuOption::setChecked(bool on)
{
    m_action->setChecked(on);
}

bool MenuOption::isOn() const
{
    return m_action->isChecked() && offered();
}

void MenuOption::setDialect(Dialect dialect)
{
    m_dialect = dialect;
    showState();
}

void MenuOption::setLocked(bool locked)
{
    m_locked = locked;
    showState();
}

void MenuOption::setStore(std::function<std::shared_ptr<SettingsStore>()> openStore)
{
    m_openStore = std::move(openStore);
    if (!m_openStore)
        return;
    try {
        m_action->setChecked(m_openStore()->readInteger(kSettingsSection, m_settingName, 0) == 1);
    } catch (const std::exception&) {
        // The option is simply off; the next change writes it again.
    }
}

void MenuOption::remember()
{
    if (!m_openStore)
        return;
    const bool on = m_action->isChecked();
    try {
        m_openStore()->writeInteger(kSettingsSection, m_settingName, on ? 1 : 0);
    } catch (...) {
        m_action->setChecked(!on);
        throw;
    }
}

bool MenuOption::offered() const
{
    return m_offeredFor == nullptr || m_offeredFor(m_dialect);
}

void MenuOption::showState()
{
    m_action->setEnabled(offered() && !m_locked);
    m_status->setVisible(isOn());
}

} // namespace quarrow
