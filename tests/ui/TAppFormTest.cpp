#include "tests/support/FileSizeLimit.h"
#include "tests/support/WindowFixture.h"
#include "ui/TAppForm.h"
#include "ui/TFormPreview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

using namespace quarrow;

class TAppFormTest : public QObject, private test::WindowFixture {
    Q_OBJECT

private:
    QString status() const { return control<QLabel>("StatusText")->text(); }
    QString loadCaption() const { return control<QPushButton>("BitBtn1")->text(); }

    static QString readText(const QString& path) { return QString::fromUtf8(readBytes(path)); }

    void trigger(const char* action) { control<QAction>(action)->trigger(); }

    void drop(const QStringList& paths)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        // What a file manager hands over: a text/uri-list.
        mime.setData(u"text/uri-list"_qs, QUrl::toStringList(urls).join(u"\r\n").toUtf8() + "\r\n");
        m_form->dropFiles(TAppForm::droppedPaths(mime));
    }

    bool inLoadedLook() const
    {
        return !control<QCheckBox>("CheckBox1")->isEnabled() && !control<QRadioButton>("RadioButton1")->isEnabled()
               && !control<QRadioButton>("RadioButton2")->isEnabled() && !control<QLabel>("Label1")->isEnabled()
               && !control<QPushButton>("Button1")->isEnabled() && control<QCheckBox>("CheckBox2")->isEnabled()
               && control<QCheckBox>("CheckBox3")->isEnabled() && control<QLineEdit>("Edit2")->isEnabled()
               && control<QComboBox>("DB")->isEnabled() && control<QLabel>("Label2")->isEnabled()
               && control<QLabel>("Label3")->isEnabled() && control<QPushButton>("ButtonColumn")->isEnabled()
               && control<QPushButton>("ButtonExport")->isEnabled() && control<QPushButton>("BitBtn1")->isEnabled();
    }

    bool inEmptyLook() const
    {
        return control<QCheckBox>("CheckBox1")->isEnabled() && control<QRadioButton>("RadioButton1")->isEnabled()
               && control<QRadioButton>("RadioButton2")->isEnabled() && control<QLabel>("Label1")->isEnabled()
               && control<QPushButton>("Button1")->isEnabled() && !control<QCheckBox>("CheckBox2")->isEnabled()
               && !control<QCheckBox>("CheckBox3")->isEnabled() && !control<QLineEdit>("Edit2")->isEnabled()
               && !control<QComboBox>("DB")->isEnabled() && !control<QLabel>("Label2")->isEnabled()
               && !control<QLabel>("Label3")->isEnabled() && !control<QPushButton>("ButtonColumn")->isEnabled()
               && !control<QPushButton>("ButtonExport")->isEnabled() && control<QPushButton>("BitBtn1")->isEnabled();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        writeFile(path("a.csv"), "id,name\n1,Ann\n2,Bob\n");
        writeFile(path("b.csv"), "x;y;z\n");
        writeFile(path("empty.csv"), "");
        // The reader fails at the block that holds the bad bytes, so the
        // lines of the first 4096-byte block arrive.
        QByteArray bad;
        for (int i = 0; i < 1000; ++i)
            bad += QByteArray::number(i % 10) + ",x\n"; // 4000 bytes
        bad += QByteArray(200, 'y') + "\xff\xfe broken\n";
        writeFile(path("bad.csv"), bad);
    }

    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        makeForm();
    }

    void cleanup() { dropForm(); }

    void startsInEmptyLook()
    {
        QCOMPARE(m_form->windowTitle(), u"TARNIX - Quarrow"_qs);
        QVERIFY(inEmptyLook());
        QVERIFY(control<QRadioButton>("RadioButton2")->isChecked());
        QVERIFY(!control<QCheckBox>("CheckBox1")->isChecked());
        QCOMPARE(control<QLineEdit>("Edit2")->text(), u"NEW_TABLE"_qs);
        QCOMPARE(control<QComboBox>("DB")->count(), 7);
        QCOMPARE(control<QComboBox>("DB")->currentIndex(), 0);
        QCOMPARE(control<QPushButton>("Button1")->text(), u","_qs);
        QCOMPARE(loadCaption(), u"Load CSV file..."_qs);
        QCOMPARE(status(), QString());
        QVERIFY(control<QAction>("UpdateNotifications1")->isChecked());
        QVERIFY(!control<QAction>("UpdateNotifications1")->isEnabled());
        QCOMPARE(control<QAction>("Help2")->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void namesItselfFromTheVersionBlock()
    {
        QCOMPARE(m_form->companyName(), u"TARNIX"_qs);
        QCOMPARE(m_form->productName(), u"Quarrow"_qs);
        QCOMPARE(m_form->fileVersionText(), u"2.1"_qs);
        QCOMPARE(m_form->windowTitleText(), u"TARNIX - Quarrow"_qs);

        // Without a readable block the window still comes up, under the
        // application's title, and works.
        test::FakeDialogs dialogs;
        TAppForm bare(dialogs, m_dir.filePath(u"no-such-program"_qs), {});
        QCOMPARE(bare.windowTitle(), u"Quarrow"_qs);
        QCOMPARE(bare.fileVersionText(), u"65535.65535"_qs);
        bare.Ekle(path("a.csv"));
        QCOMPARE(bare.workspace().rowCount(), size_t{3});
    }

    void separatorFollowsTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("separator");
        QTest::newRow("decimal point") << QLocale(QLocale::English, QLocale::UnitedKingdom) << u","_qs;
        QTest::newRow("decimal comma") << QLocale(QLocale::German, QLocale::Germany) << u";"_qs;
        QTest::newRow("decimal comma, French") << QLocale(QLocale::French, QLocale::France) << u";"_qs;
    }

    void separatorFollowsTheLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, separator);
        QLocale::setDefault(locale);
        makeForm();
        QCOMPARE(control<QPushButton>("Button1")->text(), separator);
    }

    void firstLoadTakesTheLoadedLook()
    {
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("a.csv"));
        QVERIFY(inLoadedLook());
        QCOMPARE(loadCaption(), u"Load CSV files... [1]"_qs);
        QCOMPARE(status(), u"3 rows loaded"_qs);
        QCOMPARE(m_form->workspace().columnNames().size(), size_t{2});
        QVERIFY(m_dialogs->messages.empty());
    }

    void laterLoadsAddTheirLines()
    {
        m_form->Ekle(path("a.csv"));
        m_form->Ekle(path("b.csv"));
        m_form->Ekle(path("a.csv"));
        QCOMPARE(loadCaption(), u"Load CSV files... [3]"_qs);
        QCOMPARE(status(), u"7 rows loaded"_qs);
        // The first file fixed the columns.
        QCOMPARE(m_form->workspace().columnCount(), 2);
    }

    void missingFileOnlyRefreshesTheStatus()
    {
        m_form->Ekle(path("nowhere.csv"));
        QVERIFY(inEmptyLook());
        QCOMPARE(loadCaption(), u"Load CSV file..."_qs);
        QCOMPARE(status(), u"0 rows loaded"_qs);
        m_form->Ekle(path("a.csv"));
        m_form->Ekle(path("nowhere.csv"));
        QCOMPARE(loadCaption(), u"Load CSV files... [1]"_qs);
        QVERIFY(m_dialogs->messages.empty());
    }

    void readFailureKeepsTheLinesReadBefore()
    {
        m_form->Ekle(path("bad.csv"));
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Error);
        QCOMPARE(m_dialogs->messages[0].caption, u"ERROR"_qs);
        QCOMPARE(m_dialogs->messages[0].text, u"File load error!"_qs);
        QVERIFY(inLoadedLook());
        QCOMPARE(status(), u"1,000 rows loaded"_qs);
        QCOMPARE(loadCaption(), u"Load CSV files... [1]"_qs);
        QCOMPARE(m_form->workspace().columnNames().size(), size_t{2});
    }

    void emptyFileLoadsNothingButCounts()
    {
        m_form->Ekle(path("empty.csv"));
        QVERIFY(inLoadedLook());
        QCOMPARE(loadCaption(), u"Load CSV files... [0]"_qs);
        QCOMPARE(status(), u"0 rows loaded"_qs);
        m_form->Ekle(path("a.csv"));
        QCOMPARE(loadCaption(), u"Load CSV files... [1]"_qs);
        QCOMPARE(m_form->workspace().columnNames().size(), size_t{2});
    }

    void statusGroupsDigitsByLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << u"12,345 rows loaded"_qs;
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << u"12.345 rows loaded"_qs;
    }

    void statusGroupsDigitsByLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        const QString big = path("big.csv");
        if (!QFile::exists(big)) {
            QByteArray bytes;
            for (int i = 0; i < 12345; ++i)
                bytes += QByteArray::number(i) + "\n";
            writeFile(big, bytes);
        }
        QLocale::setDefault(locale);
        makeForm();
        m_form->Ekle(big);
        QCOMPARE(status(), text);
    }

    void dropsKeepOnlyCsvFiles()
    {
        QDir(m_dir.path()).mkpath(u"folder.csv"_qs);
        writeFile(path("DATA.CSV"), "D\n");
        writeFile(path("notes.txt"), "N\n");
        writeFile(path("data.csv.bak"), "B\n");
        writeFile(path("noextension"), "X\n");
        drop({path("folder.csv"), path("DATA.CSV"), path("notes.txt"), path("data.csv.bak"), path("noextension")});
        QCOMPARE(m_form->workspace().rowCount(), size_t{1});
        QCOMPARE(m_form->workspace().rowText(0), u"D");
        QCOMPARE(loadCaption(), u"Load CSV files... [1]"_qs);
    }

    void dropOfThreeFilesLoadsThemInOrder()
    {
        writeFile(path("1.csv"), "first\n");
        writeFile(path("2.csv"), "second\n");
        writeFile(path("3.csv"), "third\n");
        drop({path("2.csv"), path("3.csv"), path("1.csv")});
        QCOMPARE(loadCaption(), u"Load CSV files... [3]"_qs);
        QCOMPARE(m_form->workspace().rowText(0), u"second");
        QCOMPARE(m_form->workspace().rowText(1), u"third");
        QCOMPARE(m_form->workspace().rowText(2), u"first");
    }

    // A real drop: the files load once the drop event has returned to the
    // file manager, not inside it.
    void dropLoadsAfterTheDropEventReturns()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        writeFile(path("dropped.csv"), "a\nb\n");
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path("dropped.csv"))});
        QDropEvent event(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
        // Straight to the window's handler: the application lets a drop
        // through only while a drag of its own is under way.
        static_cast<QObject*>(m_form.get())->event(&event);
        QVERIFY(event.isAccepted());
        QCOMPARE(m_form->workspace().rowCount(), size_t{0});
        QTRY_COMPARE(m_form->workspace().rowCount(), size_t{2});
        QCOMPARE(loadCaption(), u"Load CSV files... [1]"_qs);
    }

    void dropTakesLongPathsWhole()
    {
        // Deeper than the 255 characters a fixed buffer would hold.
        QString folder = m_dir.path();
        for (int i = 0; i < 6; ++i)
            folder += u"/a-rather-long-folder-name-to-make-the-path-long-" + QString::number(i);
        QVERIFY(QDir().mkpath(folder));
        const QString longPath = folder + u"/deep.csv";
        QVERIFY(longPath.size() > 300);
        writeFile(longPath, "deep\n");
        drop({longPath});
        QCOMPARE(m_form->workspace().rowCount(), size_t{1});
        QCOMPARE(m_form->workspace().rowText(0), u"deep");
    }

    void commandLineNamesOneFile_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("rows");
        QDir(m_dir.path()).mkpath(u"My Files"_qs);
        writeFile(path("My Files/a b.csv"), "x\ny\n");
        const QString spaced = path("My Files/a b.csv");
        const qsizetype cut = spaced.indexOf(u"My Files") + 2;
        QTest::newRow("split at the spaces") << QStringList{spaced.left(cut), u"Files/a"_qs, u"b.csv"_qs} << 2;
        QTest::newRow("one quoted argument") << QStringList{spaced} << 2;
        QTest::newRow("surrounding blanks") << QStringList{u" "_qs, spaced + u"\t"_qs} << 2;
        QTest::newRow("two files name nothing") << QStringList{path("a.csv"), path("b.csv")} << 0;
        QTest::newRow("missing file") << QStringList{path("missing.csv")} << 0;
        QTest::newRow("a folder") << QStringList{m_dir.path()} << 0;
    }

    void commandLineNamesOneFile()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, rows);
        makeForm(arguments);
        m_form->show();
        if (rows > 0)
            QTRY_COMPARE(m_form->workspace().rowCount(), size_t(rows));
        else
            QTest::qWait(50);
        QCOMPARE(m_form->workspace().rowCount(), size_t(rows));
        QCOMPARE(m_form->workspace().filesLoaded(), rows > 0 ? 1 : 0);
        QVERIFY(m_dialogs->messages.empty());
    }

    void clearKeepsTheValues()
    {
        control<QCheckBox>("CheckBox1")->setChecked(true);
        control<QRadioButton>("RadioButton1")->setChecked(true);
        m_form->Ekle(path("a.csv"));
        control<QLineEdit>("Edit2")->setText(u"customers"_qs);
        control<QComboBox>("DB")->setCurrentIndex(3);
        control<QCheckBox>("CheckBox2")->setChecked(true);
        trigger("Clear2");
        QVERIFY(inEmptyLook());
        QCOMPARE(loadCaption(), u"Load CSV file..."_qs);
        QCOMPARE(status(), QString());
        QCOMPARE(m_form->workspace().rowCount(), size_t{0});
        QCOMPARE(control<QLineEdit>("Edit2")->text(), u"customers"_qs);
        QCOMPARE(control<QComboBox>("DB")->currentIndex(), 3);
        QVERIFY(control<QCheckBox>("CheckBox1")->isChecked());
        QVERIFY(control<QCheckBox>("CheckBox2")->isChecked());
        QVERIFY(control<QRadioButton>("RadioButton1")->isChecked());
        // The next workspace takes the Oracle default type.
        m_form->Ekle(path("a.csv"));
        QCOMPARE(m_form->workspace().columnTypes().front(), u"clob");
        // The load button's own menu clears too.
        control<QAction>("Clear1")->trigger();
        QVERIFY(inEmptyLook());
    }

    void openDialogLoadsEveryChosenFile()
    {
        m_dialogs->openFilesAnswers.push_back({path("b.csv"), path("a.csv")});
        control<QPushButton>("BitBtn1")->click();
        // Files without an extension are shown too, and a typed name is
        // opened as typed.
        QCOMPARE(m_dialogs->fileDialogs.back().filter, u"CSV Files (*.csv)|*.csv|All files (*)|*"_qs);
        QCOMPARE(m_dialogs->fileDialogs.back().defaultSuffix, QString());
        QCOMPARE(loadCaption(), u"Load CSV files... [2]"_qs);
        QCOMPARE(m_form->workspace().rowText(0), u"x;y;z");
        m_dialogs->openFilesAnswers.push_back({});
        trigger("LoadCSVfile1");
        QCOMPARE(loadCaption(), u"Load CSV files... [2]"_qs);
    }

    void fileMenuExportBeepsBeforeALoad()
    {
        trigger("ExporttoSQL1");
        QCOMPARE(m_dialogs->beeps, 1);
        QVERIFY(m_dialogs->fileDialogs.empty());
        QVERIFY(m_dialogs->messages.empty());
    }

    void exportWritesTheScript()
    {
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("a.csv"));
        control<QComboBox>("DB")->setCurrentIndex(4);
        control<QLineEdit>("Edit2")->setText(u"people"_qs);
        control<QCheckBox>("CheckBox3")->setChecked(true);
        const QString out = path("out.sql");
        m_dialogs->saveFileAnswers.push_back(out);
        trigger("ExporttoSQL1");
        QCOMPARE(m_dialogs->fileDialogs.back().filter, u"SQL File (*.sql)|*.sql|Text File (*.txt)|*.txt"_qs);
        QCOMPARE(m_dialogs->fileDialogs.back().defaultSuffix, u"sql"_qs);
        QCOMPARE(readText(out), u"\r\nCREATE TABLE people (\r\nid text,\r\nname text\r\n);\r\n\r\n"
                                u"INSERT INTO people (id,name) VALUES\r\n('1','Ann'),\r\n('2','Bob');\r\n"_qs);
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Information);
        QCOMPARE(m_dialogs->messages[0].caption, u"Success"_qs);
        QCOMPARE(m_dialogs->messages[0].text, u"Operation completed.\n\nFile saved: "_qs + out);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void exportCountsAnsiSubstitutions()
    {
        writeFile(path("wide.csv"), "caf\xc3\xa9 \xe2\x82\xac \xe4\xb8\xad \xf0\x9f\x98\x80\n");
        m_form->Ekle(path("wide.csv"));
        // UTF-8 was read; the script is written in ANSI.
        control<QRadioButton>("RadioButton1")->setChecked(true);
        m_dialogs->saveFileAnswers.push_back(path("wide.sql"));
        control<QPushButton>("ButtonExport")->click();
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QVERIFY2(m_dialogs->messages[0].text.endsWith(
                     u"\n\n2 characters could not be written in ANSI and were replaced."_qs),
                 qPrintable(m_dialogs->messages[0].text));
    }

    void exportNamesTheColumnsItShortened()
    {
        // Seven survey questions, each past PostgreSQL's 63 bytes and alike
        // in their first 63.
        const QString question = u"How satisfied are you with the onboarding process of our company"_qs;
        QByteArray header;
        for (int i = 1; i <= 7; ++i)
            header += (question + u" (" + QString::number(i) + u')').toUtf8() + (i < 7 ? "," : "\n");
        writeFile(path("survey.csv"), header + "1,2,3,4,5,6,7\n");
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("survey.csv"));
        control<QComboBox>("DB")->setCurrentIndex(4);
        m_dialogs->saveFileAnswers.push_back(path("survey.sql"));
        control<QPushButton>("ButtonExport")->click();
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        // Each name shows its first 24 and last 20 characters.
        auto elided = [](const QString& name) -> QString {
            return u'"' + name.left(24) + u'\u2026' + name.right(20) + u'"';
        };
        QString expected = u"\n\n7 column names were shortened to the 63 bytes that PostgreSQL takes: "_qs;
        for (int i = 1; i <= 5; ++i) {
            const QString loaded = question + u" ("_qs + QString::number(i) + u')';
            const QString written = i == 1 ? question.left(63) : question.left(61) + u'_' + QString::number(i);
            expected += (i > 1 ? u", "_qs : QString()) + elided(loaded) + u" is now "_qs + elided(written);
        }
        expected += u" and 2 more."_qs;
        QVERIFY2(m_dialogs->messages[0].text.endsWith(expected), qPrintable(m_dialogs->messages[0].text));
        QVERIFY(readText(path("survey.sql")).contains(u'"' + question.left(61) + u"_7\" text"_qs));
    }

    void exportNamesTheRenamedColumns_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("ansi");
        QTest::addColumn<QString>("createLines");
        QTest::addColumn<QString>("paragraphs");
        QTest::newRow("one") << QByteArray("id,name,ID") << false << u"`id` text,\r\n`name` text,\r\n`ID_2` text"_qs
                             << u"1 column name repeated an earlier name and was changed: \"ID\" is now \"ID_2\"."_qs;
        QTest::newRow("first five and a count")
            << QByteArray("v,v,v,v,v,v,V,v") << false
            << u"`v` text,\r\n`v_2` text,\r\n`v_3` text,\r\n`v_4` text,\r\n`v_5` text,\r\n`v_6` text,\r\n"
               u"`V_7` text,\r\n`v_8` text"_qs
            << u"7 column names repeated an earlier name and were changed: \"v\" is now \"v_2\", \"v\" is now "
               u"\"v_3\", \"v\" is now \"v_4\", \"v\" is now \"v_5\", \"v\" is now \"v_6\" and 2 more."_qs;
        const QString fortyTwo(42, u'n');
        QTest::newRow("long names cut") << fortyTwo.toUtf8() + "," + fortyTwo.toUtf8() << false
                                        << u"`"_qs + fortyTwo + u"` text,\r\n`"_qs + fortyTwo + u"_2` text"_qs
                                        << u"1 column name repeated an earlier name and was changed: \""_qs
                                               + QString(40, u'n') + u"\u2026\" is now \""_qs + QString(40, u'n')
                                               + u"\u2026\"."_qs;
        // Two names that ANSI writes as '?', before the count of replaced characters.
        QTest::newRow("alike in ansi")
            << QByteArray("\xE4\xB8\xAD,\xE6\x96\x87") << true << u"`?` text,\r\n`?_2` text"_qs
            << u"1 column name repeated an earlier name and was changed: \"\u6587\" is now "
               u"\"\u6587_2\".\n\n2 characters could not be written in ANSI and were replaced."_qs;
    }

    void exportNamesTheRenamedColumns()
    {
        QFETCH(QByteArray, header);
        QFETCH(bool, ansi);
        QFETCH(QString, createLines);
        QFETCH(QString, paragraphs);
        writeFile(path("repeated.csv"), (ansi ? "\xEF\xBB\xBF" : "") + header + "\n");
        control<QCheckBox>("CheckBox1")->setChecked(true);
        control<QRadioButton>(ansi ? "RadioButton1" : "RadioButton2")->setChecked(true);
        m_form->Ekle(path("repeated.csv"));
        const QString out = path("repeated.sql");
        m_dialogs->saveFileAnswers.push_back(out);
        control<QPushButton>("ButtonExport")->click();
        const QString script = ansi ? QString::fromLatin1(readBytes(out)) : readText(out);
        QCOMPARE(script, u"\r\nCREATE TABLE NEW_TABLE (\r\n"_qs + createLines + u"\r\n);\r\n\r\n"_qs);
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].caption, u"Success"_qs);
        QCOMPARE(m_dialogs->messages[0].text,
                 u"Operation completed.\n\nFile saved: "_qs + out + u"\n\n"_qs + paragraphs);
    }

    void exportCancelledOrWithoutRows()
    {
        m_form->Ekle(path("empty.csv"));
        m_dialogs->saveFileAnswers.push_back(QString());
        control<QPushButton>("ButtonExport")->click();
        QVERIFY(m_dialogs->messages.empty());

        const QString out = path("never.sql");
        m_dialogs->saveFileAnswers.push_back(out);
        control<QPushButton>("ButtonExport")->click();
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Warning);
        QCOMPARE(m_dialogs->messages[0].caption, u"Warning"_qs);
        QCOMPARE(m_dialogs->messages[0].text, u"No input!"_qs);
        QVERIFY(!QFile::exists(out));
    }

    void exportFailureGoesToTheErrorReport_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder") << path("no/such/folder/x.sql") << u"No such file or directory"_qs;
        QTest::newRow("full disk") << u"/dev/full"_qs << u"No space left on device"_qs;
    }

    void exportFailureGoesToTheErrorReport()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        m_form->Ekle(path("a.csv"));
        m_dialogs->saveFileAnswers.push_back(target);
        control<QPushButton>("ButtonExport")->click();
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        const auto& shown = m_dialogs->messages[0];
        QCOMPARE(shown.icon, MessageIcon::Error);
        QCOMPARE(shown.caption, u"Quarrow"_qs);
        QVERIFY2(shown.text.contains(reason), qPrintable(shown.text));
        QVERIFY(shown.text.endsWith(u'.'));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        // The window carries on.
        QVERIFY(inLoadedLook());
    }

    // An export that fails part way (here the file size limit stands in for
    // a full disk) leaves the file of that name as it was, or no file.
    void failedExportKeepsTheEarlierFile_data()
    {
        QTest::addColumn<QByteArray>("earlier");
        QTest::newRow("earlier script") << QByteArray("-- the earlier script\r\n");
        QTest::newRow("no earlier file") << QByteArray();
    }

    void failedExportKeepsTheEarlierFile()
    {
        QFETCH(QByteArray, earlier);
        QTemporaryDir folder;
        const QString out = folder.filePath(u"out.sql"_qs);
        if (!earlier.isEmpty()) {
            writeFile(out, earlier);
            QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        }
        m_form->Ekle(path("a.csv"));
        m_dialogs->saveFileAnswers.push_back(out);
        {
            const test::FileSizeLimit limit(40);
            control<QPushButton>("ButtonExport")->click();
        }
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].caption, u"Quarrow"_qs);
        QVERIFY2(m_dialogs->messages[0].text.contains(u"File too large"_qs), qPrintable(m_dialogs->messages[0].text));
        if (earlier.isEmpty()) {
            QVERIFY(!QFile::exists(out));
        } else {
            QCOMPARE(readBytes(out), earlier);
            QCOMPARE(QFile::permissions(out),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
        }
        // Nothing half written is left beside it either.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), earlier.isEmpty() ? 0 : 1);
    }

    void onlineHelpOpensTheProductPage()
    {
        qputenv("QUARROW_HTTP_BASE", "http://127.0.0.1:8080");
        trigger("Help2");
        trigger("Help2");
        qunsetenv("QUARROW_HTTP_BASE");
        trigger("Help2");
        QCOMPARE(m_dialogs->openedUrls,
                 (QStringList{u"http://127.0.0.1:8080/help/quarrow/"_qs, u"http://127.0.0.1:8080/help/quarrow/"_qs,
                              u"http://www.tarnix.example/help/quarrow/"_qs}));
    }

    void separatorDialogWritesTheButtonEvenAfterALoad()
    {
        control<QPushButton>("Button1")->click();
        auto* dialog = m_form->findChild<QDialog*>(u"FormSeparator"_qs);
        QVERIFY(dialog != nullptr);
        QVERIFY(!dialog->isModal());
        // Comma is pre-selected; the window stays usable while the dialog is open.
        QVERIFY(dialog->findChild<QRadioButton*>(u"RadioButton2"_qs)->isChecked());
        writeFile(path("semi.csv"), "a;b\n1;2\n");
        m_form->Ekle(path("semi.csv"));
        QVERIFY(inLoadedLook());
        QCOMPARE(m_form->workspace().columnCount(), 1);
        dialog->findChild<QRadioButton*>(u"RadioButton3"_qs)->setChecked(true);
        dialog->findChild<QPushButton*>(u"Button1"_qs)->click();
        QCOMPARE(control<QPushButton>("Button1")->text(), u";"_qs);
        QTRY_VERIFY(m_form->findChild<QDialog*>(u"FormSeparator"_qs) == nullptr);
        // The export splits rows by the new separator; the single column
        // named at the load takes the first field.
        m_dialogs->saveFileAnswers.push_back(path("semi.sql"));
        control<QPushButton>("ButtonExport")->click();
        const QString script = readText(path("semi.sql"));
        QVERIFY2(script.contains(u"VALUES\r\n('a');"_qs), qPrintable(script));
        QVERIFY2(script.contains(u"VALUES\r\n('1');"_qs), qPrintable(script));
    }

    void columnTypesWindowsAreModelessSnapshots()
    {
        m_form->Ekle(path("a.csv"));
        control<QPushButton>("ButtonColumn")->click();
        control<QPushButton>("ButtonColumn")->click();
        const auto windows = m_form->findChildren<QDialog*>(u"FormColumnTypes"_qs);
        QCOMPARE(windows.size(), 2);
        for (QDialog* window : windows) {
            QVERIFY(!window->isModal());
            QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        }
        windows[0]->findChild<QComboBox*>(u"ComboBox1"_qs)->setEditText(u"integer"_qs);
        windows[1]->findChild<QComboBox*>(u"ComboBox1"_qs)->setEditText(u"varchar(255)"_qs);
        windows[1]->findChild<QPushButton*>(u"ButtonOK"_qs)->click();
        windows[0]->findChild<QPushButton*>(u"ButtonOK"_qs)->click();
        QCOMPARE(m_form->workspace().columnTypes().front(), u"integer");
        QCOMPARE(m_form->workspace().columnTypes().back(), u"text");
    }

    // The suggestions come from the loaded rows, split as the controls say,
    // for the database selected when Suggest is pressed.
    void suggestTypesForTheSelectedDatabase()
    {
        writeFile(path("typed.csv"), "id,amount,day,code\n1,1.5,2023-01-02,0805\n2,-2.25,2023-01-03,12\n3,,,7\n");
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("typed.csv"));
        const struct {
            int database;
            bool nullEmpty;
            QStringList types;
        } cases[] = {
            {4, true, {u"smallint"_qs, u"numeric(3,2)"_qs, u"date"_qs, u"text"_qs}},
            {4, false, {u"smallint"_qs, u"text"_qs, u"text"_qs, u"text"_qs}},
            {0, true, {u"tinyint"_qs, u"decimal(3,2)"_qs, u"date"_qs, u"varchar(4)"_qs}},
        };
        for (const auto& c : cases) {
            control<QComboBox>("DB")->setCurrentIndex(c.database);
            control<QCheckBox>("CheckBox2")->setChecked(c.nullEmpty);
            control<QPushButton>("ButtonColumn")->click();
            auto* window = m_form->findChild<TFormColumnTypes*>(u"FormColumnTypes"_qs);
            QVERIFY(window != nullptr);
            window->findChild<QPushButton*>(u"ButtonSuggest"_qs)->click();
            QCOMPARE(toStrings(window->cellTypes()), c.types);
            const QString why = window->findChild<QTreeWidget*>(u"ListView1"_qs)->topLevelItem(3)->toolTip(1);
            QVERIFY2(why.endsWith(u"Not narrower: line 2 of typed.csv: '0805'"_qs), qPrintable(why));
            window->findChild<QPushButton*>(u"ButtonOK"_qs)->click();
            QCOMPARE(toStrings(m_form->workspace().columnTypes()), c.types);
            delete window;
        }
    }

    // Read exactly, the suggestions, the structure paragraph and the preview
    // take the values the export writes: a doubled quote is one, blanks
    // inside quotes stay, text after a closing quote is appended to the
    // value and a quoted separator is part of it.
    void exactReadingProfilesAndPreviewsTheValuesWritten()
    {
        writeFile(path("exact.csv"), "id,code,day\n1,\"1\"\"2\",\"2023-01-02 \"\n\"2\"3,\"a,b\"x,2023-01-03\n");
        control<QAction>("ExactCsvQuoting1")->setChecked(true);
        control<QCheckBox>("CheckBox1")->setChecked(true);
        control<QCheckBox>("CheckBox2")->setChecked(true);
        m_form->Ekle(path("exact.csv"));
        control<QComboBox>("DB")->setCurrentIndex(4);
        control<QPushButton>("ButtonColumn")->click();
        auto* window = m_form->findChild<TFormColumnTypes*>(u"FormColumnTypes"_qs);
        QVERIFY(window != nullptr);
        window->findChild<QPushButton*>(u"ButtonSuggest"_qs)->click();
        QCOMPARE(toStrings(window->cellTypes()), (QStringList{u"smallint"_qs, u"text"_qs, u"text"_qs}));
        window->findChild<QPushButton*>(u"ButtonOK"_qs)->click();
        delete window;

        m_dialogs->saveFileAnswers.push_back(path("exact.sql"));
        control<QPushButton>("ButtonExport")->click();
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].text, u"Operation completed.\n\nFile saved: "_qs + path("exact.sql"));

        trigger("Preview1");
        auto* preview = m_form->findChild<TFormPreview*>(u"FormPreview"_qs);
        QVERIFY(preview != nullptr);
        const QAbstractItemModel& model = preview->model();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.data(model.index(0, 1), Qt::DisplayRole).toString(), u"1\"2"_qs);
        QCOMPARE(model.data(model.index(0, 2), Qt::DisplayRole).toString(), u"2023-01-02 "_qs);
        QCOMPARE(model.data(model.index(1, 0), Qt::DisplayRole).toString(), u"23"_qs);
        QCOMPARE(model.data(model.index(1, 1), Qt::DisplayRole).toString(), u"a,bx"_qs);
        QVERIFY(!model.data(model.index(1, 0), Qt::BackgroundRole).isValid());
        QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), u"code\ntext"_qs);
    }

    void exportTellsAboutRowsThatDoNotFit()
    {
        writeFile(path("ragged.csv"), "id,name\n1,Ann,extra\n2\n3,Cy\n");
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("ragged.csv"));
        m_dialogs->saveFileAnswers.push_back(path("ragged.sql"));
        control<QPushButton>("ButtonExport")->click();
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].text,
                 u"Operation completed.\n\nFile saved: "_qs + path("ragged.sql")
                     + u"\n\n1 row has more fields than the 2 columns (the extra fields are not written): ragged.csv "
                       u"line 2\n1 row has fewer fields than the 2 columns (the missing ones are written empty): "
                       u"ragged.csv line 3"_qs);
    }

    // A long script of one INSERT a row outside a transaction: the box names
    // the File menu's forms that load it fast; with one of them on it does not.
    void exportOfALongScriptThatCommitsEveryRowNamesTheFastForms()
    {
        QByteArray csv;
        for (int i = 0; i < 10001; ++i)
            csv += QByteArray::number(i) + ",n\n";
        writeFile(path("long.csv"), csv);
        m_form->Ekle(path("long.csv"));
        control<QComboBox>("DB")->setCurrentIndex(6);
        m_dialogs->saveFileAnswers.push_back(path("long.sql"));
        control<QPushButton>("ButtonExport")->click();
        QCOMPARE(m_dialogs->messages.size(), size_t{1});
        QCOMPARE(m_dialogs->messages[0].text,
                 u"Operation completed.\n\nFile saved: "_qs + path("long.sql")
                     + u"\n\nThe script has one INSERT statement a row and no transaction: loading its "_qs
                     + QLocale().toString(10001)
                     + u" rows commits each one, which can take minutes. File > \"One "
                       u"transaction\" with \"Multiple rows statement\" loads it fast."_qs);

        control<QCheckBox>("CheckBox3")->setChecked(true);
        m_dialogs->saveFileAnswers.push_back(path("long.sql"));
        control<QPushButton>("ButtonExport")->click();
        QCOMPARE(m_dialogs->messages.size(), size_t{2});
        QCOMPARE(m_dialogs->messages[1].text, u"Operation completed.\n\nFile saved: "_qs + path("long.sql"));
    }

    // The preview shows the rows as they will be written, marks the rows
    // that do not fit, tells NULL from empty text, and follows loads and Clear.
    void previewShowsTheRowsAsWritten()
    {
        QByteArray csv = "id,name\n1,\" Ann \",extra\n2\n3,\n";
        for (int i = 4; i < 1500; ++i)
            csv += QByteArray::number(i) + ",x\n";
        writeFile(path("preview.csv"), csv);
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("preview.csv"));
        auto* action = control<QAction>("Preview1");
        QCOMPARE(action->shortcut(), QKeySequence(u"Ctrl+P"_qs));
        action->trigger();
        auto* preview = m_form->findChild<TFormPreview*>(u"FormPreview"_qs);
        QVERIFY(preview != nullptr);
        QVERIFY(!preview->isModal());
        const QAbstractItemModel& model = preview->model();
        QCOMPARE(model.rowCount(), 1000);
        QCOMPARE(model.columnCount(), 2);
        QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), u"name\ntext"_qs);
        QCOMPARE(model.headerData(0, Qt::Vertical, Qt::DisplayRole).toString(), u"2"_qs);
        QCOMPARE(model.data(model.index(0, 1), Qt::DisplayRole).toString(), u"Ann"_qs);
        QVERIFY(model.data(model.index(0, 0), Qt::BackgroundRole).isValid()); // three fields
        QVERIFY(model.data(model.index(1, 0), Qt::BackgroundRole).isValid()); // one field
        QVERIFY(!model.data(model.index(2, 0), Qt::BackgroundRole).isValid());
        QCOMPARE(model.data(model.index(1, 1), Qt::DisplayRole).toString(), QString());
        QCOMPARE(model.data(model.index(2, 1), Qt::ToolTipRole).toString(), u"Empty: written as ''"_qs);
        QVERIFY(preview->findChild<QLabel*>(u"PreviewNote"_qs)->text().startsWith(u"First 1,000 of 1,499 rows"_qs));

        control<QCheckBox>("CheckBox2")->setChecked(true);
        QCOMPARE(model.data(model.index(1, 1), Qt::DisplayRole).toString(), u"NULL"_qs);
        QCOMPARE(model.data(model.index(2, 1), Qt::DisplayRole).toString(), u"NULL"_qs);

        trigger("Clear2");
        QCOMPARE(model.rowCount(), 0);
        m_form->Ekle(path("a.csv"));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.data(model.index(1, 1), Qt::DisplayRole).toString(), u"Bob"_qs);
        action->trigger();
        QCOMPARE(m_form->findChildren<TFormPreview*>().size(), qsizetype{1});
    }

    void f1OpensTheHelpPage()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QTest::keyClick(m_form.get(), Qt::Key_F1);
        QTest::keyClick(control<QLineEdit>("Edit2"), Qt::Key_F1);
        QCOMPARE(m_dialogs->openedUrls, (QStringList{u"http://www.tarnix.example/help/quarrow/"_qs,
                                                     u"http://www.tarnix.example/help/quarrow/"_qs}));

        // In another of the program's windows F1 is that window's own.
        control<QPushButton>("Button1")->click();
        auto* dialog = m_form->findChild<QDialog*>(u"FormSeparator"_qs);
        QVERIFY(dialog != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        dialog->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), dialog);
        QTest::keyClick(dialog, Qt::Key_F1);
        QCOMPARE(m_dialogs->openedUrls.size(), 2);
    }

    void fixedSizeWindow()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QCOMPARE(m_form->centralWidget()->width(), 461);
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        QVERIFY(!(m_form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(m_form->windowFlags() & Qt::WindowMinimizeButtonHint);
    }
};

QTEST_MAIN(TAppFormTest)
#include "TAppFormTest.moc"
