#pragma once

#include "engine/text/TextEncoding.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quarrow {

// The text as the output encoding will hold it: in ANSI every character the
// code page lacks becomes its substitute (a base letter or '?'), in UTF-8 a
// lone surrogate becomes U+FFFD. Each replaced character is counted in
// `substituted`. Encoding the result is exact.
//
// A script's names and the user's own SQL texts are fitted first and quoted
// or checked afterwards, so that what decides the quoting is what the file
// will say.
std::u16string fitToEncoding(std::u16string_view text, TextEncoding encoding, std::uint64_t& substituted);

} // namespace quarrow
