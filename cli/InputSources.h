#pragma once

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

// Where each input is read from, in the order given. "-" is standard input.
// When the inputs are read twice, one that cannot be read a second time (a
// pipe, a FIFO, a terminal, a character device) is first copied once to a
// private (0600) temporary file in $TMPDIR (else /tmp). The copy's name is
// removed from its folder as soon as it is made and the copy is read
// through its open descriptor, so no copy outlives the process, however it
// ends: even a signal that nothing can catch leaves none behind.
//
// On Windows the inputs are read by their names.
class InputSources {
public:
    // Throws InputError.
    InputSources(const std::vector<std::filesystem::path>& inputs, bool readTwice);
    ~InputSources();
    InputSources(const InputSources&) = delete;
    InputSources& operator=(const InputSources&) = delete;

    const std::vector<std::filesystem::path>& paths() const noexcept { return m_paths; }
    // The bytes copied, for the progress display.
    std::uint64_t copiedBytes() const noexcept { return m_copiedBytes; }

private:
    std::vector<std::filesystem::path> m_paths;
    std::vector<int> m_copies; // descriptors of the copies
    std::uint64_t m_copiedBytes = 0;
};

} // namespace quarrow::cli
