#include "info/about/TAboutBox.h"

#include "kit/Dialogs.h"
#include "info/about/LicenceFile.h"
#include "kit/MakerServer.h"
#include "kit/MouseGestures.h"
#include "engine/text/MessageLookup.h"
#include "kit/VectorPicture.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <chrono>
#include <initializer_list>

// The artwork is compiled into the static info library; without a reference
// from code that is linked anyway, the linker leaves it out of the program.
static void registerAboutPictures()
{
    Q_INIT_RESOURCE(about_pictures);
}

namespace quarrow {

namespace {

constexpr QSize kClientSize(446, 374);
constexpr QRect kCard(48, 42, 350, 291);
constexpr QRect kLogo(3, 3, 344, 105);
constexpr QRect kBevel(9, 122, 34, 34);
constexpr QRect kIcon(10, 123, 32, 32);
constexpr QRect kNameAndVersion(49, 122, 290, 40);
constexpr QRect kOkButton(49, 224, 122, 33);
constexpr QRect kInfoButton(177, 224, 122, 33);
constexpr int kLinkHeight = 15;
constexpr QSize kHiddenPanel(324, 220);
constexpr QRect kHiddenPicture(2, 3, 320, 214);
constexpr QSize kTriangle(10, 10);
constexpr int kTextPixels = 16;
constexpr int kRainMilliseconds = 50;
constexpr int kSlideMilliseconds = 5;
constexpr int kSlideStep = 5;

const QColor kLinkColour(0, 255, 0);

QString message(std::u16string_view text)
{
    return QString::fromStdU16String(messageLookup(text));
}

DropDownMemory::Tick systemTick()
{
    using namespace std::chrono;
    return static_cast<DropDownMemory::Tick>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

QPixmap drawPicture(const QString& resource, QSize size, qreal ratio)
{
    static const bool registered = (registerAboutPictures(), true);
    Q_UNUSED(registered);
    return vectorPicture(resource, size, ratio);
}

QFont pixelFont(const QFont& base, int pixels)
{
    QFont font = base;
    font.setPixelSize(pixels);
    return font;
}

// The largest monospaced font whose lines fit a rain cell, so that a
// character's opaque box never reaches into the row below.
QFont rainFont()
{
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    for (int pixels = RainModel::kCellHeight; pixels > 4; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= RainModel::kCellHeight)
            break;
    }
    return font;
}

void paintBlack(QWidget* widget, QColor text = Qt::white)
{
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, text);
    widget->setPalette(colours);
    widget->setAutoFillBackground(true);
}

template <typename T>
T* named(T* made, const char* name)
{
    made->setObjectName(QString::fromLatin1(name));
    return made;
}

QLabel* picture(QWidget* parent, const char* name, const QRect& where)
{
    auto* label = named(new QLabel(parent), name);
    label->setGeometry(where);
    label->setScaledContents(true);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

} // namespace

TAboutBox::TAboutBox(const AboutFacts& facts, Dialogs& dialogs, QWidget* parent, RainModel::RandomBelow random)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_dialogs(dialogs), m_icon(facts.icon), m_programFolder(facts.programFolder), m_clock(systemTick),
      m_showMenu([](QMenu& menu, const QPoint& topLeft) { menu.exec(topLeft); }), m_rain(u"tarnix", std::move(random))
{
    setObjectName(QStringLiteral("AboutBox"));
    setFixedSize(kClientSize);
    QFont windowFont(QStringLiteral("Tahoma"));
    windowFont.setPixelSize(11);
    setFont(windowFont);
    paintBlack(this);
    m_rainFont = rainFont();
    m_rainAscent = QFontMetrics(m_rainFont).ascent();

    m_rainTimer = named(new QTimer(this), "tmTimer");
    m_rainTimer->setInterval(kRainMilliseconds);
    connect(m_rainTimer, &QTimer::timeout, this, &TAboutBox::tmTimerTimer);
    m_slideTimer = named(new QTimer(this), "TimerEgg");
    m_slideTimer->setInterval(kSlideMilliseconds);
    connect(m_slideTimer, &QTimer::timeout, this, &TAboutBox::TimerEggTimer);

    setWindowTitle(message(u"About %s").replace(u"%s"_qs, facts.productName));
    buildControls(facts);
    buildMenu();
    HighDPIImageYukle();
    m_hiddenPanel->move((width() - m_hiddenPanel->width()) / 2, (height() - m_hiddenPanel->height()) / 2);
    m_okButton->setFocus();
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::buildControls(const AboutFacts& facts)
{
    // Made first, so that it lies beneath the card.
    m_hiddenPanel = named(new QFrame(this), "PanelEgg");
    m_hiddenPanel->setFrameStyle(QFrame::NoFrame);
    m_hiddenPanel->resize(kHiddenPanel);
    paintBlack(m_hiddenPanel);
    m_hiddenPanel->hide();
    m_hiddenPicture = picture(m_hiddenPanel, "ImageEgg", kHiddenPicture);

    m_card = named(new QFrame(this), "Panel1");
    m_card->setGeometry(kCard);
    m_card->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_card->setLineWidth(1);
    paintBlack(m_card);
    QPalette bevel = m_card->palette();
    bevel.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    bevel.setColor(QPalette::Dark, QColor(0x28, 0x28, 0x28));
    bevel.setColor(QPalette::Mid, QColor(0x3c, 0x3c, 0x3c));
    m_card->setPalette(bevel);

    m_logo = picture(m_card, "Image2", kLogo);

    m_iconBevel = named(new QFrame(m_card), "Bevel1");
    m_iconBevel->setGeometry(kBevel);
    m_iconBevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    m_iconBevel->setLineWidth(1);
    m_iconLabel = named(new QLabel(m_card), "Image1");
    m_iconLabel->setGeometry(kIcon);
    m_iconLabel->setAlignment(Qt::AlignCenter);

    m_nameAndVersion = named(new QLabel(facts.productName + u' ' + facts.versionText, m_card), "Label2");
    m_nameAndVersion->setGeometry(kNameAndVersion);
    m_nameAndVersion->setTextFormat(Qt::PlainText);
    m_nameAndVersion->setWordWrap(true);
    m_nameAndVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_nameAndVersion->setFont(pixelFont(font(), kTextPixels));

    QPalette buttonColours = m_card->palette();
    buttonColours.setColor(QPalette::Button, QColor(0x30, 0x30, 0x30));
    buttonColours.setColor(QPalette::ButtonText, Qt::white);
    m_okButton = named(new QPushButton(message(u"OK"), m_card), "BitBtn1");
    m_infoButton = named(new QPushButton(message(u"Info"), m_card), "BitBtn2");
    for (QPushButton* button : {m_okButton, m_infoButton}) {
        button->setFont(pixelFont(font(), kTextPixels));
        button->setPalette(buttonColours);
        button->setAutoDefault(false);
    }
    m_okButton->setGeometry(kOkButton);
    m_okButton->setDefault(true);
    m_infoButton->setGeometry(kInfoButton);
    // A button lays its picture out before the caption; mirrored, the
    // triangle comes after it.
    m_infoButton->setLayoutDirection(Qt::RightToLeft);
    m_infoButton->setIconSize(kTriangle);
    connect(m_okButton, &QPushButton::clicked, this, &TAboutBox::BitBtn1Click);
    connect(m_infoButton, &QPushButton::clicked, this, &TAboutBox::BitBtn2Click);

    const QString home = makerHttpBase() + u'/';
    m_homeLink = named(new QLabel(QUrl(home).host(), m_card), "Label5");
    m_homeLink->setGeometry(1, kCard.height() - 1 - kLinkHeight, kCard.width() - 2, kLinkHeight);
    m_homeLink->setTextFormat(Qt::PlainText);
    m_homeLink->setAlignment(Qt::AlignCenter);
    QFont linkFont(QStringLiteral("MS Sans Serif"));
    linkFont.setPointSize(8);
    linkFont.setUnderline(true);
    m_homeLink->setFont(linkFont);
    QPalette linkColours = m_homeLink->palette();
    linkColours.setColor(QPalette::WindowText, kLinkColour);
    m_homeLink->setPalette(linkColours);
    m_homeLink->setCursor(Qt::PointingHandCursor);
    m_homeLink->setToolTip(home);

    // Qt hands a press that a control ignores on to its parent, which would
    // start a drag from the buttons, the link or the hidden picture's edge.
    for (QWidget* watched :
         std::initializer_list<QWidget*>{m_card, m_iconLabel, m_logo, m_nameAndVersion, m_hiddenPicture, m_okButton,
                                         m_infoButton, m_homeLink, m_hiddenPanel, m_iconBevel})
        watched->installEventFilter(this);
}

void TAboutBox::buildMenu()
{
    m_infoMenu = named(new QMenu(this), "PopupMenu1");
    m_creditsAction = named(m_infoMenu->addAction(message(u"Acknowledgements...")), "Credits1");
    m_uninstallAction = named(m_infoMenu->addAction(message(u"How to uninstall...")), "Howtouninstall1");
    m_licenceAction = named(m_infoMenu->addAction(message(u"License...")), "LicensePrivacyPolicy1");
    connect(m_creditsAction, &QAction::triggered, this, &TAboutBox::Credits1Click);
    connect(m_uninstallAction, &QAction::triggered, this, &TAboutBox::Howtouninstall1Click);
    connect(m_licenceAction, &QAction::triggered, this, &TAboutBox::LicensePrivacyPolicy1Click);
}

void TAboutBox::placeOnScreen()
{
    const QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
}

void TAboutBox::setDropDown(Clock clock, MenuShower showMenu)
{
    m_clock = std::move(clock);
    m_showMenu = std::move(showMenu);
}

void TAboutBox::HighDPIImageYukle()
{
    const qreal ratio = devicePixelRatioF();
    m_logo->clear();
    m_logo->setPixmap(drawPicture(QStringLiteral(":/about/logo.svg"), kLogo.size(), ratio));
    m_hiddenPicture->clear();
    m_hiddenPicture->setPixmap(drawPicture(QStringLiteral(":/about/cat.svg"), kHiddenPicture.size(), ratio));
    m_infoButton->setIcon(QIcon(drawPicture(QStringLiteral(":/about/dropdown.svg"), kTriangle, ratio)));
    m_iconLabel->setPixmap(m_icon.pixmap(kIcon.size(), ratio));
    m_artworkRatio = ratio;
    ++m_artworkLoads;
}

void TAboutBox::watchScreen()
{
    // A scale change on the same screen arrives as a change of its logical
    // dots per inch rather than as a change of screen.
    disconnect(m_screenScaleWatch);
    if (const QScreen* current = screen())
        m_screenScaleWatch = connect(current, &QScreen::logicalDotsPerInchChanged, this, &TAboutBox::HighDPIImageYukle);
}

bool TAboutBox::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ScreenChangeInternal:
        watchScreen();
        HighDPIImageYukle();
        break;
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    case QEvent::DevicePixelRatioChange: HighDPIImageYukle(); break;
#endif
    default: break;
    }
    return QDialog::event(event);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The frame is known once the window exists, which is just before its
    // first show.
    if (!m_rainStarted)
        placeOnScreen();
    // The outer size includes the title bar, which only exists once the
    // window does; where the window system adds its frame later still, the
    // grid falls back to the client size, which the fixed window keeps.
    if (!m_rainStarted)
        startRain();
    watchScreen();
}

