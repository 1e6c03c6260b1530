#pragma once

#include "engine/sql/ByteSink.h"
#include "engine/sql/ScriptWriter.h"

#include <QString>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>

class QFileDevice;

namespace quarrow {

// The file an export writes. A regular file, or a name not yet taken, is
// written as a new file beside it that takes the name only in commit():
// until then, and for good when the export fails or is cancelled, a file
// of that name keeps its bytes and its mode. Anything else the name leads
// to (a device, a named pipe) is written as it is, since nothing can be
// put in its place.
class ScriptFile final : public ByteSink {
public:
    // Throws OutputError when the file cannot be created.
    explicit ScriptFile(const QString& path);
    ~ScriptFile() override;
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;

    void write(const char* data, std::size_t size) override;
    // Puts the script in place of the file of that name; throws OutputError.
    void commit();

private:
    std::filesystem::path m_path;
    std::unique_ptr<QFileDevice> m_file;
    bool m_replaces = true;
};

// One export into the file at `path`, run on the worker thread: `write`
// streams the script into the file, then `afterWriting` gathers what the
// report needs. The script takes the file's name only when neither failed
// and `cancel` was not set by then; a cancel throws ExportCancelled.
ExportResult writeScriptFile(const QString& path, const std::atomic<bool>& cancel,
                             const std::function<ExportResult(ByteSink&)>& write,
                             const std::function<void()>& afterWriting);

} // namespace quarrow
