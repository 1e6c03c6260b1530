#include "ui/ExactQuotingOption.h"

#include "update/core/SettingsStore.h"
#include "update/core/UpdateCheck.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

namespace quarrow {

namespace {

constexpr std::u16string_view kSettingName = u"ExactCsvQuoting";

} // namespace

ExactQuotingOption::ExactQuotingOption(QMenu* menu, QStatusBar* statusBar, const QFont& statusFont, QObject* parent)
    : QObject(parent), m_action(menu->addAction(QStringLiteral("Exact CSV quoting (RFC 4180)"))),
      m_status(new QLabel(QStringLiteral("Exact CSV quoting (RFC 4180)"), statusBar))
{
    m_action->setObjectName(QStringLiteral("ExactCsvQuoting1"));
    m_action->setCheckable(true);
    m_action->setToolTip(QStringLiteral("Values keep their line breaks, quotes and blanks"));
    m_status->setObjectName(QStringLiteral("ExactQuotingStatus"));
    m_status->setFont(statusFont);
    m_status->setToolTip(QStringLiteral("Line breaks inside quotes belong to the value; nothing is trimmed or "
                                        "removed from values"));
    statusBar->addPermanentWidget(m_status);
    connect(m_action, &QAction::toggled, this, &ExactQuotingOption::showInStatus);
    showInStatus(false);
}

void ExactQuotingOption::setChecked(bool on)
{
    m_action->setChecked(on);
}

bool ExactQuotingOption::isOn() const
{
    return m_action->isChecked();
}

void ExactQuotingOption::setLocked(bool locked)
{
    m_action->setEnabled(!locked);
}

void ExactQuotingOption::setStore(std::function<std::shared_ptr<SettingsStore>()> openStore)
{
    m_openStore = std::move(openStore);
    if (!m_openStore)
        return;
    try {
        m_action->setChecked(m_openStore()->readInteger(kSettingsSection, kSettingName, 0) == 1);
    } catch (const std::exception&) {
        // The option is simply off; the next change writes it again.
    }
}

void ExactQuotingOption::remember()
{
    if (!m_openStore)
        return;
    const bool on = m_action->isChecked();
    try {
        m_openStore()->writeInteger(kSettingsSection, kSettingName, on ? 1 : 0);
    } catch (...) {
        m_action->setChecked(!on);
        throw;
    }
}

void ExactQuotingOption::showInStatus(bool on)
{
    m_status->setVisible(on);
}

} // namespace quarrow