void TAboutBox::startRain()
{
    const QSize outer = frameGeometry().size().expandedTo(size());
    m_rainStarted = true;
    m_rain.start(outer.width(), outer.height());
    setUpRain();
    m_rainTimer->start();
}

void TAboutBox::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_rainStarted) {
        m_rain.setUp();
        setUpRain();
    }
}

void TAboutBox::setUpRain()
{
    const qreal ratio = devicePixelRatioF();
    const QSize outer = frameGeometry().size().expandedTo(size());
    m_rainSurface = QImage(outer * ratio, QImage::Format_RGB32);
    m_rainSurface.setDevicePixelRatio(ratio);
    m_rainSurface.fill(Qt::black);
    update();
}

void TAboutBox::tmTimerTimer()
{
    drawRain(m_rain.tick());
}

void TAboutBox::drawRain(const std::vector<RainModel::Operation>& operations)
{
    if (m_rainSurface.isNull())
        return;
    QPainter painter(&m_rainSurface);
    painter.setFont(m_rainFont);
    const QFontMetrics metrics(m_rainFont);
    for (const RainModel::Operation& operation : operations) {
        const int x = operation.column * RainModel::kCellWidth;
        const int y = operation.row * RainModel::kCellHeight;
        if (operation.kind == RainModel::Operation::Kind::EraseCell) {
            painter.fillRect(x, y, RainModel::kCellWidth, RainModel::kCellHeight, Qt::black);
            continue;
        }
        const QString character(QChar(operation.character));
        // Opaque: the character's own box hides whatever was drawn there.
        painter.fillRect(x, y, metrics.horizontalAdvance(character), RainModel::kCellHeight, Qt::black);
        painter.setPen(QColor(operation.colour.red, operation.colour.green, operation.colour.blue));
        painter.drawText(x, y + m_rainAscent, character);
    }
    update();
}

void TAboutBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_rainSurface.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(0, 0, m_rainSurface);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (!isPointerEvent(event))
        return QDialog::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == m_homeLink) {
        if (m_linkClick.isClick(*m_homeLink, mouse))
            Label5Click();
        return true;
    }
    if (watched == m_okButton || watched == m_infoButton)
        return isButtonPress(event) && mouse->button() != Qt::LeftButton;
    // The icon's frame is not one of the parts that drag the window: a press
    // on its border is used up here instead of reaching the card.
    if (watched == m_hiddenPanel || watched == m_iconBevel)
        return isButtonPress(event);
    if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
        if (watched == m_iconLabel)
            Image1DblClick();
        else if (watched == m_hiddenPicture)
            ImageEggDblClick();
    }
    return m_drag.handle(mouse);
}

void TAboutBox::mousePressEvent(QMouseEvent* event)
{
    m_drag.handle(event);
}

void TAboutBox::mouseMoveEvent(QMouseEvent* event)
{
    m_drag.handle(event);
}

void TAboutBox::mouseReleaseEvent(QMouseEvent* event)
{
    m_drag.handle(event);
}

void TAboutBox::BitBtn1Click()
{
    close();
}

void TAboutBox::BitBtn2Click()
{
    DropDownMemory& memory = DropDownMemory::processWide();
    if (!memory.shouldShow(m_infoButton, m_infoMenu, m_clock()))
        return;
    const QPoint topLeft = m_infoButton->mapToGlobal(QPoint(0, m_infoButton->height()));
    // The menu runs its own event loop, in which the window may be closed
    // and freed by its owner.
    const QPointer<TAboutBox> alive(this);
    const void* button = m_infoButton;
    const void* menu = m_infoMenu;
    m_showMenu(*m_infoMenu, topLeft);
    memory.menuClosed(button, menu, alive ? m_clock() : systemTick());
}

