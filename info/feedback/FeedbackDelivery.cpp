#include "info/feedback/FeedbackDelivery.h"

#include "net/CurlExchange.h"
#include "kit/MakerServer.h"

#include <utility>

namespace quarrow {

FeedbackTarget FeedbackTarget::forThisMachine()
{
    FeedbackTarget target;
    target.httpsAddress = makerHttpsBase().toStdString() + std::string(kFeedbackPath);
    target.httpAddress = makerHttpBase().toStdString() + std::string(kFeedbackPath);
    target.makeExchange = [](std::shared_ptr<CancelSignal> cancel) {
        return std::make_unique<CurlExchange>(kFeedbackTimeouts, std::move(cancel));
    };
    return target;
}

std::u16string exchangeFeedback(PostExchange& exchange, const FeedbackTarget& target, const RequestFields& fields,
                                const CancelSignal* cancel)
{
    try {
        return exchange.post(target.httpsAddress, fields);
    } catch (const CertificateError&) {
        // Someone on the way answered in the server's name: the same
        // feedback in the clear would go straight to them.
        return {};
    } catch (const ExchangeError&) {
        if (cancel != nullptr && cancel->cancelled())
            return {};
    }
    // A completed HTTPS exchange has returned above, whatever its answer: a
    // refusal over HTTPS is never sent again in the clear.
    try {
        return exchange.post(target.httpAddress, fields);
    } catch (const ExchangeError&) {
        return {};
    }
}

bool deliverFeedback(const FeedbackTarget& target, const FeedbackSubmission& submission,
                     std::shared_ptr<CancelSignal> cancel) noexcept
{
    try {
        const RequestFields fields = feedbackFields(submission);
        const std::unique_ptr<PostExchange> exchange = target.makeExchange(cancel);
        return isAcceptedAnswer(exchangeFeedback(*exchange, target, fields, cancel.get()));
    } catch (...) {
        return false;
    }
}

} // namespace quarrow
