// The File menu's exact CSV quoting as a person meets it: chosen before the
// first load, locked while files are loaded, shown in the status bar,
// remembered in the settings file, and taken by the load and the export.

#include "tests/support/Controls.h"
#include "tests/support/FakeDialogs.h"
#include "update/qt/QtSettingsStore.h"
#include "ui/TAppForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace quarrow;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::function<std::shared_ptr<SettingsStore>()> userSettings()
{
    return [] { return std::make_shared<QtSettingsStore>(QStringLiteral("TARNIX"), QStringLiteral("Quarrow")); };
}

QString storedValue(const QString& name)
{
    const QString file =
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TARNIX"), QStringLiteral("Quarrow"))
            .fileName();
    return QSettings(file, QSettings::IniFormat).value(u"Settings/" + name).toString();
}

} // namespace

class ExactQuotingOptionTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<test::FakeDialogs> m_dialogs;
    std::unique_ptr<TAppForm> m_form;

    template <typename T>
    T* control(const char* name) const
    {
        return test::findControl<T>(m_form.get(), QString::fromLatin1(name));
    }
    QAction* option() const { return control<QAction>("ExactCsvQuoting1"); }
    bool shownInStatus() const { return !control<QLabel>("ExactQuotingStatus")->isHidden(); }
    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    void makeForm()
    {
        m_form.reset();
        m_dialogs = std::make_unique<test::FakeDialogs>();
        m_form = std::make_unique<TAppForm>(*m_dialogs, QCoreApplication::applicationFilePath(), QStringList{});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        writeFile(path("notes.csv"), "id,note\r\n1,\"two\r\nlines\"\r\n2,\" \"\"q\"\" \"\r\n");
        writeFile(path("open.csv"), "id,note\r\n1,a\r\n2,\"never closed\r\n3,b\r\n");
    }

    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QFile::remove(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TARNIX"),
                                QStringLiteral("Quarrow"))
                          .fileName());
        makeForm();
    }

    void cleanup()
    {
        m_form.reset();
        m_dialogs.reset();
    }

    void offAndOpenBeforeTheFirstLoad()
    {
        QVERIFY(option()->isCheckable());
        QVERIFY(!option()->isChecked());
        QVERIFY(option()->isEnabled());
        QCOMPARE(option()->text(), u"Exact CSV quoting (RFC 4180)"_qs);
        QVERIFY(!shownInStatus());
        option()->trigger();
        QVERIFY(option()->isChecked());
        QVERIFY(shownInStatus());
        QCOMPARE(control<QLabel>("ExactQuotingStatus")->text(), u"Exact CSV quoting (RFC 4180)"_qs);
    }

    void lockedWhileFilesAreLoaded()
    {
        option()->trigger();
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("notes.csv"));
        QVERIFY(!option()->isEnabled());
        QVERIFY(option()->isChecked());
        QVERIFY(shownInStatus());
        control<QAction>("Clear2")->trigger();
        QVERIFY(option()->isEnabled());
        QVERIFY(option()->isChecked());
    }

    void loadAndExportReadExactly_data()
    {
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("values");
        QTest::newRow("exact") << true << u"3 rows loaded"_qs
                               << QByteArray("('1','two'||char(13)||char(10)||'lines'),\r\n('2',' \"q\" ');\r\n");
        QTest::newRow("default") << false << u"4 rows loaded"_qs
                                 << QByteArray("('1','two'),\r\n('lines',''),\r\n('2','q');\r\n");
    }

    void loadAndExportReadExactly()
    {
        QFETCH(bool, exact);
        QFETCH(QString, status);
        QFETCH(QByteArray, values);
        if (exact)
            option()->trigger();
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("notes.csv"));
        QVERIFY(m_dialogs->messages.empty());
        QCOMPARE(control<QLabel>("StatusText")->text(), status);
        control<QComboBox>("DB")->setCurrentIndex(6); // SQLite
        control<QCheckBox>("CheckBox3")->setChecked(true);
        const QString out = path("out.sql");
        m_dialogs->saveFileAnswers.push_back(out);
        control<QAction>("ExporttoSQL1")->trigger();
        const QByteArray script = readBytes(out);
        const QByteArray inserts = QByteArray("INSERT INTO NEW_TABLE (`id`,`note`) VALUES\r\n") + values;
        QVERIFY2(script.endsWith(inserts), script.constData());
    }

    void unclosedQuoteIsALoadError()
    {
        option()->trigger();
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("open.csv"));
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Error);
        QCOMPARE(m_dialogs->messages[0].text, u"File load error!"_qs);
        // The rows before the record that began the open quote stay.
        QCOMPARE(control<QLabel>("StatusText")->text(), u"2 rows loaded"_qs);
    }

    void rememberedInTheSettingsFile()
    {
        m_form->setSettingsStore(userSettings());
        QVERIFY(!option()->isChecked());
        option()->trigger();
        QCOMPARE(storedValue(u"ExactCsvQuoting"_qs), u"1"_qs);

        makeForm();
        QVERIFY(!option()->isChecked()); // nothing remembered without a store
        m_form->setSettingsStore(userSettings());
        QVERIFY(option()->isChecked());
        QVERIFY(shownInStatus());
        option()->trigger();
        QCOMPARE(storedValue(u"ExactCsvQuoting"_qs), u"0"_qs);
        makeForm();
        m_form->setSettingsStore(userSettings());
        QVERIFY(!option()->isChecked());
    }
};

QTEST_MAIN(ExactQuotingOptionTest)
#include "ExactQuotingOptionTest.moc"
