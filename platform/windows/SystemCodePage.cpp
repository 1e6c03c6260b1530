#include "platform/windows/SystemCodePage.h"

#include <windows.h>

#include <cctype>
#include <string_view>

namespace quarrow::windows {

namespace {

bool isSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

} // namespace

SystemCodePage::SystemCodePage(unsigned codePage) : m_codePage(codePage)
{
    // https://learn.microsoft.com/windows/win32/api/winnls/nf-winnls-getcpinfo:
    // LeadByte holds up to five ranges of lead bytes, ended by a zero pair;
    // DefaultChar is what a character without a mapping becomes.
    CPINFO info{};
    if (::GetCPInfo(codePage, &info)) {
        for (int r = 0; r + 1 < MAX_LEADBYTES && info.LeadByte[r] != 0; r += 2) {
            for (unsigned b = info.LeadByte[r]; b <= info.LeadByte[r + 1]; ++b)
                m_leadByte[b] = true;
        }
        m_default = static_cast<char>(info.DefaultChar[0]);
    }
    m_bmp = std::make_unique<Encoded[]>(0x10000);
    for (unsigned c = 0x80; c < 0x10000; ++c) {
        if (!isSurrogate(c)) {
            const wchar_t unit = static_cast<wchar_t>(c);
            m_bmp[c] = convert(&unit, 1);
        }
    }
}

std::unique_ptr<SystemCodePage> SystemCodePage::forSystem()
{
    // https://learn.microsoft.com/windows/win32/api/winnls/nf-winnls-getacp
    const unsigned codePage = ::GetACP();
    CPINFO info{};
    if (!::GetCPInfo(codePage, &info) || info.MaxCharSize > 2)
        return nullptr;
    return std::make_unique<SystemCodePage>(codePage);
}

SystemCodePage::Encoded SystemCodePage::convert(const wchar_t* units, int count) const
{
    // https://learn.microsoft.com/windows/win32/api/stringapiset/nf-stringapiset-widechartomultibyte:
    // without WC_NO_BEST_FIT_CHARS a character the code page lacks may
    // become a look-alike, which does not set lpUsedDefaultChar; a round
    // trip through MultiByteToWideChar tells it from an exact mapping.
    Encoded encoded;
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(m_codePage, 0, units, count, bytes, sizeof bytes, nullptr, &usedDefault);
    // A surrogate pair the code page lacks is one character: one default.
    if (size < 1 || size > 2 || (usedDefault && count > 1)) {
        encoded.size = 1;
        encoded.bytes[0] = m_default;
        return encoded;
    }
    wchar_t back[4];
    const int backSize = ::MultiByteToWideChar(m_codePage, 0, bytes, size, back, 4);
    encoded.exact = !usedDefault && backSize == count
                    && std::wstring_view(back, static_cast<std::size_t>(backSize))
                           == std::wstring_view(units, static_cast<std::size_t>(count));
    // A look-alike of a quote, a backslash or a bracket would end a literal
    // or a quoted name early: a substitute is a letter, a digit or the
    // default character, as with the engine's own code page.
    if (!encoded.exact && size == 1 && static_cast<unsigned char>(bytes[0]) < 0x80
        && !std::isalnum(static_cast<unsigned char>(bytes[0]))) {
        bytes[0] = m_default;
    }
    encoded.size = static_cast<std::uint8_t>(size);
    encoded.bytes[0] = bytes[0];
    encoded.bytes[1] = size > 1 ? bytes[1] : '\0';
    return encoded;
}

AnsiCodePage::Decoded SystemCodePage::decode(const unsigned char* data, std::size_t size, bool atEnd,
                                             char16_t* out) const
{
    std::size_t whole = 0;
    while (whole < size) {
        const std::size_t step = m_leadByte[data[whole]] ? 2 : 1;
        if (whole + step > size) {
            if (!atEnd)
                break;
            ++whole; // a lead byte ending the file decodes alone
            break;
        }
        whole += step;
    }
    if (whole == 0)
        return {0, 0};
    // https://learn.microsoft.com/windows/win32/api/stringapiset/nf-stringapiset-multibytetowidechar:
    // without MB_ERR_INVALID_CHARS every byte sequence converts; one that
    // has no mapping becomes the code page's default Unicode character.
    const int written =
        ::MultiByteToWideChar(m_codePage, 0, reinterpret_cast<const char*>(data), static_cast<int>(whole),
                              reinterpret_cast<wchar_t*>(out), static_cast<int>(whole));
    return {whole, written > 0 ? static_cast<std::size_t>(written) : 0};
}

char* SystemCodePage::encode(char32_t codePoint, char* out, bool& exact) const
{
    Encoded encoded;
    if (codePoint < 0x10000 && !isSurrogate(codePoint)) {
        if (codePoint < 0x80) {
            exact = true;
            *out++ = static_cast<char>(codePoint);
            return out;
        }
        encoded = m_bmp[codePoint];
    } else if (codePoint >= 0x10000) {
        const char32_t v = codePoint - 0x10000;
        const wchar_t pair[2] = {static_cast<wchar_t>(0xD800 + (v >> 10)), static_cast<wchar_t>(0xDC00 + (v & 0x3FF))};
        encoded = convert(pair, 2);
    } else {
        encoded.size = 1;
        encoded.bytes[0] = m_default; // a lone surrogate
    }
    exact = encoded.exact;
    for (std::uint8_t i = 0; i < encoded.size; ++i)
        *out++ = encoded.bytes[i];
    return out;
}

} // namespace quarrow::windows
