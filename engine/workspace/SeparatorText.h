#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// The separator is held as a short text: the two characters "\t" stand for
// Tab, any other text for its first character. The separator is a single
// UTF-16 unit, the one the splitter compares every unit of a line with, so
// a text that starts with a character beyond U+FFFF (two units) or with
// half of one (a lone surrogate) has no separator: splitting at a half
// would cut characters in two. Nor has an empty text.
constexpr std::optional<char16_t> decodeSeparatorText(std::u16string_view text)
{
    if (text == u"\\t")
        return u'\t';
    if (text.empty() || (text.front() >= 0xD800 && text.front() <= 0xDFFF))
        return std::nullopt;
    return text.front();
}

// Why decodeSeparatorText() finds no separator in the text, in words a user
// can act on (naming the character), or nothing when it finds one.
std::optional<std::string> separatorTextRefusal(std::u16string_view text);

} // namespace quarrow
