#pragma once

#include <cstddef>
#include <cstdint>

namespace quarrow::utf8 {

struct DecodeResult {
    std::size_t consumed; // bytes decoded; an incomplete tail is left for the next call
    std::size_t written;  // UTF-16 code units written
    bool valid;           // false: an invalid sequence starts at byte offset `consumed`
};

// Strict UTF-8 to UTF-16: overlong forms, surrogates, code points above
// U+10FFFF and stray continuation bytes are invalid; nothing is replaced.
// `out` must have room for `size` code units. When `atEnd` is false, a valid
// but incomplete sequence at the end is left unconsumed.
DecodeResult decode(const unsigned char* in, std::size_t size, char16_t* out, bool atEnd);

// Judges like decode() and reports the same result, without writing the
// text: for readers that keep valid UTF-8 as it is.
DecodeResult validate(const unsigned char* in, std::size_t size, bool atEnd);

// UTF-16 to UTF-8. `out` must have room for 3 * size bytes. A lone surrogate
// cannot be written in UTF-8: it becomes U+FFFD and is counted in
// `replaced`. Returns the end of the written bytes.
char* encode(const char16_t* in, std::size_t size, char* out, std::uint64_t& replaced);

} // namespace quarrow::utf8
