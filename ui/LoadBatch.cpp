#include "ui/LoadBatch.h"

#include "ui/LocaleTexts.h"

#include <QFileInfo>
#include <QLocale>

namespace quarrow {

void LoadBatch::run(const QStringList& paths, const std::function<FileLoad(const QString&)>& load)
{
    for (const QString& path : paths) {
        const FileLoad file = load(path);
        const QString name = QFileInfo(path).fileName();
        if (file.loaded)
            m_loaded << name;
        if (file.cancelled) {
            m_cancelled = true;
            // A cancel that came as the file ended finds it loaded in full.
            if (!file.loaded)
                m_stoppedAt = name;
            return;
        }
    }
}

QString LoadBatch::cancelledText(qint64 rows) const
{
    // The status bar is one short line: the first few names, then a count.
    constexpr qsizetype kNamed = 3;
    QString text = rowsLoadedText(rows) + u". Cancelled";
    if (!m_stoppedAt.isEmpty())
        text += u" at " + m_stoppedAt;
    if (!m_loaded.isEmpty()) {
        text += u"; loaded: " + m_loaded.first(std::min(kNamed, m_loaded.size())).join(u", ");
        if (m_loaded.size() > kNamed)
            text += u" and " + QLocale().toString(m_loaded.size() - kNamed) + u" more";
    }
    return text;
}

} // namespace quarrow
