#include "engine/text/FitToEncoding.h"

#include "engine/text/AnsiCodePage.h"

namespace quarrow {

namespace {

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

std::u16string fitToEncoding(std::u16string_view text, TextEncoding encoding, std::uint64_t& substituted)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out.push_back(c);
            continue;
        }
        const bool pair = isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1]);
        if (encoding == TextEncoding::Utf8) {
            if (pair) {
                out.push_back(c);
                out.push_back(text[++i]);
            } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
                out.push_back(u'\uFFFD');
                ++substituted;
            } else {
                out.push_back(c);
            }
            continue;
        }
        char32_t codePoint = c;
        if (pair) {
            codePoint =
                0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        }
        const AnsiCodePage& ansi = ansiCodePage();
        char bytes[AnsiCodePage::kMaxCharBytes];
        bool exact = true;
        const char* end = ansi.encode(codePoint, bytes, exact);
        char16_t units[AnsiCodePage::kMaxCharBytes];
        const auto decoded = ansi.decode(reinterpret_cast<const unsigned char*>(bytes),
                                         static_cast<std::size_t>(end - bytes), true, units);
        out.append(units, decoded.written);
        if (!exact)
            ++substituted;
    }
    return out;
}

} // namespace quarrow
