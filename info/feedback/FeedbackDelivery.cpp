#include "FeedbackDelivery.h"

#include "CurlExchange.h"
#include "MakerServer.h"

namespace quarrow {

FeedbackTarget FeedbackTarget::forThisMachine()
{
    FeedbackTarget target;
    target.httpsAddress = makerHttpsBase().toStdString() + std::string(kFeedbackPath);
    target.httpAddress = makerHttpBase().toStdString() + std::string(kFeedbackPath);
    target.makeExchange = [] { return std::make_unique<CurlExchange>(kFeedbackTimeouts); };
    return target;
}

std::u16string exchangeFeedback(PostExchange& exchange, const FeedbackTarget& target, const RequestFields& fields)
{
    try {
        return exchange.post(target.httpsAddress, fields);
    } catch (const ExchangeError&) {
    }
    // A completed HTTPS exchange has returned above, whatever its answer: a
    // refusal over HTTPS is never sent again in the clear.
    try {
        return exchange.post(target.httpAddress, fields);
    } catch (const ExchangeError&) {
        return {};
    }
}

bool deliverFeedback(const FeedbackTarget& target, const FeedbackSubmission& submission) noexcept
{
    try {
        const RequestFields fields = feedbackFields(submission);
        const std::unique_ptr<PostExchange> exchange = target.makeExchange();
        return isAcceptedAnswer(exchangeFeedback(*exchange, target, fields));
    } catch (...) {
        return false;
    }
}

} // namespace quarrow
