// The update check as the window runs it: the settings file, the notice box,
// the popup, the menu item and leaving while a check still runs.
#include "tests/support/Controls.h"
#include "tests/support/FakeDialogs.h"
#include "update/qt/LocaleDateSource.h"
#include "update/qt/QtNoticeBox.h"
#include "update/qt/QtSettingsStore.h"
#include "ui/TAppForm.h"
#include "update/qt/TNewVer.h"
#include "update/qt/UpdateCheckSetup.h"
#include "tests/support/WaitForCancel.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace quarrow;

namespace {

std::u16string engineText(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// What the scripted server saw and is to answer; shared with the check
// thread, so guarded.
struct Server {
    std::mutex mutex;
    std::u16string reply;
    bool hang = false;        // never answer until cancelled
    bool refuseHttps = false; // HTTPS fails, as when it is blocked on the way
    std::vector<std::string> addresses;
    std::vector<RequestFields> requests;

    std::size_t requestCount()
    {
        std::lock_guard lock(mutex);
        return requests.size();
    }
};

class ScriptedExchange final : public PostExchange {
public:
    ScriptedExchange(std::shared_ptr<Server> server, std::shared_ptr<CancelSignal> cancel)
        : m_server(std::move(server)), m_cancel(std::move(cancel))
    {
    }

    std::u16string post(const std::string& address, const RequestFields& fields) override
    {
        bool hang = false;
        bool refused = false;
        std::u16string reply;
        {
            std::lock_guard lock(m_server->mutex);
            m_server->addresses.push_back(address);
            m_server->requests.push_back(fields);
            hang = m_server->hang;
            refused = m_server->refuseHttps && address.starts_with("https:");
            reply = m_server->reply;
        }
        if (refused)
            throw ExchangeError("Failed to connect to server.test port 443: Connection refused");
        if (hang) {
            test::waitForCancel(*m_cancel);
            throw ExchangeError("cancelled");
        }
        return reply;
    }

private:
    std::shared_ptr<Server> m_server;
    std::shared_ptr<CancelSignal> m_cancel;
};

// The settings as the check thread opens them, counted while they live.
class CountedStore final : public SettingsStore {
public:
    CountedStore(std::shared_ptr<SettingsStore> inner, std::shared_ptr<std::atomic<int>> alive)
        : m_inner(std::move(inner)), m_alive(std::move(alive))
    {
        ++*m_alive;
    }
    ~CountedStore() override { --*m_alive; }
    std::u16string readText(std::u16string_view section, std::u16string_view name) override
    {
        return m_inner->readText(section, name);
    }
    int readInteger(std::u16string_view section, std::u16string_view name, int fallback) override
    {
        return m_inner->readInteger(section, name, fallback);
    }
    void writeText(std::u16string_view section, std::u16string_view name, std::u16string_view value) override
    {
        m_inner->writeText(section, name, value);
    }

private:
    std::shared_ptr<SettingsStore> m_inner;
    std::shared_ptr<std::atomic<int>> m_alive;
};

class FixedIdentity final : public SystemIdentity {
public:
    std::u16string operatingSystem() override { return u"Test OS (Version 6.1, Build 0, 64-bit Edition)"; }
    std::u16string localeName() override { return u"en-US"; }
    std::u16string machineIdentifier() override { return u"feedc0de"; }
};

std::u16string validReply(const QString& version, const QString& url, const QString& notice = {})
{
    return engineText(u"<version>" + version + u"</version>\n<url>" + url
                      + u"</url>\n\n<result>1</result>\n\n<important>" + notice + u"</important>\n");
}

QString settingsPath()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TARNIX"), QStringLiteral("Quarrow"))
        .fileName();
}

QString setting(const QString& name)
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    return settings.value(u"Settings/" + name).toString();
}

void clearSettings()
{
    QFile::remove(settingsPath());
}

void storeSetting(const QString& name, const QString& value)
{
    QtSettingsStore(QStringLiteral("TARNIX"), QStringLiteral("Quarrow"))
        .writeText(u"Settings", engineText(name), engineText(value));
}

} // namespace

