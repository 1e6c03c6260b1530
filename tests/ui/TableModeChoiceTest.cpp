// The window's "Table" list as a person meets it: what the script does about
// the table, greyed where the database has no form for it, refused with the
// reason at export and when a profile is saved, and told in the Success box.

#include "tests/support/WindowFixture.h"
#include "ui/TAppForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTest>

using namespace quarrow;

namespace {

constexpr int kAccess = 2;
constexpr int kPostgreSql = 4;
constexpr int kDb2 = 5;
constexpr int kCreateIfMissing = 1;
constexpr int kReplace = 2;
constexpr int kRowsOnly = 3;

} // namespace

class TableModeChoiceTest : public QObject, private test::WindowFixture {
    Q_OBJECT

private:
    QComboBox* list() const { return control<QComboBox>("TableMode"); }

    bool offered(int mode) const
    {
        const auto* model = qobject_cast<QStandardItemModel*>(list()->model());
        return model != nullptr && model->item(mode)->isEnabled();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        writeFile(path("a.csv"), "id,name\n1,Ann\n2,Bob\n");
    }

    void init()
    {
        makeForm();
        control<QCheckBox>("CheckBox1")->setChecked(true);
    }

    void cleanup() { dropForm(); }

    void listFollowsTheLoadAndTheDatabase()
    {
        QCOMPARE(list()->count(), 4);
        QCOMPARE(list()->currentIndex(), 0);
        QCOMPARE(control<QLabel>("LabelTableMode")->buddy(), list());
        QVERIFY(!list()->isEnabled());
        m_form->Ekle(path("a.csv"));
        QVERIFY(list()->isEnabled());
        for (const int database : {0, kAccess, kDb2, kPostgreSql}) {
            control<QComboBox>("DB")->setCurrentIndex(database);
            const bool hasForms = database != kAccess && database != kDb2;
            QCOMPARE(offered(0), true);
            QCOMPARE(offered(kCreateIfMissing), hasForms);
            QCOMPARE(offered(kReplace), hasForms);
            QCOMPARE(offered(kRowsOnly), true);
        }
    }

    void rowsOnlyExportsTheRowsAndSaysWhatTheTableMustBe()
    {
        m_form->Ekle(path("a.csv"));
        control<QComboBox>("DB")->setCurrentIndex(kPostgreSql);
        control<QLineEdit>("Edit2")->setText(u"people"_qs);
        list()->setCurrentIndex(kRowsOnly);
        const QString out = path("rows.sql");
        QCOMPARE(exportScript(out), QByteArray("\r\nINSERT INTO people (id,name) VALUES\r\n('1','Ann');\r\n"
                                               "INSERT INTO people (id,name) VALUES\r\n('2','Bob');\r\n"));
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].caption, u"Success"_qs);
        QCOMPARE(m_dialogs->messages[0].text,
                 u"Operation completed.\n\nFile saved: "_qs + out
                     + u"\n\nRows only: the table people must exist with these columns: id, name."_qs);

        list()->setCurrentIndex(kReplace);
        QVERIFY(
            exportScript(path("replace.sql")).startsWith("\r\nDROP TABLE IF EXISTS people;\r\nCREATE TABLE people"));
    }

    void nullMarkersAreWrittenAsNull()
    {
        writeFile(path("markers.csv"), "id,v\nNA,1\n\\N,\" NA \"\nna,NA\n");
        m_form->Ekle(path("markers.csv"));
        QVERIFY(control<QLineEdit>("NullMarkers")->isEnabled());
        QVERIFY(control<QLineEdit>("NullMarkers")->text().isEmpty());
        control<QLineEdit>("NullMarkers")->setText(u"  NA   \\N "_qs);
        control<QComboBox>("DB")->setCurrentIndex(kPostgreSql);
        QCOMPARE(exportScript(path("markers.sql")),
                 QByteArray("\r\nCREATE TABLE NEW_TABLE (\r\nid text,\r\nv text\r\n);\r\n\r\n"
                            "INSERT INTO NEW_TABLE (id,v) VALUES\r\n(NULL,'1');\r\n"
                            "INSERT INTO NEW_TABLE (id,v) VALUES\r\n(NULL,NULL);\r\n"
                            "INSERT INTO NEW_TABLE (id,v) VALUES\r\n('na',NULL);\r\n"));
    }

    void choiceTheDatabaseHasNotIsRefusedWithTheReason()
    {
        m_form->Ekle(path("a.csv"));
        list()->setCurrentIndex(kReplace);
        control<QComboBox>("DB")->setCurrentIndex(kAccess);
        const QString out = path("access.sql");
        QVERIFY(exportScript(out).isEmpty());
        m_dialogs->saveFileAnswers.clear(); // the dialog was never shown
        QVERIFY(m_dialogs->fileDialogs.empty());
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Warning);
        QVERIFY2(
            m_dialogs->messages[0].text.startsWith(
                u"The table choice \"Drop it if it exists, create it\" cannot be written for Microsoft Access."_qs),
            qPrintable(m_dialogs->messages[0].text));
        QVERIFY(m_dialogs->messages[0].text.contains(u"choose \"create\""_qs));

        control<QAction>("SaveProfile1")->trigger();
        QVERIFY(m_dialogs->fileDialogs.empty());
        QCOMPARE(m_dialogs->messages.size(), size_t{2});

        // Rows only is every database's.
        list()->setCurrentIndex(kRowsOnly);
        QVERIFY(exportScript(out).startsWith("\r\nINSERT INTO NEW_TABLE ([id],[name]) VALUES\r\n"));
    }
};

QTEST_MAIN(TableModeChoiceTest)
#include "TableModeChoiceTest.moc"
