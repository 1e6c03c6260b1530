#pragma once

#include <string>
#include <string_view>

namespace quarrow {

// The form in which the download address is kept in the settings: the UTF-8
// bytes, each mixed with a running 16-bit key, as upper-case hexadecimal
// digits, two per byte. It keeps the address from being read or edited
// casually; it is no protection.
std::u16string scramble(std::u16string_view text);

// The reverse. Digits of either case are read; a single digit left over at
// the end is ignored; a pair that is not hexadecimal makes the whole result
// empty.
std::u16string unscramble(std::u16string_view stored);

} // namespace quarrow
