#include "engine/sql/ByteSink.h"

#include "engine/files/FileOpen.h"

#include <cerrno>
#include <cstring>

namespace quarrow {

OutputError::OutputError(const std::filesystem::path& path, const std::string& action, int error)
    : std::runtime_error(action + " " + pathText(path) + ": " + std::strerror(error)), m_path(path),
      m_reason(std::strerror(error)), m_error(error)
{
}

FileSink::FileSink(const std::filesystem::path& path, Mode mode) : m_path(path)
{
    m_file.reset(openFile(path, mode == Mode::Exclusive ? FileAccess::CreateNew : FileAccess::Replace));
    if (!m_file)
        throw OutputError(path, "Cannot create", errno != 0 ? errno : EIO);
    std::setvbuf(m_file.get(), nullptr, _IONBF, 0);
}

void FileSink::write(const char* data, std::size_t size)
{
    if (!m_file)
        throw OutputError(m_path, "Cannot write", EBADF);
    errno = 0;
    if (std::fwrite(data, 1, size, m_file.get()) != size)
        throw OutputError(m_path, "Cannot write", errno != 0 ? errno : EIO);
}

void FileSink::close()
{
    if (!m_file)
        return;
    errno = 0;
    const int result = std::fclose(m_file.release());
    if (result != 0)
        throw OutputError(m_path, "Cannot close", errno != 0 ? errno : EIO);
}

} // namespace quarrow
