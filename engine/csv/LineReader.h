#pragma once

#include "engine/text/TextEncoding.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quarrow {

// Receives the lines of a file in order (or its records, when they are cut
// exactly: see RecordCutting). The view is valid only during the call.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void line(std::u16string_view text) = 0;

    // A sink that works on UTF-8 itself says so here; the lines of UTF-8
    // text (checked as strictly as when decoding) then go to utf8Line() as
    // they are in the file, so the reader does not decode them.
    virtual bool takesUtf8() const { return false; }
    virtual void utf8Line(std::string_view bytes);

    // A line is held whole, and a long one costs its length again for each
    // copy. A sink that collects lines in storage of its own says so here;
    // a line that runs across reading blocks then reaches it in pieces, so
    // the reader keeps no copy of its own: linePart() (utf8LinePart() for
    // undecoded UTF-8, whole characters only) for every piece but the last,
    // then line() (utf8Line()) with the last piece, which may be empty. The
    // line is the pieces joined. When reading fails, no last piece comes:
    // the sink drops the pieces of the unfinished line, as the reader drops
    // the text after the last line it delivered. Other sinks get every line
    // whole.
    virtual bool takesParts() const { return false; }
    virtual void linePart(std::u16string_view piece);
    virtual void utf8LinePart(std::string_view piece);

    // `count` physical lines of the file were read and left out (see
    // LineDropping), just before the line that comes next: a sink that
    // numbers lines adds them, so that its numbers stay the file's own.
    virtual void linesDropped(std::uint64_t count);
};

// Why reading stopped: the file could not be opened or read, or its text
// could not be decoded.
class ReadError : public std::runtime_error {
public:
    ReadError(const std::filesystem::path& path, std::uint64_t lineNumber, std::string reason);

    const std::filesystem::path& path() const noexcept { return m_path; }
    // Where reading stopped (1-based): for text that cannot be decoded, the
    // line the fault is on; for a quote left open, the line where its record
    // begins; else the line not yet delivered. The lines of the blocks before
    // the one that failed were delivered.
    std::uint64_t lineNumber() const noexcept { return m_lineNumber; }
    const std::string& reason() const noexcept { return m_reason; }

private:
    std::filesystem::path m_path;
    std::uint64_t m_lineNumber;
    std::string m_reason;
};

// How the text is cut. By default every physical line is one line, and the
// quotes are the field splitter's business. With `exactQuoting` a line break
// inside a quoted field belongs to the record, exactly as in the file, and
// the sink gets records where it would get lines (see csv/ExactQuoting.h):
// whole, or in pieces as above when it takes them; a quote opens a
// quoted field only as a field's first character, hence the separator.
// Line numbers are then those of the physical line where a record begins,
// and a quote still open at the end of the file is a ReadError.
struct RecordCutting {
    bool exactQuoting = false;
    char16_t separator = u',';
};

// Lines that never reach the sink. The first `skipLines` physical lines of
// the file go whatever they hold: a quote in them opens nothing, so a title
// with a stray quote cannot swallow the table below it. Then, with a
// `comment` character (none when NUL), a line that begins with it is
// dropped too: only at the start of a line (of a record, read exactly), so
// a line break inside a quoted value never starts a comment, and a comment
// ends at its own line break whatever quotes it holds. Dropped lines count
// as lines: the line numbers of errors and of the sink stay the file's.
// A byte-order mark is not part of the first line's text.
struct LineDropping {
    std::uint64_t skipLines = 0;
    char16_t comment = u'\0';

    bool any() const noexcept { return skipLines > 0 || comment != u'\0'; }
};

// Why `comment` cannot mark comment lines of a file split at `separator`,
// in words a user can act on; empty when it can (NUL, no comment, can). A
// line beginning with a separator or a quote is a row whose first value is
// empty or quoted, and a line break or blank cannot begin a line's text.
std::string commentRefusal(char16_t comment, char16_t separator);

// Reads a text file in 4096-byte blocks and hands every line to the sink as
// soon as it is complete. A byte-order mark at the start (UTF-8, UTF-16 LE,
// UTF-16 BE) overrides `encoding`. Lines end at CR LF, LF or a lone CR; a
// break at the very end does not start an empty line. UTF-8 is decoded
// strictly: a block holding an invalid sequence stops the reading, and the
// lines of the blocks before it have been delivered.
// A sink that takes UTF-8 gets the lines of UTF-8 text through utf8Line(),
// with the same blocks, errors and line numbers.
// `bytesRead`, when given, is advanced after every block (for progress
// displays on another thread). Throws ReadError.
void readLines(const std::filesystem::path& path, TextEncoding encoding, LineSink& sink,
               std::atomic<std::uint64_t>* bytesRead = nullptr, RecordCutting cutting = {}, LineDropping dropping = {});

// The same for a file already open and not yet read through `file` (such as
// standard input, which may have no name that opens it again), from where
// it stands; `path` names it in errors. The file stays open.
void readLines(std::FILE* file, const std::filesystem::path& path, TextEncoding encoding, LineSink& sink,
               std::atomic<std::uint64_t>* bytesRead = nullptr, RecordCutting cutting = {}, LineDropping dropping = {});

inline constexpr std::size_t kReadBlockSize = 4096;

} // namespace quarrow
