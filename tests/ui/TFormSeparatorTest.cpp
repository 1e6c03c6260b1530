#include "tests/support/Controls.h"
#include "ui/TFormSeparator.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

using namespace quarrow;

namespace {

// The main window's separator button and a dialog opened from it.
struct OpenDialog {
    std::unique_ptr<QPushButton> separatorButton;
    QPointer<TFormSeparator> dialog;

    explicit OpenDialog(const QString& caption) : separatorButton(std::make_unique<QPushButton>(caption))
    {
        dialog = new TFormSeparator(separatorButton.get());
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog))
            qFatal("the dialog was not shown");
    }
    ~OpenDialog() { delete dialog.data(); }
    OpenDialog(const OpenDialog&) = delete;
    OpenDialog& operator=(const OpenDialog&) = delete;

    template <typename T>
    T* control(const QString& name) const
    {
        return test::findControl<T>(dialog, name);
    }
    QRadioButton* radio(const QString& name) const { return control<QRadioButton>(name); }
    // On the round mark: a click right of a short label misses the button.
    void clickRadio(const QString& name) const
    {
        QRadioButton* button = radio(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    QLineEdit* edit() const { return control<QLineEdit>(u"Edit1"_qs); }
    QPushButton* ok() const { return control<QPushButton>(u"Button1"_qs); }

    QString checkedRadio() const
    {
        QString checked;
        for (const auto* button : dialog->findChildren<QRadioButton*>())
            if (button->isChecked())
                checked += button->objectName();
        return checked;
    }
};

} // namespace

