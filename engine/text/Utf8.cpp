#include "engine/text/Utf8.h"

#include <cstring>

namespace quarrow::utf8 {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool isContinuation(unsigned char b)
{
    return (b & 0xC0U) == 0x80U;
}

// Valid range of the second byte after a lead byte; the third and fourth are
// always 80..BF. Returns the sequence length, 0 for a byte that cannot lead.
int sequenceLength(unsigned char lead, unsigned char& lo, unsigned char& hi)
{
    lo = 0x80;
    hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (lead == 0xE0)
            lo = 0xA0;
        else if (lead == 0xED)
            hi = 0x9F; // surrogates
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (lead == 0xF0)
            lo = 0x90;
        else if (lead == 0xF4)
            hi = 0x8F; // above U+10FFFF
        return 4;
    }
    return 0;
}

// Decoding and validation share one walk, so that both judge every byte
// alike; with `Write` false nothing is written, only counted.
template <bool Write>
DecodeResult walk(const unsigned char* in, std::size_t size, char16_t* out, bool atEnd)
{
    std::size_t i = 0;
    std::size_t n = 0; // units written, or that would be
    while (i < size) {
        // Runs of ASCII go thirty-two bytes at a time, then eight.
        if constexpr (!Write) {
            while (i + 32 <= size) {
                std::uint64_t words[4];
                std::memcpy(words, in + i, sizeof words);
                if (((words[0] | words[1] | words[2] | words[3]) & kHighBits) != 0)
                    break;
                n += 32;
                i += 32;
            }
        }
        while (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, in + i, 8);
            if (word & kHighBits)
                break;
            if constexpr (Write) {
                for (int k = 0; k < 8; ++k)
                    out[n + static_cast<std::size_t>(k)] = in[i + static_cast<std::size_t>(k)];
            }
            n += 8;
            i += 8;
        }
        if (i >= size)
            break;
        const unsigned char lead = in[i];
        if (lead < 0x80) {
            if constexpr (Write)
                out[n] = lead;
            ++n;
            ++i;
            continue;
        }
        unsigned char lo = 0;
        unsigned char hi = 0;
        const int length = sequenceLength(lead, lo, hi);
        if (length == 0)
            return {i, n, false};
        const std::size_t available = size - i;
        const std::size_t have =
            available < static_cast<std::size_t>(length) ? available : static_cast<std::size_t>(length);
        // Check what is there, so an invalid sequence is reported even when cut short.
        if (have >= 2 && (in[i + 1] < lo || in[i + 1] > hi))
            return {i, n, false};
        for (std::size_t k = 2; k < have; ++k) {
            if (!isContinuation(in[i + k]))
                return {i, n, false};
        }
        if (have < static_cast<std::size_t>(length)) {
            if (atEnd)
                return {i, n, false};
            break;
        }
        if constexpr (Write) {
            char32_t cp = 0;
            if (length == 2) {
                cp = ((lead & 0x1FU) << 6) | (in[i + 1] & 0x3FU);
            } else if (length == 3) {
                cp = ((lead & 0x0FU) << 12) | ((in[i + 1] & 0x3FU) << 6) | (in[i + 2] & 0x3FU);
            } else {
                cp = ((lead & 0x07U) << 18) | ((in[i + 1] & 0x3FU) << 12) | ((in[i + 2] & 0x3FU) << 6)
                     | (in[i + 3] & 0x3FU);
            }
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out[n] = static_cast<char16_t>(0xD800 + (cp >> 10));
                out[n + 1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                out[n] = static_cast<char16_t>(cp);
            }
        }
        // Only the four-byte forms lie above U+FFFF and take a surrogate pair.
        n += length == 4 ? 2 : 1;
        i += static_cast<std::size_t>(length);
    }
    return {i, n, true};
}

} // namespace

DecodeResult decode(const unsigned char* in, std::size_t size, char16_t* out, bool atEnd)
{
    return walk<true>(in, size, out, atEnd);
}

DecodeResult validate(const unsigned char* in, std::size_t size, bool atEnd)
{
    return walk<false>(in, size, nullptr, atEnd);
}

char* encode(const char16_t* in, std::size_t size, char* out, std::uint64_t& replaced)
{
    std::size_t i = 0;
    while (i < size) {
        const char16_t c = in[i];
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
            ++i;
            continue;
        }
        char32_t cp = c;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < size && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(in[i + 1]) - 0xDC00);
            i += 2;
        } else {
            if (c >= 0xD800 && c <= 0xDFFF) {
                cp = 0xFFFD;
                ++replaced;
            }
            ++i;
        }
        if (cp < 0x800) {
            *out++ = static_cast<char>(0xC0 | (cp >> 6));
            *out++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *out++ = static_cast<char>(0xE0 | (cp >> 12));
            *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *out++ = static_cast<char>(0xF0 | (cp >> 18));
            *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace quarrow::utf8
