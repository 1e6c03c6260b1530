#pragma once

#include "net/PostExchange.h"

#include <string>
#include <string_view>

namespace quarrow {

// The choice panels of the feedback window; at most one is selected.
enum class FeedbackChoice { None, Like, Dislike };

// What one press of Send hands to the maker's server, before it becomes
// request fields.
struct FeedbackSubmission {
    std::u16string appName; // the window title text
    std::u16string version; // the file version text
    std::u16string feedback;
    std::u16string email; // trimmed; empty when none was given
};

// The message box's text with every line break as the CR LF pair the server
// expects: the editor ends lines with a bare LF. Pairs already there stay.
std::u16string withCrLfLineBreaks(std::u16string_view text);

// The choice's label and one bare CR before the message, or the message
// alone when nothing was chosen. The message is taken as given (trimmed by
// the caller).
std::u16string feedbackValue(FeedbackChoice choice, std::u16string_view message);

// cmd, appname, version, feedback and, only for a given address, email.
RequestFields feedbackFields(const FeedbackSubmission& submission);

// The server took the feedback: its answer is "OK" with nothing around it
// but characters of code 32 or less.
bool isAcceptedAnswer(std::u16string_view answer) noexcept;

} // namespace quarrow
