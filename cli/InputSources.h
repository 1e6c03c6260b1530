#pragma once

#include "engine/csv/LineReader.h"
#include "engine/csv/ShapeDetector.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarrow::cli {

// An input that cannot be opened or copied, with the message to show.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True for the FILE that names standard input.
inline bool isStandardInput(const std::filesystem::path& input)
{
    return input == "-";
}

// An input's name in messages.
std::string inputName(const std::filesystem::path& input);
std::vector<std::string> inputNames(const std::vector<std::filesystem::path>& inputs);

// Where one input's bytes are read from: the file its name opens, or a
// descriptor already open (standard input, a private copy), which is never
// opened again by a name: a pipe from another user, a file that only the
// caller could open or a socket would refuse that.
struct InputSource {
    std::filesystem::path path; // opened by name when there is no descriptor
    int descriptor = -1;
    // Where every reading of the descriptor starts; -1 where it stands (it
    // is read once).
    std::int64_t start = -1;
};

// Reads the source's lines into `sink` as readLines() does. Throws ReadError.
void readSourceLines(const InputSource& source, TextEncoding encoding, LineSink& sink,
                     std::atomic<std::uint64_t>* bytesRead, RecordCutting cutting, LineDropping dropping = {});

// The shape of the source's start, as detectCsvShapeOfFile() judges a file;
// `name` names it in errors. Throws ShapeReadError.
CsvShape detectSourceShape(const InputSource& source, const std::string& name, char16_t currentSeparator);

// Where each input is read from, in the order given. "-" is standard input,
// read through descriptor 0 from where it stands. When the inputs are read
// twice, one that cannot be read a second time (a pipe, a FIFO, a socket, a
// terminal, a character device) is first copied once to a private (0600)
// temporary file in $TMPDIR (else /tmp). The copy's name is removed from its
// folder as soon as it is made and the copy is read through its open
// descriptor, so no copy outlives the process, however it ends: even a
// signal that nothing can catch leaves none behind.
//
// On Windows the inputs are read by their names.
class InputSources {
public:
    // Throws InputError.
    InputSources(const std::vector<std::filesystem::path>& inputs, bool readTwice);
    ~InputSources();
    InputSources(const InputSources&) = delete;
    InputSources& operator=(const InputSources&) = delete;

    const std::vector<InputSource>& sources() const noexcept { return m_sources; }
    // The bytes copied, for the progress display.
    std::uint64_t copiedBytes() const noexcept { return m_copiedBytes; }

private:
    std::vector<InputSource> m_sources;
    std::vector<int> m_copies; // descriptors of the copies
    std::uint64_t m_copiedBytes = 0;
};

} // namespace quarrow::cli