class UpdateNotificationsTest : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<Server> m_server;
    std::shared_ptr<std::atomic<int>> m_storesAlive = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<test::FakeDialogs> m_dialogs;
    std::unique_ptr<TAppForm> m_form;

    UpdateCheckSetup setup() const
    {
        UpdateCheckSetup s = UpdateCheckSetup::forThisMachine();
        s.httpsBase = QStringLiteral("https://server.test");
        s.httpBase = QStringLiteral("http://server.test");
        s.makeExchange = [server = m_server](std::shared_ptr<CancelSignal> cancel) {
            return std::make_unique<ScriptedExchange>(server, std::move(cancel));
        };
        s.makeIdentity = [] { return std::make_unique<FixedIdentity>(); };
        s.openStore = [open = s.openStore, alive = m_storesAlive] {
            return std::make_shared<CountedStore>(open(), alive);
        };
        return s;
    }

    // One program start with the scripted server.
    void startWindow()
    {
        m_dialogs = std::make_unique<test::FakeDialogs>();
        m_form = std::make_unique<TAppForm>(*m_dialogs, QString(), QStringList());
        m_form->setUpdateCheck(setup());
        m_form->show();
    }

    QAction* menuItem() const
    {
        return test::findControl<QAction>(m_form.get(), QStringLiteral("UpdateNotifications1"));
    }

    // The check is over once the window has enabled the menu item.
    void waitForTheCheck() const { QTRY_VERIFY_WITH_TIMEOUT(menuItem()->isEnabled(), 10000); }

