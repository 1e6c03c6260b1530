// The File menu's profiles as a person meets them: "Save Profile..." keeps
// every setting and the column types, "Open Profile..." puts them back
// (the types once a file is loaded), a refused profile changes nothing, and
// a profile saved here makes the converter write the very same script.

#include "tests/support/WindowFixture.h"
#include "ui/TAppForm.h"
#include "engine/settings/ConversionProfile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace quarrow;

namespace {

// Every setting a profile keeps, as the window's controls show them.
struct WindowSettings {
    int database = 0;
    QString table = QStringLiteral("NEW_TABLE");
    QString separator = QStringLiteral(",");
    bool header = false;
    bool ansi = false;
    bool exactQuoting = false;
    bool nullEmpty = false;
    bool multiRow = false;
    bool transaction = false;
    bool copy = false;
    int tableMode = 0; // the "Table" list's position
    QString nullMarkers;

    friend bool operator==(const WindowSettings&, const WindowSettings&) = default;
};

QString describe(const WindowSettings& s)
{
    return QStringLiteral("database %1, table %2, separator %3, header %4, ansi %5, exact %6, null %7, multi-row %8, "
                          "transaction %9, copy %10, table mode %11, markers %12")
        .arg(s.database)
        .arg(s.table, s.separator)
        .arg(s.header)
        .arg(s.ansi)
        .arg(s.exactQuoting)
        .arg(s.nullEmpty)
        .arg(s.multiRow)
        .arg(s.transaction)
        .arg(s.copy)
        .arg(s.tableMode)
        .arg(s.nullMarkers);
}

constexpr int kOracle = 3;
constexpr int kPostgreSql = 4;
constexpr int kSqlite = 6;

} // namespace

Q_DECLARE_METATYPE(WindowSettings)

class ProfilesTest : public QObject, private test::WindowFixture {
    Q_OBJECT

private:
    void setControls(const WindowSettings& s)
    {
        control<QComboBox>("DB")->setCurrentIndex(s.database);
        control<QLineEdit>("Edit2")->setText(s.table);
        control<QPushButton>("Button1")->setText(s.separator);
        control<QCheckBox>("CheckBox1")->setChecked(s.header);
        control<QRadioButton>(s.ansi ? "RadioButton1" : "RadioButton2")->setChecked(true);
        control<QAction>("ExactCsvQuoting1")->setChecked(s.exactQuoting);
        control<QCheckBox>("CheckBox2")->setChecked(s.nullEmpty);
        control<QCheckBox>("CheckBox3")->setChecked(s.multiRow);
        control<QAction>("OneTransaction1")->setChecked(s.transaction);
        control<QAction>("PostgreSqlCopy1")->setChecked(s.copy);
        control<QComboBox>("TableMode")->setCurrentIndex(s.tableMode);
        control<QLineEdit>("NullMarkers")->setText(s.nullMarkers);
    }

    WindowSettings controls() const
    {
        WindowSettings s;
        s.database = control<QComboBox>("DB")->currentIndex();
        s.table = control<QLineEdit>("Edit2")->text();
        s.separator = control<QPushButton>("Button1")->text();
        s.header = control<QCheckBox>("CheckBox1")->isChecked();
        s.ansi = control<QRadioButton>("RadioButton1")->isChecked();
        s.exactQuoting = control<QAction>("ExactCsvQuoting1")->isChecked();
        s.nullEmpty = control<QCheckBox>("CheckBox2")->isChecked();
        s.multiRow = control<QCheckBox>("CheckBox3")->isChecked();
        s.transaction = control<QAction>("OneTransaction1")->isChecked();
        s.copy = control<QAction>("PostgreSqlCopy1")->isChecked();
        s.tableMode = control<QComboBox>("TableMode")->currentIndex();
        s.nullMarkers = control<QLineEdit>("NullMarkers")->text();
        return s;
    }

    void saveProfile(const QString& file)
    {
        m_dialogs->saveFileAnswers.push_back(file);
        control<QAction>("SaveProfile1")->trigger();
    }

    void openProfile(const QString& file)
    {
        m_dialogs->openFileAnswers.push_back(file);
        control<QAction>("OpenProfile1")->trigger();
    }

