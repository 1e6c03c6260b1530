#include "net/FormEncoding.h"

#include "engine/text/UnicodeText.h"

#include <string_view>

namespace quarrow {

namespace {

bool keptAsIs(unsigned char byte) noexcept
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || byte == '*'
           || byte == '-' || byte == '.' || byte == '_';
}

void appendEncoded(std::string& out, std::u16string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : toUtf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (keptAsIs(byte)) {
            out += c;
        } else if (byte == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
}

} // namespace

std::string formBody(const RequestFields& fields)
{
    std::string body;
    for (const std::u16string& field : fields) {
        if (!body.empty())
            body += '&';
        const std::u16string_view text = field;
        const std::size_t equals = text.find(u'=');
        appendEncoded(body, text.substr(0, equals));
        body += '=';
        if (equals != std::u16string_view::npos)
            appendEncoded(body, text.substr(equals + 1));
    }
    return body;
}

} // namespace quarrow
