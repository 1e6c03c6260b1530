#include "ui/TAppForm.h"

#include "ui/BackgroundWork.h"
#include "kit/Dialogs.h"
#include "ui/EngineText.h"
#include "ui/ErrorReport.h"
#include "ui/ExactQuotingOption.h"
#include "ui/ScriptFormOption.h"
#include "ui/InputFiles.h"
#include "ui/LoadBatch.h"
#include "ui/LocaleTexts.h"
#include "kit/MakerServer.h"
#include "ui/Pictures.h"
#include "ui/ScriptFile.h"
#include "ui/TFormColumnTypes.h"
#include "ui/TFormPreview.h"
#include "ui/TFormSeparator.h"
#include "update/qt/TNewVer.h"
#include "update/qt/QtNoticeBox.h"
#include "update/qt/UpdateCheckSetup.h"
#include "kit/WebAddress.h"
#include "engine/profile/TypeSuggestion.h"
#include "engine/sql/ScriptWriter.h"
#include "engine/sql/TransactionLines.h"
#include "engine/workspace/SeparatorText.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <vector>

namespace quarrow {

namespace {

constexpr int kCaptionPixels = 19;
constexpr int kSeparatorButtonPixels = 16;
constexpr int kStatusPixels = 11;
constexpr int kBigButtonHeight = 49;
constexpr QSize kClientSize(461, 415);

const QString kLoadCaption = QStringLiteral("Load CSV file...");

// Holds the busy cursor over the whole application until it goes out of
// scope, whichever way the command ends.
class BusyCursor final {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Marks the window busy with one piece of background work for a scope.
class CurrentWork final {
public:
    CurrentWork(BackgroundWork*& slot, BackgroundWork& work) : m_slot(slot) { m_slot = &work; }
    ~CurrentWork() { m_slot = nullptr; }
    CurrentWork(const CurrentWork&) = delete;
    CurrentWork& operator=(const CurrentWork&) = delete;

private:
    BackgroundWork*& m_slot;
};

QFont pixelFont(const QFont& base, int pixels)
{
    QFont font = base;
    font.setPixelSize(pixels);
    return font;
}

QString substitutionParagraph(std::uint64_t substituted)
{
    if (substituted == 1)
        return QStringLiteral("1 character could not be written in ANSI and was replaced.");
    return QLocale().toString(static_cast<qulonglong>(substituted))
           + u" characters could not be written in ANSI and were replaced.";
}

// A shortened name as the message box quotes it: its start and its end,
// where a cut name and its suffix differ from the name as loaded.
QString elidedName(const std::u16string& name)
{
    constexpr qsizetype kHead = 24;
    constexpr qsizetype kTail = 20;
    const QString text = QString::fromStdU16String(name);
    if (text.size() <= kHead + kTail + 1)
        return u'"' + text + u'"';
    const qsizetype head = text.at(kHead - 1).isHighSurrogate() ? kHead - 1 : kHead;
    qsizetype tail = text.size() - kTail;
    if (text.at(tail).isLowSurrogate())
        ++tail;
    return u'"' + text.left(head) + u'\u2026' + text.mid(tail) + u'"';
}

// The names written otherwise than loaded, to keep within the database's
// length limit: the first few, then how many more.
QString shortenedParagraph(const std::vector<RenamedColumn>& renamed, Dialect dialect)
{
    constexpr std::size_t kShown = 5;
    const NameLimit limit = columnNameLimit(dialect);
    const QString unit = limit.unit == NameUnit::Utf8Bytes ? QStringLiteral("bytes") : QStringLiteral("characters");
    const std::size_t count = renamed.size();
    QString text = count == 1 ? QStringLiteral("1 column name was")
                              : QLocale().toString(static_cast<qulonglong>(count)) + u" column names were";
    const QString database = QString::fromStdU16String(std::u16string(dialectInfo(dialect).itemText));
    const bool refused = std::any_of(renamed.begin(), renamed.end(),
                                     [&](const RenamedColumn& r) { return hasRefusedCharacters(dialect, r.from); });
    if (refused)
        text += u" changed to names that " + database + u" takes ("
                + QString::fromStdString(refusedCharactersText(dialect))
                + (limit.unit == NameUnit::None ? QString() : u", at most " + QString::number(limit.max) + u' ' + unit)
                + u"): ";
    else if (limit.unit == NameUnit::None)
        text += u" changed to keep them apart: ";
    else
        text += u" shortened to the " + QString::number(limit.max) + u' ' + unit + u" that " + database + u" takes: ";
    for (std::size_t i = 0; i < std::min(count, kShown); ++i) {
        if (i > 0)
            text += u", ";
        text += elidedName(renamed[i].from) + u" is now " + elidedName(renamed[i].to);
    }
    if (count > kShown)
        text += u" and " + QLocale().toString(static_cast<qulonglong>(count - kShown)) + u" more";
    return text + u'.';
}

// A name as the message box quotes it: a whole data line loaded as the
// header can give names too long to read in a box.
QString shownName(const std::u16string& name)
{
    constexpr qsizetype kLongest = 40;
    const QString text = QString::fromStdU16String(name);
    if (text.size() <= kLongest)
        return u'"' + text + u'"';
    const qsizetype cut = text.at(kLongest - 1).isHighSurrogate() ? kLongest - 1 : kLongest;
    return u'"' + text.left(cut) + u"\u2026\"";
}

// Names the first few renamed columns; a header of many equal fields would
// otherwise fill the screen.
QString renamesParagraph(const std::vector<ColumnRename>& renames)
{
    constexpr std::size_t kNamed = 5;
    const std::size_t count = renames.size();
    QString text = count == 1 ? QStringLiteral("1 column name repeated an earlier name and was changed: ")
                              : QLocale().toString(static_cast<qulonglong>(count))
                                    + u" column names repeated an earlier name and were changed: ";
    for (std::size_t i = 0; i < std::min(count, kNamed); ++i) {
        if (i > 0)
            text += u", ";
        text += shownName(renames[i].from) + u" is now " + shownName(renames[i].to);
    }
    if (count > kNamed)
        text += u" and " + QLocale().toString(static_cast<qulonglong>(count - kNamed)) + u" more";
    return text + u'.';
}

} // namespace

TAppForm::TAppForm(Dialogs& dialogs, const QString& executablePath, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                              | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_dialogs(dialogs), m_arguments(arguments)
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

template <typename Sender, typename Signal, typename Handler>
void TAppForm::connectHandler(Sender* sender, Signal signal, Handler handler)
{
    connect(sender, signal, this,
            [this, handler] { runGuarded(m_dialogs, this, [this, handler] { (this->*handler)(); }); });
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

void TAppForm::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setFont(pixelFont(font(), kCaptionPixels));
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(8, 6, 8, 4);
    layout->setSpacing(6);

    auto* readingPanel = new QGroupBox(client);
    readingPanel->setObjectName(QStringLiteral("Panel2"));
    auto* top = new QGridLayout(readingPanel);
    top->setContentsMargins(8, 6, 8, 6);
    m_headerLineBox = new QCheckBox(QStringLiteral("First line includes column names"), readingPanel);
    m_headerLineBox->setObjectName(QStringLiteral("CheckBox1"));
    m_utf8Button = new QRadioButton(QStringLiteral("UTF-8"), readingPanel);
    m_utf8Button->setObjectName(QStringLiteral("RadioButton2"));
    m_utf8Button->setChecked(true);
    m_ansiButton = new QRadioButton(QStringLiteral("ANSI"), readingPanel);
    m_ansiButton->setObjectName(QStringLiteral("RadioButton1"));
    auto* encodings = new QButtonGroup(readingPanel);
    encodings->addButton(m_utf8Button);
    encodings->addButton(m_ansiButton);
    m_separatorLabel = new QLabel(QStringLiteral("CSV Separator:"), readingPanel);
    m_separatorLabel->setObjectName(QStringLiteral("Label1"));
    m_separatorButton = new QPushButton(readingPanel);
    m_separatorButton->setObjectName(QStringLiteral("Button1"));
    m_separatorButton->setFixedSize(28, 28);
    m_separatorButton->setFont(pixelFont(font(), kSeparatorButtonPixels));
    top->addWidget(m_headerLineBox, 0, 0, 1, 4);
    top->addWidget(m_utf8Button, 1, 0);
    top->addWidget(m_ansiButton, 1, 1);
    auto* separatorRow = new QHBoxLayout;
    separatorRow->addStretch();
    separatorRow->addWidget(m_separatorLabel);
    separatorRow->addWidget(m_separatorButton);
    top->addLayout(separatorRow, 1, 2, 1, 2);
    layout->addWidget(readingPanel);

    m_loadButton = new QPushButton(pictureIcon(QStringLiteral("folder48")), kLoadCaption, client);
    m_loadButton->setObjectName(QStringLiteral("BitBtn1"));
    m_loadButton->setIconSize(QSize(40, 40));
    m_loadButton->setFixedHeight(kBigButtonHeight);
    m_loadButton->setContextMenuPolicy(Qt::CustomContextMenu);
    m_loadMenu = new QMenu(m_loadButton);
    m_loadMenu->setObjectName(QStringLiteral("PopupMenu3"));
    QAction* clearAction = m_loadMenu->addAction(QStringLiteral("Clear"));
    clearAction->setObjectName(QStringLiteral("Clear1"));
    connect(m_loadButton, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_loadMenu->popup(m_loadButton->mapToGlobal(at)); });
    layout->addWidget(m_loadButton);

    auto* scriptPanel = new QGroupBox(client);
    scriptPanel->setObjectName(QStringLiteral("Panel1"));
    auto* middle = new QGridLayout(scriptPanel);
    middle->setContentsMargins(8, 6, 8, 6);
    m_nullEmptyBox = new QCheckBox(QStringLiteral("Null empty cells"), scriptPanel);
    m_nullEmptyBox->setObjectName(QStringLiteral("CheckBox2"));
    connect(m_nullEmptyBox, &QCheckBox::toggled, this, &TAppForm::refreshPreview);
    m_multiRowBox = new QCheckBox(QStringLiteral("Multiple rows statement"), scriptPanel);
    m_multiRowBox->setObjectName(QStringLiteral("CheckBox3"));
    m_tableNameLabel = new QLabel(QStringLiteral("Table Name:"), scriptPanel);
    m_tableNameLabel->setObjectName(QStringLiteral("Label2"));
    m_tableNameEdit = new QLineEdit(QStringLiteral("NEW_TABLE"), scriptPanel);
    m_tableNameEdit->setObjectName(QStringLiteral("Edit2"));
    // A file dropped on the box loads it like a drop anywhere else.
    m_tableNameEdit->setAcceptDrops(false);
    m_databaseLabel = new QLabel(QStringLiteral("Database:"), scriptPanel);
    m_databaseLabel->setObjectName(QStringLiteral("Label3"));
    m_databaseBox = new QComboBox(scriptPanel);
    m_databaseBox->setObjectName(QStringLiteral("DB"));
    for (const DialectInfo& info : kDialects)
        m_databaseBox->addItem(qtView(info.itemText).toString());
    m_databaseBox->setCurrentIndex(0);
    middle->addWidget(m_nullEmptyBox, 0, 0, 1, 2);
    middle->addWidget(m_multiRowBox, 1, 0, 1, 2);
    middle->addWidget(m_tableNameLabel, 2, 0);
    middle->addWidget(m_tableNameEdit, 2, 1);
    middle->addWidget(m_databaseLabel, 3, 0);
    middle->addWidget(m_databaseBox, 3, 1);
    middle->setColumnStretch(1, 1);
    layout->addWidget(scriptPanel);

    m_columnTypesButton = new QPushButton(QStringLiteral("Edit Column Types..."), client);
    m_columnTypesButton->setObjectName(QStringLiteral("ButtonColumn"));
    m_columnTypesButton->setIconSize(QSize(32, 32));
    m_columnTypesButton->setFixedHeight(kBigButtonHeight);
    m_exportButton = new QPushButton(QStringLiteral("Export to SQL..."), client);
    m_exportButton->setObjectName(QStringLiteral("ButtonExport"));
    m_exportButton->setIconSize(QSize(40, 40));
    m_exportButton->setFixedHeight(kBigButtonHeight);
    layout->addStretch();
    layout->addWidget(m_columnTypesButton);
    layout->addWidget(m_exportButton);
    setCentralWidget(client);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    m_statusText = new QLabel(bar);
    m_statusText->setObjectName(QStringLiteral("StatusText"));
    m_statusText->setFont(pixelFont(font(), kStatusPixels));
    bar->addWidget(m_statusText, 1);

    m_updateCheckTimer = new QTimer(this);
    m_updateCheckTimer->setObjectName(QStringLiteral("TimerChecker"));
    m_updateCheckTimer->setInterval(1000);
    connectHandler(m_updateCheckTimer, &QTimer::timeout, &TAppForm::TimerCheckerTimer);
    m_updateCheckTimer->start();

    connectHandler(m_loadButton, &QPushButton::clicked, &TAppForm::BitBtn1Click);
    connectHandler(clearAction, &QAction::triggered, &TAppForm::Clear1Click);
    connectHandler(m_separatorButton, &QPushButton::clicked, &TAppForm::Button1Click);
    connectHandler(m_columnTypesButton, &QPushButton::clicked, &TAppForm::ButtonColumnClick);
    connectHandler(m_exportButton, &QPushButton::clicked, &TAppForm::ButtonExportClick);

    setAcceptDrops(true);
    setLoadedLook(false);
}

void TAppForm::buildMenu()
{
    QMenuBar* menus = menuBar();
    menus->setObjectName(QStringLiteral("MainMenu1"));
    const auto addItem = [this](QMenu* menu, const char* name, const QString& text, const QString& pictureName) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        if (!pictureName.isEmpty())
            action->setIcon(pictureIcon(pictureName));
        return action;
    };
    const auto addBar = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    QMenu* fileMenu = menus->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("File1"));
    connectHandler(addItem(fileMenu, "Clear2", QStringLiteral("Clear"), {}), &QAction::triggered,
                   &TAppForm::Clear1Click);
    connectHandler(addItem(fileMenu, "LoadCSVfile1", QStringLiteral("Load CSV file..."), QStringLiteral("folder48")),
                   &QAction::triggered, &TAppForm::BitBtn1Click);
    connectHandler(addItem(fileMenu, "ExporttoSQL1", QStringLiteral("Export to SQL..."), QStringLiteral("save48")),
                   &QAction::triggered, &TAppForm::ExporttoSQL1Click);
    QAction* previewAction = addItem(fileMenu, "Preview1", QStringLiteral("Preview..."), {});
    previewAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connectHandler(previewAction, &QAction::triggered, &TAppForm::Preview1Click);
    addBar(fileMenu, "N1");
    m_exactQuoting = new ExactQuotingOption(fileMenu, statusBar(), pixelFont(font(), kStatusPixels), this);
    connectHandler(m_exactQuoting->action(), &QAction::triggered, &TAppForm::ExactCsvQuoting1Click);
    addBar(fileMenu, "ExactCsvQuotingBar");
    m_transactionOption =
        new ScriptFormOption(fileMenu, statusBar(), pixelFont(font(), kStatusPixels),
                             {QStringLiteral("One transaction"), QStringLiteral("OneTransaction1"),
                              QStringLiteral("The script loads as one transaction: a failed load leaves no rows"),
                              u"OneTransaction", [](Dialect dialect) { return transactionLines(dialect).has_value(); }},
                             this);
    connectHandler(m_transactionOption->action(), &QAction::triggered, &TAppForm::OneTransaction1Click);
    m_copyOption = new ScriptFormOption(
        fileMenu, statusBar(), pixelFont(font(), kStatusPixels),
        {QStringLiteral("PostgreSQL COPY"), QStringLiteral("PostgreSqlCopy1"),
         QStringLiteral("PostgreSQL scripts load their rows with COPY ... FROM stdin: fastest, but needs psql"),
         u"PostgreSqlCopy", [](Dialect dialect) { return dialect == Dialect::PostgreSql; }},
        this);
    connectHandler(m_copyOption->action(), &QAction::triggered, &TAppForm::PostgreSqlCopy1Click);
    connect(m_databaseBox, &QComboBox::currentIndexChanged, this, [this](int position) {
        const Dialect dialect = dialectFromPosition(position).value_or(Dialect::MySql);
        m_transactionOption->setDialect(dialect);
        m_copyOption->setDialect(dialect);
    });
    addBar(fileMenu, "ScriptFormsBar");
    connectHandler(addItem(fileMenu, "Exit1", QStringLiteral("Exit"), QStringLiteral("exit")), &QAction::triggered,
                   &TAppForm::Exit1Click);

