#include "cli/OutputFile.h"

#include "cli/InterruptCleanup.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow::cli {

namespace {

// As many links as the system itself follows before it gives up (SYMLOOP_MAX on Linux).
constexpr int kMaxLinks = 40;

bool namesDescriptor(const std::filesystem::path& path)
{
    const std::string text = path.lexically_normal().string();
    return text.rfind("/proc/", 0) == 0 || text.rfind("/dev/fd/", 0) == 0;
}

// The descriptor of a new, uniquely named file beside `target`, created and
// named to the signal handler as one step.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& temporary, std::string& text)
{
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0;; ++attempt) {
        std::ostringstream name;
        name << '.' << target.filename().string() << '.' << std::hex << random() << ".tmp";
        temporary = folder / name.str();
        text = temporary.string();
        const InterruptsHeld held;
        const int descriptor = ::open(text.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            armInterruptCleanup(text.c_str());
            return descriptor;
        }
        const int error = errno;
        if (error != EEXIST || attempt > 100)
            throw OutputError(target, "Cannot create", error);
    }
}

// The replacement takes over the owner where the system permits it (else
// at least the group), then the mode: a change of owner may clear the
// set-user-ID bits.
void takeOverOwnerAndMode(int descriptor, const std::filesystem::path& target, const struct stat& old)
{
    if (::fchown(descriptor, old.st_uid, old.st_gid) != 0
        && ::fchown(descriptor, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Not permitted: the file belongs to whoever runs the converter.
    }
    if (::fchmod(descriptor, old.st_mode & 07777) != 0)
        throw OutputError(target, "Cannot keep the mode of", errno);
}

int openDirectly(const std::filesystem::path& path)
{
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        throw OutputError(path, "Cannot open", errno);
    return descriptor;
}

} // namespace

DescriptorSink::DescriptorSink(int descriptor, std::filesystem::path name) noexcept
    : m_descriptor(descriptor), m_name(std::move(name))
{
}

DescriptorSink::~DescriptorSink()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

void DescriptorSink::write(const char* data, std::size_t size)
{
    if (m_descriptor < 0)
        throw OutputError(m_name, "Cannot write", EBADF);
    while (size > 0) {
        const ssize_t written = ::write(m_descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw OutputError(m_name, "Cannot write", errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void DescriptorSink::close()
{
    if (m_descriptor < 0)
        return;
    const int descriptor = m_descriptor;
    m_descriptor = -1;
    if (::close(descriptor) != 0 && errno != EINTR)
        throw OutputError(m_name, "Cannot close", errno);
}

std::filesystem::path followLinks(const std::filesystem::path& path, bool& throughDescriptor)
{
    throughDescriptor = false;
    std::filesystem::path current = path;
    for (int links = 0;; ++links) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, ec)) || ec)
            return current;
        if (links == kMaxLinks)
            throw OutputError(path, "Cannot open", ELOOP);
        if (namesDescriptor(current.is_absolute() ? current : std::filesystem::absolute(current, ec)))
            throughDescriptor = true;
        const std::filesystem::path to = std::filesystem::read_symlink(current, ec);
        if (ec)
            throw OutputError(path, "Cannot open", ec.value());
        current = to.is_absolute() ? to : current.parent_path() / to;
    }
}

OutputFile::OutputFile(const std::filesystem::path& path) : m_target(path)
{
    // The node that the name finally leads to decides: a regular file, or
    // nothing yet, is replaced; anything else is opened as it is.
    struct stat node {};
    const bool exists = ::stat(path.c_str(), &node) == 0;
    if (exists && S_ISDIR(node.st_mode))
        throw OutputError(path, "Cannot create", EISDIR);
    bool throughDescriptor = false;
    if (!exists || S_ISREG(node.st_mode))
        m_target = followLinks(path, throughDescriptor);
    if (exists && (!S_ISREG(node.st_mode) || throughDescriptor)) {
        m_target = path;
        m_sink.emplace(openDirectly(path), path);
        return;
    }
    m_sink.emplace(createTemporary(m_target, m_temporary, m_temporaryText), m_target);
    if (exists) {
        try {
            takeOverOwnerAndMode(m_sink->descriptor(), m_target, node);
        } catch (...) {
            discardTemporary();
            throw;
        }
    }
}

OutputFile::~OutputFile()
{
    if (!m_temporary.empty() && !m_committed)
        discardTemporary();
}

void OutputFile::discardTemporary() noexcept
{
    const InterruptsHeld held;
    m_sink.reset();
    ::unlink(m_temporaryText.c_str());
    disarmInterruptCleanup();
}

void OutputFile::commit()
{
    m_sink->close();
    if (m_temporary.empty())
        return;
    const InterruptsHeld held;
    if (::rename(m_temporaryText.c_str(), m_target.c_str()) != 0)
        throw OutputError(m_target, "Cannot replace", errno);
    disarmInterruptCleanup();
    m_committed = true;
}

} // namespace quarrow::cli
