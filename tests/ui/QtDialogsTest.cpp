#include "kit/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quarrow;

// The real message box, answered by a timer so the test never waits on it.
class QtDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void filterForm()
    {
        QCOMPARE(qtFilter(u"CSV Files (*.csv)|*.csv|Any File (*.*)|*.*"_qs), u"CSV Files (*.csv);;Any File (*.*)"_qs);
        QCOMPARE(qtFilter(u"Text File (*.txt)|*.txt"_qs), u"Text File (*.txt)"_qs);
    }

    // An open dialog adds no extension to a typed name, even when the
    // dialog's FileDialogSpec names one.
    void onlySaveDialogsAddTheExtension()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString plain = folder.filePath(u"data"_qs);
        QFile file(plain);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const FileDialogSpec spec{u"CSV Files (*.csv)|*.csv|All files (*)|*"_qs, u"csv"_qs};

        QStringList suffixes;
        const auto answer = [&] {
            QTimer::singleShot(0, this, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr);
                suffixes << dialog->defaultSuffix();
                dialog->setDirectory(folder.path());
                dialog->selectFile(u"data"_qs);
                QMetaObject::invokeMethod(dialog, &QDialog::accept);
            });
        };
        QtDialogs dialogs;
        answer();
        QCOMPARE(dialogs.openFiles(nullptr, spec), QStringList{plain});
        answer();
        QCOMPARE(dialogs.openFile(nullptr, spec), plain);
        QCOMPARE(suffixes, (QStringList{QString(), QString()}));
    }

    void messageShowsPlainText_data()
    {
        QTest::addColumn<MessageIcon>("icon");
        QTest::addColumn<int>("boxIcon");
        QTest::newRow("information") << MessageIcon::Information << int(QMessageBox::Information);
        QTest::newRow("warning") << MessageIcon::Warning << int(QMessageBox::Warning);
        QTest::newRow("error") << MessageIcon::Error << int(QMessageBox::Critical);
    }

    void messageShowsPlainText()
    {
        QFETCH(MessageIcon, icon);
        QFETCH(int, boxIcon);
        const QString text = u"Operation completed.\n\nFile saved: /data/<b>x</b>.csv"_qs;
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen = true;
            QCOMPARE(box->windowTitle(), u"Caption"_qs);
            QCOMPARE(box->text(), text);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(int(box->icon()), boxIcon);
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            box->button(QMessageBox::Ok)->click();
        });
        QtDialogs dialogs;
        dialogs.message(nullptr, icon, u"Caption"_qs, text);
        QVERIFY(seen);
    }
};

QTEST_MAIN(QtDialogsTest)
#include "QtDialogsTest.moc"