    QStringList types() const { return toStrings(m_form->workspace().columnTypes()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        writeFile(path("three.csv"), "id,name,city\r\n1,Anna,Köln\r\n2,,Bonn\r\n");
        writeFile(path("orders.csv"),
                  "id;name;city;note\r\n1;Anna;\"Köln; Mitte\";\r\n2;;Bonn;\"say \"\"hi\"\"\"\r\n3;Ödön;Wien;x\r\n");
    }

    void init() { makeForm(); }

    void cleanup() { dropForm(); }

    void menuItemsOfferProfileFiles()
    {
        saveProfile(QString()); // cancelled: nothing written, nothing said
        openProfile(QString());
        QCOMPARE(m_dialogs->fileDialogs.size(), 2u);
        for (const FileDialogSpec& spec : m_dialogs->fileDialogs)
            QVERIFY2(spec.filter.startsWith(u"Quarrow profile (*.toml)|*.toml|All files (*)|*"_qs),
                     qPrintable(spec.filter));
        QCOMPARE(m_dialogs->fileDialogs[0].defaultSuffix, u"toml"_qs);
        QVERIFY(m_dialogs->messages.empty());
        QCOMPARE(control<QAction>("SaveProfile1")->text(), u"Save Profile..."_qs);
        QCOMPARE(control<QAction>("OpenProfile1")->text(), u"Open Profile..."_qs);
    }

    void everySettingSurvivesSaveAndOpen_data()
    {
        QTest::addColumn<WindowSettings>("settings");
        QTest::newRow("defaults") << WindowSettings{};
        QTest::newRow("postgresql, every box on") << WindowSettings{
            kPostgreSql, u"orders"_qs, u";"_qs, true, false, true, true, true, true, true, 3, u"NA \\N"_qs};
        QTest::newRow("sqlite, Tab, ANSI") << WindowSettings{
            kSqlite, u"Weekly Sales"_qs, u"\\t"_qs, true, true, false, false, true, true, false, 2, u"-"_qs};
        QTest::newRow("mssql, pipe, exact quoting")
            << WindowSettings{1, u"dbo.t"_qs, u"|"_qs, false, false, true, false, false, false, false, 1, {}};
        QTest::newRow("oracle, non-ASCII name and separator") << WindowSettings{
            kOracle, u"Überweisungen"_qs, u"§"_qs, false, true, false, true, true, false, false, 0, {}};
    }

    void everySettingSurvivesSaveAndOpen()
    {
        QFETCH(WindowSettings, settings);
        setControls(settings);
        const QString file = path("round.toml");
        saveProfile(file);
        QVERIFY(m_dialogs->messages.empty());

        makeForm();
        setControls(WindowSettings{kSqlite, u"OTHER"_qs, u"+"_qs, !settings.header, !settings.ansi,
                                   !settings.exactQuoting, !settings.nullEmpty, !settings.multiRow,
                                   !settings.transaction, !settings.copy, settings.tableMode == 0 ? 3 : 0,
                                   u"OTHER"_qs});
        openProfile(file);
        QVERIFY(m_dialogs->messages.empty());
        QVERIFY2(controls() == settings, qPrintable(describe(controls()) + u" / " + describe(settings)));
    }

    void columnTypesWaitForTheFirstLoad()
    {
        m_form->Ekle(path("three.csv"));
        m_form->workspace().replaceType(0, u"integer");
        m_form->workspace().replaceType(2, u"varchar(40)");
        const QString file = path("types.toml");
        saveProfile(file);
        const ConversionProfile saved = readProfileFile(file.toStdString());
        QCOMPARE(saved.columns.size(), 3u);
        QCOMPARE(QString::fromStdU16String(saved.columns[2].name),
                 QString::fromStdU16String(m_form->workspace().columnNames()[2]));

        makeForm();
        openProfile(file);
        QVERIFY(types().isEmpty());
        m_form->Ekle(path("three.csv"));
        QCOMPARE(types(), (QStringList{u"integer"_qs, u"text"_qs, u"varchar(40)"_qs}));
        QVERIFY(m_dialogs->messages.empty());
    }

    void columnCountMismatchSaysHowManyMatched_data()
    {
        QTest::addColumn<bool>("openFirst");
        QTest::addColumn<QByteArray>("columns");
        QTest::addColumn<QStringList>("types");
        QTest::addColumn<QString>("message");
        const QByteArray two = "{ name = \"a\", type = \"int\" }, { name = \"b\", type = \"date\" }";
        const QByteArray four = two + ", { name = \"c\", type = \"real\" }, { name = \"d\", type = \"blob\" }";
        const QString fewer = u"The profile holds types for 2 columns and the file has 3: 2 of 3 columns took the "
                              u"profile's type, the others keep theirs."_qs;
        const QString more = u"The profile holds types for 4 columns and the file has 3: 3 of 3 columns took the "
                             u"profile's type, the others keep theirs."_qs;
        QTest::newRow("fewer, opened after the load")
            << false << two << QStringList{u"int"_qs, u"date"_qs, u"text"_qs} << fewer;
        QTest::newRow("fewer, opened before the load")
            << true << two << QStringList{u"int"_qs, u"date"_qs, u"text"_qs} << fewer;
        QTest::newRow("more, opened after the load")
            << false << four << QStringList{u"int"_qs, u"date"_qs, u"real"_qs} << more;
        QTest::newRow("more, opened before the load")
            << true << four << QStringList{u"int"_qs, u"date"_qs, u"real"_qs} << more;
    }

    void columnCountMismatchSaysHowManyMatched()
    {
        QFETCH(bool, openFirst);
        QFETCH(QByteArray, columns);
        QFETCH(QStringList, types);
        QFETCH(QString, message);
        const QString file = path("mismatch.toml");
        writeFile(file, "version = 1\ncolumns = [" + columns + "]\n");
        if (openFirst)
            openProfile(file);
        m_form->Ekle(path("three.csv"));
        if (!openFirst)
            openProfile(file);
        QCOMPARE(this->types(), types);
        QCOMPARE(m_dialogs->messages.size(), 1u);
        QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Information);
        QCOMPARE(m_dialogs->messages[0].text, message);
    }

