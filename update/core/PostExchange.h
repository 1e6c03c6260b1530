#pragma once

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarrow {

// A request: fields of the form "name=value", in the order they are sent.
// Values are kept as they are; the exchange encodes them.
using RequestFields = std::vector<std::u16string>;

// How long an exchange waits for the connection and then for the reply.
struct ExchangeTimeouts {
    std::chrono::milliseconds connect{10000};
    std::chrono::milliseconds response{10000};
};

// An exchange that did not complete: the message says why (the transport's
// own reason, a time-out, an HTTP status on a plain-HTTP address, a reply too
// large...).
class ExchangeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The HTTPS server's certificate was refused: whoever answered may be posing
// as the server, so a caller must not retry the same fields in the clear.
class CertificateError final : public ExchangeError {
public:
    using ExchangeError::ExchangeError;
};

// Sends the fields as an HTML form with POST and gives back the reply text.
// Blocks the calling thread until the reply is in, the time-outs run out or
// the exchange is cancelled; never retries by itself.
class PostExchange {
public:
    virtual ~PostExchange() = default;
    // Throws ExchangeError (CertificateError for a refused certificate).
    virtual std::u16string post(const std::string& address, const RequestFields& fields) = 0;
};

} // namespace quarrow
