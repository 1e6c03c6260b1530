#include "cli/InputSources.h"

#include "cli/InterruptCleanup.h"
#include "engine/files/FileOpen.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#ifndef _WIN32
#include <cstdlib>
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

namespace {

// A stream of its own over the source, at the reading's start; nullptr
// with errno set when there is none.
FilePtr openSource(const InputSource& source)
{
#ifndef _WIN32
    if (source.descriptor >= 0) {
        if (source.start >= 0 && ::lseek(source.descriptor, static_cast<off_t>(source.start), SEEK_SET) < 0)
            return nullptr;
        // The stream closes its own descriptor, not the source's.
        const int own = ::fcntl(source.descriptor, F_DUPFD_CLOEXEC, 0);
        if (own < 0)
            return nullptr;
        std::FILE* file = ::fdopen(own, "rb");
        if (file == nullptr) {
            const int error = errno;
            ::close(own);
            errno = error;
        }
        return FilePtr(file);
    }
#endif
    return FilePtr(openFile(source.path, FileAccess::Read));
}

} // namespace

void readSourceLines(const InputSource& source, TextEncoding encoding, LineSink& sink,
                     std::atomic<std::uint64_t>* bytesRead, RecordCutting cutting, LineDropping dropping)
{
    if (source.descriptor < 0) {
        readLines(source.path, encoding, sink, bytesRead, cutting, dropping);
        return;
    }
    const FilePtr file = openSource(source);
    if (!file)
        throw ReadError(source.path, 1, std::strerror(errno));
    readLines(file.get(), source.path, encoding, sink, bytesRead, cutting, dropping);
}

CsvShape detectSourceShape(const InputSource& source, const std::string& name, char16_t currentSeparator)
{
    if (source.descriptor < 0)
        return detectCsvShapeOfFile(source.path, currentSeparator);
    const FilePtr file = openSource(source);
    if (!file)
        throw ShapeReadError("Cannot read " + name + ": " + std::strerror(errno));
    std::string start(kShapeSampleBytes + 1, '\0');
    errno = 0;
    start.resize(std::fread(start.data(), 1, start.size(), file.get()));
    if (std::ferror(file.get()))
        throw ShapeReadError("Cannot read " + name + ": " + std::strerror(errno != 0 ? errno : EIO));
    return detectCsvShapeOfStart(std::move(start), currentSeparator);
}

#ifndef _WIN32
namespace {

// True when opening the input again gives its bytes from the start again.
bool readsAgain(const std::filesystem::path& input)
{
    struct stat node {};
    if (::stat(input.c_str(), &node) != 0)
        return true; // the reading reports why it cannot open it
    return S_ISREG(node.st_mode) || S_ISBLK(node.st_mode);
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
            const bool standard = isStandardInput(input);
            if (standard) {
                // Read from where it stands: a filter reads on where the
                // caller stopped (`{ read -r line; quarrow-cli -; } < a.csv`).
                struct stat node {};
                if (::fstat(STDIN_FILENO, &node) != 0)
                    throw InputError(std::string("Cannot read standard input: ") + std::strerror(errno));
                const off_t at = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
                if ((S_ISREG(node.st_mode) || S_ISBLK(node.st_mode)) && at >= 0) {
                    m_sources.push_back({input, STDIN_FILENO, at});
                    continue;
                }
                if (!readTwice) {
                    m_sources.push_back({input, STDIN_FILENO, -1});
                    continue;
                }
            } else if (!readTwice || readsAgain(input)) {
                m_sources.push_back({input, -1, -1});
                continue;
            }
            const int copy = unnamedFile(inputName(input));
            m_copies.push_back(copy);
            m_copiedBytes += copyInput(input, copy);
            m_sources.push_back({input, copy, 0});
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
InputSources::InputSources(const std::vector<std::filesystem::path>& inputs, bool)
{
    for (const auto& input : inputs)
        m_sources.push_back({input, -1, -1});
}

InputSources::~InputSources() = default;
#endif

} // namespace quarrow::cli
