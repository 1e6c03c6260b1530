#include "engine/csv/LineReader.h"

#include "engine/csv/ExactQuoting.h"
#include "engine/files/FileOpen.h"
#include "engine/text/AnsiCodePage.h"
#include "engine/text/LineBreaks.h"
#include "engine/text/Scan.h"
#include "engine/text/Utf8.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

namespace quarrow {

namespace {

enum class Decoding { Utf8, Ansi, Utf16Le, Utf16Be };

std::string systemReason(int error)
{
    return std::strerror(error);
}

std::string describe(const std::filesystem::path& path, std::uint64_t lineNumber, const std::string& reason)
{
    return pathText(path) + ": line " + std::to_string(lineNumber) + ": " + reason;
}

// Cuts text into lines: decoded UTF-16, or UTF-8 bytes as they are (a line
// break is the same single unit in both). A line wholly inside one block is
// handed on as a view; one that runs across blocks goes to the sink in
// pieces when it takes them, else it is collected in `m_pending`.
template <typename Unit>
class LineCutter {
public:
    // An exact record goes in pieces too: whether a quote at a block's
    // start opens a field is told by the unit before it, kept on its own.
    LineCutter(LineSink& sink, RecordCutting cutting, LineDropping dropping)
        : m_sink(sink), m_parts(sink.takesParts()), m_exact(cutting.exactQuoting),
          m_separator(static_cast<Unit>(cutting.separator)), m_dropAny(dropping.any()), m_skipLeft(dropping.skipLines),
          m_comment(static_cast<Unit>(dropping.comment))
    {
    }

    void feed(const Unit* text, std::size_t size)
    {
        if (m_exact) {
            feedRecords(text, size);
            return;
        }
        std::size_t start = 0;
        std::size_t i = 0;
        if (m_skipLineFeed && size > 0) {
            m_skipLineFeed = false;
            if (text[0] == '\n')
                start = i = 1;
        }
        for (;; ++i) {
            i = static_cast<std::size_t>(scan::findAny<Unit>(text + i, text + size, '\n', '\r', '\r') - text);
            if (i == size)
                break;
            const Unit c = text[i];
            if (m_dropAny && !m_hasPending)
                m_dropping = dropsLine(text + start, i - start);
            emit(text + start, i - start);
            if (c == '\r') {
                if (i + 1 < size) {
                    if (text[i + 1] == '\n')
                        ++i;
                } else {
                    m_skipLineFeed = true; // the LF may open the next block
                }
            }
            start = i + 1;
        }
        if (start < size) {
            if (m_dropAny && !m_hasPending)
                m_dropping = dropsLine(text + start, size - start);
            if (!m_dropping && m_parts)
                deliverPart(std::basic_string_view<Unit>(text + start, size - start));
            else if (!m_dropping)
                m_pending.append(text + start, size - start);
            m_hasPending = true;
        }
    }

    void finish()
    {
        if (m_hasPending)
            emit(nullptr, 0);
        tellDropped();
    }

    // A quoted field of the last record is still open: nothing of that
    // record has been delivered.
    bool quoteOpen() const noexcept { return m_state == State::Quoted; }

    // The physical line where the line or record not yet delivered begins.
    std::uint64_t nextLineNumber() const noexcept { return m_recordStart; }

    // The physical line that a fault right after `size` more units would be
    // on, the units not fed: a block is checked whole before any of its
    // lines is cut, so its lines before the fault are counted here.
    std::uint64_t lineAfter(const Unit* text, std::size_t size) const noexcept
    {
        bool afterCr = m_skipLineFeed;
        return m_lines + 1 + countLineBreaks(text, text + size, afterCr);
    }

private:
    enum class State { Outside, Quoted, QuoteInQuotes };

