// Fuzz target: whatever a server sends, decoding the reply, splitting it into
// lines, reading tags and unscrambling must neither crash nor disagree with
// their own rules. Input: the first byte picks the reply's Content-Type, the
// rest is the body.

#include "net/PostExchange.h"
#include "net/ReplyDecoding.h"
#include "update/core/Scramble.h"
#include "update/core/ServerReply.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool hasLoneSurrogate(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return true;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quarrow;
    if (size < 1)
        return 0;
    static constexpr const char* kContentTypes[] = {
        "",
        "text/plain",
        "text/plain; charset=utf-8",
        "text/html; charset=\"ISO-8859-1\"",
        "text/plain; charset=windows-1252",
        "text/plain; charset=UTF-16",
        "text/plain; charset=no-such-charset",
        "text/plain;charset=",
    };
    const char* contentType = kContentTypes[data[0] % std::size(kContentTypes)];
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);

    std::u16string text;
    try {
        text = decodeReply(body, contentType);
    } catch (const ExchangeError&) {
        return 0;
    }

    const auto lines = replyLines(text);
    std::size_t characters = 0;
    for (const auto& line : lines) {
        if (line.find_first_of(u"\r\n") != std::u16string::npos)
            std::abort();
        characters += line.size() + 1;
    }
    if (characters > text.size() + 1)
        std::abort();

    for (const std::u16string_view name : {u"version", u"url", u"result", u"important"}) {
        for (std::size_t number = 1; number <= 6; ++number) {
            const std::u16string_view line = replyLine(lines, number);
            const std::u16string value = tagValue(line, name);
            if (!value.empty()
                && line != u"<" + std::u16string(name) + u">" + value + u"</" + std::u16string(name) + u">")
                std::abort();
        }
    }
    (void)isErrorReply(text);
    (void)unscramble(text);
    if (!hasLoneSurrogate(text) && unscramble(scramble(text)) != text)
        std::abort();
    return 0;
}