private slots:
    void init()
    {
        clearSettings();
        m_server = std::make_shared<Server>();
    }

    void cleanup()
    {
        m_form.reset();
        m_dialogs.reset();
    }

    void settingsFileHoldsText()
    {
        QtSettingsStore store(QStringLiteral("TARNIX"), QStringLiteral("Quarrow"));
        store.writeInteger(u"Settings", u"HowMany", 3);
        store.writeText(u"Settings", u"LastUpdateCheck", u"10.12.26, Thursday");
        QCOMPARE(store.readInteger(u"Settings", u"HowMany", 0), 3);
        QCOMPARE(store.readText(u"Settings", u"LastUpdateCheck"), std::u16string(u"10.12.26, Thursday"));
        QCOMPARE(store.readText(u"Settings", u"Missing"), std::u16string());
        QCOMPARE(store.readInteger(u"Settings", u"Missing", 1), 1);

        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY2(content.contains("[Settings]"), content.constData());
        QVERIFY2(content.contains("HowMany=3"), content.constData());
        QVERIFY(settingsPath().startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
    }

    void settingsOfAnotherKindReadAsMissing()
    {
        {
            QSettings other(settingsPath(), QSettings::IniFormat);
            other.setValue(QStringLiteral("Settings/LastUpdateCheckCount"), QByteArray("7"));
            other.setValue(QStringLiteral("Settings/HowMany"), QStringList{QStringLiteral("1"), QStringLiteral("2")});
            other.setValue(QStringLiteral("Settings/ShowUpdate"), QStringLiteral("abc"));
            other.setValue(QStringLiteral("Settings/InstalledVersion"), 7);
        }
        QtSettingsStore store(QStringLiteral("TARNIX"), QStringLiteral("Quarrow"));
        QCOMPARE(store.readInteger(u"Settings", u"LastUpdateCheckCount", 0), 0);
        QCOMPARE(store.readInteger(u"Settings", u"HowMany", 0), 0);
        QCOMPARE(store.readInteger(u"Settings", u"ShowUpdate", 1), 1);
        // Stored as a number by another writer in this process, not as text.
        QCOMPARE(store.readText(u"Settings", u"InstalledVersion"), std::u16string());
    }

    void unwritableSettingsFileIsAnError()
    {
        // A folder where the file should be: neither readable nor writable.
        QVERIFY(QDir().mkpath(settingsPath()));
        bool failed = false;
        try {
            QtSettingsStore store(QStringLiteral("TARNIX"), QStringLiteral("Quarrow"));
            store.writeText(u"Settings", u"HowMany", u"1");
        } catch (const std::runtime_error& e) {
            failed = true;
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("Quarrow.conf")), e.what());
        }
        QVERIFY(failed);
        QVERIFY(QDir(settingsPath()).removeRecursively());
    }

    void dateTextFollowsTheLocaleShortFormat()
    {
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(QString::fromStdU16String(LocaleDateSource(german).todayText()),
                 german.toString(QDate::currentDate(), QLocale::ShortFormat));
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(QString::fromStdU16String(LocaleDateSource(us).todayText()),
                 us.toString(QDate::currentDate(), QLocale::ShortFormat));
    }

    void noticeBoxRunsOnTheGuiThreadAndWaits()
    {
        QObject context;
        std::atomic<bool> onGuiThread = false;
        QString shownText;
        QtNoticeBox box(&context, [&](const QString& caption, const QString& text) {
            onGuiThread = QThread::currentThread() == context.thread();
            shownText = caption + u'|' + text;
        });
        std::atomic<bool> returned = false;
        std::thread check([&] {
            box.show(u"IMPORTANT", u"Read this.");
            returned = true;
        });
        QTRY_VERIFY(returned.load());
        check.join();
        QVERIFY(onGuiThread.load());
        QCOMPARE(shownText, QStringLiteral("IMPORTANT|Read this."));
    }

    void noticeBoxReleasesTheCheckWhenTheWindowGoes()
    {
        auto context = std::make_unique<QObject>();
        bool shown = false;
        QtNoticeBox box(context.get(), [&](const QString&, const QString&) { shown = true; });
        std::atomic<bool> returned = false;
        std::thread check([&] {
            box.show(u"IMPORTANT", u"never seen");
            returned = true;
        });
        // The GUI thread does not run its queue: the call stays pending.
        QThread::msleep(20);
        box.detach();
        check.join();
        QVERIFY(returned.load());
        context.reset();
        QCoreApplication::processEvents();
        QVERIFY(!shown);
        box.show(u"IMPORTANT", u"after the window went"); // returns at once
    }

    void firstStartOpensThePopup()
    {
        m_server->reply = validReply(QStringLiteral("9.9"), QStringLiteral("http://server.test/get/quarrow.zip"));
        startWindow();
        waitForTheCheck();
        QVERIFY(menuItem()->isChecked());
        QTRY_VERIFY(m_form->newVer() != nullptr);
        QTRY_VERIFY(m_form->newVer()->isVisible());
        QVERIFY(m_dialogs->messages.empty());

        QCOMPARE(m_server->requestCount(), std::size_t(1));
        QCOMPARE(m_server->addresses[0], std::string("https://server.test/php/check2.php"));
        const RequestFields& fields = m_server->requests[0];
        QCOMPARE(fields.size(), std::size_t(7));
        QCOMPARE(fields[0], std::u16string(u"cmd=check"));
        QCOMPARE(fields[1], u"appname=" + engineText(m_form->windowTitleText()));
        QCOMPARE(fields[2], u"version=" + engineText(m_form->fileVersionText()));
        QCOMPARE(fields[6], std::u16string(u"howmany=1"));

        QCOMPARE(setting(QStringLiteral("HowMany")), QStringLiteral("1"));
        QCOMPARE(setting(QStringLiteral("InstalledVersion")), m_form->fileVersionText());
        QCOMPARE(setting(QStringLiteral("LastUpdateCheck")),
                 QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
        QCOMPARE(setting(QStringLiteral("LastUpdateCheckCount")), QStringLiteral("1"));
        QCOMPARE(setting(QStringLiteral("CurrentVersion")), QStringLiteral("9.9"));
        QVERIFY(!setting(QStringLiteral("CurrentURL")).isEmpty());
        QVERIFY(!setting(QStringLiteral("CurrentURL")).contains(QStringLiteral("server.test")));
    }

    void showUpdateSettingAndTheMenuItem_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("asks");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("popup");
        QTest::newRow("off") << QStringLiteral("0") << false << false << false;
        QTest::newRow("on") << QStringLiteral("1") << true << true << true;
        QTest::newRow("another tool wrote 2") << QStringLiteral("2") << true << true << false;
    }

    void showUpdateSettingAndTheMenuItem()
    {
        QFETCH(QString, stored);
        QFETCH(bool, asks);
        QFETCH(bool, checked);
        QFETCH(bool, popup);
        storeSetting(QStringLiteral("ShowUpdate"), stored);
        m_server->reply = validReply(QStringLiteral("9.9"), QStringLiteral("http://server.test/q.zip"));
        startWindow();
        waitForTheCheck();
        QCOMPARE(m_server->requestCount(), asks ? std::size_t(1) : std::size_t(0));
        QCOMPARE(menuItem()->isChecked(), checked);
        QCOMPARE(m_form->newVer() != nullptr, popup);
        QCOMPARE(setting(QStringLiteral("HowMany")), QStringLiteral("1"));
    }

    void menuItemSwitchesTheSetting()
    {
        m_server->reply = validReply(QStringLiteral("0.1"), QStringLiteral("http://x.test/"));
        startWindow();
        QVERIFY(!menuItem()->isEnabled());
        waitForTheCheck();
        menuItem()->trigger();
        QVERIFY(!menuItem()->isChecked());
        QCOMPARE(setting(QStringLiteral("ShowUpdate")), QStringLiteral("0"));
        menuItem()->trigger();
        QVERIFY(menuItem()->isChecked());
        QCOMPARE(setting(QStringLiteral("ShowUpdate")), QStringLiteral("1"));

        // The next start makes no request while it is off.
        menuItem()->trigger();
        cleanup();
        init();
        storeSetting(QStringLiteral("ShowUpdate"), QStringLiteral("0"));
        startWindow();
        waitForTheCheck();
        QCOMPARE(m_server->requestCount(), std::size_t(0));
        QVERIFY(!menuItem()->isChecked());
    }

    void serverNoticeComesBeforeThePopup()
    {
        m_server->reply = validReply(QStringLiteral("9.9"), QStringLiteral("http://x.test/"),
                                     QStringLiteral("Version 9.9 fixes <b>data loss</b>."));
        startWindow();
        QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->messages.size(), std::size_t(1), 10000);
        QVERIFY(m_form->newVer() == nullptr);
        const auto& box = m_dialogs->messages[0];
        QCOMPARE(int(box.icon), int(MessageIcon::Warning));
        QCOMPARE(box.caption, QStringLiteral("IMPORTANT"));
        QCOMPARE(box.text, QStringLiteral("Version 9.9 fixes <b>data loss</b>."));
        QTRY_VERIFY(m_form->newVer() != nullptr);
    }

    void leavingWhileTheCheckRuns()
    {
        m_server->hang = true;
        startWindow();
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(), std::size_t(1), 10000);
        QVERIFY(!menuItem()->isEnabled());
        // Destroying the window cancels the exchange and waits for the thread
        // to let go; it does not wait for the network's time-outs.
        m_form.reset();
        // The plain-HTTP attempt fails at once too, and the thread is gone
        // with the window: it no longer holds the settings (a QSettings).
        QCOMPARE(m_server->requestCount(), std::size_t(2));
        QCOMPARE(m_storesAlive->load(), 0);
    }

    // A reply over plain HTTP announces its version, but the link opens the
    // maker's own page over HTTPS, its address is not kept and its notice
    // is not shown.
    void plainHttpReplyOnlyAnnouncesItsVersion()
    {
        m_server->refuseHttps = true;
        m_server->reply = validReply(QStringLiteral("9.9"), QStringLiteral("https://foreign.test/get"),
                                     QStringLiteral("Call +1 555 0100 now to renew your licence"));
        startWindow();
        waitForTheCheck();
        QCOMPARE(m_server->addresses.back(), std::string("http://server.test/php/check2.php"));
        QTRY_VERIFY(m_form->newVer() != nullptr);
        QVERIFY(m_dialogs->messages.empty());
        auto* link = test::findControl<QLabel>(m_form->newVer(), QStringLiteral("Label2"));
        QVERIFY(link->text().endsWith(QStringLiteral(" 9.9")));
        QTRY_VERIFY(m_form->newVer()->isVisible());
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(m_dialogs->openedUrls, QStringList{QStringLiteral("https://server.test/")});
        QCOMPARE(setting(QStringLiteral("CurrentVersion")), QStringLiteral("9.9"));
        QVERIFY(setting(QStringLiteral("CurrentURL")).isEmpty());
    }
};

QTEST_MAIN(UpdateNotificationsTest)
#include "UpdateNotificationsTest.moc"