    QMenu* helpMenu = menus->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("Help1"));
    QAction* helpAction = addItem(helpMenu, "Help2", QStringLiteral("Online Help"), QStringLiteral("help"));
    // F1 belongs to this window: in the separator or column types dialog it
    // is theirs to use.
    helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    helpAction->setShortcutContext(Qt::WindowShortcut);
    addAction(helpAction);
    connectHandler(helpAction, &QAction::triggered, &TAppForm::Help1Click);
    addBar(helpMenu, "N3");
    m_updateNotificationsAction = addItem(helpMenu, "UpdateNotifications1", QStringLiteral("Update Notifications"), {});
    m_updateNotificationsAction->setCheckable(true);
    m_updateNotificationsAction->setChecked(true);
    m_updateNotificationsAction->setEnabled(false);
    connectHandler(m_updateNotificationsAction, &QAction::triggered, &TAppForm::UpdateNotifications1Click);
    addBar(helpMenu, "UpdateNotificationsBar");
    connect(addItem(helpMenu, "SendFeedback1", QStringLiteral("Send &Feedback..."), QStringLiteral("feedback")),
            &QAction::triggered, this, &TAppForm::feedbackRequested);
    connect(addItem(helpMenu, "About1", QStringLiteral("&About..."), QStringLiteral("about")), &QAction::triggered,
            this, &TAppForm::aboutRequested);
}

void TAppForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // Fixed size: the client area, with the menu and status bars around it.
    const int chrome = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    setFixedSize(kClientSize.width(), kClientSize.height() + chrome);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    // The command-line file loads once the window is on the screen.
    QMetaObject::invokeMethod(
        this, [this] { runGuarded(m_dialogs, this, [this] { FormShow(); }); }, Qt::QueuedConnection);
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
    const LoadOptions options = readingOptions();
    const QFileInfo file(path);
    const qint64 size = file.isFile() ? file.size() : 0;
    std::atomic<std::uint64_t> bytesRead{0};
    BackgroundWork work(this, QStringLiteral("Loading"));
    work.setProgress([&] {
        const auto done = static_cast<qint64>(bytesRead.load(std::memory_order_relaxed));
        QString text = u"Loading " + file.fileName() + u"\n" + QLocale().formattedDataSize(done);
        if (size > 0)
            text += u" of " + QLocale().formattedDataSize(size);
        return BackgroundWork::Progress{text, done, size};
    });
    // The preview reads the rows as it paints, and the worker moves them as
    // they grow: it shows none until the load has ended, whichever way.
    if (m_preview)
        m_preview->holdForLoad();
    LoadReport report;
    try {
        BusyCursor busy;
        const CurrentWork current(m_work, work);
        work.run([&] {
            report = m_workspace.load(localPath(path), options, LoadControl{&bytesRead, &work.cancelFlag()});
        });
    } catch (...) {
        m_dataProfile.forget();
        refreshPreview();
        throw;
    }
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
    // Cancel that came just as the file ended still ends the batch.
    return {report.fileExisted, work.cancelled()};
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

