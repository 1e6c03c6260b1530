#pragma once

#include "engine/sql/ByteSink.h"

#include <filesystem>
#include <optional>
#include <string>
#ifndef _WIN32
#include <sys/types.h>
#endif

namespace quarrow::cli {

#ifndef _WIN32
// Bytes written straight to an open descriptor, each piece in full; the
// descriptor is closed on every path.
class DescriptorSink final : public ByteSink {
public:
    DescriptorSink(int descriptor, std::filesystem::path name) noexcept;
    ~DescriptorSink() override;
    DescriptorSink(const DescriptorSink&) = delete;
    DescriptorSink& operator=(const DescriptorSink&) = delete;

    void write(const char* data, std::size_t size) override;
    // Closes and reports a failure the close reveals (a delayed write error).
    void close();

    int descriptor() const noexcept { return m_descriptor; }

private:
    int m_descriptor;
    std::filesystem::path m_name;
};
using OutputSink = DescriptorSink;
#else
// On Windows the engine's file sink, through its wide-path opener.
using OutputSink = FileSink;
#endif

// Where `-o PATH` writes the script. The name is opened for writing by the
// system itself, as the shell's `>` opens it but without emptying anything:
// the system resolves the links and applies its rules to them (a link that
// another user planted in a sticky folder is refused where the system
// refuses it), and a file that `>` could not write is refused before any
// input is read. What was opened decides:
//  - a regular file is replaced as a whole: the script goes to a new,
//    private (0600) file beside the real file, named within the file
//    system's limit however long the target's name, which takes over the old
//    file's owner (where permitted) and mode only when complete, and is then
//    renamed over it, so a failed run leaves the old file as it was. A file
//    that cannot be replaced so (no new file can be made in its folder, or a
//    sticky folder keeps it for its owner) is refused at once, never after
//    the conversion;
//  - a name not yet taken gets a new file the same way, which ends with the
//    mode that `>` gives a new file; a link to a name not yet taken gets
//    the file created through the link, written directly and removed again
//    when the run fails;
//  - anything else (a FIFO, a terminal, another device) is written as it is,
//    never emptied; a name of one of the process's own descriptors
//    (/dev/stdout, /dev/fd/N, /proc/self/fd/N) writes to that descriptor, so
//    `>>` on the shell's side keeps appending.
//
// On Windows a file is replaced the same way, with MoveFileExW, the new file
// taking over the old one's attributes (hidden, system, archive); a device
// (NUL, CON, a serial port, a pipe) is written directly.
//
// Several files written in one run (the script and its profile) are each
// closed first and renamed into place one after the other at the end.
class OutputFile {
public:
    // What a file that can be written but not replaced is refused with: how
    // to write it in place instead, or nothing where there is no such way.
    static constexpr const char* kInPlaceByStandardOutput = "to write over it in place, send standard output to it";

    explicit OutputFile(const std::filesystem::path& path, const char* inPlaceAdvice = kInPlaceByStandardOutput);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    ByteSink& sink() { return *m_sink; }
    bool replaces() const noexcept { return !m_temporary.empty(); }
    // The file the bytes end up in, its links resolved where it exists.
    const std::filesystem::path& target() const noexcept { return m_target; }

    // Ends the writing: every byte is with the system and the file has its
    // final mode, still under its temporary name where it has one.
    void close();
    // Ends the script: closes it and, for a replaced file, renames it into place.
    void commit();

private:
    void discardTemporary() noexcept;
#ifndef _WIN32
    void replaceExisting(const std::filesystem::path& path, int descriptor, const char* inPlaceAdvice);
    void createThroughLink(const std::filesystem::path& path, const char* inPlaceAdvice);
    void createTemporary(const std::filesystem::path& target);
#endif

    std::filesystem::path m_target;    // the file that ends up holding the script
    std::filesystem::path m_temporary; // the file removed after a failure; empty when none
    std::string m_temporaryText;       // what the signal handler removes
    std::optional<OutputSink> m_sink;
    bool m_closed = false;
    bool m_committed = false;
#ifndef _WIN32
    bool m_renames = true;        // the temporary file is renamed over the target at the end
    mode_t m_mode = 0;            // the mode the file ends with
    std::optional<uid_t> m_owner; // the old file's, kept where permitted
    gid_t m_group = 0;
#endif
};

} // namespace quarrow::cli
