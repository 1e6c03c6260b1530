#pragma once

#include "kit/Dialogs.h"

namespace quarrow {

// The desktop's own message boxes, file dialogs, beep and address handler.
class QtDialogs final : public Dialogs {
public:
    void message(QWidget* parent, MessageIcon icon, const QString& caption, const QString& text) override;
    QStringList openFiles(QWidget* parent, const FileDialogSpec& spec) override;
    QString openFile(QWidget* parent, const FileDialogSpec& spec) override;
    QString saveFile(QWidget* parent, const FileDialogSpec& spec) override;
    void beep() override;
    void openUrl(const QString& address) override;
    void openTextFile(const QString& path) override;
};

} // namespace quarrow
