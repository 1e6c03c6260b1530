#include "engine/types/TypeListFile.h"

#include "engine/files/FileOpen.h"
#include "engine/sql/ByteSink.h"
#include "engine/text/AnsiCodePage.h"
#include "engine/text/Utf8.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace quarrow {

namespace {

struct ReadBytes {
    std::string bytes;
    std::string error; // empty when the file was read
};

ReadBytes readWholeFile(const std::filesystem::path& path)
{
    ReadBytes result;
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = std::strerror(errno != 0 ? errno : EIO);
        return result;
    }
    result.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad())
        result.error = std::strerror(errno != 0 ? errno : EIO);
    return result;
}

const unsigned char* asBytes(const std::string& s)
{
    return reinterpret_cast<const unsigned char*>(s.data());
}

bool startsWith(const std::string& bytes, std::string_view mark)
{
    return bytes.compare(0, mark.size(), mark) == 0;
}

std::optional<std::u16string> decodeUtf8(const std::string& bytes, std::size_t skip)
{
    std::u16string text(bytes.size() - skip, u'\0');
    const auto r = utf8::decode(asBytes(bytes) + skip, bytes.size() - skip, text.data(), true);
    if (!r.valid)
        return std::nullopt;
    text.resize(r.written);
    return text;
}

std::u16string decodeUtf16(const std::string& bytes, bool little)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    const unsigned char* b = asBytes(bytes);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned lo = little ? b[i] : b[i + 1];
        const unsigned hi = little ? b[i + 1] : b[i];
        text.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return text;
}

TypeList splitLines(std::u16string_view text)
{
    TypeList lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

} // namespace

TypeList LoadTypeListFile(const std::filesystem::path& path)
{
    // First attempt: strict UTF-8.
    {
        const ReadBytes file = readWholeFile(path);
        if (file.error.empty()) {
            const std::size_t skip = startsWith(file.bytes, kUtf8Mark) ? kUtf8Mark.size() : 0;
            if (auto text = decodeUtf8(file.bytes, skip))
                return splitLines(*text);
        }
    }
    // Second attempt, from the start: a byte-order mark decides, else ANSI.
    const ReadBytes file = readWholeFile(path);
    if (!file.error.empty())
        throw TypeListError("Cannot read " + pathText(path) + ": " + file.error);
    if (startsWith(file.bytes, kUtf8Mark)) {
        auto text = decodeUtf8(file.bytes, kUtf8Mark.size());
        if (!text)
            throw TypeListError("Cannot read " + pathText(path) + ": the text is not valid UTF-8");
        return splitLines(*text);
    }
    const bool littleEndian = startsWith(file.bytes, "\xFF\xFE");
    if (littleEndian || startsWith(file.bytes, "\xFE\xFF")) {
        // A last byte without its pair is a cut file: its character would be lost.
        if (file.bytes.size() % 2 != 0)
            throw TypeListError("Cannot read " + pathText(path) + ": the UTF-16 text ends in half a character");
        return splitLines(decodeUtf16(file.bytes, littleEndian));
    }
    std::u16string text(file.bytes.size(), u'\0');
    const auto decoded = ansiCodePage().decode(asBytes(file.bytes), file.bytes.size(), true, text.data());
    text.resize(decoded.written);
    return splitLines(text);
}

void ApplyTypeList(const TypeList& source, TypeList& target)
{
    for (std::size_t i = 0; i < target.size() && i < source.size(); ++i)
        target[i] = source[i];
}

void SaveTypeListFile(const std::filesystem::path& path, const TypeList& types)
{
    std::string bytes(kUtf8Mark);
    std::uint64_t replaced = 0;
    for (const auto& type : types) {
        const std::size_t at = bytes.size();
        bytes.resize(at + type.size() * 3);
        char* end = utf8::encode(type.data(), type.size(), bytes.data() + at, replaced);
        bytes.resize(static_cast<std::size_t>(end - bytes.data()));
        bytes += "\r\n";
    }
    FileSink file(path);
    file.write(bytes.data(), bytes.size());
    file.close();
}

} // namespace quarrow
