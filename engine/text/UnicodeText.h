#pragma once

#include <string>
#include <string_view>

namespace quarrow {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);
// UTF-8 to UTF-16; every byte that does not start a valid sequence becomes
// U+FFFD, so text from outside is never refused.
std::u16string fromUtf8(std::string_view bytes);

// Removes leading and trailing characters of code 32 or less.
std::u16string_view trimControls(std::u16string_view text) noexcept;

} // namespace quarrow
