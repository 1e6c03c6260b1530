#include "net/ReplyDecoding.h"

#include "net/PostExchange.h"
#include "engine/text/UnicodeText.h"

#include <iconv.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace quarrow {

namespace {

constexpr std::string_view kSpaces = " \t";

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kSpaces);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kSpaces) - first + 1);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// A parameter value: a quoted string (backslash escapes the next character)
// or a token that runs to the next ";". `pos` is left after the value.
std::string parameterValue(std::string_view text, std::size_t& pos)
{
    std::string value;
    if (pos < text.size() && text[pos] == '"') {
        for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
            if (text[pos] == '\\' && pos + 1 < text.size())
                ++pos;
            value += text[pos];
        }
        const std::size_t end = text.find(';', pos);
        pos = end == std::string_view::npos ? text.size() : end;
        return value;
    }
    const std::size_t end = std::min(text.find(';', pos), text.size());
    value = trimmed(text.substr(pos, end - pos));
    pos = end;
    return value;
}

bool isUtf8(std::string_view charset)
{
    return charset.empty() || equalsIgnoringCase(charset, "utf-8") || equalsIgnoringCase(charset, "utf8");
}

// Only token characters reach iconv: glibc reads suffixes such as
// "//TRANSLIT" or "//IGNORE" out of the name, which a server must not choose.
bool isToken(std::string_view charset)
{
    return std::all_of(charset.begin(), charset.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
               || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
    });
}

class Converter {
public:
    explicit Converter(const std::string& charset)
        : m_handle(iconv_open(std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE", charset.c_str()))
    {
    }
    ~Converter()
    {
        if (valid())
            iconv_close(m_handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const noexcept { return m_handle != reinterpret_cast<iconv_t>(-1); }

    std::u16string convert(std::string_view body)
    {
        std::u16string out(body.size() + 16, u'\0');
        char* in = const_cast<char*>(body.data()); // iconv's signature; it only reads the input
        std::size_t inLeft = body.size();
        std::size_t written = 0;
        const auto room = [&] {
            if (written == out.size())
                out.resize(out.size() * 2);
        };
        while (inLeft > 0) {
            char* outPtr = reinterpret_cast<char*>(out.data() + written);
            std::size_t outLeft = (out.size() - written) * sizeof(char16_t);
            const std::size_t result = iconv(m_handle, &in, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            written = out.size() - outLeft / sizeof(char16_t);
            if (result != static_cast<std::size_t>(-1))
                continue;
            if (error == E2BIG) {
                out.resize(out.size() * 2);
            } else if (error == EILSEQ || error == EINVAL) {
                // A byte the charset does not define, or a sequence cut off at
                // the end: replaced, like invalid UTF-8, rather than refused.
                room();
                out[written++] = u'\uFFFD';
                const std::size_t skipped = error == EINVAL ? inLeft : 1;
                in += skipped;
                inLeft -= skipped;
            } else {
                throw ExchangeError(std::string("The reply could not be decoded: ") + std::strerror(error));
            }
        }
        out.resize(written);
        return out;
    }

private:
    iconv_t m_handle;
};

} // namespace

std::string charsetOf(std::string_view contentType)
{
    std::size_t pos = contentType.find(';');
    while (pos != std::string_view::npos && pos < contentType.size()) {
        ++pos; // past ";"
        const std::size_t equals = contentType.find_first_of("=;", pos);
        if (equals == std::string_view::npos)
            break;
        if (contentType[equals] == ';') {
            pos = equals;
            continue;
        }
        const std::string_view name = trimmed(contentType.substr(pos, equals - pos));
        pos = equals + 1;
        while (pos < contentType.size() && kSpaces.find(contentType[pos]) != std::string_view::npos)
            ++pos;
        std::string value = parameterValue(contentType, pos);
        if (equalsIgnoringCase(name, "charset"))
            return value;
    }
    return {};
}

std::u16string decodeReply(std::string_view body, std::string_view contentType)
{
    const std::string charset = charsetOf(contentType);
    if (isUtf8(charset))
        return fromUtf8(body);
    if (isToken(charset)) {
        Converter converter(charset);
        if (converter.valid())
            return converter.convert(body);
    }
    throw ExchangeError("The reply uses the charset \"" + charset + "\", which this system cannot decode.");
}

} // namespace quarrow
