// The update check's bookkeeping and decisions, with the settings, the
// server, the date and the machine replaced by fakes. The thread tests also
// run under ThreadSanitizer.
#include "update/core/Scramble.h"
#include "engine/text/UnicodeText.h"
#include "update/core/UpdateCheck.h"
#include "tests/support/WaitForCancel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>
#include <set>
#include <thread>

namespace quarrow {
namespace {

class MemoryStore final : public SettingsStore {
public:
    std::map<std::u16string, std::u16string> values; // "Section/Name" -> text
    std::set<std::u16string> notText;                // present, but of another kind
    std::optional<std::u16string> refuseWritesTo;    // a write to this name throws

    static std::u16string key(std::u16string_view section, std::u16string_view name)
    {
        return std::u16string(section) + u"/" + std::u16string(name);
    }
    std::optional<std::u16string> get(std::u16string_view name) const
    {
        const auto it = values.find(key(u"Settings", name));
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
    void set(std::u16string_view name, std::u16string_view value) { values[key(u"Settings", name)] = value; }

    std::u16string readText(std::u16string_view section, std::u16string_view name) override
    {
        const auto k = key(section, name);
        const auto it = values.find(k);
        return it == values.end() || notText.contains(k) ? std::u16string() : it->second;
    }
    int readInteger(std::u16string_view section, std::u16string_view name, int fallback) override
    {
        int value = 0;
        return parseDecimalInteger(readText(section, name), value) ? value : fallback;
    }
    void writeText(std::u16string_view section, std::u16string_view name, std::u16string_view value) override
    {
        if (refuseWritesTo && *refuseWritesTo == name)
            throw std::runtime_error("settings file is read-only");
        notText.erase(key(section, name));
        values[key(section, name)] = value;
    }
};

struct Request {
    std::string address;
    RequestFields fields;
};

// Scripted server: one outcome per address, every request recorded.
struct ServerScript {
    std::map<std::string, std::u16string> replies; // address -> reply text
    std::map<std::string, std::string> failures;   // address -> error message
    std::vector<Request> requests;
};

class ScriptedExchange final : public PostExchange {
public:
    explicit ScriptedExchange(std::shared_ptr<ServerScript> script) : m_script(std::move(script)) {}
    std::u16string post(const std::string& address, const RequestFields& fields) override
    {
        m_script->requests.push_back({address, fields});
        if (const auto it = m_script->failures.find(address); it != m_script->failures.end())
            throw ExchangeError(it->second);
        if (const auto it = m_script->replies.find(address); it != m_script->replies.end())
            return it->second;
        throw ExchangeError("Couldn't connect to server");
    }

private:
    std::shared_ptr<ServerScript> m_script;
};

class FixedDate final : public DateSource {
public:
    explicit FixedDate(std::u16string today) : m_today(std::move(today)) {}
    std::u16string todayText() override { return m_today; }

private:
    std::u16string m_today;
};

class FakeIdentity final : public SystemIdentity {
public:
    bool machineIdFails = false;
    bool localeFails = false;
    std::u16string operatingSystem() override { return u"Debian GNU/Linux 12 (Version 6.1, Build 0, 64-bit Edition)"; }
    std::u16string localeName() override
    {
        if (localeFails)
            throw std::runtime_error("no locale");
        return u"en-US";
    }
    std::u16string machineIdentifier() override
    {
        if (machineIdFails)
            throw std::runtime_error("unreadable");
        return u"0123456789abcdef0123456789abcdef";
    }
};

struct NoticeLog final : NoticeBox {
    struct Shown {
        std::u16string caption;
        std::u16string text;
        bool finishedWhenShown;
        bool popupDecidedWhenShown;
    };
    std::vector<Shown> shown;
    std::shared_ptr<CheckState> state;
    void show(const std::u16string& caption, const std::u16string& text) override
    {
        shown.push_back({caption, text, state->finished.load(), state->updateAvailable});
    }
};

constexpr auto kHttps = "https://server.test/php/check2.php";
constexpr auto kHttp = "http://server.test/php/check2.php";
constexpr auto kMakerPage = u"https://server.test/";

std::u16string validReply(std::u16string_view version, std::u16string_view url = u"http://server.test/get/q.zip",
                          std::u16string_view notice = u"", std::u16string_view result = u"1")
{
    return u"<version>" + std::u16string(version) + u"</version>\r\n<url>" + std::u16string(url)
           + u"</url>\r\n<date>2026-12-01</date>\r\n<result>" + std::u16string(result)
           + u"</result>\r\n<size>123</size>\r\n<important>" + std::u16string(notice) + u"</important>\r\n";
}

// One machine: the settings and the server outlive each start of the program.
struct Machine {
    std::shared_ptr<MemoryStore> store = std::make_shared<MemoryStore>();
    std::shared_ptr<ServerScript> server = std::make_shared<ServerScript>();
    std::shared_ptr<NoticeLog> notices = std::make_shared<NoticeLog>();
    std::u16string today = u"12/10/26";
    std::u16string fileVersion = u"2.1";
    bool storeFails = false;
    bool machineIdFails = false;
    bool localeFails = false;