void TAboutBox::Label5Click()
{
    m_dialogs.openUrl(makerHttpBase() + u'/');
}

void TAboutBox::Credits1Click()
{
    m_dialogs.openUrl(makerHttpsBase() + u"/blog/credits-and-acknowledgements/");
}

void TAboutBox::Howtouninstall1Click()
{
    m_dialogs.openUrl(makerHttpBase() + u"/blog/how-to-uninstall-tarnix-software/");
}

void TAboutBox::LicensePrivacyPolicy1Click()
{
    if (const auto path = findLicenceFile(m_programFolder, installedDocFolderFromProgram()))
        m_dialogs.openTextFile(QDir::toNativeSeparators(*path));
    else
        m_dialogs.message(this, MessageIcon::Error, message(u"License"), message(u"File not found!"));
}

void TAboutBox::Image1DblClick()
{
    if (m_slideTimer->isActive())
        return;
    m_hiddenPanel->show();
    m_slideTimer->start();
}

void TAboutBox::TimerEggTimer()
{
    m_card->move(m_card->x() + kSlideStep, m_card->y());
    if (m_card->x() > width())
        m_slideTimer->stop();
}

void TAboutBox::ImageEggDblClick()
{
    if (m_slideTimer->isActive())
        return;
    m_hiddenPanel->hide();
    m_card->move((width() - m_card->width()) / 2, m_card->y());
}

void openAboutBox(QWidget* owner, const AboutFacts& facts, Dialogs& dialogs)
{
    const QPointer<TAboutBox> box = new TAboutBox(facts, dialogs, owner);
    box->exec();
    delete box;
}

} // namespace quarrow
