#include "engine/text/UnicodeText.h"

#include "engine/text/Utf8.h"

#include <cstdint>

namespace quarrow {

std::string toUtf8(std::u16string_view text)
{
    std::string out(text.size() * 3, '\0');
    std::uint64_t replaced = 0;
    char* end = utf8::encode(text.data(), text.size(), out.data(), replaced);
    out.resize(static_cast<std::size_t>(end - out.data()));
    return out;
}

std::u16string fromUtf8(std::string_view bytes)
{
    std::u16string out(bytes.size(), u'\0');
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t read = 0;
    std::size_t written = 0;
    while (read < bytes.size()) {
        const utf8::DecodeResult r = utf8::decode(in + read, bytes.size() - read, out.data() + written, true);
        read += r.consumed;
        written += r.written;
        if (!r.valid) {
            out[written++] = u'\uFFFD';
            ++read;
        }
    }
    out.resize(written);
    return out;
}

std::u16string_view trimControls(std::u16string_view text) noexcept
{
    while (!text.empty() && text.front() <= u' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() <= u' ')
        text.remove_suffix(1);
    return text;
}

} // namespace quarrow