    // The exact cutting: a line break ends a record only outside quotes.
    // The quote state carries over from block to block, and so does the
    // unit before a block's first one, which tells whether a quote there
    // begins a field. The state lives in locals while a block is cut: the
    // sink's calls would otherwise make the compiler reload it at every stop.
    void feedRecords(const Unit* const text, const std::size_t size)
    {
        constexpr auto quote = static_cast<Unit>(kQuote);
        constexpr auto cr = static_cast<Unit>('\r');
        constexpr auto lf = static_cast<Unit>('\n');
        const Unit* const end = text + size;
        const Unit separator = m_separator;
        State state = m_state;
        const Unit* start = text;
        const Unit* p = text;
        if (m_skipLineFeed && size > 0) {
            m_skipLineFeed = false;
            if (*p == lf) {
                if (state == State::Outside)
                    start = p + 1; // the LF of a CR LF that ended a record
                ++p;
            }
        }
        if (state == State::QuoteInQuotes && p < end) {
            if (*p == quote) {
                state = State::Quoted; // a doubled quote split by the block
                ++p;
            } else {
                state = State::Outside; // the quote before closed the field
            }
        }
        // Where a line break in quotes ends: a CR at the block's end may
        // have its LF in the next block.
        auto skipBreak = [&](const Unit* at) {
            if (*at == cr) {
                if (at + 1 < end) {
                    if (at[1] == lf)
                        ++at;
                } else {
                    m_skipLineFeed = true;
                }
            }
            return at + 1;
        };
        while (p < end) {
            if (m_dropAny && state == State::Outside) {
                if (p == start && !m_hasPending)
                    m_dropping = dropsLine(p, static_cast<std::size_t>(end - p));
                if (m_dropping) {
                    // Quotes in a dropped line mean nothing.
                    p = scan::findAny(p, end, cr, lf, lf);
                    if (p == end)
                        break;
                    const Unit* const breakAt = p;
                    p = skipBreak(p);
                    emit(start, static_cast<std::size_t>(breakAt - start));
                    start = p;
                    continue;
                }
            }
            if (state == State::Quoted) {
                // Quote-free stretches go sixteen bytes at a time; a line
                // break inside the value is kept, and counted as a line.
                p = scan::findAny(p, end, quote, cr, lf);
                if (p == end)
                    break;
                if (*p != quote) {
                    ++m_lines;
                    p = skipBreak(p);
                    continue;
                }
                if (p + 1 == end) {
                    state = State::QuoteInQuotes; // the next block tells
                    p = end;
                    break;
                }
                if (p[1] == quote) {
                    p += 2;
                    continue;
                }
                state = State::Outside;
                ++p;
                continue;
            }
            p = scan::findAny(p, end, quote, cr, lf);
            if (p == end)
                break;
            if (*p == quote) {
                const bool fieldStart = p > start ? p[-1] == separator : !m_hasPending || m_lastUnit == separator;
                if (fieldStart)
                    state = State::Quoted;
                ++p;
                continue;
            }
            const Unit* const breakAt = p;
            p = skipBreak(p);
            emit(start, static_cast<std::size_t>(breakAt - start));
            start = p;
        }
        m_state = state;
        if (start < end) {
            if (!m_dropping && m_parts)
                deliverPart(std::basic_string_view<Unit>(start, static_cast<std::size_t>(end - start)));
            else if (!m_dropping)
                m_pending.append(start, end);
            m_hasPending = true;
            m_lastUnit = end[-1];
        }
    }

    // Whether the line (or record) that begins with `text` is left out; it
    // is asked once per line, at the line's first unit.
    bool dropsLine(const Unit* text, std::size_t size) noexcept
    {
        if (m_skipLeft > 0) {
            --m_skipLeft;
            return true;
        }
        return m_comment != Unit{} && size > 0 && text[0] == m_comment;
    }

    // Dropped lines are told in runs, just before the next line's text, so
    // that a sink's numbering is right when that line arrives.
    void tellDropped()
    {
        if (m_dropped > 0) {
            m_sink.linesDropped(m_dropped);
            m_dropped = 0;
        }
    }

    void emit(const Unit* text, std::size_t size)
    {
        if (m_dropping) {
            m_dropping = false;
            m_pending.clear();
            m_hasPending = false;
            ++m_dropped;
            ++m_lines;
            m_recordStart = m_lines + 1;
            return;
        }
        tellDropped();
        if (m_hasPending && !m_parts) {
            m_pending.append(text, size);
            deliver(m_pending);
            // The room stays for the next long line: growing it again would
            // cost more than keeping it.
            m_pending.clear();
            m_hasPending = false;
        } else {
            m_hasPending = false;
            deliver(std::basic_string_view<Unit>(text, size));
        }
        ++m_lines;
        m_recordStart = m_lines + 1;
    }

