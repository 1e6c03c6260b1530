#include "kit/QtDialogs.h"

#include "kit/WebAddress.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace quarrow {

QString qtFilter(const QString& pipeFilter)
{
    const QStringList parts = pipeFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i];
    return filters.join(u";;");
}

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

void prepare(QFileDialog& dialog, const FileDialogSpec& spec)
{
    dialog.setNameFilter(qtFilter(spec.filter));
    dialog.setSizeGripEnabled(true);
}

} // namespace

void QtDialogs::message(QWidget* parent, MessageIcon icon, const QString& caption, const QString& text)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QStringList QtDialogs::openFiles(QWidget* parent, const FileDialogSpec& spec)
{
    QFileDialog dialog(parent);
    prepare(dialog, spec);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString QtDialogs::openFile(QWidget* parent, const FileDialogSpec& spec)
{
    QFileDialog dialog(parent);
    prepare(dialog, spec);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::saveFile(QWidget* parent, const FileDialogSpec& spec)
{
    QFileDialog dialog(parent);
    prepare(dialog, spec);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(spec.defaultSuffix);
    // Qt's save dialog asks before overwriting unless told not to.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void QtDialogs::beep()
{
    QApplication::beep();
}

void QtDialogs::openUrl(const QString& address)
{
    openWebAddress(address);
}

void QtDialogs::openTextFile(const QString& path)
{
    // A file address, not the bare path: a folder with spaces or a '#' in its
    // name reaches the handler as one file.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace quarrow
