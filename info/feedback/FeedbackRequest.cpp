#include "info/feedback/FeedbackRequest.h"

#include "engine/text/UnicodeText.h"

namespace quarrow {

std::u16string withCrLfLineBreaks(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            out += u'\r';
        out += text[i];
    }
    return out;
}

std::u16string feedbackValue(FeedbackChoice choice, std::u16string_view message)
{
    std::u16string value;
    switch (choice) {
    case FeedbackChoice::Like: value = u"I like it!\r"; break;
    case FeedbackChoice::Dislike: value = u"I dislike it!\r"; break;
    case FeedbackChoice::None: break;
    }
    value += message;
    return value;
}

RequestFields feedbackFields(const FeedbackSubmission& submission)
{
    RequestFields fields = {u"cmd=feedback", u"appname=" + submission.appName, u"version=" + submission.version,
                            u"feedback=" + submission.feedback};
    if (!submission.email.empty())
        fields.push_back(u"email=" + submission.email);
    return fields;
}

bool isAcceptedAnswer(std::u16string_view answer) noexcept
{
    return trimControls(answer) == u"OK";
}

} // namespace quarrow
