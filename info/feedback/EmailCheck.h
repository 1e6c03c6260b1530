#pragma once

#include <string_view>

namespace quarrow {

// Whether the whole text is an e-mail address of the plain form the maker's
// server accepts: ASCII letters, digits and "_.+-" before the "@", then a
// domain with at least one full stop that ends in a letter or digit. Any
// other character, a surrounding space included, makes it invalid; the
// caller trims first. Never throws.
bool isValidEmailAddress(std::u16string_view text) noexcept;

} // namespace quarrow
