#include "ui/TAppForm.h"

#include "ui/BackgroundWork.h"
#include "kit/Dialogs.h"
#include "ui/EngineText.h"
#include "ui/ErrorReport.h"
#include "ui/ExportFlow.h"
#include "ui/ReloadBar.h"
#include "ui/MenuOption.h"
#include "ui/InputFiles.h"
#include "ui/LoadBatch.h"
#include "ui/LoadFlow.h"
#include "ui/LocaleTexts.h"
#include "kit/MakerServer.h"
#include "ui/SuggestFlow.h"
#include "ui/ValueFormsChoice.h"
#include "ui/TFormColumnTypes.h"
#include "ui/TFormSeparator.h"
#include "ui/LineSkippingEdit.h"
#include "ui/NullMarkersEdit.h"
#include "ui/TableModeChoice.h"
#include "update/qt/TNewVer.h"
#include "update/qt/QtNoticeBox.h"
#include "update/qt/UpdateCheckSetup.h"
#include "kit/WebAddress.h"
#include "engine/workspace/SeparatorText.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <vector>

namespace quarrow {

namespace {

// The window's own client area, and the rows the settings grew by since
// (the skipped and comment lines, the table choice, the NULL markers), which
// the area grows with.
constexpr QSize kClientSize(461, 415);
constexpr int kAddedRowsHeight = 3 * 30;

} // namespace

TAppForm::TAppForm(Dialogs& dialogs, const QString& executablePath, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                              | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_dialogs(dialogs), m_arguments(arguments), m_preview(m_workspace, [this] {
          return previewSettings(m_dataProfile, readingOptions(), m_nullEmptyBox->isChecked(),
                                 m_nullMarkers->markers());
      })
{
    setObjectName(QStringLiteral("AppForm"));
    buildControls();
    buildMenu();
    FormCreate(executablePath);
}

TAppForm::~TAppForm()
{
    endUpdateCheck();
    delete m_updatePopup;
}

void TAppForm::FormCreate(const QString& executablePath)
{
    try {
        const TEXEVersionData version = ReadVersionData(executablePath);
        m_companyName = version.CompanyName;
        m_productName = version.ProductName;
    } catch (const std::exception&) {
        // Without its version block the program still works; it names itself
        // by the application's title alone.
        m_productName = QString::fromUtf16(kApplicationTitle);
    }
    m_fileVersionText = FileVersionText(executablePath);
    m_windowTitleText = m_companyName.isEmpty() ? m_productName : m_companyName + u" - " + m_productName;
    setWindowTitle(m_windowTitleText);

    m_workspace.clear();
    m_separatorButton->setText(listSeparatorText());
}

void TAppForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    fitWindowSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    // The command-line file loads once the window is on the screen.
    QMetaObject::invokeMethod(
        this, [this] { runGuarded(m_dialogs, this, [this] { FormShow(); }); }, Qt::QueuedConnection);
}

void TAppForm::fitWindowSize()
{
    if (!m_shown)
        return; // the first show sets it
    const int chrome = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    int bar = 0;
    if (!m_reloadBar->isHidden()) {
        const QLayout* layout = centralWidget()->layout();
        const QMargins margins = layout->contentsMargins();
        const int width = kClientSize.width() - margins.left() - margins.right();
        bar = m_reloadBar->heightForWidth(width);
        if (bar < 0)
            bar = m_reloadBar->sizeHint().height();
        bar += layout->spacing();
    }
    setFixedSize(kClientSize.width(), kClientSize.height() + kAddedRowsHeight + chrome + bar);
}

void TAppForm::FormShow()
{
    if (m_arguments.isEmpty())
        return;
    const QString path = commandLinePath(m_arguments);
    if (!path.isEmpty() && QFileInfo(path).isFile())
        Ekle(path);
}

void TAppForm::closeEvent(QCloseEvent* event)
{
    // A load or export still running stops at its next block or rows; the
    // program ends once it has.
    if (m_work != nullptr)
        m_work->cancel();
    event->accept();
    QCoreApplication::quit();
}

LoadOptions TAppForm::readingOptions() const
{
    LoadOptions options;
    options.dialect = dialectFromPosition(m_databaseBox->currentIndex()).value_or(Dialect::MySql);
    // The separator dialog never leaves the caption empty.
    options.separator = decodeSeparatorText(m_separatorButton->text().toStdU16String()).value_or(u',');
    options.encoding = m_utf8Button->isChecked() ? TextEncoding::Utf8 : TextEncoding::Ansi;
    options.headerLine = m_headerLineBox->isChecked();
    options.exactQuoting = m_exactQuoting->isOn();
    options.forms = m_valueForms->forms();
    options.skipLines = m_lineSkipping->skipLines();
    options.comment = m_lineSkipping->comment();
    return options;
}

void TAppForm::Ekle(const QString& path)
{
    loadFile(path);
}

FileLoad TAppForm::loadFile(const QString& path)
{
    if (m_work != nullptr)
        return {}; // the workspace is busy with a load or an export
    if (const std::string refusal = commentRefusal(m_lineSkipping->comment(), readingOptions().separator);
        !refusal.empty()) {
        m_dialogs.message(this, MessageIcon::Warning, QStringLiteral("Warning"),
                          u"Cannot load the file: " + QString::fromStdString(refusal) + u'.');
        return {};
    }
    FileLoadRun run;
    try {
        // The preview reads the rows as it paints, and the worker moves them
        // as they grow: it shows none until the load has ended, whichever way.
        run = loadOnWorker(this, m_work, m_workspace, path, readingOptions(), [this] { m_preview.holdForLoad(); });
    } catch (...) {
        m_dataProfile.forget();
        refreshPreview();
        throw;
    }
    const LoadReport& report = run.report;
    // A cancelled load kept nothing of the file: everything stays as it was.
    if (report.cancelled) {
        refreshPreview();
        return {false, true};
    }
    m_dataProfile.forget();
    refreshPreview();
    if (report.fileExisted) {
        if (report.readFailed)
            m_dialogs.message(this, MessageIcon::Error, QStringLiteral("ERROR"), QStringLiteral("File load error!"));
        m_loadButton->setText(u"Load CSV files... [" + QString::number(m_workspace.filesLoaded()) + u']');
        setLoadedLook(true);
    }
    m_statusText->setText(rowsLoadedText(static_cast<qint64>(m_workspace.rowCount())));
    if (report.fileExisted)
        afterLoad(path);
    // Cancel that came just as the file ended still ends the batch.
    return {report.fileExisted, run.cancelled};
}

void TAppForm::loadFiles(const QStringList& paths, const std::function<FileLoad(const QString&)>& load)
{
    LoadBatch batch;
    batch.run(paths, load);
    if (batch.cancelled())
        m_statusText->setText(batch.cancelledText(static_cast<qint64>(m_workspace.rowCount())));
}

void TAppForm::dropFiles(const QStringList& paths)
{
    loadFiles(paths, [this](const QString& path) {
        try {
            if (QFileInfo(path).isDir() || !hasCsvExtension(path))
                return FileLoad{};
            return loadFile(path);
        } catch (...) {
            // One item that cannot be handled does not stop the others.
            return FileLoad{};
        }
    });
}

QStringList TAppForm::droppedPaths(const QMimeData& mime)
{
    QStringList paths;
    for (const QUrl& url : mime.urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

void TAppForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TAppForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TAppForm::dropEvent(QDropEvent* event)
{
    if (m_work != nullptr) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Loaded once the drop has returned: the file manager that dropped them
    // is not held by a long load or an error box.
    QMetaObject::invokeMethod(
        this, [this, paths = droppedPaths(*event->mimeData())] { dropFiles(paths); }, Qt::QueuedConnection);
}

void TAppForm::BitBtn1Click()
{
    if (m_work != nullptr)
        return;
    const QStringList paths = m_dialogs.openFiles(this, csvFileTypes());
    loadFiles(paths, [this](const QString& path) { return loadFile(path); });
}

void TAppForm::Clear1Click()
{
    if (m_work != nullptr)
        return;
    m_workspace.clear();
    m_dataProfile.forget();
    refreshPreview();
    m_loadButton->setText(QString::fromUtf16(kLoadCaption));
    setLoadedLook(false);
    m_statusText->clear();
    m_reloadBar->withdraw();
    m_firstFile.clear();
    m_loadedFiles.clear();
}

void TAppForm::Button1Click()
{
    auto* dialog = new TFormSeparator(m_separatorButton, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void TAppForm::ButtonColumnClick()
{
    if (m_work != nullptr)
        return;
    auto* dialog = new TFormColumnTypes(m_workspace, m_dialogs, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setSuggester([this] { return columnSuggestions(); });
    dialog->show();
}

std::vector<TFormColumnTypes::Suggestion> TAppForm::columnSuggestions()
{
    return suggestColumnTypes(this, m_work, m_dataProfile, readingOptions(), m_nullEmptyBox->isChecked(),
                              m_nullMarkers->markers());
}

void TAppForm::ButtonExportClick()
{
    if (m_work != nullptr)
        return;
    if (const QString refusal = m_tableMode->refusal(); !refusal.isEmpty()) {
        m_dialogs.message(this, MessageIcon::Warning, QStringLiteral("Warning"), refusal);
        return;
    }
    const QString path = m_dialogs.saveFile(
        this, {QStringLiteral("SQL File (*.sql)|*.sql|Text File (*.txt)|*.txt"), QStringLiteral("sql")});
    if (path.isEmpty())
        return;
    if (m_workspace.rowCount() == 0) {
        m_dialogs.message(this, MessageIcon::Warning, QStringLiteral("Warning"), QStringLiteral("No input!"));
        return;
    }

    const ScriptOptions options = scriptOptions();
    const std::optional<ExportRun> run = exportOnWorker(this, m_work, m_workspace, m_dataProfile, path, options);
    if (!run)
        return; // cancelled: the file of that name is as it was; nothing to report
    QString report = exportReportText(path, m_workspace.columnRenames(), *run, options);
    if (const QString table = tableModeReportText(options, m_workspace.columnNames(), run->result); !table.isEmpty())
        report += u"\n\n" + table;
    if (const QString misfits = misfitsReportText(run->result.misfits, m_workspace.columnNames(), options.forms);
        !misfits.isEmpty())
        report += u"\n\n" + misfits;
    m_dialogs.message(this, MessageIcon::Information, QStringLiteral("Success"), report);
}

void TAppForm::Preview1Click()
{
    m_preview.open(this);
}

void TAppForm::refreshPreview()
{
    m_preview.refresh();
}

void TAppForm::ExporttoSQL1Click()
{
    if (m_exportButton->isEnabled())
        ButtonExportClick();
    else
        m_dialogs.beep();
}

void TAppForm::Exit1Click()
{
    QCoreApplication::quit();
}

void TAppForm::Help1Click()
{
    m_dialogs.openUrl(helpAddress(makerHttpBase(), m_productName));
}

void TAppForm::setUpdateCheck(const UpdateCheckSetup& setup)
{
    m_updateSetup = std::make_unique<UpdateCheckSetup>(setup);
}

void TAppForm::TimerCheckerTimer()
{
    if (!m_checkerStarted) {
        m_checkerStarted = true;
        if (!m_updateSetup) {
            m_updateCheckTimer->stop();
            return;
        }
        m_notice = std::make_shared<QtNoticeBox>(this, [this](const QString& caption, const QString& text) {
            m_dialogs.message(this, MessageIcon::Warning, caption, text);
        });
        m_checker = std::make_unique<TChecker>(m_updateSetup->job(m_windowTitleText, m_fileVersionText, m_notice));
        return;
    }
    if (!m_checker || !m_checker->state()->isFinished())
        return;

    m_updateCheckTimer->stop();
    const CheckState& state = *m_checker->state();
    m_updateNotificationsAction->setEnabled(true);
    if (state.showUpdate == 0)
        m_updateNotificationsAction->setChecked(false);
    if (state.updateAvailable && m_updatePopup == nullptr) {
        m_updatePopup = new TNewVer(
            m_productName, qtView(state.serverVersion).toString(), qtView(state.downloadAddress).toString(),
            [this](const QString& address) { m_dialogs.openUrl(address); }, this);
    }
}

void TAppForm::UpdateNotifications1Click()
{
    // The action has already flipped its mark; the setting follows it. The
    // change counts from the next start.
    const bool on = m_updateNotificationsAction->isChecked();
    if (!m_updateSetup)
        return;
    try {
        m_updateSetup->openStore()->writeInteger(kSettingsSection, u"ShowUpdate", on ? 1 : 0);
    } catch (...) {
        m_updateNotificationsAction->setChecked(!on);
        throw;
    }
}

void TAppForm::setSettingsStore(std::function<std::shared_ptr<SettingsStore>()> openStore)
{
    m_exactQuoting->setStore(openStore);
    m_valueForms->setStore(openStore);
    m_transactionOption->setStore(openStore);
    m_copyOption->setStore(std::move(openStore));
}

void TAppForm::ExactCsvQuoting1Click()
{
    m_exactQuoting->remember();
}

void TAppForm::OneTransaction1Click()
{
    m_transactionOption->remember();
}

void TAppForm::PostgreSqlCopy1Click()
{
    m_copyOption->remember();
}

void TAppForm::endUpdateCheck() noexcept
{
    // A notice box waiting for the GUI thread is released first, or the
    // join below would wait for a box that can no longer be shown. The
    // thread's exchange is then woken and fails at once, and the thread
    // frees its settings and everything else of Qt it used before the join
    // returns: nothing of the check runs on while Qt is taken down.
    if (m_notice)
        m_notice->detach();
    m_checker.reset();
}

} // namespace quarrow
