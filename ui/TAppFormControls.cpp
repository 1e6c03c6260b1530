// The main window's controls and menus: how they are laid out, what they
// are named, which handler each one calls, and which are enabled before and
// after a load. The handlers themselves are in TAppForm.cpp.
#include "ui/TAppForm.h"

#include "ui/EngineText.h"
#include "ui/ErrorReport.h"
#include "ui/Pictures.h"
#include "ui/ReloadBar.h"
#include "ui/LineSkippingEdit.h"
#include "ui/MenuOption.h"
#include "ui/NullMarkersEdit.h"
#include "ui/TableModeChoice.h"
#include "ui/ValueFormsChoice.h"
#include "engine/sql/TransactionLines.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quarrow {

namespace {

constexpr int kCaptionPixels = 19;
constexpr int kSeparatorButtonPixels = 16;
constexpr int kStatusPixels = 11;
constexpr int kBigButtonHeight = 49;

QFont pixelFont(const QFont& base, int pixels)
{
    QFont font = base;
    font.setPixelSize(pixels);
    return font;
}

} // namespace

template <typename Sender, typename Signal, typename Handler>
void TAppForm::connectHandler(Sender* sender, Signal signal, Handler handler)
{
    connect(sender, signal, this,
            [this, handler] { runGuarded(m_dialogs, this, [this, handler] { (this->*handler)(); }); });
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
    m_valueForms = new ValueFormsChoice(readingPanel);
    top->addWidget(m_valueForms->button(), 2, 0, 1, 4);
    m_lineSkipping = new LineSkippingEdit(top, readingPanel, this);
    // Suggestions made in other forms no longer hold.
    connect(m_valueForms, &ValueFormsChoice::picked, this, &TAppForm::refreshPreview);
    layout->addWidget(readingPanel);

    m_loadButton = new QPushButton(pictureIcon(QStringLiteral("folder48")), QString::fromUtf16(kLoadCaption), client);
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
    m_reloadBar = new ReloadBar(client);
    connect(m_reloadBar, &ReloadBar::reloadRequested, this, [this](const ReloadOffer& offer) {
        runGuarded(m_dialogs, this, [this, &offer] { reloadWithOffer(offer); });
    });
    connect(m_reloadBar, &ReloadBar::shownChanged, this, &TAppForm::fitWindowSize);
    layout->addWidget(m_reloadBar);

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
    m_tableMode = new TableModeChoice(middle, scriptPanel, this);
    connect(m_databaseBox, &QComboBox::currentIndexChanged, this,
            [this](int position) { m_tableMode->setDialect(dialectFromPosition(position).value_or(Dialect::MySql)); });
    m_nullMarkers = new NullMarkersEdit(middle, scriptPanel, this);
    connect(m_nullMarkers, &NullMarkersEdit::changed, this, &TAppForm::refreshPreview);
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
    addBar(fileMenu, "ProfilesBar");
    connectHandler(addItem(fileMenu, "OpenProfile1", QStringLiteral("Open Profile..."), {}), &QAction::triggered,
                   &TAppForm::OpenProfile1Click);
    connectHandler(addItem(fileMenu, "SaveProfile1", QStringLiteral("Save Profile..."), {}), &QAction::triggered,
                   &TAppForm::SaveProfile1Click);
    connectHandler(addItem(fileMenu, "AutoDetect1", QStringLiteral("Auto-detect"), {}), &QAction::triggered,
                   &TAppForm::AutoDetect1Click);
    addBar(fileMenu, "N1");
    const QFont statusFont = pixelFont(font(), kStatusPixels);
    m_exactQuoting = new MenuOption(
        fileMenu, statusBar(), statusFont,
        {QStringLiteral("Exact CSV quoting (RFC 4180)"), QStringLiteral("ExactCsvQuoting1"),
         QStringLiteral("ExactQuotingStatus"), QStringLiteral("Values keep their line breaks, quotes and blanks"),
         QStringLiteral("Line breaks inside quotes belong to the value; nothing is trimmed or removed from values"),
         u"ExactCsvQuoting"},
        this);
    connectHandler(m_exactQuoting->action(), &QAction::triggered, &TAppForm::ExactCsvQuoting1Click);
    addBar(fileMenu, "ExactCsvQuotingBar");
    // A form of the script names its status label after its item.
    const auto scriptForm = [](const QString& itemText, const QString& objectName, const QString& toolTip,
                               std::u16string_view settingName, bool (*offeredFor)(Dialect)) {
        return MenuOption::Setup{itemText,    objectName, objectName + u"Status", toolTip, toolTip,
                                 settingName, offeredFor};
    };
    m_transactionOption = new MenuOption(
        fileMenu, statusBar(), statusFont,
        scriptForm(QStringLiteral("One transaction"), QStringLiteral("OneTransaction1"),
                   QStringLiteral("The script loads as one transaction: a failed load leaves no rows"),
                   u"OneTransaction", [](Dialect dialect) { return transactionLines(dialect).has_value(); }),
        this);
    connectHandler(m_transactionOption->action(), &QAction::triggered, &TAppForm::OneTransaction1Click);
    m_copyOption = new MenuOption(
        fileMenu, statusBar(), statusFont,
        scriptForm(
            QStringLiteral("PostgreSQL COPY"), QStringLiteral("PostgreSqlCopy1"),
            QStringLiteral("PostgreSQL scripts load their rows with COPY ... FROM stdin: fastest, but needs psql"),
            u"PostgreSqlCopy", [](Dialect dialect) { return dialect == Dialect::PostgreSql; }),
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
    m_lineSkipping->setLocked(loaded);
    m_tableMode->setEnabled(loaded);
    m_nullMarkers->setEnabled(loaded);
    m_columnTypesButton->setIcon(pictureIcon(loaded ? QStringLiteral("column") : QStringLiteral("column_Disabled")));
    m_exportButton->setIcon(pictureIcon(loaded ? QStringLiteral("save48") : QStringLiteral("saveblack48")));
}

} // namespace quarrow
