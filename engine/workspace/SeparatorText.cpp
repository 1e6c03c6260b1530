#include "engine/workspace/SeparatorText.h"

#include "engine/text/Utf8.h"

#include <cstdint>
#include <cstdio>

namespace quarrow {

namespace {

std::string codePointText(char32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

} // namespace

std::optional<std::string> separatorTextRefusal(std::u16string_view text)
{
    if (decodeSeparatorText(text))
        return std::nullopt;
    if (text.empty())
        return "the separator must not be empty";
    const char16_t first = text.front();
    if (first <= 0xDBFF && text.size() > 1 && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
        const char32_t c = 0x10000 + ((char32_t{first} - 0xD800) << 10) + (char32_t{text[1]} - 0xDC00);
        char bytes[6];
        std::uint64_t replaced = 0;
        const char* end = utf8::encode(text.data(), 2, bytes, replaced);
        return "the separator must be one character from U+0000 to U+FFFF (the Basic Multilingual Plane): "
               + std::string(static_cast<const char*>(bytes), end) + " (" + codePointText(c) + ") lies beyond it";
    }
    return "the separator must be a whole character: " + codePointText(first) + " is half of one (a lone surrogate)";
}

} // namespace quarrow
