#include "update/core/ServerReply.h"

namespace quarrow {

std::vector<std::u16string> replyLines(std::u16string_view reply)
{
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        const char16_t c = reply[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.emplace_back(reply.substr(start, i - start));
        if (c == u'\r' && i + 1 < reply.size() && reply[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < reply.size())
        lines.emplace_back(reply.substr(start));
    return lines;
}

std::u16string tagValue(std::u16string_view line, std::u16string_view name)
{
    if (line.empty() || name.empty())
        return {};
    std::u16string lowered(name);
    for (char16_t& c : lowered) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    const std::u16string opening = u"<" + lowered + u">";
    const std::u16string closing = u"</" + lowered + u">";
    if (line.size() < opening.size() + closing.size() || !line.starts_with(opening) || !line.ends_with(closing))
        return {};
    return std::u16string(line.substr(opening.size(), line.size() - opening.size() - closing.size()));
}

bool isErrorReply(std::u16string_view reply) noexcept
{
    return reply.starts_with(u"ERROR");
}

std::u16string_view replyLine(const std::vector<std::u16string>& lines, std::size_t number) noexcept
{
    if (number == 0 || number > lines.size())
        return {};
    return lines[number - 1];
}

} // namespace quarrow
