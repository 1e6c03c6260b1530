#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace quarrow {

enum class MessageIcon { Information, Warning, Error };

// A file dialog's file types in the "text|pattern|text|pattern" form and,
// for a save dialog, the extension added to a name typed without one. An
// open dialog never adds one: it would turn a typed name into another file.
struct FileDialogSpec {
    QString filter;
    QString defaultSuffix;
};

// Everything a window asks of the user or the desktop outside its own
// controls. Windows receive one; tests hand them a scripted fake, so no
// test ever waits on a modal window.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal box with one OK button. The text is shown as plain text.
    virtual void message(QWidget* parent, MessageIcon icon, const QString& caption, const QString& text) = 0;
    // Empty when cancelled.
    virtual QStringList openFiles(QWidget* parent, const FileDialogSpec& spec) = 0;
    virtual QString openFile(QWidget* parent, const FileDialogSpec& spec) = 0;
    // Asks before an existing file is overwritten. Empty when cancelled.
    virtual QString saveFile(QWidget* parent, const FileDialogSpec& spec) = 0;
    virtual void beep() = 0;
    // Hands the address to the desktop's handler; never waits, never reports.
    virtual void openUrl(const QString& address) = 0;
    // Opens a local text file with the desktop's handler for text; never
    // waits, never reports.
    virtual void openTextFile(const QString& path) = 0;
};

// Qt's own filter form: "text (pattern);;text (pattern)". The text of each
// pair already names its pattern, so the texts are used as they stand.
QString qtFilter(const QString& pipeFilter);

} // namespace quarrow
