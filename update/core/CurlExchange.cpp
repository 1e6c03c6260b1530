#include "CurlExchange.h"

#include "CancelSignal.h"

namespace quarrow {

CurlExchange::CurlExchange(ExchangeTimeouts timeouts, std::shared_ptr<CancelSignal> cancel)
    : m_timeouts(timeouts), m_cancel(std::move(cancel))
{
}

std::u16string CurlExchange::post(const std::string&, const RequestFields&)
{
    throw ExchangeError("not built yet");
}

} // namespace quarrow
