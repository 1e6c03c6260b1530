#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace quarrow {

// How the load of one file of a batch went.
struct FileLoad {
    bool loaded = false;    // the file's lines are in the table
    bool cancelled = false; // Cancel came while it loaded (or the window closed)
};

// The files one command loads (an open dialog's choice, a drop), loaded in
// order until one is cancelled. Cancel ends the whole command: loading the
// files after it would leave a table that silently lacks one from the
// middle.
class LoadBatch final {
public:
    // Calls `load` for each path in order, up to the first cancel.
    void run(const QStringList& paths, const std::function<FileLoad(const QString&)>& load);

    bool cancelled() const noexcept { return m_cancelled; }
    // The status text once a cancel has ended the batch: the table's rows,
    // the file the load stopped at and the files loaded before it.
    QString cancelledText(qint64 rows) const;

private:
    QStringList m_loaded; // names of the files loaded in full
    QString m_stoppedAt;  // the name of the file whose load was cancelled
    bool m_cancelled = false;
};

} // namespace quarrow
