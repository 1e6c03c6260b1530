// floor: the least work any CSV-to-SQL converter has to do with its input.
//
//   floor INPUT OUTPUT
//
// Reads INPUT in 64 KiB blocks, decodes UTF-8 to UTF-16 with full validation
// (no overlong forms, no surrogates, nothing above U+10FFFF, no truncated
// sequences), encodes the UTF-16 back to UTF-8 and writes it to OUTPUT. A valid
// input therefore comes out byte for byte unchanged. There is no CSV parsing
// and no SQL generation: the time this takes is a lower bound for a converter
// that works on UTF-16 text internally.
//
// Exit status: 0 on success, 1 on invalid UTF-8 or an I/O error, 2 on bad usage.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kBlockSize = std::size_t{64} * 1024;
// A block can end inside a multi-byte sequence; at most 3 bytes carry over.
constexpr std::size_t kMaxCarry = 3;

struct DecodeResult {
    std::size_t consumed; // input bytes turned into output
    std::size_t produced; // UTF-16 code units written
    bool invalid;         // stopped at an invalid sequence (at in + consumed)
};

// Decodes as much of in[0, size) as forms complete sequences. An incomplete
// sequence at the very end is left unconsumed for the caller to carry into
// the next block. out must have room for size code units.
DecodeResult decodeUtf8(const unsigned char* in, std::size_t size, char16_t* out)
{
    std::size_t i = 0;
    std::size_t o = 0;
    while (i < size) {
        // ASCII fast path: eight bytes at a time while none has the top bit set.
        while (i + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, in + i, sizeof word);
            if ((word & 0x8080808080808080ULL) != 0)
                break;
            for (std::size_t k = 0; k < 8; ++k)
                out[o + k] = static_cast<char16_t>(in[i + k]);
            i += 8;
            o += 8;
        }
        if (i >= size)
            break;

        const unsigned lead = in[i];
        if (lead < 0x80) {
            out[o++] = static_cast<char16_t>(lead);
            ++i;
            continue;
        }

        std::size_t length;
        std::uint32_t cp;
        unsigned low = 0x80; // allowed range of the second byte
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1FU;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0FU;
            if (lead == 0xE0)
                low = 0xA0; // overlong
            else if (lead == 0xED)
                high = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07U;
            if (lead == 0xF0)
                low = 0x90; // overlong
            else if (lead == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return {i, o, true}; // continuation byte, C0/C1 or F5..FF
        }

        // Validate whatever part of the sequence is present, so an error is
        // reported where it is rather than deferred to the next block.
        const std::size_t available = size - i < length ? size - i : length;
        if (available < 2)
            break; // only the lead byte so far: carry over
        if (in[i + 1] < low || in[i + 1] > high)
            return {i, o, true};
        cp = (cp << 6) | (in[i + 1] & 0x3FU);
        for (std::size_t k = 2; k < available; ++k) {
            if ((in[i + k] & 0xC0U) != 0x80U)
                return {i, o, true};
            cp = (cp << 6) | (in[i + k] & 0x3FU);
        }
        if (available < length)
            break; // incomplete: carry over
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out[o++] = static_cast<char16_t>(0xD800U + (cp >> 10));
            out[o++] = static_cast<char16_t>(0xDC00U + (cp & 0x3FFU));
        } else {
            out[o++] = static_cast<char16_t>(cp);
        }
        i += length;
    }
    return {i, o, false};
}

// Encodes UTF-16 to UTF-8. Returns the number of bytes written, or -1 on an
// unpaired surrogate. out must have room for 3 bytes per code unit.
long long encodeUtf8(const char16_t* in, std::size_t size, unsigned char* out)
{
    std::size_t o = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint32_t unit = in[i];
        if (unit < 0x80) {
            out[o++] = static_cast<unsigned char>(unit);
        } else if (unit < 0x800) {
            out[o++] = static_cast<unsigned char>(0xC0U | (unit >> 6));
            out[o++] = static_cast<unsigned char>(0x80U | (unit & 0x3FU));
        } else if (unit < 0xD800 || unit > 0xDFFF) {
            out[o++] = static_cast<unsigned char>(0xE0U | (unit >> 12));
            out[o++] = static_cast<unsigned char>(0x80U | ((unit >> 6) & 0x3FU));
            out[o++] = static_cast<unsigned char>(0x80U | (unit & 0x3FU));
        } else {
            if (unit > 0xDBFF || i + 1 >= size)
                return -1;
            const std::uint32_t trail = in[i + 1];
            if (trail < 0xDC00 || trail > 0xDFFF)
                return -1;
            ++i;
            const std::uint32_t cp = 0x10000U + ((unit - 0xD800U) << 10) + (trail - 0xDC00U);
            out[o++] = static_cast<unsigned char>(0xF0U | (cp >> 18));
            out[o++] = static_cast<unsigned char>(0x80U | ((cp >> 12) & 0x3FU));
            out[o++] = static_cast<unsigned char>(0x80U | ((cp >> 6) & 0x3FU));
            out[o++] = static_cast<unsigned char>(0x80U | (cp & 0x3FU));
        }
    }
    return static_cast<long long>(o);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: floor INPUT OUTPUT\n", stderr);
        return 2;
    }

    File input(std::fopen(argv[1], "rb"));
    if (!input) {
        std::fprintf(stderr, "floor: cannot open '%s': %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    File output(std::fopen(argv[2], "wb"));
    if (!output) {
        std::fprintf(stderr, "floor: cannot create '%s': %s\n", argv[2], std::strerror(errno));
        return 1;
    }

    const auto bytes = std::make_unique<unsigned char[]>(kMaxCarry + kBlockSize);
    const auto units = std::make_unique<char16_t[]>(kMaxCarry + kBlockSize);
    const auto encoded = std::make_unique<unsigned char[]>(3 * (kMaxCarry + kBlockSize));

    std::size_t carry = 0;
    unsigned long long offset = 0; // file offset of bytes[0]
    for (;;) {
        const std::size_t got = std::fread(bytes.get() + carry, 1, kBlockSize, input.get());
        if (got == 0) {
            if (std::ferror(input.get())) {
                std::fprintf(stderr, "floor: read error on '%s'\n", argv[1]);
                return 1;
            }
            break;
        }
        const std::size_t size = carry + got;
        const DecodeResult decoded = decodeUtf8(bytes.get(), size, units.get());
        if (decoded.invalid) {
            std::fprintf(stderr, "floor: invalid UTF-8 at byte offset %llu\n", offset + decoded.consumed);
            return 1;
        }
        const long long length = encodeUtf8(units.get(), decoded.produced, encoded.get());
        if (length < 0) {
            std::fputs("floor: internal error: unpaired surrogate\n", stderr);
            return 1;
        }
        const auto toWrite = static_cast<std::size_t>(length);
        if (std::fwrite(encoded.get(), 1, toWrite, output.get()) != toWrite) {
            std::fprintf(stderr, "floor: write error on '%s'\n", argv[2]);
            return 1;
        }
        carry = size - decoded.consumed;
        std::memmove(bytes.get(), bytes.get() + decoded.consumed, carry);
        offset += decoded.consumed;
    }

    if (carry != 0) {
        std::fprintf(stderr, "floor: truncated UTF-8 sequence at byte offset %llu\n", offset);
        return 1;
    }
    if (std::fclose(output.release()) != 0) {
        std::fprintf(stderr, "floor: write error on '%s'\n", argv[2]);
        return 1;
    }
    return 0;
}