    std::unique_ptr<CheckJob> job()
    {
        auto j = std::make_unique<CheckJob>();
        j->windowTitle = u"TARNIX - Quarrow";
        j->fileVersion = fileVersion;
        j->httpsAddress = kHttps;
        j->httpAddress = kHttp;
        j->makerPage = kMakerPage;
        j->openStore = [store = store, fails = storeFails]() -> std::shared_ptr<SettingsStore> {
            if (fails)
                throw std::runtime_error("cannot open");
            return store;
        };
        j->exchange = std::make_unique<ScriptedExchange>(server);
        j->dates = std::make_unique<FixedDate>(today);
        auto identity = std::make_unique<FakeIdentity>();
        identity->machineIdFails = machineIdFails;
        identity->localeFails = localeFails;
        j->identity = std::move(identity);
        j->notice = notices;
        j->state = std::make_shared<CheckState>();
        notices->state = j->state;
        return j;
    }

    // One program start, the check run on this thread.
    std::shared_ptr<CheckState> start()
    {
        auto j = job();
        runUpdateCheck(*j);
        return j->state;
    }

    void answer(std::u16string reply) { server->replies[kHttps] = std::move(reply); }
    std::size_t requestCount() const { return server->requests.size(); }
};

TEST(UpdateCheck, FirstStartAsksAndSavesTheReply)
{
    Machine machine;
    machine.answer(validReply(u"2.2"));
    const auto state = machine.start();

    ASSERT_TRUE(state->isFinished());
    EXPECT_FALSE(state->failures.failed()) << toUtf8(state->failures.text());
    ASSERT_EQ(machine.requestCount(), 1u);
    EXPECT_EQ(machine.server->requests[0].address, kHttps);
    const RequestFields expected{u"cmd=check",   u"appname=TARNIX - Quarrow",
                                 u"version=2.1", u"os=Debian GNU/Linux 12 (Version 6.1, Build 0, 64-bit Edition)",
                                 u"local=en-US", u"guid=0123456789abcdef0123456789abcdef",
                                 u"howmany=1"};
    EXPECT_EQ(machine.server->requests[0].fields, expected);

    EXPECT_EQ(machine.store->get(u"HowMany"), u"1");
    EXPECT_EQ(machine.store->get(u"InstalledVersion"), u"2.1");
    EXPECT_EQ(machine.store->get(u"LastUpdateCheck"), u"12/10/26");
    EXPECT_EQ(machine.store->get(u"LastUpdateCheckCount"), u"1");
    EXPECT_EQ(machine.store->get(u"CurrentVersion"), u"2.2");
    EXPECT_EQ(machine.store->get(u"CurrentURL"), scramble(u"http://server.test/get/q.zip"));
    EXPECT_EQ(machine.store->get(u"ShowUpdate"), std::nullopt) << "only the menu item writes it";

    EXPECT_TRUE(state->updateAvailable);
    EXPECT_EQ(state->serverVersion, u"2.2");
    EXPECT_EQ(state->downloadAddress, u"http://server.test/get/q.zip");
    EXPECT_EQ(state->showUpdate, 1);
    EXPECT_EQ(state->runCount, 1);
}

TEST(UpdateCheck, RunCountFollowsTheInstalledVersion)
{
    Machine machine;
    machine.answer(validReply(u"2.1"));
    machine.store->set(u"InstalledVersion", u"2.1");
    machine.store->set(u"HowMany", u"7");
    EXPECT_EQ(machine.start()->runCount, 8);
    EXPECT_EQ(machine.server->requests.back().fields.back(), u"howmany=8");

    machine.store->set(u"InstalledVersion", u"2.0");
    EXPECT_EQ(machine.start()->runCount, 1) << "a new program version starts counting again";
    EXPECT_EQ(machine.store->get(u"HowMany"), u"1");
    EXPECT_EQ(machine.store->get(u"InstalledVersion"), u"2.1");

    machine.store->set(u"HowMany", u"abc");
    EXPECT_EQ(machine.start()->runCount, 1) << "text that is no number reads as 0";
    machine.store->set(u"HowMany", u"41");
    machine.store->notText.insert(MemoryStore::key(u"Settings", u"HowMany"));
    EXPECT_EQ(machine.start()->runCount, 1) << "a value of another kind reads as missing";
}

TEST(UpdateCheck, ShowUpdateSetting)
{
    struct Case {
        std::optional<std::u16string> stored;
        bool asks;
        int showUpdate;
        bool popup;
    };
    const Case cases[] = {
        {std::nullopt, true, 1, true}, {u"1", true, 1, true},    {u"0", false, 0, false},
        {u"2", true, 2, false},        {u"-1", true, -1, false}, {u"off", true, 1, true},
    };
    for (const Case& c : cases) {
        Machine machine;
        machine.answer(validReply(u"2.2"));
        if (c.stored)
            machine.store->set(u"ShowUpdate", *c.stored);
        const auto state = machine.start();
        const std::string label = c.stored ? toUtf8(*c.stored) : "missing";
        EXPECT_EQ(machine.requestCount(), c.asks ? 1u : 0u) << label;
        EXPECT_EQ(state->showUpdate, c.showUpdate) << label;
        EXPECT_EQ(state->updateAvailable, c.popup) << label;
        EXPECT_EQ(machine.store->get(u"HowMany"), u"1") << label << ": the run counts even without a request";
        EXPECT_TRUE(state->isFinished()) << label;
    }
}

TEST(UpdateCheck, FiveValidRepliesADay)
{
    Machine machine;
    machine.answer(validReply(u"2.2"));
    for (int start = 1; start <= 5; ++start) {
        const auto state = machine.start();
        EXPECT_EQ(state->updateAvailable, start < 5) << "start " << start;
        EXPECT_EQ(machine.store->get(u"LastUpdateCheckCount"),
                  std::optional<std::u16string>(fromUtf8(std::to_string(start))))
            << "start " << start;
    }
    EXPECT_EQ(machine.requestCount(), 5u);

    const auto sixth = machine.start();
    EXPECT_EQ(machine.requestCount(), 5u) << "no sixth request on the same day";
    EXPECT_FALSE(sixth->updateAvailable);
    EXPECT_EQ(sixth->runCount, 6);
    EXPECT_EQ(sixth->downloadAddress, u"http://server.test/get/q.zip") << "the saved address is still read";

    machine.today = u"12/11/26";
    const auto nextDay = machine.start();
    EXPECT_EQ(machine.requestCount(), 6u);
    EXPECT_TRUE(nextDay->updateAvailable);
    EXPECT_EQ(machine.store->get(u"LastUpdateCheck"), u"12/11/26");
    EXPECT_EQ(machine.store->get(u"LastUpdateCheckCount"), u"1");

    // Another short date format on the same day: the stored text no longer
    // matches, so the day starts again.
    machine.store->set(u"LastUpdateCheckCount", u"5");
    machine.today = u"11.12.2026";
    EXPECT_TRUE(machine.start()->updateAvailable);
    EXPECT_EQ(machine.store->get(u"LastUpdateCheckCount"), u"1");
}

TEST(UpdateCheck, RepliesThatAreNotValidChangeNothing)
{
    const std::pair<const char*, std::u16string> cases[] = {
        {"three lines", u"<version>2.2</version>\n<url>http://x/</url>\n\n"},
        {"no result tag", u"<version>2.2</version>\n<url>http://x/</url>\n\n1\n"},
        {"result 2", validReply(u"2.2", u"http://x/", u"", u"2")},
        {"empty result", validReply(u"2.2", u"http://x/", u"", u"")},
        {"result with a space", validReply(u"2.2", u"http://x/", u"", u" 1")},
        {"error reply", u"ERROR: no such product\n" + validReply(u"2.2")},
        {"empty reply", u""},
        {"html page", u"<html><body>Service Unavailable</body></html>"},
    };
    for (const auto& [label, reply] : cases) {
        Machine machine;
        machine.store->set(u"LastUpdateCheck", u"12/09/26");
        machine.store->set(u"LastUpdateCheckCount", u"3");
        machine.store->set(u"CurrentVersion", u"2.0");
        machine.store->set(u"CurrentURL", scramble(u"http://old.test/"));
        machine.answer(reply);
        const auto state = machine.start();
        EXPECT_TRUE(state->isFinished()) << label;
        EXPECT_TRUE(state->failures.failed()) << label;
        EXPECT_NE(state->failures.text().find(u"INVALIDSERVERRESPONSE"), std::u16string::npos) << label;
        EXPECT_FALSE(state->updateAvailable) << label;
        EXPECT_EQ(machine.store->get(u"LastUpdateCheck"), u"12/09/26") << label;
        EXPECT_EQ(machine.store->get(u"LastUpdateCheckCount"), u"3") << label;
        EXPECT_EQ(machine.store->get(u"CurrentVersion"), u"2.0") << label;
        EXPECT_EQ(unscramble(*machine.store->get(u"CurrentURL")), u"http://old.test/") << label;
        EXPECT_EQ(state->downloadAddress, u"http://old.test/") << label;
        EXPECT_EQ(machine.store->get(u"HowMany"), u"1") << label;
        EXPECT_EQ(machine.requestCount(), 1u) << label << ": a reply is never asked again";
    }
}

TEST(UpdateCheck, ServerVersionDecidesThePopup)
{
    const std::pair<std::u16string, bool> cases[] = {
        {u"2.1", false},        {u"2.0", true},   {u"2.2 beta", false}, {u"", false},     {u"2.2", true},
        {u"3", true},           {u"2.1.0", true}, {u"1.9", true},       {u"2.1 ", false}, {u"21474836.48", false},
        {u"2147483.647", true}, {u"v2.2", false}, {u"..", false},       {u"2,2", false},
    };
    for (const auto& [version, popup] : cases) {
        Machine machine;
        machine.answer(validReply(version));
        const auto state = machine.start();
        EXPECT_EQ(state->updateAvailable, popup) << "'" << toUtf8(version) << "'";
        EXPECT_EQ(machine.store->get(u"CurrentVersion"), version) << "every valid reply is saved";
    }
}

TEST(UpdateCheck, PlainHttpAnswersWhenHttpsFails)
{
    Machine machine;
    machine.machineIdFails = true;
    machine.localeFails = true;
    machine.server->failures[kHttps] = "SSL certificate problem: self-signed certificate";
    machine.server->replies[kHttp] = validReply(u"2.2");
    const auto state = machine.start();

    ASSERT_EQ(machine.requestCount(), 2u);
    EXPECT_EQ(machine.server->requests[1].address, kHttp);
    EXPECT_EQ(machine.server->requests[1].fields, machine.server->requests[0].fields);
    const RequestFields& fields = machine.server->requests[0].fields;
    EXPECT_EQ(std::count(fields.begin(), fields.end(), u"guid="), 1) << "an unreadable machine id is sent empty";
    EXPECT_TRUE(std::none_of(fields.begin(), fields.end(), [](const auto& f) { return f.starts_with(u"local="); }));
    EXPECT_FALSE(state->failures.failed()) << "the answer clears every earlier failure";
    EXPECT_TRUE(state->updateAvailable);
    EXPECT_EQ(machine.store->get(u"LastUpdateCheckCount"), u"1");
}

// Anyone on the path can write a plain-HTTP reply: it may announce a
// version, but its address is neither opened nor kept, and its notice is
// not shown. The same reply over HTTPS is used whole.
TEST(UpdateCheck, PlainHttpReplyIsTrustedOnlyForItsVersion)
{
    const std::u16string forged =
        validReply(u"9.9", u"https://foreign.test/get/q.zip", u"Call +1 555 0100 now to renew your licence");
    for (const bool overHttps : {false, true}) {
        Machine machine;
        machine.store->set(u"CurrentURL", scramble(u"https://server.test/get/old.zip"));
        if (overHttps) {
            machine.answer(forged);
        } else {
            machine.server->failures[kHttps] = "Failed to connect to server.test port 443: Connection refused";
            machine.server->replies[kHttp] = forged;
        }
        const auto state = machine.start();
        const char* route = overHttps ? "over HTTPS" : "over plain HTTP";

        EXPECT_FALSE(state->failures.failed()) << route;
        EXPECT_TRUE(state->updateAvailable) << route;
        EXPECT_EQ(state->serverVersion, u"9.9") << route;
        EXPECT_EQ(machine.store->get(u"CurrentVersion"), u"9.9") << route;
        EXPECT_EQ(machine.store->get(u"LastUpdateCheckCount"), u"1") << route;
        if (overHttps) {
            EXPECT_EQ(state->downloadAddress, u"https://foreign.test/get/q.zip");
            EXPECT_EQ(unscramble(*machine.store->get(u"CurrentURL")), u"https://foreign.test/get/q.zip");
            ASSERT_EQ(machine.notices->shown.size(), 1u);
            EXPECT_EQ(machine.notices->shown[0].text, u"Call +1 555 0100 now to renew your licence");
        } else {
            EXPECT_EQ(state->downloadAddress, kMakerPage);
            EXPECT_EQ(unscramble(*machine.store->get(u"CurrentURL")), u"https://server.test/get/old.zip")
                << "the address saved from an earlier HTTPS reply stays";
            EXPECT_TRUE(machine.notices->shown.empty());
        }
    }
}

TEST(UpdateCheck, BothAttemptsFailing)
{
    Machine machine;
    machine.store->set(u"LastUpdateCheck", u"12/10/26");
    machine.store->set(u"LastUpdateCheckCount", u"2");
    machine.server->failures[kHttps] = "Connection timed out after 10001 milliseconds";
    machine.server->failures[kHttp] = "Could not resolve host: server.test";
    const auto state = machine.start();

    EXPECT_TRUE(state->isFinished());
    EXPECT_EQ(state->failures.text(), u"HTTPS Response:\rConnection timed out after 10001 milliseconds\r\r"
                                      u"HTTP Response:\rCould not resolve host: server.test");
    EXPECT_FALSE(state->updateAvailable);
    EXPECT_EQ(machine.store->get(u"LastUpdateCheckCount"), u"2");
    EXPECT_EQ(machine.store->get(u"CurrentVersion"), std::nullopt);
    EXPECT_EQ(machine.store->get(u"HowMany"), u"1");
    EXPECT_EQ(machine.store->get(u"InstalledVersion"), u"2.1");
}

TEST(UpdateCheck, AnEarlierFailureSpoilsAnHttpsReply)
{
    // Only a successful second attempt clears what went wrong before it.
    Machine machine;
    machine.machineIdFails = true;
    machine.answer(validReply(u"2.2"));
    const auto state = machine.start();
    EXPECT_EQ(state->failures.text(), u"Error: GUID generate problem!");
    EXPECT_FALSE(state->updateAvailable);
    EXPECT_EQ(machine.store->get(u"CurrentVersion"), std::nullopt);

    Machine other;
    other.localeFails = true;
    other.answer(validReply(u"2.2"));
    EXPECT_EQ(other.start()->failures.text(), u"Error: LocaleName2 problem!");
}

TEST(UpdateCheck, UnopenableStoreReadsDefaultsAndStillFinishes)
{
    Machine machine;
    machine.storeFails = true;
    machine.answer(validReply(u"2.2"));
    const auto state = machine.start();
    EXPECT_TRUE(state->isFinished());
    EXPECT_EQ(state->failures.text(), u"Error: Registry open problem!");
    EXPECT_EQ(machine.requestCount(), 1u);
    EXPECT_EQ(machine.server->requests[0].fields.back(), u"howmany=1");
    EXPECT_FALSE(state->updateAvailable);
    EXPECT_TRUE(machine.store->values.empty());
}

TEST(UpdateCheck, RefusedWriteEndsTheCheckButFinishesIt)
{
    Machine machine;
    machine.store->refuseWritesTo = u"HowMany";
    machine.answer(validReply(u"2.2"));
    const auto state = machine.start();
    EXPECT_TRUE(state->isFinished());
    EXPECT_NE(state->failures.text().find(u"settings file is read-only"), std::u16string::npos);
    EXPECT_EQ(machine.requestCount(), 0u);
    EXPECT_FALSE(state->updateAvailable);

    // A refused write after a valid reply is only that step's loss.
    Machine later;
    later.store->refuseWritesTo = u"CurrentVersion";
    later.answer(validReply(u"2.2"));
    const auto laterState = later.start();
    EXPECT_TRUE(laterState->updateAvailable);
    EXPECT_EQ(later.store->get(u"CurrentURL"), scramble(u"http://server.test/get/q.zip"));
    EXPECT_EQ(later.store->get(u"LastUpdateCheckCount"), u"1");
}

TEST(UpdateCheck, SavedAddressIsReadBackAtTheStart)
{
    Machine machine;
    machine.store->set(u"ShowUpdate", u"0");
    machine.store->set(u"CurrentURL", scramble(u"https://server.test/dl/ä.zip"));
    EXPECT_EQ(machine.start()->downloadAddress, u"https://server.test/dl/ä.zip");
    machine.store->set(u"CurrentURL", u"ZZ41");
    EXPECT_EQ(machine.start()->downloadAddress, u"") << "a damaged value reads as empty";
}

TEST(UpdateCheck, ServerNotice)
{
    const std::pair<std::u16string, bool> cases[] = {
        {u"", false},          {u"    ", false},
        {u" \t ", false},      {u"Version 2.2 fixes a data loss: please update.", true},
        {u"  padded  ", true},
    };
    for (const auto& [notice, shown] : cases) {
        Machine machine;
        machine.answer(validReply(u"2.2", u"http://x.test/", notice));
        const auto state = machine.start();
        ASSERT_EQ(machine.notices->shown.size(), shown ? 1u : 0u) << "'" << toUtf8(notice) << "'";
        if (shown) {
            const auto& box = machine.notices->shown[0];
            EXPECT_EQ(box.caption, u"IMPORTANT");
            EXPECT_EQ(box.text, notice) << "shown untrimmed";
            EXPECT_FALSE(box.finishedWhenShown);
            EXPECT_FALSE(box.popupDecidedWhenShown) << "the notice comes before the popup";
        }
        EXPECT_TRUE(state->updateAvailable);
    }

    Machine fiveLines;
    fiveLines.answer(u"<version>2.2</version>\n<url>u</url>\n\n<result>0</result>\n\n");
    fiveLines.start();
    EXPECT_TRUE(fiveLines.notices->shown.empty());
}

TEST(UpdatePopupDecision, Table)
{
    struct Case {
        const char16_t* server;
        int showUpdate;
        const char16_t* lastDate;
        int dayCount;
        bool wanted;
    };
    const Case cases[] = {
        {u"2.2", 1, u"d2", 1, true},  {u"2.2", 1, u"d1", 4, true},  {u"2.2", 1, u"d1", 5, false},
        {u"2.2", 1, u"d2", 5, true},  {u"2.2", 2, u"d2", 1, false}, {u"2.2", 0, u"d2", 1, false},
        {u"2.1", 1, u"d2", 1, false}, {u"2.10", 1, u"d2", 1, true}, {u"", 1, u"d2", 1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(updatePopupWanted(c.server, u"2.1", c.showUpdate, c.lastDate, u"d1", c.dayCount), c.wanted)
            << toUtf8(c.server) << " show " << c.showUpdate << " " << toUtf8(c.lastDate) << " count " << c.dayCount;
    }
}

// The window's side of the hand-over: it polls the flag and reads the
// results only after it has seen the flag set.
TEST(CheckerThread, HandsTheResultsOverThroughTheFinishedFlag)
{
    Machine machine;
    machine.answer(validReply(u"2.2", u"http://x.test/new", u"notice"));
    TChecker checker(machine.job());
    const auto state = checker.state();
    while (!state->isFinished())
        std::this_thread::yield();
    EXPECT_TRUE(state->updateAvailable);
    EXPECT_EQ(state->serverVersion, u"2.2");
    EXPECT_EQ(state->downloadAddress, u"http://x.test/new");
    EXPECT_EQ(state->showUpdate, 1);
    EXPECT_EQ(machine.notices->shown.size(), 1u);
    // Once the flag is seen, the window may use the settings again.
    machine.store->writeInteger(u"Settings", u"ShowUpdate", 0);
    EXPECT_EQ(machine.store->get(u"ShowUpdate"), u"0");
}

// An exchange that waits until it is cancelled, like a server that never
// answers; it tells when it has been freed.
class HangingExchange final : public PostExchange {
public:
    HangingExchange(std::shared_ptr<CancelSignal> cancel, std::shared_ptr<std::atomic<int>> posts,
                    std::shared_ptr<std::atomic<bool>> freed)
        : m_cancel(std::move(cancel)), m_posts(std::move(posts)), m_freed(std::move(freed))
    {
    }
    ~HangingExchange() override { m_freed->store(true); }
    std::u16string post(const std::string&, const RequestFields&) override
    {
        m_posts->fetch_add(1);
        test::waitForCancel(*m_cancel);
        throw ExchangeError("cancelled");
    }

private:
    std::shared_ptr<CancelSignal> m_cancel;
    std::shared_ptr<std::atomic<int>> m_posts;
    std::shared_ptr<std::atomic<bool>> m_freed;
};

// Leaving the program while the server keeps the check waiting: the holder
// cancels the exchange and joins the thread, and by then the check has
// finished and freed everything it used.
TEST(CheckerThread, LeavingWhileACheckHangsEndsAndJoinsIt)
{
    Machine machine;
    auto job = machine.job();
    const auto posts = std::make_shared<std::atomic<int>>(0);
    const auto freed = std::make_shared<std::atomic<bool>>(false);
    job->exchange = std::make_unique<HangingExchange>(job->state->cancel, posts, freed);
    const auto state = job->state;
    {
        TChecker checker(std::move(job));
        while (posts->load() == 0)
            std::this_thread::yield();
        EXPECT_FALSE(state->isFinished());
    }
    EXPECT_TRUE(freed->load()) << "the exchange is freed before the holder goes";
    EXPECT_TRUE(state->isFinished());
    EXPECT_FALSE(state->updateAvailable);
    EXPECT_EQ(state->failures.text(), u"HTTPS Response:\rcancelled\r\rHTTP Response:\rcancelled");
}

TEST(CheckerThread, ManyChecksAtOnceShareNothing)
{
    std::vector<Machine> machines(8);
    std::vector<std::unique_ptr<TChecker>> checkers;
    for (auto& machine : machines) {
        machine.answer(validReply(u"2.2"));
        checkers.push_back(std::make_unique<TChecker>(machine.job()));
    }
    for (const auto& checker : checkers) {
        while (!checker->state()->isFinished())
            std::this_thread::yield();
        EXPECT_TRUE(checker->state()->updateAvailable);
    }
}

} // namespace
} // namespace quarrow