    void deliver(std::basic_string_view<Unit> line)
    {
        if constexpr (std::is_same_v<Unit, char16_t>)
            m_sink.line(line);
        else
            m_sink.utf8Line(line);
    }

    void deliverPart(std::basic_string_view<Unit> piece)
    {
        tellDropped();
        if constexpr (std::is_same_v<Unit, char16_t>)
            m_sink.linePart(piece);
        else
            m_sink.utf8LinePart(piece);
    }

    LineSink& m_sink;
    const bool m_parts;
    std::basic_string<Unit> m_pending;
    bool m_hasPending = false;
    bool m_skipLineFeed = false;
    std::uint64_t m_lines = 0;
    std::uint64_t m_recordStart = 1;
    bool m_exact = false;
    Unit m_separator;
    State m_state = State::Outside;
    Unit m_lastUnit{}; // the last unit of the text not yet delivered whole
    const bool m_dropAny;
    std::uint64_t m_skipLeft;
    const Unit m_comment;
    bool m_dropping = false;     // the line not yet ended is left out
    std::uint64_t m_dropped = 0; // lines left out and not yet told to the sink
};

} // namespace

void LineSink::utf8Line(std::string_view bytes)
{
    std::u16string text(bytes.size(), u'\0');
    const auto decoded =
        utf8::decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), text.data(), true);
    text.resize(decoded.written);
    line(text);
}

void LineSink::linePart(std::u16string_view) {}

void LineSink::linesDropped(std::uint64_t) {}

void LineSink::utf8LinePart(std::string_view bytes)
{
    std::u16string text(bytes.size(), u'\0');
    const auto decoded =
        utf8::decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), text.data(), true);
    text.resize(decoded.written);
    linePart(text);
}

std::string commentRefusal(char16_t comment, char16_t separator)
{
    if (comment == u'\0')
        return {};
    if (comment == separator)
        return "the comment character must differ from the separator: a line that begins with a separator is a row "
               "whose first value is empty";
    if (comment == kQuote)
        return "the comment character cannot be the double quote: a line that begins with it is a row whose first "
               "value is quoted";
    if (comment == u'\r' || comment == u'\n')
        return "the comment character cannot be a line break";
    if (comment >= 0xD800 && comment <= 0xDFFF)
        return "the comment character must be a whole character (not half of a surrogate pair)";
    return {};
}

ReadError::ReadError(const std::filesystem::path& path, std::uint64_t lineNumber, std::string reason)
    : std::runtime_error(describe(path, lineNumber, reason)), m_path(path), m_lineNumber(lineNumber),
      m_reason(std::move(reason))
{
}

void readLines(const std::filesystem::path& path, TextEncoding encoding, LineSink& sink,
               std::atomic<std::uint64_t>* bytesRead, RecordCutting cutting, LineDropping dropping)
{
    FilePtr file(openFile(path, FileAccess::Read));
    if (!file)
        throw ReadError(path, 1, systemReason(errno));
    readLines(file.get(), path, encoding, sink, bytesRead, cutting, dropping);
}

