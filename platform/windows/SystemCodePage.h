#pragma once

#include "engine/text/AnsiCodePage.h"

#include <array>
#include <cstdint>
#include <memory>

namespace quarrow::windows {

// The system's ANSI code page (GetACP) as the engine's ANSI, converted with
// MultiByteToWideChar and WideCharToMultiByte as the system converts it:
// best-fit characters where the code page has them, else its default
// character; each such substitute is counted as one. Single-byte and
// double-byte code pages are supported.
class SystemCodePage final : public AnsiCodePage {
public:
    explicit SystemCodePage(unsigned codePage);

    // The code page to install: the system's, or nullptr when it is one this
    // class does not take (a UTF-8 or other multi-byte system code page);
    // Windows-1252 then stands for ANSI.
    static std::unique_ptr<SystemCodePage> forSystem();

    unsigned codePage() const noexcept { return m_codePage; }

    Decoded decode(const unsigned char* data, std::size_t size, bool atEnd, char16_t* out) const override;
    char* encode(char32_t codePoint, char* out, bool& exact) const override;
    std::size_t characterBytes(unsigned char lead) const override { return m_leadByte[lead] ? 2 : 1; }

private:
    struct Encoded {
        std::uint8_t size = 0; // 0: not yet converted
        bool exact = false;
        char bytes[2]{};
    };
    Encoded convert(const wchar_t* units, int count) const;

    unsigned m_codePage;
    std::array<bool, 256> m_leadByte{};
    char m_default = '?';
    // Every BMP character's bytes, converted once: a call into the system per
    // character would dominate writing a script.
    std::unique_ptr<Encoded[]> m_bmp;
};

} // namespace quarrow::windows
