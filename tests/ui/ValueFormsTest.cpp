// The window's choice of how numbers and dates are written: beside the
// reading settings, set by Auto-detect and the reload offer, kept in
// profiles and remembered, and read by Suggest and the export.
#include "tests/support/WindowFixture.h"
#include "ui/TAppForm.h"
#include "ui/TFormColumnTypes.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace quarrow;

namespace {

const QByteArray kBank = "Kunde;Betrag;Datum\r\nM\xC3\xBCller;1,50;01.02.2024\r\nSchmidt;20,25;13.02.2024\r\n";

} // namespace

class ValueFormsTest : public QObject, private test::WindowFixture {
    Q_OBJECT

private:
    QString caption() const { return control<QPushButton>("ValueForms")->text(); }
    void pick(const char* item) { control<QAction>(item)->trigger(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        writeFile(path("bank.csv"), kBank);
    }

    void init() { makeForm(); }

    void cleanup() { dropForm(); }

    // Auto-detect, then Suggest, then Export: decimal and date columns with
    // the plain forms, and the converter's bytes from the saved profile.
    void oneClickFromDetectionToTypedColumns()
    {
        QCOMPARE(caption(), u"Numbers, dates: as written"_qs);
        m_dialogs->openFileAnswers.push_back(path("bank.csv"));
        control<QAction>("AutoDetect1")->trigger();
        QCOMPARE(caption(), u"Numbers, dates: 1234,5 and 31.12.2024"_qs);
        QVERIFY(control<QAction>("DecimalComma")->isChecked());
        QVERIFY(control<QAction>("DatesDmy")->isChecked());
        QCOMPARE(control<QPushButton>("ValueForms")->toolTip(), u"Read as decimal comma, day.month.year"_qs);
        QCOMPARE(m_dialogs->messages.size(), 1u);
        QVERIFY(m_dialogs->messages[0].text.contains(u"decimal comma in '1,50' (line 2)"_qs));
        m_dialogs->messages.clear();

        m_form->Ekle(path("bank.csv"));
        QVERIFY(control<QWidget>("ReloadBar")->isHidden()); // the settings agree
        control<QComboBox>("DB")->setCurrentIndex(4);       // PostgreSQL
        control<QPushButton>("ButtonColumn")->click();
        auto* types = m_form->findChild<TFormColumnTypes*>();
        QVERIFY(types != nullptr);
        test::findControl<QPushButton>(types, u"ButtonSuggest"_qs)->click();
        test::findControl<QPushButton>(types, u"ButtonOK"_qs)->click();
        const auto& columnTypes = m_form->workspace().columnTypes();
        QCOMPARE(QString::fromStdU16String(columnTypes[1]), u"numeric(4,2)"_qs);
        QCOMPARE(QString::fromStdU16String(columnTypes[2]), u"date"_qs);

        const QString profile = path("bank.toml");
        m_dialogs->saveFileAnswers.push_back(profile);
        control<QAction>("SaveProfile1")->trigger();
        const QByteArray window = exportScript(path("window.sql"));
        QVERIFY2(window.contains("('M\xC3\xBCller','1.50','2024-02-01')"), window.constData());
        QVERIFY(window.contains("('Schmidt','20.25','2024-02-13')"));

        const QString converted = path("converter.sql");
        QProcess converter;
        converter.start(QStringLiteral(QUARROW_CLI_BINARY),
                        {u"-q"_qs, u"--profile"_qs, profile, u"-o"_qs, converted, path("bank.csv")});
        QVERIFY(converter.waitForFinished(60000));
        QVERIFY2(converter.exitCode() == 0, converter.readAllStandardError().constData());
        QCOMPARE(readBytes(converted), window);
    }

    // Loaded with the separator and header right but no forms: the bar
    // offers them, and takes them with the reload.
    void theReloadOfferBringsTheForms()
    {
        control<QPushButton>("Button1")->setText(u";"_qs);
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("bank.csv"));
        QVERIFY(!control<QWidget>("ReloadBar")->isHidden());
        QCOMPARE(control<QLabel>("ReloadText")->text(),
                 u"This file looks like ';'-separated with a header line, decimal comma, day.month.year:"_qs);
        control<QPushButton>("ReloadButton")->click();
        QCOMPARE(caption(), u"Numbers, dates: 1234,5 and 31.12.2024"_qs);
        QCOMPARE(m_form->workspace().filesLoaded(), 1);
    }

    // Picked from the menu: remembered for the next run; a profile opened
    // with files loaded sets the forms at once (they shape no load), and a
    // value in no form is named in the export's report.
    void rememberedAndTakenFromProfiles()
    {
        m_form->setSettingsStore(userSettings());
        pick("DecimalPoint");
        pick("GroupApostrophe");
        pick("DatesMdy");
        const QString swiss = u"Numbers, dates: 1'234.5 and 12/31/2024"_qs;
        QCOMPARE(caption(), swiss);
        makeForm();
        m_form->setSettingsStore(userSettings());
        QCOMPARE(caption(), swiss);
        pick("DecimalAsWritten");
        pick("GroupNone");
        pick("DatesAsWritten");

        writeFile(path("german.toml"), "version = 1\nseparator = \";\"\nheader = true\ndecimal = \"comma\"\n"
                                       "dates = \"dmy\"\ncolumns = [\n  { name = \"a\", type = \"text\" },\n"
                                       "  { name = \"b\", type = \"decimal(6,2)\" },\n]\n");
        writeFile(path("odd.csv"), "a;b\r\nx;1,5\r\ny;1.5\r\n");
        control<QPushButton>("Button1")->setText(u";"_qs);
        control<QCheckBox>("CheckBox1")->setChecked(true);
        m_form->Ekle(path("odd.csv"));
        m_dialogs->openFileAnswers.push_back(path("german.toml"));
        control<QAction>("OpenProfile1")->trigger();
        QCOMPARE(caption(), u"Numbers, dates: 1234,5 and 31.12.2024"_qs);
        m_dialogs->messages.clear();
        const QByteArray script = exportScript(path("odd.sql"));
        QVERIFY2(script.contains("('x','1.5')") && script.contains("('y','1.5')"), script.constData());
        QCOMPARE(m_dialogs->messages.size(), 1u);
        QVERIFY2(m_dialogs->messages[0].text.contains(
                     u"column 2 (b): 1 value not in the form decimal comma, day.month.year was written as the file "
                     "has it; the first in row 2: '1.5'"_qs),
                 qPrintable(m_dialogs->messages[0].text));
    }
};

QTEST_MAIN(ValueFormsTest)
#include "ValueFormsTest.moc"
