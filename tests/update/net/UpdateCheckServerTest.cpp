// The whole check over the real exchange against local HTTPS and HTTP
// servers: which attempt answers, what reaches the server, and that a server
// that never answers only delays the check by its time-outs.
#include "net/CurlExchange.h"
#include "tests/support/LocalServer.h"
#include "engine/text/UnicodeText.h"
#include "update/core/UpdateCheck.h"

#include <gtest/gtest.h>

#include <map>

namespace quarrow {
namespace {

using test::LocalServer;
using test::ScopedCaBundle;
using test::ScriptedReply;
using namespace std::chrono_literals;

class MemoryStore final : public SettingsStore {
public:
    std::map<std::u16string, std::u16string> values;
    std::u16string readText(std::u16string_view, std::u16string_view name) override
    {
        const auto it = values.find(std::u16string(name));
        return it == values.end() ? std::u16string() : it->second;
    }
    int readInteger(std::u16string_view section, std::u16string_view name, int fallback) override
    {
        int value = 0;
        return parseDecimalInteger(readText(section, name), value) ? value : fallback;
    }
    void writeText(std::u16string_view, std::u16string_view name, std::u16string_view value) override
    {
        values[std::u16string(name)] = value;
    }
};

class FixedDate final : public DateSource {
public:
    std::u16string todayText() override { return u"10.12.26"; }
};

class FixedIdentity final : public SystemIdentity {
public:
    std::u16string operatingSystem() override
    {
        return u"Debian GNU/Linux 12 (bookworm) (Version 6.1, Build 0, 64-bit Edition)";
    }
    std::u16string localeName() override { return u"de-DE"; }
    std::u16string machineIdentifier() override { return u"0123456789abcdef0123456789abcdef"; }
};

class NoNotice final : public NoticeBox {
public:
    void show(const std::u16string&, const std::u16string&) override {}
};

const std::string kValidReply =
    "<version>2.2</version>\r\n<url>https://127.0.0.1/get/quarrow 2.2.zip</url>\r\n\r\n<result>1</result>\r\n";

struct CheckRun {
    std::shared_ptr<MemoryStore> store = std::make_shared<MemoryStore>();
    std::shared_ptr<CheckState> state;
};

std::unique_ptr<CheckJob> checkJob(const CheckRun& run, const std::string& httpsAddress, const std::string& httpAddress,
                                   ExchangeTimeouts timeouts)
{
    auto job = std::make_unique<CheckJob>();
    job->windowTitle = u"TARNIX - Quarrow";
    job->fileVersion = u"2.1";
    job->httpsAddress = httpsAddress;
    job->httpAddress = httpAddress;
    job->makerPage = u"https://maker.test/";
    job->openStore = [store = run.store] { return store; };
    job->state = run.state;
    job->exchange = std::make_unique<CurlExchange>(timeouts, job->state->cancel);
    job->dates = std::make_unique<FixedDate>();
    job->identity = std::make_unique<FixedIdentity>();
    job->notice = std::make_shared<NoNotice>();
    return job;
}

CheckRun check(const std::string& httpsAddress, const std::string& httpAddress, ExchangeTimeouts timeouts = {})
{
    CheckRun run;
    run.state = std::make_shared<CheckState>();
    runUpdateCheck(*checkJob(run, httpsAddress, httpAddress, timeouts));
    return run;
}

TEST(UpdateCheckOverTheNetwork, HttpsAnswersWithTheFormFields)
{
    LocalServer https(LocalServer::Scheme::Https);
    LocalServer http;
    ScopedCaBundle trust(https.certificate());
    https.setReply("/php/check2.php", {.body = kValidReply, .gzip = true});

    const CheckRun run = check(https.url("/php/check2.php"), http.url("/php/check2.php"));
    EXPECT_FALSE(run.state->failures.failed()) << toUtf8(run.state->failures.text());
    EXPECT_TRUE(run.state->updateAvailable);
    EXPECT_EQ(run.state->downloadAddress, u"https://127.0.0.1/get/quarrow 2.2.zip");
    EXPECT_TRUE(http.requests().empty()) << "an answered HTTPS attempt is not repeated";

    const auto requests = https.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body,
              "cmd=check&appname=TARNIX+-+Quarrow&version=2.1"
              "&os=Debian+GNU%2FLinux+12+%28bookworm%29+%28Version+6.1%2C+Build+0%2C+64-bit+Edition%29"
              "&local=de-DE&guid=0123456789abcdef0123456789abcdef&howmany=1");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
}

TEST(UpdateCheckOverTheNetwork, UntrustedHttpsFallsBackToPlainHttp)
{
    LocalServer https(LocalServer::Scheme::Https);
    LocalServer http;
    ScopedCaBundle trustNothing({});
    https.setReply("/php/check2.php", {.body = kValidReply});
    http.setReply("/php/check2.php", {.body = kValidReply});

    const CheckRun run = check(https.url("/php/check2.php"), http.url("/php/check2.php"));
    EXPECT_FALSE(run.state->failures.failed()) << toUtf8(run.state->failures.text());
    EXPECT_TRUE(run.state->updateAvailable);
    ASSERT_EQ(http.requests().size(), 1u);
    EXPECT_EQ(http.requests()[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(run.store->values[u"LastUpdateCheckCount"], u"1");
    EXPECT_EQ(run.state->downloadAddress, u"https://maker.test/");
    EXPECT_EQ(run.store->values.count(u"CurrentURL"), 0u) << "a plain-HTTP address is never kept";
}

TEST(UpdateCheckOverTheNetwork, ErrorPageOverHttpsIsAReplyNotAFailure)
{
    LocalServer https(LocalServer::Scheme::Https);
    LocalServer http;
    ScopedCaBundle trust(https.certificate());
    https.setReply("/php/check2.php", {.status = 500, .body = "ERROR: maintenance"});
    http.setReply("/php/check2.php", {.body = kValidReply});

    const CheckRun run = check(https.url("/php/check2.php"), http.url("/php/check2.php"));
    EXPECT_EQ(run.state->failures.text(), u"INVALIDSERVERRESPONSE");
    EXPECT_FALSE(run.state->updateAvailable);
    EXPECT_TRUE(http.requests().empty());
    EXPECT_EQ(run.store->values.count(u"LastUpdateCheck"), 0u);
}

TEST(UpdateCheckOverTheNetwork, BothAttemptsFailing)
{
    LocalServer http;
    http.setReply("/php/check2.php", {.status = 503, .body = kValidReply});
    const CheckRun run = check("https" + test::unusedAddress("/php/check2.php").substr(4), http.url("/php/check2.php"));
    const std::string failures = toUtf8(run.state->failures.text());
    EXPECT_TRUE(failures.starts_with("HTTPS Response:\r")) << failures;
    EXPECT_NE(failures.find("\r\rHTTP Response:\r"), std::string::npos) << failures;
    EXPECT_NE(failures.find("503"), std::string::npos) << failures;
    EXPECT_FALSE(run.state->updateAvailable);
    EXPECT_EQ(run.store->values[u"HowMany"], u"1");
    EXPECT_EQ(run.store->values.count(u"CurrentVersion"), 0u);
}

TEST(UpdateCheckOverTheNetwork, ServersThatNeverAnswerEndInTheTimeOuts)
{
    LocalServer https(LocalServer::Scheme::Https);
    LocalServer http;
    ScopedCaBundle trust(https.certificate());
    https.setReply("/php/check2.php", {.behaviour = ScriptedReply::Behaviour::NeverAnswer});
    http.setReply("/php/check2.php", {.behaviour = ScriptedReply::Behaviour::NeverAnswer});

    const CheckRun run = check(https.url("/php/check2.php"), http.url("/php/check2.php"), {300ms, 300ms});
    EXPECT_TRUE(run.state->isFinished());
    EXPECT_TRUE(run.state->failures.failed());
    EXPECT_EQ(https.requests().size(), 1u);
    EXPECT_EQ(http.requests().size(), 1u);
    EXPECT_FALSE(run.state->updateAvailable);
}

// The program leaving while the server holds the check: the thread's holder
// wakes the real exchange and joins the thread long before the 10-second
// time-outs (run under ThreadSanitizer too).
TEST(UpdateCheckOverTheNetwork, LeavingWhileTheServerHoldsTheCheck)
{
    LocalServer https(LocalServer::Scheme::Https);
    ScopedCaBundle trust(https.certificate());
    https.setReply("/php/check2.php", {.behaviour = ScriptedReply::Behaviour::NeverAnswer});
    CheckRun run;
    run.state = std::make_shared<CheckState>();
    {
        TChecker checker(checkJob(run, https.url("/php/check2.php"), test::unusedAddress("/php/check2.php"), {}));
        ASSERT_TRUE(https.waitForRequests(1));
    }
    EXPECT_TRUE(run.state->isFinished());
    EXPECT_FALSE(run.state->updateAvailable);
    EXPECT_EQ(run.store->values[u"HowMany"], u"1");
    EXPECT_EQ(toUtf8(run.state->failures.text()), "HTTPS Response:\rcancelled\r\rHTTP Response:\rcancelled");
}

} // namespace
} // namespace quarrow