void readLines(std::FILE* file, const std::filesystem::path& path, TextEncoding encoding, LineSink& sink,
               std::atomic<std::uint64_t>* bytesRead, RecordCutting cutting, LineDropping dropping)
{
    LineCutter<char16_t> cutter(sink, cutting, dropping);
    LineCutter<char> byteCutter(sink, cutting, dropping);
    bool keepUtf8 = false; // lines go to the sink undecoded, through byteCutter
    auto fail = [&](std::string reason) {
        throw ReadError(path, keepUtf8 ? byteCutter.nextLineNumber() : cutter.nextLineNumber(), std::move(reason));
    };
    // Text that cannot be decoded is named by the line it is on.
    auto failOnLine = [&](std::uint64_t line, std::string reason) { throw ReadError(path, line, std::move(reason)); };

    // The text is decoded in 4096-byte blocks, but fetched from the system
    // in larger pieces: one call per block would dominate on large files.
    std::setvbuf(file, nullptr, _IOFBF, std::size_t{1} << 16);

    std::array<unsigned char, kReadBlockSize> block{};
    std::array<char16_t, kReadBlockSize> decoded{};
    std::size_t carried = 0;       // undecoded tail of the previous block, moved to the front
    std::uint64_t blockOffset = 0; // file offset of block[0]
    bool first = true;
    Decoding decoding = encoding == TextEncoding::Utf8 ? Decoding::Utf8 : Decoding::Ansi;

    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(block.data() + carried, 1, block.size() - carried, file);
        if (got < block.size() - carried && std::ferror(file))
            fail(systemReason(errno != 0 ? errno : EIO));
        if (bytesRead != nullptr)
            bytesRead->fetch_add(got, std::memory_order_relaxed);
        const std::size_t size = carried + got;
        const bool atEnd = got < block.size() - carried;
        std::size_t begin = 0;

        if (first) {
            first = false;
            if (size >= 3 && block[0] == 0xEF && block[1] == 0xBB && block[2] == 0xBF) {
                decoding = Decoding::Utf8;
                begin = 3;
            } else if (size >= 2 && block[0] == 0xFF && block[1] == 0xFE) {
                decoding = Decoding::Utf16Le;
                begin = 2;
            } else if (size >= 2 && block[0] == 0xFE && block[1] == 0xFF) {
                decoding = Decoding::Utf16Be;
                begin = 2;
            }
            // A quote begins a field after a separator; one of several
            // UTF-8 bytes cannot be told from its last byte, so such text is
            // cut decoded.
            keepUtf8 = decoding == Decoding::Utf8 && sink.takesUtf8()
                       && (!cutting.exactQuoting || cutting.separator < 0x80) && dropping.comment < 0x80;
            // A mark with nothing after it is one empty line.
            if (begin > 0 && begin == size && atEnd) {
                if (dropping.skipLines > 0)
                    sink.linesDropped(1);
                else
                    sink.line(std::u16string_view());
                return;
            }
        }

        std::size_t consumed = size;
        std::size_t units = 0;
        if (keepUtf8) {
            const auto r = utf8::validate(block.data() + begin, size - begin, atEnd);
            if (!r.valid)
                failOnLine(byteCutter.lineAfter(reinterpret_cast<const char*>(block.data() + begin), r.consumed),
                           "invalid UTF-8 at byte " + std::to_string(blockOffset + begin + r.consumed));
            consumed = begin + r.consumed;
            byteCutter.feed(reinterpret_cast<const char*>(block.data() + begin), r.consumed);
        } else {
            switch (decoding) {
            case Decoding::Utf8: {
                const auto r = utf8::decode(block.data() + begin, size - begin, decoded.data(), atEnd);
                if (!r.valid)
                    failOnLine(cutter.lineAfter(decoded.data(), r.written),
                               "invalid UTF-8 at byte " + std::to_string(blockOffset + begin + r.consumed));
                consumed = begin + r.consumed;
                units = r.written;
                break;
            }
            case Decoding::Ansi: {
                // A double-byte code page's character cut by the block's end
                // is carried like UTF-8's.
                const auto r = ansiCodePage().decode(block.data() + begin, size - begin, atEnd, decoded.data());
                consumed = begin + r.consumed;
                units = r.written;
                break;
            }
            case Decoding::Utf16Le:
            case Decoding::Utf16Be: {
                const bool little = decoding == Decoding::Utf16Le;
                std::size_t i = begin;
                for (; i + 1 < size; i += 2) {
                    const unsigned lo = little ? block[i] : block[i + 1];
                    const unsigned hi = little ? block[i + 1] : block[i];
                    decoded[units++] = static_cast<char16_t>(lo | (hi << 8));
                }
                if (i < size && atEnd)
                    failOnLine(cutter.lineAfter(decoded.data(), units),
                               "incomplete UTF-16 code unit at byte " + std::to_string(blockOffset + i));
                consumed = i;
                break;
            }
            }

            cutter.feed(decoded.data(), units);
        }

        if (atEnd)
            break;
        carried = size - consumed;
        if (carried > 0)
            std::memmove(block.data(), block.data() + consumed, carried);
        blockOffset += consumed;
    }
    if (cutter.quoteOpen() || byteCutter.quoteOpen())
        fail("a quoted value is not closed by the end of the file");
    cutter.finish();
    byteCutter.finish();
}

} // namespace quarrow
