#include "cli/OutputFile.h"

#include "cli/InterruptCleanup.h"

#include "engine/files/FileOpen.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iomanip>
#include <random>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

namespace quarrow::cli {

namespace {

// As many links as the system itself follows before it gives up (SYMLOOP_MAX on Linux).
constexpr int kMaxLinks = 40;
// The temporary file's name adds a dot before the target's, and a dot, 16
// hexadecimal digits and ".tmp" after it.
constexpr std::size_t kTemporaryNameExtra = 22;
constexpr uid_t kNoOwner = static_cast<uid_t>(-1);

// The descriptor number in a name such as /dev/fd/3 or /proc/self/fd/3.
std::optional<int> descriptorNumber(const std::string& text)
{
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string& prefix :
         {std::string("/dev/fd/"), std::string("/proc/self/fd/"), std::string("/proc/thread-self/fd/"), own}) {
        if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0
            || text.size() > prefix.size() + 9)
            continue;
        int number = 0;
        for (std::size_t i = prefix.size(); i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9')
                return std::nullopt;
            number = number * 10 + (text[i] - '0');
        }
        return number;
    }
    if (text == "/dev/stdout")
        return 1;
    if (text == "/dev/stderr")
        return 2;
    return std::nullopt;
}

// The descriptor of this process that `path` names, directly or through
// links, when it is open for writing: the script is then written to it as
// it is, at its own position and with its own flags (O_APPEND), as the shell
// set it up. Opening such a name anew would start a regular file at its
// beginning. Only the decision to write to an open descriptor is taken
// here; nothing found on the way is ever replaced or created.
std::optional<int> writableDescriptorNamed(const std::filesystem::path& path)
{
    std::filesystem::path current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(current, ec).lexically_normal();
        if (ec)
            return std::nullopt;
        if (const std::optional<int> number = descriptorNumber(absolute.string())) {
            const int flags = ::fcntl(*number, F_GETFL);
            if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
                return std::nullopt;
            return number;
        }
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, ec)) || ec)
            return std::nullopt;
        const std::filesystem::path to = std::filesystem::read_symlink(current, ec);
        if (ec)
            return std::nullopt;
        current = to.is_absolute() ? to : current.parent_path() / to;
    }
    return std::nullopt;
}

// Closes a descriptor on every path unless released.
class DescriptorGuard {
public:
    explicit DescriptorGuard(int descriptor) noexcept : m_descriptor(descriptor) {}
    ~DescriptorGuard()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    DescriptorGuard(const DescriptorGuard&) = delete;
    DescriptorGuard& operator=(const DescriptorGuard&) = delete;
    int get() const noexcept { return m_descriptor; }
    int release() noexcept { return std::exchange(m_descriptor, -1); }

private:
    int m_descriptor;
};

// The name of the file open as `descriptor`, as the system resolved it: the
// folder the replacement is made in. The name must still lead to the same
// file. Throws OutputError, naming `path`.
std::filesystem::path openedFile(int descriptor, const std::filesystem::path& path, const struct stat& node)
{
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
    std::string name(4096, '\0');
    const ssize_t length = ::readlink(link.c_str(), name.data(), name.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= name.size())
        throw OutputError(path, "Cannot find the folder of", length < 0 ? errno : ENAMETOOLONG);
    name.resize(static_cast<std::size_t>(length));
    struct stat named {};
    if (name.front() != '/' || ::stat(name.c_str(), &named) != 0 || named.st_dev != node.st_dev
        || named.st_ino != node.st_ino)
        throw OutputError(path, "Cannot find the folder of", ENOENT);
    return name;
}

// The process's file mode creation mask, read without changing it where
// the system tells it.
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Whether the process may rename over other users' files in a sticky
// folder (CAP_FOWNER, bit 3 of the effective capabilities).
bool mayReplaceOthersFiles()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) == 0)
            return ((std::stoull(line.substr(7), nullptr, 16) >> 3) & 1) != 0;
    }
    return ::geteuid() == 0;
}

