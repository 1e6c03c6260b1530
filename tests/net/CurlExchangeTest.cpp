#include "net/CancelSignal.h"
#include "net/CurlExchange.h"
#include "tests/support/LocalServer.h"
#include "engine/text/UnicodeText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <thread>

namespace {

using quarrow::CancelSignal;
using quarrow::CertificateError;
using quarrow::CurlExchange;
using quarrow::ExchangeError;
using quarrow::ExchangeTimeouts;
using quarrow::RequestFields;
using quarrow::test::LocalServer;
using quarrow::test::RecordedRequest;
using quarrow::test::ScopedCaBundle;
using quarrow::test::ScriptedReply;
using testing::HasSubstr;
using Scheme = LocalServer::Scheme;
using namespace std::chrono_literals;

constexpr std::size_t kMiB = 1024 * 1024;

const RequestFields kFields = {u"a=1"};

// Table rows print as their name; some hold a megabyte of body.
template <typename Row>
concept NamedRow = requires(const Row& row)
{
    std::string_view(row.name);
};

template <NamedRow Row>
void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

// The message of the ExchangeError the call throws.
template <typename Call>
std::string failureOf(Call&& call)
{
    try {
        call();
    } catch (const ExchangeError& e) {
        return e.what();
    }
    return "(no error)";
}

std::string randomBytes(std::size_t size)
{
    std::mt19937 generator(20240601);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

// An HTTPS server and QUARROW_CA_BUNDLE pointing at its certificate.
struct TrustedHttps {
    LocalServer server{Scheme::Https};
    ScopedCaBundle trust{server.certificate()};
};

TEST(CurlExchangeHttps, PostsTheFormAndReturnsTheReply)
{
    TrustedHttps https;
    https.server.setReply("/check", {.body = "Gro\xC3\x9F \xF0\x9F\x98\x80"});

    const RequestFields fields = {u"name=Ada Lovelace", u"note=a&b=c+d", u"city=Zürich", u"flag"};
    EXPECT_EQ(CurlExchange().post(https.server.url("/check"), fields), u"Groß \U0001F600");

    const auto requests = https.server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest& request = requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/check");
    EXPECT_EQ(request.body, "name=Ada+Lovelace&note=a%26b%3Dc%2Bd&city=Z%C3%BCrich&flag=");
    using Fields = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(request.fields,
              (Fields{{"name", "Ada Lovelace"}, {"note", "a&b=c+d"}, {"city", "Z\xC3\xBCrich"}, {"flag", ""}}));
    EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(request.header("Connection"), "close");
    EXPECT_EQ(request.header("Content-Length"), std::to_string(request.body.size()));
    EXPECT_THAT(request.header("Accept-Encoding"), HasSubstr("gzip"));
    EXPECT_EQ(request.headers.count("Expect"), 0u);
}

TEST(CurlExchangeHttp, PostsTheFormWithTheBareContentType)
{
    LocalServer server;
    server.setReply("/check", {.body = "ok", .contentType = "text/plain"});

    EXPECT_EQ(CurlExchange().post(server.url("/check"), {u"v=2.1 beta"}), u"ok");

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "v=2.1+beta");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_NE(requests[0].header("Connection"), "close");
}

TEST(CurlExchangeHttps, UpperCaseSchemeTakesThePlainRoute)
{
    TrustedHttps https;
    https.server.setReply("/", {.body = "ok"});
    std::string address = https.server.url();
    address.replace(0, 5, "HTTPS");

    EXPECT_EQ(CurlExchange().post(address, kFields), u"ok");
    EXPECT_EQ(https.server.requests().at(0).header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(CurlExchangeReply, GzipIsInflatedOnBothRoutesAndTransferModes)
{
    TrustedHttps https;
    LocalServer http;
    const std::string text = "caf\xC3\xA9 " + std::string(5000, 'z');
    for (LocalServer* server : {&https.server, &http}) {
        server->setReply("/whole", {.body = text, .gzip = true});
        server->setReply("/chunked", {.body = text, .gzip = true, .chunked = true});
        for (const char* path : {"/whole", "/chunked"}) {
            SCOPED_TRACE(server->url(path));
            EXPECT_EQ(CurlExchange().post(server->url(path), kFields), u"café " + std::u16string(5000, u'z'));
        }
    }
}

struct CharsetCase {
    const char* name;
    const char* contentType;
    std::string body;
    std::u16string text;
};

class CurlExchangeCharset : public testing::TestWithParam<CharsetCase> {};

TEST_P(CurlExchangeCharset, DecodesByTheContentType)
{
    LocalServer server;
    server.setReply("/", {.body = GetParam().body, .contentType = GetParam().contentType});
    EXPECT_EQ(CurlExchange().post(server.url(), kFields), GetParam().text);
}

const CharsetCase kCharsetCases[] = {
    {"Latin1", "text/plain; charset=iso-8859-1", "fa\xE7on Espa\xF1ol", u"façon Español"},
    {"Windows1252", "text/plain; charset=windows-1252", "\x80 \x93hi\x94", u"€ “hi”"},
    {"Utf8", "text/plain; charset=utf-8", "\xE2\x82\xAC\xFF", u"€\uFFFD"},
    {"NoCharset", "text/plain", "\xC3\xA7", u"ç"},
    {"QuotedUpperCase", "text/html; CHARSET=\"ISO-8859-1\"", "\xE7", u"ç"},
};

INSTANTIATE_TEST_SUITE_P(Cases, CurlExchangeCharset, testing::ValuesIn(kCharsetCases),
                         [](const testing::TestParamInfo<CharsetCase>& row) { return std::string(row.param.name); });

TEST(CurlExchangeReply, UnknownCharsetIsAnErrorNamingIt)
{
    LocalServer server;
    server.setReply("/", {.body = "abc", .contentType = "text/plain; charset=x-martian"});
    EXPECT_THAT(failureOf([&] { CurlExchange().post(server.url(), kFields); }), HasSubstr("\"x-martian\""));
}

struct StatusCase {
    const char* name;
    Scheme scheme;
    int status;
    // Empty when the body is the result.
    const char* error;
};

class CurlExchangeStatus : public testing::TestWithParam<StatusCase> {};

TEST_P(CurlExchangeStatus, ErrorStatusFailsOnlyOverPlainHttpAndRedirectsAreNotFollowed)
{
    LocalServer server(GetParam().scheme);
    const ScopedCaBundle trust(server.certificate());
    server.setReply("/", {.status = GetParam().status,
                          .body = "page for " + std::to_string(GetParam().status),
                          .headers = {{"Location", server.url("/elsewhere")}}});
    server.setReply("/elsewhere", {.body = "redirected"});

    const std::string error = GetParam().error;
    if (error.empty()) {
        EXPECT_EQ(CurlExchange().post(server.url(), kFields),
                  u"page for " + quarrow::fromUtf8(std::to_string(GetParam().status)));
    } else {
        EXPECT_THAT(failureOf([&] { CurlExchange().post(server.url(), kFields); }), HasSubstr(error));
    }
    EXPECT_EQ(server.requests().size(), 1u);
}

const StatusCase kStatusCases[] = {
    {"Https500", Scheme::Https, 500, ""},
    {"Https404", Scheme::Https, 404, ""},
    {"Https302", Scheme::Https, 302, ""},
    {"Http500", Scheme::Http, 500, "HTTP status 500"},
    {"Http404", Scheme::Http, 404, "HTTP status 404"},
    {"Http302", Scheme::Http, 302, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, CurlExchangeStatus, testing::ValuesIn(kStatusCases),
                         [](const testing::TestParamInfo<StatusCase>& row) { return std::string(row.param.name); });

TEST(CurlExchangeHttps, UntrustedCertificateFailsBeforeSendingAnything)
{
    LocalServer server(Scheme::Https);
    LocalServer other(Scheme::Https);
    server.setReply("/", {.body = "ok"});
    for (const auto& bundle : {std::filesystem::path(), other.certificate()}) {
        SCOPED_TRACE(bundle.empty() ? "system store" : "another server's certificate");
        const ScopedCaBundle trust(bundle);
        EXPECT_THAT(failureOf([&] { CurlExchange().post(server.url(), kFields); }), HasSubstr("certificate"));
        // Callers tell a refused certificate from a server that is down.
        EXPECT_THROW(CurlExchange().post(server.url(), kFields), CertificateError);
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST(CurlExchangeTransport, RefusedConnectionGivesCurlsReasonAndDetail)
{
    const std::string address = quarrow::test::unusedAddress();
    const std::string port = address.substr(address.rfind(':') + 1, address.size() - address.rfind(':') - 2);
    const std::string message = failureOf([&] { CurlExchange().post(address, kFields); });
    EXPECT_THAT(message, HasSubstr("Couldn't connect to server"));
    EXPECT_THAT(message, HasSubstr("port " + port));
    try {
        CurlExchange().post("https" + address.substr(4), kFields);
        ADD_FAILURE() << "no error";
    } catch (const CertificateError&) {
        ADD_FAILURE() << "a refused connection is no certificate failure";
    } catch (const ExchangeError&) {
    }
}

TEST(CurlExchangeTransport, ConnectionClosedWithoutReplyFails)
{
    TrustedHttps https;
    LocalServer http;
    for (LocalServer* server : {&https.server, &http}) {
        SCOPED_TRACE(server->url());
        server->setReply("/", {.behaviour = ScriptedReply::Behaviour::CloseWithoutReply});
        EXPECT_THAT(failureOf([&] { CurlExchange().post(server->url(), kFields); }),
                    HasSubstr("Empty reply from server"));
        EXPECT_EQ(server->requests().size(), 1u);
    }
}

TEST(CurlExchangeTransport, ServerThatNeverAnswersTimesOut)
{
    LocalServer server;
    server.setReply("/", {.behaviour = ScriptedReply::Behaviour::NeverAnswer});
    CurlExchange exchange(ExchangeTimeouts{500ms, 500ms});
    EXPECT_THAT(failureOf([&] { exchange.post(server.url(), kFields); }), HasSubstr("Timeout was reached"));
}

TEST(CurlExchangeTransport, SlowReplyWithinTheTimeOutArrives)
{
    LocalServer server;
    server.setReply("/", {.body = "late", .delay = 300ms});
    EXPECT_EQ(CurlExchange(ExchangeTimeouts{5s, 5s}).post(server.url(), kFields), u"late");
}

struct SizeCase {
    const char* name;
    std::string body;
    bool gzip;
    bool chunked;
    bool fits;
};

class CurlExchangeSize : public testing::TestWithParam<SizeCase> {};

TEST_P(CurlExchangeSize, ReplyOverOneMiBBeforeOrAfterInflatingFails)
{
    LocalServer server;
    const SizeCase& row = GetParam();
    server.setReply(
        "/", {.body = row.body, .contentType = "application/octet-stream", .gzip = row.gzip, .chunked = row.chunked});
    if (row.fits) {
        EXPECT_EQ(CurlExchange().post(server.url(), kFields).size(), row.body.size());
    } else {
        EXPECT_THAT(failureOf([&] { CurlExchange().post(server.url(), kFields); }), HasSubstr("larger than 1 MiB"));
    }
}

// Random bytes do not compress: gzipped, 1 MiB of them is a little over 1 MiB
// on the wire, though it inflates to exactly the limit.
const SizeCase kSizeCases[] = {
    {"ExactlyOneMiB", std::string(kMiB, 'a'), false, false, true},
    {"OneByteOver", std::string(kMiB + 1, 'a'), false, false, false},
    {"ExactlyOneMiBChunked", std::string(kMiB, 'a'), false, true, true},
    {"OneByteOverChunked", std::string(kMiB + 1, 'a'), false, true, false},
    {"InflatesToExactlyOneMiB", std::string(kMiB, 'a'), true, false, true},
    {"InflatesToOneByteOver", std::string(kMiB + 1, 'a'), true, false, false},
    {"InflatesToOneByteOverChunked", std::string(kMiB + 1, 'a'), true, true, false},
    {"CompressedOverOneMiB", randomBytes(kMiB), true, false, false},
    {"CompressedOverOneMiBChunked", randomBytes(kMiB), true, true, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, CurlExchangeSize, testing::ValuesIn(kSizeCases),
                         [](const testing::TestParamInfo<SizeCase>& row) { return std::string(row.param.name); });

TEST(CurlExchangeSizeLimit, GzipBombStopsAtTheLimit)
{
    TrustedHttps https;
    https.server.setReply("/", {.body = std::string(64 * kMiB, '\0'), .gzip = true});
    EXPECT_THAT(failureOf([&] { CurlExchange().post(https.server.url(), kFields); }), HasSubstr("larger than 1 MiB"));
}

TEST(CurlExchangeCancel, CancelFromAnotherThreadEndsAWaitingExchange)
{
    TrustedHttps https;
    https.server.setReply("/", {.behaviour = ScriptedReply::Behaviour::NeverAnswer});
    const auto cancel = std::make_shared<CancelSignal>();
    CurlExchange exchange(ExchangeTimeouts{60s, 60s}, cancel);

    std::thread canceller([&] {
        // Cancels once the client has nothing left to do but wait, so that
        // only the waker can end its wait before curl's next deadline.
        if (https.server.waitForRequests(1, 20s)) {
            std::this_thread::sleep_for(300ms);
            cancel->cancel();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const std::string message = failureOf([&] { exchange.post(https.server.url(), kFields); });
    const auto waited = std::chrono::steady_clock::now() - start;
    canceller.join();
    EXPECT_EQ(message, "cancelled");
    // Only a generous bound: without the waker the loop would notice the
    // cancel at curl's first deadline, a time-out of a minute away.
    EXPECT_LT(waited, 30s);
}

TEST(CurlExchangeCancel, AlreadyCancelledSignalFailsWithoutConnecting)
{
    LocalServer server;
    server.setReply("/", {.body = "ok"});
    const auto cancel = std::make_shared<CancelSignal>();
    cancel->cancel();
    EXPECT_EQ(failureOf([&] { CurlExchange({}, cancel).post(server.url(), kFields); }), "cancelled");
    EXPECT_TRUE(server.requests().empty());
}

} // namespace