void TAppForm::setLoadedLook(bool loaded)
{
    for (QWidget* control : {static_cast<QWidget*>(m_headerLineBox), static_cast<QWidget*>(m_utf8Button),
                             static_cast<QWidget*>(m_ansiButton), static_cast<QWidget*>(m_separatorLabel),
                             static_cast<QWidget*>(m_separatorButton)})
        control->setEnabled(!loaded);
    for (QWidget* control : {static_cast<QWidget*>(m_nullEmptyBox), static_cast<QWidget*>(m_multiRowBox),
                             static_cast<QWidget*>(m_tableNameLabel), static_cast<QWidget*>(m_tableNameEdit),
                             static_cast<QWidget*>(m_databaseLabel), static_cast<QWidget*>(m_databaseBox),
                             static_cast<QWidget*>(m_columnTypesButton), static_cast<QWidget*>(m_exportButton)})
        control->setEnabled(loaded);
    if (m_exactQuoting)
        m_exactQuoting->setLocked(loaded);
    m_columnTypesButton->setIcon(pictureIcon(loaded ? QStringLiteral("column") : QStringLiteral("column_Disabled")));
    m_exportButton->setIcon(pictureIcon(loaded ? QStringLiteral("save48") : QStringLiteral("saveblack48")));
}

void TAppForm::BitBtn1Click()
{
    if (m_work != nullptr)
        return;
    // "*" and not "*.*": on Linux a CSV file need not have an extension.
    const QStringList paths =
        m_dialogs.openFiles(this, {QStringLiteral("CSV Files (*.csv)|*.csv|All files (*)|*"), QString()});
    loadFiles(paths, [this](const QString& path) { return loadFile(path); });
}