std::filesystem::path folderOf(const std::filesystem::path& file)
{
    const std::filesystem::path folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

// The target's name cut to `room` bytes, not inside a UTF-8 sequence.
std::string shortenedName(std::string name, std::size_t room)
{
    if (name.size() <= room)
        return name;
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    name.resize(cut);
    return name;
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

OutputFile::OutputFile(const std::filesystem::path& path, const char* inPlaceAdvice) : m_target(path)
{
    if (const std::optional<int> descriptor = writableDescriptorNamed(path)) {
        const int copy = ::fcntl(*descriptor, F_DUPFD_CLOEXEC, 0);
        if (copy < 0)
            throw OutputError(path, "Cannot open", errno);
        m_sink.emplace(copy, path);
        return;
    }
    // Neither created nor emptied: the system only resolves the name and
    // says whether the file could be written.
    const int existing = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (existing >= 0) {
        replaceExisting(path, existing, inPlaceAdvice);
        return;
    }
    const int error = errno;
    if (error != ENOENT)
        throw OutputError(path, "Cannot open", error);
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        createThroughLink(path, inPlaceAdvice);
        return;
    }
    m_mode = 0666 & ~currentUmask();
    createTemporary(path);
}

void OutputFile::replaceExisting(const std::filesystem::path& path, int descriptor, const char* inPlaceAdvice)
{
    DescriptorGuard opened(descriptor);
    struct stat node {};
    if (::fstat(opened.get(), &node) != 0)
        throw OutputError(path, "Cannot open", errno);
    if (!S_ISREG(node.st_mode)) {
        m_sink.emplace(opened.release(), path);
        return;
    }
    m_target = openedFile(opened.get(), path, node);
    // In a sticky folder only the file's owner, the folder's or a process
    // with CAP_FOWNER may rename over the file; the rename would fail only
    // after the whole conversion.
    const std::filesystem::path folder = folderOf(m_target);
    struct stat folderNode {};
    if (::stat(folder.c_str(), &folderNode) == 0 && (folderNode.st_mode & S_ISVTX) != 0 && node.st_uid != ::geteuid()
        && folderNode.st_uid != ::geteuid() && !mayReplaceOthersFiles()) {
        throw std::runtime_error(std::string(OutputError(path, "Cannot replace", EPERM).what())
                                 + " (in the sticky folder " + pathText(folder)
                                 + " only the file's owner or the folder's may replace it)");
    }
    m_mode = node.st_mode & 07777;
    m_owner = node.st_uid;
    m_group = node.st_gid;
    try {
        createTemporary(m_target);
    } catch (const OutputError& e) {
        // The file could be written, but not replaced as a whole: rather
        // than write over it in place, which a failed run would leave half
        // done, the run stops and says how to write it in place.
        if (e.error() != EACCES && e.error() != EPERM && e.error() != EROFS)
            throw;
        throw std::runtime_error("Cannot create a temporary file in " + pathText(folder) + " to replace "
                                 + pathText(path) + ": " + e.reason()
                                 + " (the folder is not writable, the file itself is"
                                 + (inPlaceAdvice ? std::string(": ") + inPlaceAdvice : std::string()) + ")");
    }
}

void OutputFile::createThroughLink(const std::filesystem::path& path, const char* inPlaceAdvice)
{
    // A link to a name not yet taken. The system follows it, or refuses to,
    // only when it creates the file; the new file is then the one written,
    // private until complete and removed after a failure. (A file made by
    // someone else at that name in the meantime is not told apart from one
    // made by this call unless it holds bytes.)
    int descriptor = -1;
    {
        const InterruptsHeld held;
        descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0600);
        if (descriptor < 0)
            throw OutputError(path, "Cannot create", errno);
        DescriptorGuard opened(descriptor);
        struct stat node {};
        if (::fstat(descriptor, &node) != 0)
            throw OutputError(path, "Cannot create", errno);
        if (!S_ISREG(node.st_mode) || node.st_size > 0) {
            replaceExisting(path, opened.release(), inPlaceAdvice);
            return;
        }
        m_target = openedFile(descriptor, path, node);
        m_temporary = m_target;
        m_temporaryText = m_target.string();
        armInterruptCleanup(m_temporaryText.c_str());
        opened.release();
    }
    m_sink.emplace(descriptor, m_target);
    m_renames = false;
    m_mode = 0666 & ~currentUmask();
}

// A new, uniquely named, private file beside `target`, created and named to
// the signal handler as one step.
void OutputFile::createTemporary(const std::filesystem::path& target)
{
    const std::filesystem::path folder = folderOf(target);
    const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const std::size_t limit = nameMax > 0 ? static_cast<std::size_t>(nameMax) : 255;
    const std::string base =
        shortenedName(target.filename().string(), limit > kTemporaryNameExtra ? limit - kTemporaryNameExtra : 1);
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0;; ++attempt) {
        std::ostringstream name;
        name << '.' << base << '.' << std::hex << std::setw(16) << std::setfill('0') << random() << ".tmp";
        const std::filesystem::path temporary = folder / name.str();
        const InterruptsHeld held;
        const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
        if (descriptor >= 0) {
            m_temporary = temporary;
            m_temporaryText = temporary.string();
            armInterruptCleanup(m_temporaryText.c_str());
            m_sink.emplace(descriptor, target);
            return;
        }
        const int error = errno;
        if (error != EEXIST || attempt > 100)
            throw OutputError(target, "Cannot create", error);
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
    disarmInterruptCleanup(m_temporaryText.c_str());
}

void OutputFile::close()
{
    if (m_closed)
        return;
    if (!m_temporary.empty()) {
        // The owner first: a change of owner may clear the set-user-ID bits.
        // Not permitted to keep the owner, the file belongs to whoever runs
        // the converter, with at least the old group where that is permitted.
        const int descriptor = m_sink->descriptor();
        if (m_owner && ::fchown(descriptor, *m_owner, m_group) != 0 && ::fchown(descriptor, kNoOwner, m_group) != 0) {
            // Not even the group: the file keeps the converter's own.
        }
        if (::fchmod(descriptor, m_mode) != 0)
            throw OutputError(m_target, "Cannot set the mode of", errno);
    }
    m_sink->close();
    m_closed = true;
}

void OutputFile::commit()
{
    close();
    if (m_temporary.empty())
        return;
    const InterruptsHeld held;
    if (m_renames && ::rename(m_temporaryText.c_str(), m_target.c_str()) != 0)
        throw OutputError(m_target, "Cannot replace", errno);
    disarmInterruptCleanup(m_temporaryText.c_str());
    m_committed = true;
}

} // namespace quarrow::cli
