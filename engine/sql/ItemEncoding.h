#pragma once

#include "engine/sql/ScriptFormatter.h"
#include "engine/text/AnsiCodePage.h"
#include "engine/text/Utf8.h"

#include <cstdint>
#include <cstring>
#include <string_view>

// How the bytes of a value item are put down: characters in the script's
// encoding, text as it is, the empty value. The row loop
// (ScriptFormatter.cpp), exact values (ExactItems.cpp) and long literals
// (LiteralPieces.cpp) all write through these.
namespace quarrow::items {

inline bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Encodes one non-ASCII character starting at s[i]; advances i past it.
inline char* encodeNonAscii(const char16_t* s, std::size_t n, std::size_t& i, char* o, TextEncoding encoding,
                            std::uint64_t& substituted)
{
    const char16_t c = s[i];
    const bool pair = isHighSurrogate(c) && i + 1 < n && isLowSurrogate(s[i + 1]);
    const std::size_t units = pair ? 2 : 1;
    if (encoding == TextEncoding::Utf8) {
        o = utf8::encode(s + i, units, o, substituted);
    } else {
        char32_t cp = c;
        if (pair)
            cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(s[i + 1]) - 0xDC00);
        bool exact = true;
        o = ansiCodePage().encode(cp, o, exact);
        if (!exact)
            ++substituted;
    }
    i += units;
    return o;
}

inline char* encodeText(std::u16string_view text, char* o, TextEncoding encoding, std::uint64_t& substituted)
{
    const char16_t* s = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80)
            *o++ = static_cast<char>(s[i++]);
        else
            o = encodeNonAscii(s, n, i, o, encoding, substituted);
    }
    return o;
}

inline char* put(char* o, std::string_view text)
{
    std::memcpy(o, text.data(), text.size());
    return o + text.size();
}

inline char* writeEmptyValue(char* o, const ScriptOptions& options)
{
    return options.nullEmpty ? put(o, "NULL") : put(o, "''");
}

} // namespace quarrow::items
