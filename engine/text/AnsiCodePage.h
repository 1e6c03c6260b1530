#pragma once

#include <cstddef>

namespace quarrow {

// The legacy code page that "ANSI" stands for. The engine's own is
// Windows-1252 (text/Cp1252.h); on a system that has an ANSI code page of
// its own (Windows) the program installs that one at start.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;

    // The most bytes one character (a surrogate pair included) encodes to.
    static constexpr std::size_t kMaxCharBytes = 4;

    struct Decoded {
        std::size_t consumed; // bytes
        std::size_t written;  // UTF-16 units, never more than `consumed`
    };
    // Decodes [data, data + size) into `out`. Every byte decodes to
    // something; a double-byte code page leaves a lead byte at the very end
    // for the next block unless `atEnd`.
    virtual Decoded decode(const unsigned char* data, std::size_t size, bool atEnd, char16_t* out) const = 0;

    // Writes the bytes of one code point (a lone surrogate included) and
    // returns the end. `exact` is false when they are a substitute: a
    // best-fit character or the code page's default. A substitute is never
    // a character that quoting or escaping gives a meaning.
    virtual char* encode(char32_t codePoint, char* out, bool& exact) const = 0;

    // How many bytes the character whose first byte is `lead` takes.
    virtual std::size_t characterBytes(unsigned char lead) const = 0;
};

// The code page in use; Windows-1252 unless another was installed.
const AnsiCodePage& ansiCodePage() noexcept;

// Installs the code page ANSI means, once at start before any thread
// converts text; nullptr goes back to Windows-1252. The object must outlive
// its use.
void setAnsiCodePage(const AnsiCodePage* codePage) noexcept;

} // namespace quarrow
