#pragma once

#include "net/PostExchange.h"

#include <memory>

namespace quarrow {

class CancelSignal;

// The POST exchange over libcurl. An "https://" address (case-sensitive test)
// is sent with certificate checks, "Connection: close" and the content type
// "application/x-www-form-urlencoded; charset=utf-8"; an HTTP error status
// there still gives its body as the reply. Any other address goes as plain
// HTTP with the bare form content type, and an HTTP error status there is a
// failure. Redirects are never followed: a 3xx reply's body is the reply on
// both routes. gzip replies are inflated; the reply is decoded by the charset
// its Content-Type names (UTF-8 when none). A reply over 1 MiB, before or
// after inflating, is a failure. The connection must be up within the
// connect time-out and the whole reply in within both time-outs together.
// QUARROW_CA_BUNDLE, when set, names the certificate bundle to trust instead
// of the system's. A cancel from another thread ends the exchange at once
// with the message "cancelled".
class CurlExchange final : public PostExchange {
public:
    explicit CurlExchange(ExchangeTimeouts timeouts = {}, std::shared_ptr<CancelSignal> cancel = nullptr);
    std::u16string post(const std::string& address, const RequestFields& fields) override;

private:
    ExchangeTimeouts m_timeouts;
    std::shared_ptr<CancelSignal> m_cancel;
};

} // namespace quarrow
