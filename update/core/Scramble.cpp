#include "update/core/Scramble.h"

#include "engine/text/UnicodeText.h"

#include <cstdint>
#include <optional>

namespace quarrow {

namespace {

constexpr std::uint16_t kStartKey = 41023;
constexpr std::uint16_t kMultiplier = 33917;
constexpr std::uint16_t kAddend = 29841;

// The scrambled byte, not the plain one, feeds the key in both directions.
constexpr std::uint16_t nextKey(std::uint16_t key, std::uint8_t scrambled)
{
    return static_cast<std::uint16_t>((static_cast<std::uint32_t>(scrambled) + key) * kMultiplier + kAddend);
}

constexpr std::uint8_t keyByte(std::uint16_t key)
{
    return static_cast<std::uint8_t>(key >> 8);
}

std::optional<std::uint8_t> hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return static_cast<std::uint8_t>(c - u'0');
    if (c >= u'A' && c <= u'F')
        return static_cast<std::uint8_t>(c - u'A' + 10);
    if (c >= u'a' && c <= u'f')
        return static_cast<std::uint8_t>(c - u'a' + 10);
    return std::nullopt;
}

} // namespace

std::u16string scramble(std::u16string_view text)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    const std::string bytes = toUtf8(text);
    std::u16string out;
    out.reserve(bytes.size() * 2);
    std::uint16_t key = kStartKey;
    for (const char c : bytes) {
        const auto s = static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) ^ keyByte(key));
        out += kDigits[s >> 4];
        out += kDigits[s & 0x0F];
        key = nextKey(key, s);
    }
    return out;
}

std::u16string unscramble(std::u16string_view stored)
{
    std::string plain;
    plain.reserve(stored.size() / 2);
    std::uint16_t key = kStartKey;
    for (std::size_t i = 0; i + 1 < stored.size(); i += 2) {
        const auto high = hexDigit(stored[i]);
        const auto low = hexDigit(stored[i + 1]);
        if (!high || !low)
            return {};
        const auto s = static_cast<std::uint8_t>(*high << 4 | *low);
        plain += static_cast<char>(s ^ keyByte(key));
        key = nextKey(key, s);
    }
    return fromUtf8(plain);
}

} // namespace quarrow
