#include "ui/LoadFlow.h"

#include "ui/BackgroundWork.h"
#include "ui/EngineText.h"
#include "ui/WorkScope.h"

#include <QFileInfo>
#include <QLocale>

#include <atomic>

namespace quarrow {

FileLoadRun loadOnWorker(QWidget* owner, BackgroundWork*& current, Workspace& workspace, const QString& path,
                         const LoadOptions& options, const std::function<void()>& beforeRun)
{
    const QFileInfo file(path);
    const qint64 size = file.isFile() ? file.size() : 0;
    std::atomic<std::uint64_t> bytesRead{0};
    BackgroundWork work(owner, QStringLiteral("Loading"));
    work.setProgress([&] {
        const auto done = static_cast<qint64>(bytesRead.load(std::memory_order_relaxed));
        QString text = u"Loading " + file.fileName() + u"\n" + QLocale().formattedDataSize(done);
        if (size > 0)
            text += u" of " + QLocale().formattedDataSize(size);
        return BackgroundWork::Progress{text, done, size};
    });
    beforeRun();
    FileLoadRun run;
    {
        BusyCursor busy;
        const CurrentWork busyWith(current, work);
        work.run([&] {
            run.report = workspace.load(localPath(path), options, LoadControl{&bytesRead, &work.cancelFlag()});
        });
    }
    run.cancelled = work.cancelled();
    return run;
}

} // namespace quarrow