void TAppForm::Clear1Click()
{
    if (m_work != nullptr)
        return;
    m_workspace.clear();
    m_dataProfile.forget();
    refreshPreview();
    m_loadButton->setText(kLoadCaption);
    setLoadedLook(false);
    m_statusText->clear();
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
    const LoadOptions reading = readingOptions();
    // Profiling reads every loaded row once (then the profile is kept until
    // the next load or Clear): beside the window, as a load is.
    const TableProfile* read = nullptr;
    {
        BackgroundWork work(this, QStringLiteral("Suggesting types"));
        work.setCancellable(false);
        work.setProgress([] { return BackgroundWork::Progress{QStringLiteral("Reading the loaded rows..."), 0, 0}; });
        BusyCursor busy;
        const CurrentWork current(m_work, work);
        work.run([&] { read = &m_dataProfile.profile(profileReadingOf(reading)); });
    }
    const TableProfile& profile = *read;
    const auto suggestions = suggestTypes(profile, reading.dialect, m_nullEmptyBox->isChecked());
    std::vector<TFormColumnTypes::Suggestion> out;
    out.reserve(suggestions.size());
    for (std::size_t i = 0; i < suggestions.size(); ++i)
        out.push_back({QString::fromStdU16String(suggestions[i].type),
                       QString::fromStdString(explainColumn(profile.columns[i], suggestions[i]))});
    return out;
}

