#pragma once

#include <cstddef>
#include <string>

namespace quarrow::cp1252 {

// Windows-1252, the ANSI code page of this tool. Every byte decodes: the five
// bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) become
// the C1 controls of the same value, as Windows does.
char16_t decodeByte(unsigned char byte);

// Appends the decoded text of [data, data + size) to out.
void decode(const unsigned char* data, std::size_t size, std::u16string& out);

struct EncodedChar {
    unsigned char byte;
    bool exact; // false when byte is a best-fit substitute or '?'
};

// Encodes one Unicode code point (a lone surrogate included). Characters of
// the code page (and the five unassigned bytes' controls) map exactly; others
// get a best-fit substitute where one is obvious (a Latin letter with a
// diacritic the code page lacks becomes its base letter, a fullwidth letter
// or digit its ASCII form), else '?'. A substitute is always a letter, a
// digit or '?': never a character that quoting or escaping gives a meaning.
EncodedChar encode(char32_t codePoint);

} // namespace quarrow::cp1252
