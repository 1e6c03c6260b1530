#pragma once

#include <string>
#include <string_view>

namespace quarrow {

// The charset parameter of a Content-Type header value, unquoted and as
// written; empty when there is none. The parameter name is matched without
// regard to case.
std::string charsetOf(std::string_view contentType);

// The reply body as text, decoded by the charset its Content-Type names.
// Without one, or for UTF-8, bytes that are not valid become U+FFFD; other
// charsets go through iconv, with the same replacement for bytes they do not
// define. Throws ExchangeError when the charset is not one iconv knows.
std::u16string decodeReply(std::string_view body, std::string_view contentType);

} // namespace quarrow
