#pragma once

#include "engine/sql/ByteSink.h"

#include <filesystem>
#include <optional>
#include <string>

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

// Where `-o PATH` writes the script. A symbolic link is followed to its
// final target. A regular file (or a name not yet taken) is replaced as a
// whole: the script goes to a new file beside it, which takes over the old
// file's mode and, where permitted, its owner, and is renamed over it only
// when complete, so a failed run leaves the old file as it was. Anything
// else (a FIFO, a terminal or another device, an open descriptor named
// through /dev/fd or /proc) is written directly: replacing it would swap
// the node itself for a file.
//
// On Windows a file is replaced the same way, with MoveFileExW, the new file
// taking over the old one's attributes (hidden, system, archive); a device
// (NUL, CON, a serial port, a pipe) is written directly.
class OutputFile {
public:
    explicit OutputFile(const std::filesystem::path& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    ByteSink& sink() { return *m_sink; }
    bool replaces() const noexcept { return !m_temporary.empty(); }

    // Ends the script: closes it and, for a replaced file, renames it into place.
    void commit();

private:
    void discardTemporary() noexcept;

    std::filesystem::path m_target;    // the final target, links followed
    std::filesystem::path m_temporary; // empty when written directly
    std::string m_temporaryText;       // what the signal handler removes
    std::optional<OutputSink> m_sink;
    bool m_committed = false;
};

#ifndef _WIN32
// The final target of `path`: every symbolic link of the last component
// followed, relative links against the folder of the link. `throughDescriptor`
// is set when a link on the way names an open descriptor (/dev/fd, /proc),
// whose target text is no path to replace. Throws OutputError (ELOOP).
std::filesystem::path followLinks(const std::filesystem::path& path, bool& throughDescriptor);
#endif

} // namespace quarrow::cli
