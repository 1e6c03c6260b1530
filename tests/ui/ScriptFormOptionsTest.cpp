// The File menu's script forms as a person meets them: "One transaction" is
// checkable, offered for every database but Access, shown in the status bar
// while it applies, remembered in the settings file, and taken by the export;
// "PostgreSQL COPY" the same for PostgreSQL alone.

#include "tests/support/WindowFixture.h"
#include "ui/TAppForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTest>

using namespace quarrow;

namespace {

constexpr int kAccess = 2;
constexpr int kPostgreSql = 4;
constexpr int kSqlite = 6;

} // namespace

class ScriptFormOptionsTest : public QObject, private test::WindowFixture {
    Q_OBJECT

private:
    QAction* transaction() const { return control<QAction>("OneTransaction1"); }
    bool transactionInStatus() const { return !control<QLabel>("OneTransaction1Status")->isHidden(); }
    QAction* copy() const { return control<QAction>("PostgreSqlCopy1"); }
    bool copyInStatus() const { return !control<QLabel>("PostgreSqlCopy1Status")->isHidden(); }

    QByteArray exportScript()
    {
        const QString out = path("out.sql");
        QFile::remove(out);
        return WindowFixture::exportScript(out);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        writeFile(path("rows.csv"), "id,name\r\n1,Anna\r\n2,\r\n");
    }

    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        forgetUserSettings();
        makeForm();
    }

    void cleanup() { dropForm(); }

    void transactionIsOffUntilChosenAndShownWhileOn()
    {
        QVERIFY(transaction()->isCheckable());
        QVERIFY(!transaction()->isChecked());
        QVERIFY(transaction()->isEnabled());
        QCOMPARE(transaction()->text(), u"One transaction"_qs);
        QVERIFY(!transactionInStatus());
        transaction()->trigger();
        QVERIFY(transaction()->isChecked());
        QVERIFY(transactionInStatus());
        QCOMPARE(control<QLabel>("OneTransaction1Status")->text(), u"One transaction"_qs);
    }

    void transactionIsNotOfferedForAccess()
    {
        transaction()->trigger();
        m_form->Ekle(path("rows.csv"));
        control<QComboBox>("DB")->setCurrentIndex(kAccess);
        QVERIFY(!transaction()->isEnabled());
        QVERIFY(!transactionInStatus());
        QVERIFY(transaction()->isChecked()); // the choice stays for the other databases
        control<QComboBox>("DB")->setCurrentIndex(kPostgreSql);
        QVERIFY(transaction()->isEnabled());
        QVERIFY(transactionInStatus());
    }

    void exportTakesTheTransaction_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("database");
        QTest::addColumn<QByteArray>("begin");
        QTest::addColumn<QByteArray>("end");
        QTest::newRow("sqlite on") << true << kSqlite << QByteArray("\r\nBEGIN TRANSACTION;\r\nCREATE TABLE ")
                                   << QByteArray("('2','');\r\nCOMMIT;\r\n");
        QTest::newRow("sqlite off") << false << kSqlite << QByteArray("\r\nCREATE TABLE ")
                                    << QByteArray(");\r\nINSERT INTO NEW_TABLE (`id`,`name`) VALUES\r\n('2','');\r\n");
        QTest::newRow("access on") << true << kAccess << QByteArray("\r\nCREATE TABLE ")
                                   << QByteArray(");\r\nINSERT INTO NEW_TABLE ([id],[name]) VALUES\r\n('2','');\r\n");
    }

    void exportTakesTheTransaction()
    {
        QFETCH(bool, on);
        QFETCH(int, database);
        QFETCH(QByteArray, begin);
        QFETCH(QByteArray, end);
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("rows.csv"));
        if (on)
            transaction()->trigger();
        control<QComboBox>("DB")->setCurrentIndex(database);
        const QByteArray script = exportScript();
        QVERIFY2(script.startsWith(begin), script.constData());
        QVERIFY2(script.endsWith(end), script.constData());
    }

    void copyIsOfferedForPostgreSqlOnly()
    {
        QCOMPARE(copy()->text(), u"PostgreSQL COPY"_qs);
        QVERIFY(copy()->isCheckable());
        QVERIFY(!copy()->isEnabled()); // MySQL / MariaDB is chosen first
        m_form->Ekle(path("rows.csv"));
        for (int position = 0; position < control<QComboBox>("DB")->count(); ++position) {
            control<QComboBox>("DB")->setCurrentIndex(position);
            QCOMPARE(copy()->isEnabled(), position == kPostgreSql);
        }
        control<QComboBox>("DB")->setCurrentIndex(kPostgreSql);
        QVERIFY(!copyInStatus());
        copy()->trigger();
        QVERIFY(copyInStatus());
        QCOMPARE(control<QLabel>("PostgreSqlCopy1Status")->text(), u"PostgreSQL COPY"_qs);
        control<QComboBox>("DB")->setCurrentIndex(kSqlite);
        QVERIFY(!copyInStatus());
        QVERIFY(copy()->isChecked());
    }

    void exportTakesCopyWithTheTransaction()
    {
        control<QCheckBox>("CheckBox1")->setChecked(true);
        control<QCheckBox>("CheckBox2")->setChecked(true); // Null empty cells
        m_form->Ekle(path("rows.csv"));
        control<QComboBox>("DB")->setCurrentIndex(kPostgreSql);
        copy()->trigger();
        transaction()->trigger();
        QCOMPARE(exportScript(),
                 QByteArray("\r\nBEGIN;\r\nCREATE TABLE NEW_TABLE (\r\nid text,\r\nname text\r\n);\r\n\r\n"
                            "COPY NEW_TABLE (id,name) FROM stdin;\r\n1\tAnna\r\n2\t\\N\r\n\\.\r\n"
                            "COMMIT;\r\n"));
        // Elsewhere the rows are INSERT statements as ever.
        control<QComboBox>("DB")->setCurrentIndex(kSqlite);
        QVERIFY(exportScript().endsWith("VALUES\r\n('2',NULL);\r\nCOMMIT;\r\n"));
    }
};

QTEST_MAIN(ScriptFormOptionsTest)
#include "ScriptFormOptionsTest.moc"
