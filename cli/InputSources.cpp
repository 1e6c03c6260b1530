#include "cli/InputSources.h"

#include "cli/InterruptCleanup.h"
#include "engine/files/FileOpen.h"

#ifndef _WIN32
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quarrow::cli {

std::string inputName(const std::filesystem::path& input)
{
    return isStandardInput(input) ? std::string("standard input") : pathText(input);
}

std::vector<std::string> inputNames(const std::vector<std::filesystem::path>& inputs)
{
    std::vector<std::string> names;
    names.reserve(inputs.size());
    for (const auto& input : inputs)
        names.push_back(inputName(input));
    return names;
}

#ifndef _WIN32
namespace {

// True when opening the input again gives its bytes from the start again.
bool readsAgain(const std::filesystem::path& input)
{
    struct stat node {};
    if (isStandardInput(input) ? ::fstat(STDIN_FILENO, &node) != 0 : ::stat(input.c_str(), &node) != 0)
        return true; // the reading reports why it cannot open it
    return S_ISREG(node.st_mode) || S_ISBLK(node.st_mode);
}

// True when standard input is a file that was read in part before the
// converter started (`{ read -r line; quarrow-cli -; } < a.csv`): a filter
// reads on from there, but opening /dev/stdin would start at the beginning.
bool standardInputPartlyRead()
{
    struct stat node {};
    return ::fstat(STDIN_FILENO, &node) == 0 && (S_ISREG(node.st_mode) || S_ISBLK(node.st_mode))
           && ::lseek(STDIN_FILENO, 0, SEEK_CUR) > 0;
}

// Writes the bytes in full; returns 0 or the system's error.
int writeAll(int descriptor, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// A new file in the temporary folder, already unnamed; its descriptor.
int unnamedFile(const std::string& inputName)
{
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = folder && *folder ? folder : "/tmp";
    pattern += "/quarrow-input.XXXXXX";
    // No signal between the making and the unlinking: the file never
    // outlives the process.
    const InterruptsHeld held;
    const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC); // mode 0600
    if (descriptor < 0) {
        throw InputError("Cannot copy " + inputName + " to a temporary file in " + pattern.substr(0, pattern.rfind('/'))
                         + ": " + std::strerror(errno));
    }
    ::unlink(pattern.c_str());
    return descriptor;
}

// Copies what `input` holds to the file `copy`; returns the bytes copied.
std::uint64_t copyInput(const std::filesystem::path& input, int copy)
{
    const std::string name = inputName(input);
    const int source = isStandardInput(input) ? STDIN_FILENO : ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        throw InputError("Cannot read " + name + ": " + std::strerror(errno));
    std::uint64_t copied = 0;
    std::string buffer(1 << 16, '\0');
    int readFailure = 0;
    int copyFailure = 0;
    for (;;) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            readFailure = errno;
            break;
        }
        if (got == 0)
            break;
        copyFailure = writeAll(copy, buffer.data(), static_cast<std::size_t>(got));
        if (copyFailure != 0)
            break;
        copied += static_cast<std::uint64_t>(got);
    }
    if (source != STDIN_FILENO)
        ::close(source);
    if (readFailure != 0)
        throw InputError("Cannot read " + name + ": " + std::strerror(readFailure));
    if (copyFailure != 0)
        throw InputError("Cannot copy " + name + " to a temporary file: " + std::strerror(copyFailure));
    return copied;
}

} // namespace

InputSources::InputSources(const std::vector<std::filesystem::path>& inputs, bool readTwice)
{
    try {
        for (const auto& input : inputs) {
            const bool partlyRead = isStandardInput(input) && standardInputPartlyRead();
            if (!partlyRead && (!readTwice || readsAgain(input))) {
                m_paths.push_back(isStandardInput(input) ? std::filesystem::path("/dev/stdin") : input);
                continue;
            }
            // Reopening /proc/self/fd/N opens the file anew, at its start,
            // though it has no name left.
            if (::access("/proc/self/fd", X_OK) != 0) {
                throw InputError(inputName(input)
                                 + " cannot be read twice (it is a pipe or a device), and without /proc its copy "
                                   "could not be");
            }
            const int copy = unnamedFile(inputName(input));
            m_copies.push_back(copy);
            m_copiedBytes += copyInput(input, copy);
            m_paths.push_back("/proc/self/fd/" + std::to_string(copy));
        }
    } catch (...) {
        for (int copy : m_copies)
            ::close(copy);
        throw;
    }
}

InputSources::~InputSources()
{
    for (int copy : m_copies)
        ::close(copy);
}
#else
InputSources::InputSources(const std::vector<std::filesystem::path>& inputs, bool) : m_paths(inputs) {}

InputSources::~InputSources() = default;
#endif

} // namespace quarrow::cli
