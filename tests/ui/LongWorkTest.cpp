// Loads and exports run off the GUI thread: the window keeps handling
// events, a progress window with Cancel shows once the work takes a while,
// and Cancel leaves the workspace, or the disk, as it was.

#include "ui/BackgroundWork.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeDialogs.h"
#include "ui/TAppForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
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
    explicit CancelWhenShown(Gate& cancelled) : m_cancelled(cancelled)
    {
        m_poll.setInterval(20);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            QProgressDialog* dialog = visibleProgress();
            if (dialog == nullptr || m_pressed)
                return;
            m_label = dialog->labelText();
            const auto buttons = dialog->findChildren<QPushButton*>();
            if (buttons.isEmpty())
                return;
            m_ownerControlsEnabled = dialog->parentWidget()->findChild<QPushButton*>(u"BitBtn1"_qs)->isEnabled();
            buttons.front()->click();
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
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        Gate cancelled;
        std::thread writer([&] {
            // The load closes the pipe when it stops: the write after that
            // fails with EPIPE instead of ending the test with SIGPIPE.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            std::FILE* f = std::fopen(QFile::encodeName(pipe).constData(), "wb");
            QByteArray lines;
            for (int i = 0; i < 20000; ++i)
                lines += QByteArray::number(i) + ",x\n";
            std::fwrite(lines.constData(), 1, static_cast<std::size_t>(lines.size()), f);
            std::fflush(f);
            cancelled.wait();
            std::fwrite(lines.constData(), 1, static_cast<std::size_t>(lines.size()), f);
            std::fclose(f);
        });
        CancelWhenShown canceller(cancelled);
        m_form->Ekle(pipe);
        writer.join();

        QVERIFY(canceller.pressed());
        QVERIFY2(canceller.label().startsWith(u"Loading slow.csv\n"_qs), qPrintable(canceller.label()));
        QVERIFY(!canceller.ownerControlsEnabled());
        QCOMPARE(m_form->workspace().rowCount(), size_t{2});
        QCOMPARE(m_form->workspace().filesLoaded(), 1);
        QCOMPARE(status(), u"2 rows loaded"_qs);
        QCOMPARE(m_form->findChild<QPushButton*>(u"BitBtn1"_qs)->text(), caption);
        QVERIFY(m_form->findChild<QPushButton*>(u"BitBtn1"_qs)->isEnabled());
        QVERIFY(m_dialogs->messages.empty());
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
        QVERIFY(!QFile::exists(pipe));
        QVERIFY(m_dialogs->messages.empty()); // no "Success"
        QVERIFY(m_form->findChild<QPushButton*>(u"ButtonExport"_qs)->isEnabled());
    }
};

QTEST_MAIN(LongWorkTest)
#include "LongWorkTest.moc"
