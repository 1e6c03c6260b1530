// Loads and exports run off the GUI thread: the window keeps handling
// events, a progress window with Cancel shows once the work takes a while,
// and Cancel leaves the workspace, or the disk, as it was.

#include "ui/BackgroundWork.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeDialogs.h"
#include "ui/TAppForm.h"
#include "ui/EngineText.h"
#include "ui/ScriptFile.h"
#include "ui/TFormPreview.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/workspace/Workspace.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <pthread.h>
#include <sys/stat.h>

#include <csignal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace quarrow;
using namespace std::chrono_literals;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QProgressDialog* visibleProgress()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog != nullptr && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// A one-shot gate between the test's helper thread and the GUI thread.
class Gate {
public:
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// While the GUI thread waits inside a load or an export, this presses
// Cancel on the progress window as soon as it shows, and remembers what it
// said.
class CancelWhenShown {
public:
    // How the user stops the work: Cancel, or closing the main window.
    enum class By { CancelButton, ClosingTheWindow };

    explicit CancelWhenShown(Gate& cancelled, By by = By::CancelButton) : m_cancelled(cancelled)
    {
        m_poll.setInterval(20);
        QObject::connect(&m_poll, &QTimer::timeout, [this, by] {
            QProgressDialog* dialog = visibleProgress();
            if (dialog == nullptr || m_pressed)
                return;
            m_label = dialog->labelText();
            const auto buttons = dialog->findChildren<QPushButton*>();
            if (buttons.isEmpty())
                return;
            m_ownerControlsEnabled = dialog->parentWidget()->findChild<QPushButton*>(u"BitBtn1"_qs)->isEnabled();
            if (by == By::CancelButton)
                buttons.front()->click();
            else
                dialog->parentWidget()->close();
            m_pressed = true;
            m_cancelled.open();
        });
        m_poll.start();
    }

    bool pressed() const { return m_pressed; }
    const QString& label() const { return m_label; }
    bool ownerControlsEnabled() const { return m_ownerControlsEnabled; }

private:
    Gate& m_cancelled;
    QTimer m_poll;
    bool m_pressed = false;
    bool m_ownerControlsEnabled = true;
    QString m_label;
};

// A file that takes long to read: a named pipe whose writer sends `lines`
// lines, then holds back as many again until `release` opens.
class SlowFile {
public:
    SlowFile(const QString& path, int lines, Gate& release) : m_path(path)
    {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        m_writer = std::thread([this, lines, &release] {
            // The load closes the pipe when it stops: the write after that
            // fails with EPIPE instead of ending the test with SIGPIPE.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            std::FILE* f = std::fopen(QFile::encodeName(m_path).constData(), "wb");
            QByteArray text;
            for (int i = 0; i < lines; ++i)
                text += QByteArray::number(i) + ",x\n";
            std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), f);
            std::fflush(f);
            release.wait();
            std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), f);
            std::fclose(f);
        });
    }
    ~SlowFile() { m_writer.join(); }
    SlowFile(const SlowFile&) = delete;
    SlowFile& operator=(const SlowFile&) = delete;

private:
    QString m_path;
    std::thread m_writer;
};

} // namespace

class LongWorkTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    test::FakeDialogs* m_dialogs = nullptr;
    TAppForm* m_form = nullptr;

    QString path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    QString status() const { return m_form->findChild<QLabel*>(u"StatusText"_qs)->text(); }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        BackgroundWork::setDefaultDelay(0ms);
        m_dialogs = new test::FakeDialogs;
        m_form = new TAppForm(*m_dialogs, QCoreApplication::applicationFilePath(), {});
        m_form->show();
    }

    void cleanup()
    {
        delete m_form;
        delete m_dialogs;
        m_form = nullptr;
        BackgroundWork::setDefaultDelay(500ms);
    }

    void progressShowsOnlyForLongWork()
    {
        QWidget owner;
        QPushButton button(&owner);
        owner.show();

        // Work that ends at once shows nothing.
        BackgroundWork quick(&owner, u"Quick"_qs);
        quick.setDelay(500ms);
        quick.run([] {});
        QVERIFY(visibleProgress() == nullptr);

        // Work that goes on shows the progress window with its text, keeps
        // the owner's controls from taking input, and hands them back.
        Gate release;
        bool seen = false;
        bool buttonEnabledDuring = true;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, [&] {
            if (QProgressDialog* dialog = visibleProgress(); dialog != nullptr && !seen) {
                seen = dialog->labelText() == u"half way"_qs && dialog->value() == 50 && dialog->maximum() == 100;
                buttonEnabledDuring = button.isEnabled();
                release.open();
            }
        });
        poll.start();
        BackgroundWork slow(&owner, u"Slow"_qs);
        slow.setDelay(0ms);
        slow.setProgress([] { return BackgroundWork::Progress{u"half way"_qs, 50, 100}; });
        slow.run([&] { release.wait(); });
        QVERIFY(seen);
        QVERIFY(!buttonEnabledDuring);
        QVERIFY(button.isEnabled());
        QVERIFY(visibleProgress() == nullptr);
        QVERIFY(!slow.cancelled());

        // A failure of the work reaches the caller.
        BackgroundWork failing(&owner, u"Failing"_qs);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, failing.run([] { throw std::runtime_error("disk gone"); }));
        QVERIFY(button.isEnabled());
    }

    void cancelledLoadKeepsTheWorkspaceAsItWas()
    {
        writeFile(path("first.csv"), "id,name\n1,Ann\n");
        m_form->findChild<QCheckBox*>(u"CheckBox1"_qs)->setChecked(true);
        m_form->Ekle(path("first.csv"));
        QCOMPARE(status(), u"2 rows loaded"_qs);
        const QString caption = m_form->findChild<QPushButton*>(u"BitBtn1"_qs)->text();

        // A named pipe stands in for a file that takes long to read: its
        // writer holds back the rest until Cancel has been pressed.
        const QString pipe = path("slow.csv");
        Gate cancelled;
        {
            const SlowFile slow(pipe, 20000, cancelled);
            CancelWhenShown canceller(cancelled);
            m_form->Ekle(pipe);
            QVERIFY(canceller.pressed());
            QVERIFY2(canceller.label().startsWith(u"Loading slow.csv\n"_qs), qPrintable(canceller.label()));
            QVERIFY(!canceller.ownerControlsEnabled());
        }
        QCOMPARE(m_form->workspace().rowCount(), size_t{2});
        QCOMPARE(m_form->workspace().filesLoaded(), 1);
        QCOMPARE(status(), u"2 rows loaded"_qs);
        QCOMPARE(m_form->findChild<QPushButton*>(u"BitBtn1"_qs)->text(), caption);
        QVERIFY(m_form->findChild<QPushButton*>(u"BitBtn1"_qs)->isEnabled());
        QVERIFY(m_dialogs->messages.empty());
    }

    // Cancel, or closing the window, during one file of several ends the
    // whole command: the files before it stay, the rest are not loaded.
    void cancelEndsTheWholeBatch_data()
    {
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<CancelWhenShown::By>("by");
        QTest::newRow("chosen, Cancel") << false << CancelWhenShown::By::CancelButton;
        QTest::newRow("dropped, Cancel") << true << CancelWhenShown::By::CancelButton;
        QTest::newRow("chosen, window closed") << false << CancelWhenShown::By::ClosingTheWindow;
    }

    void cancelEndsTheWholeBatch()
    {
        QFETCH(bool, dropped);
        QFETCH(CancelWhenShown::By, by);
        const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_').remove(u',');
        const QString before = path("before.csv");
        const QString after = path("after.csv");
        const QString pipe = m_dir.filePath(name + u".csv");
        writeFile(before, "1,Ann\n2,Bob\n");
        writeFile(after, "3,Cid\n");
        Gate cancelled;
        {
            const SlowFile slow(pipe, 20000, cancelled);
            CancelWhenShown canceller(cancelled, by);
            if (dropped) {
                m_form->dropFiles({before, pipe, after});
            } else {
                m_dialogs->openFilesAnswers.push_back({before, pipe, after});
                m_form->findChild<QPushButton*>(u"BitBtn1"_qs)->click();
            }
            QVERIFY(canceller.pressed());
        }
        QCOMPARE(m_form->workspace().filesLoaded(), 1);
        QCOMPARE(m_form->workspace().rowCount(), size_t{2});
        QCOMPARE(m_form->workspace().rowText(1), u"2,Bob");
        QCOMPARE(m_form->findChild<QPushButton*>(u"BitBtn1"_qs)->text(), u"Load CSV files... [1]"_qs);
        // The status names the file the load stopped at and the ones it kept.
        QCOMPARE(status(), u"2 rows loaded. Cancelled at "_qs + name + u".csv; loaded: before.csv"_qs);
        QVERIFY(m_dialogs->messages.empty());
    }

    // The preview reads the workspace when it paints; while a load grows the
    // rows on the worker thread it shows none of them, then the new ones.
    void previewHoldsStillWhileALoadGrowsTheRows()
    {
        writeFile(path("shown.csv"), "1,Ann\n2,Bob\n3,Cid\n");
        m_form->Ekle(path("shown.csv"));
        m_form->findChild<QAction*>(u"Preview1"_qs)->trigger();
        auto* preview = m_form->findChild<TFormPreview*>(u"FormPreview"_qs);
        QVERIFY(preview != nullptr);
        QTRY_VERIFY(preview->isVisible());
        auto* table = preview->findChild<QTableView*>(u"PreviewTable"_qs);
        QCOMPARE(preview->model().rowCount(), 3);

        int rowsDuringLoad = -1;
        int paints = 0;
        Gate loaded;
        QTimer repaint;
        repaint.setInterval(5);
        connect(&repaint, &QTimer::timeout, [&] {
            if (visibleProgress() == nullptr)
                return;
            // Painting asks the model for every visible cell.
            table->viewport()->grab();
            if (paints == 20)
                return;
            rowsDuringLoad = preview->model().rowCount();
            if (++paints == 20)
                loaded.open();
        });
        repaint.start();
        {
            const SlowFile slow(path("growing.csv"), 20000, loaded);
            m_form->Ekle(path("growing.csv"));
        }
        repaint.stop();
        QCOMPARE(paints, 20);
        QCOMPARE(rowsDuringLoad, 0);
        QCOMPARE(m_form->workspace().rowCount(), size_t{40003});
        QCOMPARE(preview->model().rowCount(), PreviewModel::kMaxRows);
        QCOMPARE(preview->model().data(preview->model().index(3, 0), Qt::DisplayRole).toString(), u"0"_qs);
    }

    // Cancel over a file the user chose to replace leaves that file as it was.
    void cancelledExportKeepsTheEarlierFile()
    {
        // Enough rows that the export is still writing when Cancel comes,
        // a tenth of a second in: writing them all takes some seconds.
        QByteArray csv = "n,text\n";
        for (int i = 0; i < 1000000; ++i)
            csv += QByteArray::number(i) + ",a row of some length\n";
        writeFile(path("long.csv"), csv);
        m_form->findChild<QCheckBox*>(u"CheckBox1"_qs)->setChecked(true);
        m_form->Ekle(path("long.csv"));
        const QString out = path("earlier.sql");
        writeFile(out, "-- the earlier script\r\n");

        Gate cancelled;
        CancelWhenShown canceller(cancelled);
        m_dialogs->saveFileAnswers.push_back(out);
        m_form->findChild<QPushButton*>(u"ButtonExport"_qs)->click();
        QVERIFY(canceller.pressed());
        QVERIFY(m_dialogs->messages.empty()); // no "Success"
        QFile kept(out);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("-- the earlier script\r\n"));
    }

    // Cancel at any time before the export has ended leaves the file of
    // that name as it was: while the rows are written, or while they are
    // checked against the columns afterwards.
    void cancelledScriptFileKeepsTheEarlierFile_data()
    {
        QTest::addColumn<bool>("whileWriting");
        QTest::newRow("while writing") << true;
        QTest::newRow("after writing") << false;
    }

    void cancelledScriptFileKeepsTheEarlierFile()
    {
        QFETCH(bool, whileWriting);
        QTemporaryDir folder;
        const QString out = folder.filePath(u"kept.sql"_qs);
        writeFile(out, "-- the earlier script\r\n");
        Workspace workspace;
        writeFile(folder.filePath(u"in.csv"_qs), "a,b\n1,2\n");
        workspace.load(localPath(folder.filePath(u"in.csv"_qs)), LoadOptions{});

        Gate cancelled;
        CancelWhenShown canceller(cancelled);
        BackgroundWork work(m_form, u"Exporting"_qs);
        bool afterWritingRan = false;
        QVERIFY_THROWS_EXCEPTION(ExportCancelled, work.run([&] {
            writeScriptFile(
                out, work.cancelFlag(),
                [&](ByteSink& sink) {
                    ScriptOptions options;
                    const ExportResult result = Donustur(workspace, options, sink);
                    if (whileWriting)
                        cancelled.wait();
                    return result;
                },
                [&] {
                    afterWritingRan = true;
                    if (!whileWriting)
                        cancelled.wait();
                });
        }));
        QVERIFY(canceller.pressed());
        QVERIFY(afterWritingRan);
        QCOMPARE(QFile(out).size(), qint64{23});
        QFile kept(out);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("-- the earlier script\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void cancelledExportLeavesNoFile()
    {
        QByteArray csv = "n,text\n";
        for (int i = 0; i < 100000; ++i)
            csv += QByteArray::number(i) + ",a row of some length to fill the pipe\n";
        writeFile(path("many.csv"), csv);
        m_form->findChild<QCheckBox*>(u"CheckBox1"_qs)->setChecked(true);
        m_form->Ekle(path("many.csv"));

        // The script goes into a named pipe whose reader stops reading
        // until Cancel has been pressed, so the export cannot end first.
        const QString pipe = path("out.sql");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        Gate cancelled;
        std::thread reader([&] {
            std::FILE* f = std::fopen(QFile::encodeName(pipe).constData(), "rb");
            char buffer[4096];
            cancelled.wait();
            while (std::fread(buffer, 1, sizeof buffer, f) > 0) {
            }
            std::fclose(f);
        });
        CancelWhenShown canceller(cancelled);
        m_dialogs->saveFileAnswers.push_back(pipe);
        m_form->findChild<QPushButton*>(u"ButtonExport"_qs)->click();
        reader.join();

        QVERIFY(canceller.pressed());
        QVERIFY2(canceller.label().startsWith(u"Exporting to out.sql\n"_qs), qPrintable(canceller.label()));
        QVERIFY2(canceller.label().endsWith(u" of 100,000 rows"_qs), qPrintable(canceller.label()));
        // The pipe was written where it is; a cancel does not take it away.
        QVERIFY(QFileInfo(pipe).exists());
        QVERIFY(m_dialogs->messages.empty()); // no "Success"
        QVERIFY(m_form->findChild<QPushButton*>(u"ButtonExport"_qs)->isEnabled());
    }
};

QTEST_MAIN(LongWorkTest)
#include "LongWorkTest.moc"