class TFormSeparatorTest : public QObject {
    Q_OBJECT

private slots:
    // The caption decides the pre-selection; OK without changes writes the
    // caption again (for a longer caption, the character the separator rule
    // takes from it).
    void preselectionAndUntouchedOk_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<bool>("editEnabled");
        QTest::addColumn<QString>("editText");
        QTest::addColumn<QString>("written");
        QTest::newRow("tab text") << u"\\t"_qs << u"RadioButton1"_qs << false << QString() << u"\\t"_qs;
        QTest::newRow("comma") << u","_qs << u"RadioButton2"_qs << false << QString() << u","_qs;
        QTest::newRow("semicolon") << u";"_qs << u"RadioButton3"_qs << false << QString() << u";"_qs;
        QTest::newRow("space") << u" "_qs << u"RadioButton4"_qs << false << QString() << u" "_qs;
        QTest::newRow("pipe") << u"|"_qs << u"RadioButton5"_qs << true << u"|"_qs << u"|"_qs;
        QTest::newRow("real tab character") << u"\t"_qs << u"RadioButton5"_qs << true << u"\t"_qs << u"\t"_qs;
        QTest::newRow("longer caption") << u"ab"_qs << u"RadioButton5"_qs << true << u"a"_qs << u"a"_qs;
        QTest::newRow("two spaces") << u"  "_qs << u"RadioButton5"_qs << true << u" "_qs << u" "_qs;
    }

    void preselectionAndUntouchedOk()
    {
        QFETCH(QString, caption);
        QFETCH(QString, checked);
        QFETCH(bool, editEnabled);
        QFETCH(QString, editText);
        QFETCH(QString, written);

        OpenDialog open(caption);
        QCOMPARE(open.checkedRadio(), checked);
        QCOMPARE(open.edit()->isEnabled(), editEnabled);
        QCOMPARE(open.edit()->text(), editText);
        QVERIFY(open.ok()->isEnabled());

        QTest::mouseClick(open.ok(), Qt::LeftButton);
        QCOMPARE(open.separatorButton->text(), written);
        QTRY_VERIFY(open.dialog.isNull());
    }

    void choiceWrittenOnOk_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("tab") << u";"_qs << u"RadioButton1"_qs << QString() << u"\\t"_qs;
        QTest::newRow("comma from other") << u"|"_qs << u"RadioButton2"_qs << QString() << u","_qs;
        QTest::newRow("semicolon") << u","_qs << u"RadioButton3"_qs << QString() << u";"_qs;
        QTest::newRow("space") << u","_qs << u"RadioButton4"_qs << QString() << u" "_qs;
        QTest::newRow("other typed") << u","_qs << u"RadioButton5"_qs << u"x"_qs << u"x"_qs;
        QTest::newRow("other keeps one character") << u","_qs << u"RadioButton5"_qs << u"xy"_qs << u"x"_qs;
    }

    void choiceWrittenOnOk()
    {
        QFETCH(QString, caption);
        QFETCH(QString, radio);
        QFETCH(QString, typed);
        QFETCH(QString, written);

        OpenDialog open(caption);
        open.clickRadio(radio);
        QCOMPARE(open.checkedRadio(), radio);
        QCOMPARE(open.edit()->isEnabled(), radio == u"RadioButton5");
        if (!typed.isEmpty()) {
            open.edit()->clear();
            QTest::keyClicks(open.edit(), typed);
        }
        QTest::mouseClick(open.ok(), Qt::LeftButton);
        QCOMPARE(open.separatorButton->text(), written);
        QTRY_VERIFY(open.dialog.isNull());
    }

    // Load and export need one separator character: OK stays unavailable
    // while "Other" has nothing to offer.
    void emptyOtherCannotBeConfirmed()
    {
        OpenDialog open(u";"_qs);
        open.clickRadio(u"RadioButton5"_qs);
        QVERIFY(open.edit()->isEnabled());
        QVERIFY(!open.ok()->isEnabled());

        QTest::mouseClick(open.ok(), Qt::LeftButton);
        QVERIFY(!open.dialog.isNull());
        QCOMPARE(open.separatorButton->text(), u";"_qs);

        QTest::keyClicks(open.edit(), u"x"_qs);
        QVERIFY(open.ok()->isEnabled());
        QTest::keyClick(open.edit(), Qt::Key_Backspace);
        QVERIFY(!open.ok()->isEnabled());

        open.clickRadio(u"RadioButton4"_qs);
        QVERIFY(!open.edit()->isEnabled());
        QVERIFY(open.ok()->isEnabled());
    }

    // The separator is one UTF-16 unit and the box one unit long: a
    // character beyond U+FFFF, however it comes, never leaves half of itself
    // as the choice.
    void halfCharacterIsNeverChosen_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("text");
        const QString smile = QString::fromUcs4(U"\U0001F600");
        QTest::newRow("typed") << u";"_qs << u"key"_qs << smile;
        QTest::newRow("composed") << u";"_qs << u"input method"_qs << smile;
        QTest::newRow("pasted") << u";"_qs << u"insert"_qs << smile;
        QTest::newRow("pasted after a character") << u";"_qs << u"insert"_qs << u"x"_qs + smile;
        QTest::newRow("caption beyond U+FFFF") << smile << QString() << QString();
        QTest::newRow("caption a lone half") << smile.left(1) << QString() << QString();
    }

    void halfCharacterIsNeverChosen()
    {
        QFETCH(QString, caption);
        QFETCH(QString, how);
        QFETCH(QString, text);

        OpenDialog open(caption);
        open.clickRadio(u"RadioButton5"_qs);
        QLineEdit* edit = open.edit();
        if (how == u"key") {
            // A keyboard sends the whole character as the text of one key.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
            QCoreApplication::sendEvent(edit, &press);
        } else if (how == u"input method") {
            QInputMethodEvent commit;
            commit.setCommitString(text);
            QCoreApplication::sendEvent(edit, &commit);
        } else if (how == u"insert") {
            edit->insert(text);
        }
        for (const QChar c : edit->text())
            QVERIFY2(!c.isSurrogate(), qPrintable(QString::number(c.unicode(), 16)));
        if (edit->text().isEmpty()) {
            QVERIFY(!open.ok()->isEnabled());
            QTest::mouseClick(open.ok(), Qt::LeftButton);
            QCOMPARE(open.separatorButton->text(), caption);
            QVERIFY(!open.dialog.isNull());
        }

        // The dialog stays usable.
        edit->clear();
        QTest::keyClicks(edit, u"|"_qs);
        QTest::mouseClick(open.ok(), Qt::LeftButton);
        QCOMPARE(open.separatorButton->text(), u"|"_qs);
        QTRY_VERIFY(open.dialog.isNull());
    }

    // A half that gets in past the box's checks (setText() skips them) is
    // still no choice OK can confirm.
    void halfCharacterSetDirectlyCannotBeConfirmed()
    {
        OpenDialog open(u";"_qs);
        open.clickRadio(u"RadioButton5"_qs);
        open.edit()->setText(QString(QChar(0xD83D)));
        QVERIFY(!open.ok()->isEnabled());
        QTest::mouseClick(open.ok(), Qt::LeftButton);
        QCOMPARE(open.separatorButton->text(), u";"_qs);
    }

    void emptyCaptionOpensWithOkUnavailable()
    {
        OpenDialog open{QString()};
        QCOMPARE(open.checkedRadio(), u"RadioButton5"_qs);
        QVERIFY(open.edit()->isEnabled());
        QVERIFY(!open.ok()->isEnabled());
    }

    void closeBoxChangesNothing()
    {
        OpenDialog open(u";"_qs);
        open.clickRadio(u"RadioButton1"_qs);
        open.dialog->close();
        QTRY_VERIFY(open.dialog.isNull());
        QCOMPARE(open.separatorButton->text(), u";"_qs);
    }

    void escapeChangesNothing()
    {
        OpenDialog open(u";"_qs);
        open.clickRadio(u"RadioButton2"_qs);
        QTest::keyClick(open.dialog, Qt::Key_Escape);
        QTRY_VERIFY(open.dialog.isNull());
        QCOMPARE(open.separatorButton->text(), u";"_qs);
    }

    // The main window can close while the modeless dialog stays open.
    void separatorButtonGoneBeforeOk()
    {
        OpenDialog open(u";"_qs);
        open.clickRadio(u"RadioButton1"_qs);
        open.separatorButton.reset();
        QTest::mouseClick(open.ok(), Qt::LeftButton);
        QTRY_VERIFY(open.dialog.isNull());
    }
};

QTEST_MAIN(TFormSeparatorTest)
#include "TFormSeparatorTest.moc"
