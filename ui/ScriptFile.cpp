#include "ui/ScriptFile.h"

#include "ui/EngineText.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace quarrow {

namespace {

// The system's reason for the failure just seen, or `fallback` where the
// failing step set none.
int lastError(int fallback)
{
    return errno != 0 ? errno : fallback;
}

} // namespace

ScriptFile::ScriptFile(const QString& path) : m_path(localPath(path))
{
    const QFileInfo node(path);
    if (node.isDir())
        throw OutputError(m_path, "Cannot create", EISDIR);
    // The name leads to something that is not a regular file: a device or a
    // pipe is written where it is, and never replaced by a file.
    m_replaces = !node.exists() || node.isFile();
    if (m_replaces)
        m_file = std::make_unique<QSaveFile>(path);
    else
        m_file = std::make_unique<QFile>(path);
    errno = 0;
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw OutputError(m_path, "Cannot create", lastError(EACCES));
}

ScriptFile::~ScriptFile() = default; // an uncommitted QSaveFile discards what it wrote

void ScriptFile::write(const char* data, std::size_t size)
{
    // Written here rather than through QFileDevice::write(), which takes a
    // short write (the disk filling up) for success and keeps no reason.
    const int descriptor = m_file->handle();
    while (size > 0) {
        errno = 0;
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw OutputError(m_path, "Cannot write", lastError(EIO));
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void ScriptFile::commit()
{
    errno = 0;
    if (m_replaces) {
        if (!static_cast<QSaveFile&>(*m_file).commit())
            throw OutputError(m_path, "Cannot save", lastError(EIO));
        return;
    }
    m_file->close();
    if (m_file->error() != QFileDevice::NoError)
        throw OutputError(m_path, "Cannot close", lastError(EIO));
}

ExportResult writeScriptFile(const QString& path, const std::atomic<bool>& cancel,
                             const std::function<ExportResult(ByteSink&)>& write,
                             const std::function<void()>& afterWriting)
{
    ScriptFile file(path);
    const ExportResult result = write(file);
    afterWriting();
    // Cancel pressed once the rows were written still counts: the file that
    // had the name stays as it was.
    if (cancel.load(std::memory_order_relaxed))
        throw ExportCancelled();
    file.commit();
    return result;
}

} // namespace quarrow
