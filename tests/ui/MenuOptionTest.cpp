// The File menu's checkable options (exact CSV quoting, one transaction,
// PostgreSQL COPY) are one kind of item: each is remembered in the settings
// file under its own key, only once a store is given, and comes back checked
// in the next run.

#include "tests/support/WindowFixture.h"
#include "ui/TAppForm.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTest>

using namespace quarrow;

namespace {

struct Option {
    const char* item;
    const char* setting;
};

// The keys are what earlier runs wrote: renaming one forgets a user's choice.
constexpr Option kOptions[] = {
    {"ExactCsvQuoting1", "ExactCsvQuoting"},
    {"OneTransaction1", "OneTransaction"},
    {"PostgreSqlCopy1", "PostgreSqlCopy"},
};

constexpr int kMySql = 0;
constexpr int kPostgreSql = 4;

} // namespace

class MenuOptionTest : public QObject, private test::WindowFixture {
    Q_OBJECT

private:
    QAction* item(const QString& name) const { return control<QAction>(name.toLatin1().constData()); }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        forgetUserSettings();
        makeForm();
    }

    void cleanup() { dropForm(); }

    void rememberedInTheSettingsFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("database"); // one the option applies to
        QTest::newRow("exact quoting") << u"ExactCsvQuoting1"_qs << u"ExactCsvQuoting"_qs << u"ExactQuotingStatus"_qs
                                       << kMySql;
        QTest::newRow("one transaction") << u"OneTransaction1"_qs << u"OneTransaction"_qs << u"OneTransaction1Status"_qs
                                         << kMySql;
        QTest::newRow("PostgreSQL COPY") << u"PostgreSqlCopy1"_qs << u"PostgreSqlCopy"_qs << u"PostgreSqlCopy1Status"_qs
                                         << kPostgreSql;
    }

    void rememberedInTheSettingsFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, setting);
        QFETCH(QString, status);
        QFETCH(int, database);
        m_form->setSettingsStore(userSettings());
        control<QComboBox>("DB")->setCurrentIndex(database);
        QVERIFY(!item(name)->isChecked());
        item(name)->trigger();
        QCOMPARE(storedValue(setting), u"1"_qs);
        for (const Option& other : kOptions) {
            if (QLatin1String(other.setting) != setting)
                QCOMPARE(storedValue(QString::fromLatin1(other.setting)), QString()); // each its own
        }

        makeForm();
        QVERIFY(!item(name)->isChecked()); // nothing remembered without a store
        m_form->setSettingsStore(userSettings());
        for (const Option& option : kOptions)
            QCOMPARE(item(QString::fromLatin1(option.item))->isChecked(), QLatin1String(option.item) == name);
        control<QComboBox>("DB")->setCurrentIndex(database);
        QVERIFY(!control<QLabel>(status.toLatin1().constData())->isHidden());

        item(name)->trigger();
        QCOMPARE(storedValue(setting), u"0"_qs);
        makeForm();
        m_form->setSettingsStore(userSettings());
        QVERIFY(!item(name)->isChecked());
    }
};

QTEST_MAIN(MenuOptionTest)
#include "MenuOptionTest.moc"
