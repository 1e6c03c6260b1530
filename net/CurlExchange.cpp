#include "net/CurlExchange.h"

#include "net/CancelSignal.h"
#include "net/FormEncoding.h"
#include "net/ReplyDecoding.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace quarrow {

namespace {

constexpr curl_off_t kMaxReplyBytes = 1024 * 1024;

const char* const kTooLarge = "The server's reply is larger than 1 MiB.";

void initialiseCurl()
{
    // Never cleaned up: curl_global_cleanup is not thread-safe, and another
    // exchange may still be running when any one of them ends.
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw ExchangeError("The network library could not be initialised.");
    });
}

// What the callbacks fill in while the transfer runs.
struct Transfer {
    std::string body;
    bool tooLarge = false;
};

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    // The bytes arrive here already inflated, piece by piece, so a small
    // compressed reply that inflates to a huge one stops at the limit.
    if (transfer.body.size() + bytes > static_cast<std::size_t>(kMaxReplyBytes)) {
        transfer.tooLarge = true;
        return 0;
    }
    transfer.body.append(data, bytes);
    return bytes;
}

// Catches a chunked reply whose raw size passes the limit: without a
// Content-Length, the maximum file size has nothing to compare with.
int watchRawSize(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t)
{
    auto& transfer = *static_cast<Transfer*>(user);
    if (downloaded > kMaxReplyBytes) {
        transfer.tooLarge = true;
        return 1;
    }
    return 0;
}

struct EasyHandle {
    CURL* handle = curl_easy_init();
    ~EasyHandle() { curl_easy_cleanup(handle); }
};

struct MultiHandle {
    CURLM* handle = curl_multi_init();
    ~MultiHandle() { curl_multi_cleanup(handle); }
};

// Detaches the easy handle before either handle is freed.
struct Attachment {
    CURLM* multi;
    CURL* easy;
    ~Attachment() { curl_multi_remove_handle(multi, easy); }
};

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void add(const char* line)
    {
        curl_slist* longer = curl_slist_append(list, line);
        if (!longer)
            throw std::bad_alloc();
        list = longer;
    }
};

// Registered while the multi handle exists; the destructor returns only once
// a waker running on the cancelling thread has finished.
class WakerRegistration {
public:
    WakerRegistration(CancelSignal* cancel, CURLM* multi) : m_cancel(cancel)
    {
        if (m_cancel)
            m_cancel->setWaker([multi] { curl_multi_wakeup(multi); });
    }
    ~WakerRegistration()
    {
        if (m_cancel)
            m_cancel->clearWaker();
    }
    WakerRegistration(const WakerRegistration&) = delete;
    WakerRegistration& operator=(const WakerRegistration&) = delete;

private:
    CancelSignal* m_cancel;
};

template <typename T>
void setOption(CURL* easy, CURLoption option, T value)
{
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK)
        throw ExchangeError(std::string("The request could not be prepared: ") + curl_easy_strerror(code));
}

std::string transportError(CURLcode code, const char* detail)
{
    std::string message = curl_easy_strerror(code);
    if (detail[0] != '\0') {
        message += ": ";
        message += detail;
    }
    return message;
}

bool isCertificateFailure(CURLcode code)
{
    return code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_ISSUER_ERROR
           || code == CURLE_SSL_PINNEDPUBKEYNOTMATCH || code == CURLE_SSL_INVALIDCERTSTATUS;
}

} // namespace

CurlExchange::CurlExchange(ExchangeTimeouts timeouts, std::shared_ptr<CancelSignal> cancel)
    : m_timeouts(timeouts), m_cancel(std::move(cancel))
{
}