    void refusedProfileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("place");
        QTest::newRow("empty separator") << QByteArray("version = 1\ndatabase = \"sqlite\"\nseparator = \"\"\n")
                                         << u"line 3, key \"separator\""_qs;
        QTest::newRow("separator beyond U+FFFF")
            << QByteArray("version = 1\ndatabase = \"sqlite\"\nseparator = \"\xF0\x9F\x98\x80\"\n")
            << u"line 3, key \"separator\": the separator must be one character from U+0000 to U+FFFF"_qs;
        QTest::newRow("unknown database after good columns")
            << QByteArray("version = 1\ncolumns = [{ name = \"a\", type = \"int\" }]\ndatabase = \"dbase\"\n")
            << u"line 3, key \"database\""_qs;
        QTest::newRow("newer version") << QByteArray("version = 2\ntable = \"t\"\n") << u"line 1"_qs;
    }

    void refusedProfileChangesNothing()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, place);
        const WindowSettings before{kPostgreSql, u"kept"_qs, u";"_qs, true,  false, false,
                                    true,        true,       true,    false, 0,     {}};
        const QString file = path("refused.toml");
        writeFile(file, text);
        control<QCheckBox>("CheckBox1")->setChecked(true);
        control<QPushButton>("Button1")->setText(u";"_qs);
        m_form->Ekle(path("three.csv"));
        setControls(before);
        const QStringList typesBefore = types();

        openProfile(file);
        QCOMPARE(m_dialogs->messages.size(), 1u);
        const QString message = m_dialogs->messages[0].text;
        QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Error);
        QVERIFY2(message.startsWith(u"Cannot read profile "_qs) && message.contains(u"refused.toml"_qs)
                     && message.contains(place),
                 qPrintable(message));
        QVERIFY2(controls() == before, qPrintable(describe(controls())));
        QCOMPARE(types(), typesBefore);

        // Nor does a load after it take anything of the refused profile.
        control<QAction>("Clear2")->trigger();
        m_form->Ekle(path("three.csv"));
        QCOMPARE(types(), typesBefore);
    }

    void converterWritesTheWindowsScript_data()
    {
        QTest::addColumn<int>("database");
        for (int database = 0; database < 7; ++database)
            QTest::addRow("database %d", database) << database;
    }

    void converterWritesTheWindowsScript()
    {
        QFETCH(int, database);
        const WindowSettings settings{database,
                                      u"orders"_qs,
                                      u";"_qs,
                                      true,
                                      false,
                                      false,
                                      true,
                                      database % 2 == 0,
                                      true,
                                      database == kPostgreSql,
                                      database == 2 || database == 5 ? 0
                                      : database == 6                ? 3
                                                                     : 1 + database % 2,
                                      u"Bonn x"_qs};
        setControls(settings);
        m_form->Ekle(path("orders.csv"));
        m_form->workspace().replaceType(0, u"integer");
        m_form->workspace().replaceType(3, u"varchar(200)");
        const QString profile = path("window.toml");
        saveProfile(profile);
        const QByteArray window = exportScript(path("window.sql"));
        QVERIFY(window.contains("varchar(200)") || settings.tableMode == 3); // rows only: no types
        QCOMPARE(m_dialogs->messages.size(), 1u);                            // the export's Success box alone
        QCOMPARE(m_dialogs->messages[0].caption, u"Success"_qs);

        const QString converted = path("converter.sql");
        QFile::remove(converted);
        QProcess converter;
        converter.start(QStringLiteral(QUARROW_CLI_BINARY),
                        {u"-q"_qs, u"--profile"_qs, profile, u"-o"_qs, converted, path("orders.csv")});
        QVERIFY(converter.waitForFinished(60000));
        QVERIFY2(converter.exitCode() == 0, converter.readAllStandardError().constData());
        QCOMPARE(readBytes(converted), window);
    }
};

QTEST_MAIN(ProfilesTest)
#include "ProfilesTest.moc"
