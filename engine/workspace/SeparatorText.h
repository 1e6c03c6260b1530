#pragma once

#include <optional>
#include <string_view>

namespace quarrow {

// The separator is held as a short text: the two characters "\t" stand for
// Tab, any other text for its first character. An empty text has no
// separator.
constexpr std::optional<char16_t> decodeSeparatorText(std::u16string_view text)
{
    if (text == u"\\t")
        return u'\t';
    if (text.empty())
        return std::nullopt;
    return text.front();
}

} // namespace quarrow