std::u16string CurlExchange::post(const std::string& address, const RequestFields& fields)
{
    const auto isCancelled = [this] { return m_cancel && m_cancel->cancelled(); };
    if (isCancelled())
        throw ExchangeError("cancelled");
    initialiseCurl();

    const bool secure = address.starts_with("https://");
    const std::string body = formBody(fields);

    EasyHandle easy;
    MultiHandle multi;
    if (!easy.handle || !multi.handle)
        throw ExchangeError("The network library could not start a request.");

    char errorDetail[CURL_ERROR_SIZE] = {};
    Transfer transfer;
    HeaderList headers;
    if (secure) {
        headers.add("Content-Type: application/x-www-form-urlencoded; charset=utf-8");
        headers.add("Connection: close");
    } else {
        headers.add("Content-Type: application/x-www-form-urlencoded");
    }
    // No "Expect: 100-continue" pause before a larger body.
    headers.add("Expect:");

    CURL* request = easy.handle;
    setOption(request, CURLOPT_URL, address.c_str());
    setOption(request, CURLOPT_ERRORBUFFER, errorDetail);
    setOption(request, CURLOPT_NOSIGNAL, 1L);
    setOption(request, CURLOPT_PROTOCOLS_STR, "http,https");
    // HTTP/1.1 keeps "Connection: close" meaningful; HTTP/2 has no such header.
    setOption(request, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    setOption(request, CURLOPT_FOLLOWLOCATION, 0L);
    setOption(request, CURLOPT_POST, 1L);
    setOption(request, CURLOPT_POSTFIELDS, body.c_str());
    setOption(request, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    setOption(request, CURLOPT_HTTPHEADER, headers.list);
    setOption(request, CURLOPT_ACCEPT_ENCODING, "gzip");
    setOption(request, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timeouts.connect.count()));
    setOption(request, CURLOPT_TIMEOUT_MS, static_cast<long>((m_timeouts.connect + m_timeouts.response).count()));
    setOption(request, CURLOPT_MAXFILESIZE_LARGE, kMaxReplyBytes);
    setOption(request, CURLOPT_WRITEFUNCTION, &collectBody);
    setOption(request, CURLOPT_WRITEDATA, &transfer);
    setOption(request, CURLOPT_NOPROGRESS, 0L);
    setOption(request, CURLOPT_XFERINFOFUNCTION, &watchRawSize);
    setOption(request, CURLOPT_XFERINFODATA, &transfer);
    // Also on the plain route: curl still speaks TLS to an address such as
    // "HTTPS://...", and it must be checked there too.
    setOption(request, CURLOPT_SSL_VERIFYPEER, 1L);
    setOption(request, CURLOPT_SSL_VERIFYHOST, 2L);
    if (const char* bundle = std::getenv("QUARROW_CA_BUNDLE"); bundle && bundle[0] != '\0')
        setOption(request, CURLOPT_CAINFO, bundle);

    if (const CURLMcode added = curl_multi_add_handle(multi.handle, request); added != CURLM_OK)
        throw ExchangeError(std::string("The request could not be started: ") + curl_multi_strerror(added));
    const Attachment attachment{multi.handle, request};
    const WakerRegistration waker(m_cancel.get(), multi.handle);

    const auto budget = m_timeouts.connect + m_timeouts.response + std::chrono::seconds(1);
    const int pollLimit = static_cast<int>(std::min<std::chrono::milliseconds::rep>(budget.count(), INT_MAX));
    for (int running = 1;;) {
        CURLMcode code = curl_multi_perform(multi.handle, &running);
        if (isCancelled())
            throw ExchangeError("cancelled");
        if (code != CURLM_OK)
            throw ExchangeError(std::string("The request failed: ") + curl_multi_strerror(code));
        if (running == 0)
            break;
        // Ends at socket activity, at curl's own next deadline or at the
        // waker; no shorter tick of our own, so a cancel never depends on one.
        code = curl_multi_poll(multi.handle, nullptr, 0, pollLimit, nullptr);
        if (isCancelled())
            throw ExchangeError("cancelled");
        if (code != CURLM_OK)
            throw ExchangeError(std::string("The request failed: ") + curl_multi_strerror(code));
    }

    CURLcode result = CURLE_FAILED_INIT;
    int remaining = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi.handle, &remaining)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == request)
            result = message->data.result;
    }
    if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        throw ExchangeError(kTooLarge);
    if (isCertificateFailure(result))
        throw CertificateError(transportError(result, errorDetail));
    if (result != CURLE_OK)
        throw ExchangeError(transportError(result, errorDetail));

    long status = 0;
    curl_easy_getinfo(request, CURLINFO_RESPONSE_CODE, &status);
    // Over plain HTTP an error status is a failure; over HTTPS the server's
    // error page is the reply. Redirects are not followed on either route,
    // and their body is the reply.
    if (!secure && status >= 400)
        throw ExchangeError("The server answered with HTTP status " + std::to_string(status) + ".");

    const char* contentType = nullptr;
    curl_easy_getinfo(request, CURLINFO_CONTENT_TYPE, &contentType);
    return decodeReply(transfer.body, contentType ? contentType : "");
}

} // namespace quarrow
