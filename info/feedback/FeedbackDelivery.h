#pragma once

#include "net/CancelSignal.h"
#include "info/feedback/FeedbackRequest.h"
#include "net/PostExchange.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quarrow {

// Where feedback goes and how. The program takes this machine's
// (forThisMachine); tests swap in other addresses or a recording exchange.
struct FeedbackTarget {
    std::string httpsAddress;
    std::string httpAddress;
    // Called on the sending thread; `cancel` ends the exchange early.
    std::function<std::unique_ptr<PostExchange>(std::shared_ptr<CancelSignal> cancel)> makeExchange;

    // The maker's server (QUARROW_HTTPS_BASE / QUARROW_HTTP_BASE or the
    // public one) with kFeedbackPath, over libcurl with kFeedbackTimeouts.
    static FeedbackTarget forThisMachine();
};

inline constexpr std::string_view kFeedbackPath = "/php/feedback.php";

// The user waits on the window while feedback is sent, so every wait is far
// shorter than the update check's.
inline constexpr ExchangeTimeouts kFeedbackTimeouts{std::chrono::milliseconds(3000), std::chrono::milliseconds(3000)};

// The server's answer: the HTTPS attempt's whatever it says; plain HTTP only
// when HTTPS failed to complete for a reason other than a refused
// certificate; empty when both failed. Throws what the exchange throws
// besides ExchangeError.
// A cancelled HTTPS attempt ends there too.
std::u16string exchangeFeedback(PostExchange& exchange, const FeedbackTarget& target, const RequestFields& fields,
                                const CancelSignal* cancel = nullptr);

// Sends the submission and tells whether the server accepted it. Any error
// on the way counts as "not delivered": the window offers to try again, and
// there is nothing more useful to tell the user.
// Blocks the calling thread for the whole exchange; a cancel ends it at once
// as "not delivered".
bool deliverFeedback(const FeedbackTarget& target, const FeedbackSubmission& submission,
                     std::shared_ptr<CancelSignal> cancel) noexcept;

} // namespace quarrow
