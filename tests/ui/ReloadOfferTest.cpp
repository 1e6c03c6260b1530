// A file whose shape the settings miss: the first load stays as the
// controls said, and a bar offers the reload with the shape the detector
// found; the File menu's "Auto-detect" sets the controls from a file.

#include "tests/support/WindowFixture.h"
#include "ui/TAppForm.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

using namespace quarrow;

namespace {

const QStringList kOrderNames{u"id"_qs, u"name"_qs, u"amount"_qs};

} // namespace

class ReloadOfferTest : public QObject, private test::WindowFixture {
    Q_OBJECT

private:
    bool barShown() const { return !control<QWidget>("ReloadBar")->isHidden(); }
    QString barText() const { return control<QLabel>("ReloadText")->text(); }
    QString separator() const { return control<QPushButton>("Button1")->text(); }
    bool header() const { return control<QCheckBox>("CheckBox1")->isChecked(); }
    QStringList names() const { return toStrings(m_form->workspace().columnNames()); }

    void setReading(const QString& separatorText, bool headerLine)
    {
        control<QPushButton>("Button1")->setText(separatorText);
        control<QCheckBox>("CheckBox1")->setChecked(headerLine);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        writeFile(path("semicolon.csv"), "id;name;amount\r\n1;Anna;3.5\r\n2;Bert;4\r\n3;Cleo;7\r\n");
        writeFile(path("tab.csv"), "1\tAnna\t3.5\r\n2\tBert\t4\r\n3\tCleo\t7\r\n");
        writeFile(path("comma.csv"), "id,name,amount\r\n1,Anna,3.5\r\n2,Bert,4\r\n");
        writeFile(path("plain.csv"), "1,Anna,3.5\r\n2,Bert,4\r\n3,Cleo,7\r\n");
        writeFile(path("words.csv"), "alpha\r\nbeta\r\ngamma\r\n");
        writeFile(path("semicolon2.csv"), "id;name;amount\r\n4;Dora;1\r\n5;Emil;2\r\n");
        writeFile(path("years.csv"), "Country,2019,2020\r\nFrance,1.5,2\r\nSpain,3,4.5\r\n");
        writeFile(path("titled.csv"), "Orders of May\r\nid;name;amount\r\n1;Anna;3.5\r\n2;Bert;4\r\n");
    }

    void init() { makeForm(); }

    void cleanup() { dropForm(); }

    void semicolonFileWithHeaderIsOfferedTheReload()
    {
        m_form->Ekle(path("semicolon.csv"));
        // Nothing changed by itself: one column per line, the header as data.
        QCOMPARE(m_form->workspace().columnCount(), 1);
        QCOMPARE(separator(), u","_qs);
        QVERIFY(!header());
        QVERIFY(barShown());
        QCOMPARE(barText(), u"This file looks like ';'-separated with a header line:"_qs);
        QCOMPARE(control<QPushButton>("ReloadButton")->text(), u"Reload with these settings"_qs);
        QVERIFY(m_dialogs->messages.empty());

        control<QPushButton>("ReloadButton")->click();
        QCOMPARE(names(), kOrderNames);
        QCOMPARE(m_form->workspace().rowCount(), 4u); // the names and three rows
        QCOMPARE(m_form->workspace().filesLoaded(), 1);
        QCOMPARE(separator(), u";"_qs);
        QVERIFY(header());
        QVERIFY(!barShown());
        QVERIFY(m_dialogs->messages.empty());
    }

