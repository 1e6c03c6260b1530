// The File menu's exact CSV quoting as a person meets it: chosen before the
// first load, locked while files are loaded, shown in the status bar,
// remembered in the settings file, and taken by the load and the export.

#include "tests/support/WindowFixture.h"
#include "ui/TAppForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTest>

using namespace quarrow;

class ExactQuotingOptionTest : public QObject, private test::WindowFixture {
    Q_OBJECT

private:
    QAction* option() const { return control<QAction>("ExactCsvQuoting1"); }
    bool shownInStatus() const { return !control<QLabel>("ExactQuotingStatus")->isHidden(); }

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
        forgetUserSettings();
        makeForm();
    }

    void cleanup() { dropForm(); }

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
};

QTEST_MAIN(ExactQuotingOptionTest)
#include "ExactQuotingOptionTest.moc"