void TAppForm::ButtonExportClick()
{
    if (m_work != nullptr)
        return;
    const LoadOptions reading = readingOptions();
    const QString path = m_dialogs.saveFile(
        this, {QStringLiteral("SQL File (*.sql)|*.sql|Text File (*.txt)|*.txt"), QStringLiteral("sql")});
    if (path.isEmpty())
        return;
    if (m_workspace.rowCount() == 0) {
        m_dialogs.message(this, MessageIcon::Warning, QStringLiteral("Warning"), QStringLiteral("No input!"));
        return;
    }

    ExportResult result;
    QString structure;
    {
        ScriptOptions options;
        options.dialect = reading.dialect;
        options.separator = reading.separator;
        options.headerLine = reading.headerLine;
        options.encoding = reading.encoding;
        options.tableName = m_tableNameEdit->text().toStdU16String();
        options.nullEmpty = m_nullEmptyBox->isChecked();
        options.multiRow = m_multiRowBox->isChecked();
        options.exactQuoting = reading.exactQuoting;
        options.transaction = m_transactionOption->isOn();
        options.copy = m_copyOption->isOn();
        const QString fileName = QFileInfo(path).fileName();
        const qint64 total =
            static_cast<qint64>(m_workspace.rowCount()) - (options.headerLine && m_workspace.rowCount() > 0 ? 1 : 0);
        std::atomic<std::uint64_t> rowsWritten{0};
        BackgroundWork work(this, QStringLiteral("Exporting"));
        work.setProgress([&] {
            const auto done = static_cast<qint64>(rowsWritten.load(std::memory_order_relaxed));
            return BackgroundWork::Progress{u"Exporting to " + fileName + u"\n" + QLocale().toString(done) + u" of "
                                                + QLocale().toString(total) + u" rows",
                                            done, total};
        });
        BusyCursor busy;
        const CurrentWork current(m_work, work);
        try {
            work.run([&] {
                result = writeScriptFile(
                    path, work.cancelFlag(),
                    [&](ByteSink& file) {
                        return Donustur(m_workspace, options, file, ExportControl{&rowsWritten, &work.cancelFlag()});
                    },
                    [&] {
                        structure = QString::fromStdString(m_dataProfile.structureWarnings(profileReadingOf(reading)));
                    });
            });
        } catch (const ExportCancelled&) {
            return; // the file of that name is as it was; nothing to report
        }
    }
    QString text = u"Operation completed.\n\nFile saved: " + QFileInfo(path).absoluteFilePath();
    if (!m_workspace.columnRenames().empty())
        text += u"\n\n" + renamesParagraph(m_workspace.columnRenames());
    if (result.substituted > 0)
        text += u"\n\n" + substitutionParagraph(result.substituted);
    if (!result.renamed.empty())
        text += u"\n\n" + shortenedParagraph(result.renamed, reading.dialect);
    if (!structure.isEmpty())
        text += u"\n\n" + structure.trimmed();
    m_dialogs.message(this, MessageIcon::Information, QStringLiteral("Success"), text);
}

void TAppForm::Preview1Click()
{
    if (!m_preview) {
        m_preview = new TFormPreview(
            m_workspace,
            [this] {
                const LoadOptions reading = readingOptions();
                PreviewModel::Settings settings{
                    reading.separator, reading.headerLine, m_nullEmptyBox->isChecked(), {}, reading.exactQuoting};
                if (const TableProfile* profile = m_dataProfile.cached(profileReadingOf(reading))) {
                    for (const auto& s : suggestTypes(*profile, reading.dialect, settings.nullEmpty))
                        settings.suggestions.push_back(QString::fromStdU16String(s.type));
                }
                return settings;
            },
            this);
        m_preview->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_preview->show();
    m_preview->raise();
    m_preview->activateWindow();
}

void TAppForm::refreshPreview()
{
    if (m_preview)
        m_preview->refresh();
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
