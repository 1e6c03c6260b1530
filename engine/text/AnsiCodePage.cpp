#include "engine/text/AnsiCodePage.h"

#include "engine/text/Cp1252.h"

#include <atomic>

namespace quarrow {

namespace {

class Windows1252 final : public AnsiCodePage {
public:
    Decoded decode(const unsigned char* data, std::size_t size, bool, char16_t* out) const override
    {
        for (std::size_t i = 0; i < size; ++i)
            out[i] = cp1252::decodeByte(data[i]);
        return {size, size};
    }

    char* encode(char32_t codePoint, char* out, bool& exact) const override
    {
        const auto encoded = cp1252::encode(codePoint);
        exact = encoded.exact;
        *out++ = static_cast<char>(encoded.byte);
        return out;
    }

    std::size_t characterBytes(unsigned char) const override { return 1; }
};

const Windows1252 kWindows1252;
std::atomic<const AnsiCodePage*> g_codePage{&kWindows1252};

} // namespace

const AnsiCodePage& ansiCodePage() noexcept
{
    return *g_codePage.load(std::memory_order_acquire);
}

void setAnsiCodePage(const AnsiCodePage* codePage) noexcept
{
    g_codePage.store(codePage != nullptr ? codePage : &kWindows1252, std::memory_order_release);
}

} // namespace quarrow
