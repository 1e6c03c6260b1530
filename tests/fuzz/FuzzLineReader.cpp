// Fuzz target: the line reader on any bytes, as UTF-8 and as ANSI. It must
// either deliver lines or fail with ReadError; no line holds a line break,
// and ANSI text never fails. Read exactly, the records that the reader
// hands on as UTF-8 or in parts are those it decodes whole, and reading
// fails the same way.

#include "engine/csv/LineReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class CheckingSink final : public quarrow::LineSink {
public:
    void line(std::u16string_view text) override
    {
        if (text.find_first_of(u"\r\n") != std::u16string_view::npos)
            std::abort();
        ++lines;
    }
    std::size_t lines = 0;
};

// One that takes parts joins the pieces of a record that runs across blocks.
class RecordSink final : public quarrow::LineSink {
public:
    explicit RecordSink(bool utf8, bool parts = false) : m_utf8(utf8), m_parts(parts) {}
    void line(std::u16string_view text) override
    {
        m_unfinished += text;
        records.push_back(std::move(m_unfinished));
        m_unfinished.clear();
    }
    bool takesUtf8() const override { return m_utf8; }
    bool takesParts() const override { return m_parts; }
    void linePart(std::u16string_view piece) override { m_unfinished += piece; }
    std::vector<std::u16string> records;

private:
    bool m_utf8;
    bool m_parts;
    std::u16string m_unfinished;
};

// Reads exactly; returns the line of the failure, or 0.
std::uint64_t readExactly(const std::filesystem::path& path, RecordSink& sink)
{
    try {
        quarrow::readLines(path, quarrow::TextEncoding::Utf8, sink, nullptr, {true, u','});
    } catch (const quarrow::ReadError& e) {
        return e.lineNumber();
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("quarrow-fuzz-" + std::to_string(getpid()) + ".csv");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (const auto encoding : {quarrow::TextEncoding::Utf8, quarrow::TextEncoding::Ansi}) {
        CheckingSink sink;
        try {
            quarrow::readLines(path, encoding, sink);
        } catch (const quarrow::ReadError&) {
            const bool marked = size >= 2
                                && ((data[0] == 0xEF && size >= 3 && data[1] == 0xBB && data[2] == 0xBF)
                                    || (data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
            if (encoding == quarrow::TextEncoding::Ansi && !marked)
                std::abort(); // ANSI accepts every byte
        }
        if (sink.lines > size + 1)
            std::abort();
    }
    RecordSink decoded(false);
    const std::uint64_t failedAt = readExactly(path, decoded);
    for (const bool utf8 : {false, true}) {
        for (const bool parts : {false, true}) {
            RecordSink other(utf8, parts);
            if (readExactly(path, other) != failedAt || other.records != decoded.records)
                std::abort();
        }
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return 0;
}
