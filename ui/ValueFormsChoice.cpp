#include "ui/ValueFormsChoice.h"

#include "update/core/SettingsStore.h"
#include "update/core/UpdateCheck.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPushButton>

namespace quarrow {

namespace {

constexpr std::u16string_view kDecimalSetting = u"DecimalMark";
constexpr std::u16string_view kGroupSetting = u"GroupMark";
constexpr std::u16string_view kDatesSetting = u"DateOrder";

struct Item {
    const char* objectName;
    const char* text;
    int value;
};

constexpr Item kDecimalItems[] = {
    {"DecimalAsWritten", "Numbers as written", static_cast<int>(DecimalMark::None)},
    {"DecimalPoint", "Decimal point: 1234.5", static_cast<int>(DecimalMark::Point)},
    {"DecimalComma", "Decimal comma: 1234,5", static_cast<int>(DecimalMark::Comma)},
};
constexpr Item kGroupItems[] = {
    {"GroupNone", "No group separator", static_cast<int>(GroupMark::None)},
    {"GroupComma", "Groups with ',': 1,234", static_cast<int>(GroupMark::Comma)},
    {"GroupPoint", "Groups with '.': 1.234", static_cast<int>(GroupMark::Point)},
    {"GroupBlank", "Groups with a blank: 1 234", static_cast<int>(GroupMark::Blank)},
    {"GroupApostrophe", "Groups with ': 1'234", static_cast<int>(GroupMark::Apostrophe)},
};
constexpr Item kDateItems[] = {
    {"DatesAsWritten", "Dates as written", static_cast<int>(DateOrder::None)},
    {"DatesIso", "Year-month-day: 2024-12-31 (also with T)", static_cast<int>(DateOrder::Iso)},
    {"DatesDmy", "Day.month.year: 31.12.2024, 31/12/2024", static_cast<int>(DateOrder::Dmy)},
    {"DatesMdy", "Month/day/year: 12/31/2024 11:59 PM", static_cast<int>(DateOrder::Mdy)},
    {"DatesYmd", "Year/month/day: 2024/12/31", static_cast<int>(DateOrder::Ymd)},
};

template <std::size_t N>
QActionGroup* addGroup(QMenu* menu, const Item (&items)[N])
{
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    for (const Item& item : items) {
        QAction* action = menu->addAction(QString::fromLatin1(item.text));
        action->setObjectName(QString::fromLatin1(item.objectName));
        action->setCheckable(true);
        action->setData(item.value);
        group->addAction(action);
    }
    return group;
}

void check(QActionGroup* group, int value)
{
    for (QAction* action : group->actions())
        action->setChecked(action->data().toInt() == value);
}

int checked(QActionGroup* group)
{
    const QAction* action = group->checkedAction();
    return action != nullptr ? action->data().toInt() : 0;
}

} // namespace

QString valueFormsCaption(const ValueForms& forms)
{
    if (!forms.chosen())
        return QStringLiteral("Numbers, dates: as written");
    // Examples rather than words keep the caption short enough for the
    // fixed window; the tooltip has the words.
    QString number = QStringLiteral("as written");
    if (forms.numbersChosen()) {
        const QChar mark = forms.decimal == DecimalMark::Comma ? u',' : u'.';
        QString group;
        switch (forms.group) {
        case GroupMark::None: break;
        case GroupMark::Comma: group = QStringLiteral(","); break;
        case GroupMark::Point: group = QStringLiteral("."); break;
        case GroupMark::Blank: group = QStringLiteral(" "); break;
        case GroupMark::Apostrophe: group = QStringLiteral("'"); break;
        }
        number = u"1" + group + u"234" + mark + u"5";
    }
    QString date = QStringLiteral("as written");
    switch (forms.dates) {
    case DateOrder::None: break;
    case DateOrder::Iso: date = QStringLiteral("2024-12-31"); break;
    case DateOrder::Dmy: date = QStringLiteral("31.12.2024"); break;
    case DateOrder::Mdy: date = QStringLiteral("12/31/2024"); break;
    case DateOrder::Ymd: date = QStringLiteral("2024/12/31"); break;
    }
    return u"Numbers, dates: " + number + u" and " + date;
}

QString misfitsReportText(const std::vector<FormMisfits>& misfits, const std::vector<std::u16string>& names,
                          const ValueForms& forms)
{
    std::vector<std::string> utf8Names;
    for (const auto& name : names)
        utf8Names.push_back(QString::fromStdU16String(name).toStdString());
    return QString::fromStdString(describeMisfits(misfits, utf8Names, forms)).trimmed();
}

ValueFormsChoice::ValueFormsChoice(QWidget* parent)
    : QObject(parent), m_button(new QPushButton(parent)), m_menu(new QMenu(m_button))
{
    m_button->setObjectName(QStringLiteral("ValueForms"));
    m_button->setToolTip(QStringLiteral("How the file writes numbers and dates: values so written go into number "
                                        "and date columns in the database's plain form, and Suggest reads them so"));
    m_menu->setObjectName(QStringLiteral("ValueFormsMenu"));
    m_decimals = addGroup(m_menu, kDecimalItems);
    m_menu->addSeparator();
    m_groups = addGroup(m_menu, kGroupItems);
    m_menu->addSeparator();
    m_dates = addGroup(m_menu, kDateItems);
    m_button->setMenu(m_menu);
    const auto onPick = [this] {
        ValueForms forms{static_cast<DecimalMark>(checked(m_decimals)), static_cast<GroupMark>(checked(m_groups)),
                         static_cast<DateOrder>(checked(m_dates))};
        // A group mark like the decimal mark would make 1,234 mean two things.
        if (formsConflict(forms))
            forms.group = GroupMark::None;
        pick(forms);
    };
    for (QActionGroup* group : {m_decimals, m_groups, m_dates})
        connect(group, &QActionGroup::triggered, this, onPick);
    showForms();
}

void ValueFormsChoice::setForms(const ValueForms& forms)
{
    m_forms = formsConflict(forms) ? ValueForms{forms.decimal, GroupMark::None, forms.dates} : forms;
    showForms();
}

void ValueFormsChoice::showForms()
{
    check(m_decimals, static_cast<int>(m_forms.decimal));
    check(m_groups, static_cast<int>(m_forms.group));
    check(m_dates, static_cast<int>(m_forms.dates));
    m_button->setText(valueFormsCaption(m_forms));
    m_button->setToolTip(m_forms.chosen() ? QString::fromStdString("Read as " + describeForms(m_forms))
                                          : QStringLiteral("Numbers and dates are read as they stand"));
}

void ValueFormsChoice::pick(const ValueForms& forms)
{
    setForms(forms);
    if (m_openStore) {
        const auto store = m_openStore();
        store->writeInteger(kSettingsSection, kDecimalSetting, static_cast<int>(m_forms.decimal));
        store->writeInteger(kSettingsSection, kGroupSetting, static_cast<int>(m_forms.group));
        store->writeInteger(kSettingsSection, kDatesSetting, static_cast<int>(m_forms.dates));
    }
    emit picked();
}

void ValueFormsChoice::setStore(std::function<std::shared_ptr<SettingsStore>()> openStore)
{
    m_openStore = std::move(openStore);
    if (!m_openStore)
        return;
    try {
        const auto store = m_openStore();
        auto read = [&](std::u16string_view name, int last) {
            const int value = store->readInteger(kSettingsSection, name, 0);
            return value >= 0 && value <= last ? value : 0;
        };
        setForms({static_cast<DecimalMark>(read(kDecimalSetting, 2)), static_cast<GroupMark>(read(kGroupSetting, 4)),
                  static_cast<DateOrder>(read(kDatesSetting, 4))});
    } catch (const std::exception&) {
        // As written; the next pick writes the choice again.
    }
}

} // namespace quarrow