    void offerNamesTheShapeFound_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("separatorText");
        QTest::addColumn<bool>("headerLine");
        QTest::addColumn<QString>("offer");
        QTest::newRow("Tab, no header, loaded with a header")
            << u"tab.csv"_qs << u","_qs << true << u"This file looks like Tab-separated without a header line:"_qs;
        QTest::newRow("only the header missed")
            << u"comma.csv"_qs << u","_qs << false << u"This file looks like ','-separated with a header line:"_qs;
        QTest::newRow("only the separator missed")
            << u"semicolon.csv"_qs << u"|"_qs << true << u"This file looks like ';'-separated with a header line:"_qs;
        QTest::newRow("a header of years")
            << u"years.csv"_qs << u","_qs << false << u"This file looks like ','-separated with a header line:"_qs;
    }

    void offerNamesTheShapeFound()
    {
        QFETCH(QString, file);
        QFETCH(QString, separatorText);
        QFETCH(bool, headerLine);
        QFETCH(QString, offer);
        setReading(separatorText, headerLine);
        m_form->Ekle(m_dir.filePath(file));
        QVERIFY(barShown());
        QCOMPARE(barText(), offer);
    }

    void noOfferWhereTheSettingsAgreeOrNothingIsDecided_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("separatorText");
        QTest::addColumn<bool>("headerLine");
        QTest::newRow("semicolon with header") << u"semicolon.csv"_qs << u";"_qs << true;
        QTest::newRow("comma with header") << u"comma.csv"_qs << u","_qs << true;
        QTest::newRow("comma without header") << u"plain.csv"_qs << u","_qs << false;
        QTest::newRow("tab without header") << u"tab.csv"_qs << u"\\t"_qs << false;
        QTest::newRow("one column of words: undecided") << u"words.csv"_qs << u","_qs << false;
    }

    void noOfferWhereTheSettingsAgreeOrNothingIsDecided()
    {
        QFETCH(QString, file);
        QFETCH(QString, separatorText);
        QFETCH(bool, headerLine);
        setReading(separatorText, headerLine);
        m_form->Ekle(m_dir.filePath(file));
        QVERIFY(m_form->workspace().rowCount() > 0);
        QVERIFY2(!barShown(), qPrintable(barText()));
    }

    void onlyTheFirstFileIsJudged()
    {
        setReading(u","_qs, true);
        m_form->Ekle(path("comma.csv"));
        m_form->Ekle(path("semicolon.csv"));
        QVERIFY(!barShown());
    }

    // The reload clears the table: it takes every file of it again, in
    // order, as a load of those files with the offered settings gives them.
    void reloadTakesEveryFileOfTheTable_data()
    {
        QTest::addColumn<bool>("dropped");
        QTest::newRow("opened together") << false;
        QTest::newRow("dropped together") << true;
    }

    void reloadTakesEveryFileOfTheTable()
    {
        QFETCH(bool, dropped);
        const QStringList files{path("semicolon.csv"), path("semicolon2.csv"), path("words.csv")};
        TAppForm reference(*m_dialogs, QCoreApplication::applicationFilePath(), QStringList{});
        test::findControl<QPushButton>(&reference, u"Button1"_qs)->setText(u";"_qs);
        test::findControl<QCheckBox>(&reference, u"CheckBox1"_qs)->setChecked(true);
        reference.dropFiles(files);
        QCOMPARE(reference.workspace().filesLoaded(), 3);

        if (dropped) {
            m_form->dropFiles(files);
        } else {
            m_dialogs->openFilesAnswers.push_back(files);
            control<QPushButton>("BitBtn1")->click();
        }
        QCOMPARE(m_form->workspace().filesLoaded(), 3);
        QVERIFY(barShown());
        QCOMPARE(barText(), u"The first of the 3 files looks like ';'-separated with a header line:"_qs);
        QCOMPARE(control<QPushButton>("ReloadButton")->text(), u"Reload all 3 files"_qs);

        control<QPushButton>("ReloadButton")->click();
        QCOMPARE(m_form->workspace().filesLoaded(), 3);
        QCOMPARE(names(), kOrderNames);
        QCOMPARE(m_form->workspace().rowCount(), reference.workspace().rowCount());
        for (std::size_t row = 0; row < reference.workspace().rowCount(); ++row)
            QCOMPARE(m_form->workspace().rowText(row), reference.workspace().rowText(row));
        QCOMPARE(control<QPushButton>("BitBtn1")->text(), u"Load CSV files... [3]"_qs);
        QVERIFY(!barShown());
        QVERIFY(m_dialogs->messages.empty());
    }

    // A file added after the offer came is reloaded with the others.
    void fileAddedAfterTheOfferIsReloadedToo()
    {
        m_form->Ekle(path("semicolon.csv"));
        QCOMPARE(barText(), u"This file looks like ';'-separated with a header line:"_qs);
        QCOMPARE(control<QPushButton>("ReloadButton")->text(), u"Reload with these settings"_qs);
        m_form->Ekle(path("semicolon2.csv"));
        QCOMPARE(barText(), u"The first of the 2 files looks like ';'-separated with a header line:"_qs);
        control<QPushButton>("ReloadButton")->click();
        QCOMPARE(m_form->workspace().filesLoaded(), 2);
        QCOMPARE(names(), kOrderNames);
        QCOMPARE(m_form->workspace().rowText(m_form->workspace().rowCount() - 1), u"5;Emil;2");
    }

    // A title above the table: the reload skips it, and the table takes its
    // names from the line below.
    void titleAboveTheTableIsSkippedByTheReload()
    {
        m_form->Ekle(path("titled.csv"));
        QVERIFY(barShown());
        QCOMPARE(barText(), u"This file looks like ';'-separated with a header line, after 1 line above its table:"_qs);
        const QString evidence = control<QLabel>("ReloadText")->toolTip();
        QVERIFY2(evidence.startsWith(u"line 1 is not of the table's shape (3 of 3 lines below line 1 have 3 fields "
                                     u"with ';')"_qs),
                 qPrintable(evidence));
        QVERIFY2(evidence.contains(u"line 2 holds names"_qs), qPrintable(evidence));
        control<QPushButton>("ReloadButton")->click();
        QCOMPARE(names(), kOrderNames);
        QCOMPARE(m_form->workspace().rowCount(), std::size_t{3}); // the header line and two rows
        QCOMPARE(control<QSpinBox>("SkipLines")->value(), 1);
        QVERIFY(!control<QSpinBox>("SkipLines")->isEnabled());
        // Loaded as the bar proposed: nothing more to offer.
        QVERIFY(!barShown());
    }

    // A comment character that would take rows for comments loads nothing.
    void commentLikeTheSeparatorLoadsNothing()
    {
        setReading(u";"_qs, true);
        control<QLineEdit>("CommentChar")->setText(u";"_qs);
        m_form->Ekle(path("semicolon.csv"));
        QCOMPARE(m_form->workspace().filesLoaded(), 0);
        QCOMPARE(m_dialogs->messages.size(), 1u);
        QVERIFY2(m_dialogs->messages[0].text.contains(u"must differ from the separator"_qs),
                 qPrintable(m_dialogs->messages[0].text));
        control<QLineEdit>("CommentChar")->clear();
    }

    void autoDetectTellsOfATitle()
    {
        m_dialogs->openFileAnswers.push_back(path("titled.csv"));
        control<QAction>("AutoDetect1")->trigger();
        QCOMPARE(separator(), u";"_qs);
        QVERIFY(header());
        QCOMPARE(control<QSpinBox>("SkipLines")->value(), 1);
        QCOMPARE(m_dialogs->messages.size(), 1u);
        QVERIFY2(m_dialogs->messages[0].text.startsWith(u"line 1 is not of the table's shape"_qs),
                 qPrintable(m_dialogs->messages[0].text));
    }

    void clearAndTheCrossPutTheOfferAway()
    {
        m_form->Ekle(path("semicolon.csv"));
        QVERIFY(barShown());
        control<QToolButton>("ReloadDismiss")->click();
        QVERIFY(!barShown());
        QCOMPARE(m_form->workspace().columnCount(), 1); // nothing reloaded

        control<QAction>("Clear2")->trigger();
        m_form->Ekle(path("semicolon.csv"));
        QVERIFY(barShown());
        control<QAction>("Clear2")->trigger();
        QVERIFY(!barShown());
    }

    void windowMakesRoomForTheBar_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("an offer") << u"semicolon.csv"_qs;
        QTest::newRow("an offer over several lines") << u"titled.csv"_qs;
    }

    void windowMakesRoomForTheBar()
    {
        QFETCH(QString, file);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        const QWidget* panel = control<QWidget>("Panel1");
        const QSize panelSize = panel->size();
        const int windowHeight = m_form->height();

        m_form->Ekle(m_dir.filePath(file));
        QVERIFY(barShown());
        const QWidget* bar = control<QWidget>("ReloadBar");
        const QLabel* text = control<QLabel>("ReloadText");
        QTRY_VERIFY(text->height() >= text->heightForWidth(text->width())); // no line of it cut off
        QTRY_COMPARE(m_form->height(), windowHeight + bar->height() + m_form->centralWidget()->layout()->spacing());
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        QCOMPARE(panel->size(), panelSize); // nothing squeezed
        QVERIFY(bar->geometry().top() >= control<QWidget>("BitBtn1")->geometry().bottom());
        QVERIFY(bar->geometry().bottom() <= panel->geometry().top());

        control<QToolButton>("ReloadDismiss")->click();
        QTRY_COMPARE(m_form->height(), windowHeight);
        QCOMPARE(panel->size(), panelSize);
    }

    void reloadTakesTheOpenedProfilesTypesAgain()
    {
        const QString profile = path("types.toml");
        writeFile(profile, "version = 1\ncolumns = [{ name = \"id\", type = \"integer\" }]\n");
        m_dialogs->openFileAnswers.push_back(profile);
        control<QAction>("OpenProfile1")->trigger();
        m_form->Ekle(path("semicolon.csv"));
        QVERIFY(barShown());
        control<QPushButton>("ReloadButton")->click();
        QCOMPARE(names(), kOrderNames);
        QCOMPARE(toStrings(m_form->workspace().columnTypes()), (QStringList{u"integer"_qs, u"text"_qs, u"text"_qs}));
        // The first load's one column took the one type without a word; the
        // reload's three columns are told about.
        QCOMPARE(m_dialogs->messages.size(), 1u);
        QVERIFY2(m_dialogs->messages[0].text.contains(u"1 of 3"_qs), qPrintable(m_dialogs->messages[0].text));
    }

    void autoDetectSetsTheControlsFromAChosenFile()
    {
        QCOMPARE(control<QAction>("AutoDetect1")->text(), u"Auto-detect"_qs);
        m_dialogs->openFileAnswers.push_back(QString()); // cancelled: nothing changes
        control<QAction>("AutoDetect1")->trigger();
        QCOMPARE(separator(), u","_qs);
        QVERIFY(m_dialogs->messages.empty());

        // Script forms the database does not offer keep their marks.
        control<QAction>("PostgreSqlCopy1")->setChecked(true);
        control<QAction>("OneTransaction1")->setChecked(true);
        control<QRadioButton>("RadioButton1")->setChecked(true);
        m_dialogs->openFileAnswers.push_back(path("semicolon.csv"));
        control<QAction>("AutoDetect1")->trigger();
        QCOMPARE(separator(), u";"_qs);
        QVERIFY(header());
        QVERIFY(!control<QRadioButton>("RadioButton2")->isChecked()); // ASCII alone decides no encoding
        QVERIFY(control<QAction>("PostgreSqlCopy1")->isChecked());
        QVERIFY(control<QAction>("OneTransaction1")->isChecked());
        QCOMPARE(m_form->workspace().filesLoaded(), 0); // the controls only
        QCOMPARE(m_dialogs->messages.size(), 1u);
        QVERIFY2(m_dialogs->messages[0].text.contains(u"';'"_qs), qPrintable(m_dialogs->messages[0].text));

        m_form->Ekle(path("semicolon.csv"));
        QCOMPARE(names(), kOrderNames);
        QVERIFY(!barShown());
    }

    void autoDetectAfterALoadJudgesTheFirstFile()
    {
        m_form->Ekle(path("semicolon.csv"));
        control<QToolButton>("ReloadDismiss")->click();
        control<QAction>("AutoDetect1")->trigger(); // no file dialog: the loaded file is judged
        QVERIFY(m_dialogs->fileDialogs.empty());
        QVERIFY(barShown());
        QCOMPARE(separator(), u","_qs);

        control<QPushButton>("ReloadButton")->click();
        control<QAction>("AutoDetect1")->trigger();
        QVERIFY(!barShown());
        QCOMPARE(m_dialogs->messages.size(), 1u);
        QVERIFY(m_dialogs->messages[0].text.startsWith(
            u"The file loaded first agrees with the settings it was loaded with."_qs));
    }

    void autoDetectTakesTheEncodingAndExactQuoting()
    {
        const QString file = path("quoted.csv");
        writeFile(file, "id;city\r\n1;\"Köln; Mitte\"\r\n2;Bonn\r\n");
        control<QRadioButton>("RadioButton1")->setChecked(true);
        m_dialogs->openFileAnswers.push_back(file);
        control<QAction>("AutoDetect1")->trigger();
        QVERIFY(control<QRadioButton>("RadioButton2")->isChecked());
        QVERIFY(control<QAction>("ExactCsvQuoting1")->isChecked());
        QCOMPARE(separator(), u";"_qs);
    }

    void unreadableFileForAutoDetectIsReported()
    {
        m_dialogs->openFileAnswers.push_back(path("missing.csv"));
        control<QAction>("AutoDetect1")->trigger();
        QCOMPARE(m_dialogs->messages.size(), 1u);
        QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Error);
        QVERIFY2(m_dialogs->messages[0].text.contains(u"missing.csv"_qs), qPrintable(m_dialogs->messages[0].text));
        QCOMPARE(separator(), u","_qs);
    }
};

QTEST_MAIN(ReloadOfferTest)
#include "ReloadOfferTest.moc"
