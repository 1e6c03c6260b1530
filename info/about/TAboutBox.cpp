#include "TAboutBox.h"

#include "Dialogs.h"
#include "LicenceFile.h"
#include "MakerServer.h"
#include "MessageLookup.h"
#include "MouseGestures.h"
#include "TAppForm.h"
#include "VectorPicture.h"

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

    tmTimer = named(new QTimer(this), "tmTimer");
    tmTimer->setInterval(kRainMilliseconds);
    connect(tmTimer, &QTimer::timeout, this, &TAboutBox::tmTimerTimer);
    TimerEgg = named(new QTimer(this), "TimerEgg");
    TimerEgg->setInterval(kSlideMilliseconds);
    connect(TimerEgg, &QTimer::timeout, this, &TAboutBox::TimerEggTimer);

    setWindowTitle(message(u"About %s").replace(u"%s"_qs, facts.productName));
    buildControls(facts);
    buildMenu();
    HighDPIImageYukle();
    PanelEgg->move((width() - PanelEgg->width()) / 2, (height() - PanelEgg->height()) / 2);
    BitBtn1->setFocus();
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::buildControls(const AboutFacts& facts)
{
    // Made first, so that it lies beneath the card.
    PanelEgg = named(new QFrame(this), "PanelEgg");
    PanelEgg->setFrameStyle(QFrame::NoFrame);
    PanelEgg->resize(kHiddenPanel);
    paintBlack(PanelEgg);
    PanelEgg->hide();
    ImageEgg = picture(PanelEgg, "ImageEgg", kHiddenPicture);

    Panel1 = named(new QFrame(this), "Panel1");
    Panel1->setGeometry(kCard);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    paintBlack(Panel1);
    QPalette bevel = Panel1->palette();
    bevel.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    bevel.setColor(QPalette::Dark, QColor(0x28, 0x28, 0x28));
    bevel.setColor(QPalette::Mid, QColor(0x3c, 0x3c, 0x3c));
    Panel1->setPalette(bevel);

    Image2 = picture(Panel1, "Image2", kLogo);

    Bevel1 = named(new QFrame(Panel1), "Bevel1");
    Bevel1->setGeometry(kBevel);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setLineWidth(1);
    Image1 = named(new QLabel(Panel1), "Image1");
    Image1->setGeometry(kIcon);
    Image1->setAlignment(Qt::AlignCenter);

    Label2 = named(new QLabel(facts.productName + u' ' + facts.versionText, Panel1), "Label2");
    Label2->setGeometry(kNameAndVersion);
    Label2->setTextFormat(Qt::PlainText);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setFont(pixelFont(font(), kTextPixels));

    QPalette buttonColours = Panel1->palette();
    buttonColours.setColor(QPalette::Button, QColor(0x30, 0x30, 0x30));
    buttonColours.setColor(QPalette::ButtonText, Qt::white);
    BitBtn1 = named(new QPushButton(message(u"OK"), Panel1), "BitBtn1");
    BitBtn2 = named(new QPushButton(message(u"Info"), Panel1), "BitBtn2");
    for (QPushButton* button : {BitBtn1, BitBtn2}) {
        button->setFont(pixelFont(font(), kTextPixels));
        button->setPalette(buttonColours);
        button->setAutoDefault(false);
    }
    BitBtn1->setGeometry(kOkButton);
    BitBtn1->setDefault(true);
    BitBtn2->setGeometry(kInfoButton);
    // A button lays its picture out before the caption; mirrored, the
    // triangle comes after it.
    BitBtn2->setLayoutDirection(Qt::RightToLeft);
    BitBtn2->setIconSize(kTriangle);
    connect(BitBtn1, &QPushButton::clicked, this, &TAboutBox::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TAboutBox::BitBtn2Click);

    const QString home = makerHttpBase() + u'/';
    Label5 = named(new QLabel(QUrl(home).host(), Panel1), "Label5");
    Label5->setGeometry(1, kCard.height() - 1 - kLinkHeight, kCard.width() - 2, kLinkHeight);
    Label5->setTextFormat(Qt::PlainText);
    Label5->setAlignment(Qt::AlignCenter);
    QFont linkFont(QStringLiteral("MS Sans Serif"));
    linkFont.setPointSize(8);
    linkFont.setUnderline(true);
    Label5->setFont(linkFont);
    QPalette linkColours = Label5->palette();
    linkColours.setColor(QPalette::WindowText, kLinkColour);
    Label5->setPalette(linkColours);
    Label5->setCursor(Qt::PointingHandCursor);
    Label5->setToolTip(home);

    // Qt hands a press that a control ignores on to its parent, which would
    // start a drag from the buttons, the link or the hidden picture's edge.
    for (QWidget* watched : std::initializer_list<QWidget*>{Panel1, Image1, Image2, Label2, ImageEgg, BitBtn1, BitBtn2,
                                                            Label5, PanelEgg, Bevel1})
        watched->installEventFilter(this);
}

void TAboutBox::buildMenu()
{
    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    Credits1 = named(PopupMenu1->addAction(message(u"Acknowledgements...")), "Credits1");
    Howtouninstall1 = named(PopupMenu1->addAction(message(u"How to uninstall...")), "Howtouninstall1");
    LicensePrivacyPolicy1 = named(PopupMenu1->addAction(message(u"License...")), "LicensePrivacyPolicy1");
    connect(Credits1, &QAction::triggered, this, &TAboutBox::Credits1Click);
    connect(Howtouninstall1, &QAction::triggered, this, &TAboutBox::Howtouninstall1Click);
    connect(LicensePrivacyPolicy1, &QAction::triggered, this, &TAboutBox::LicensePrivacyPolicy1Click);
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
    Image2->clear();
    Image2->setPixmap(drawPicture(QStringLiteral(":/about/logo.svg"), kLogo.size(), ratio));
    ImageEgg->clear();
    ImageEgg->setPixmap(drawPicture(QStringLiteral(":/about/cat.svg"), kHiddenPicture.size(), ratio));
    BitBtn2->setIcon(QIcon(drawPicture(QStringLiteral(":/about/dropdown.svg"), kTriangle, ratio)));
    Image1->setPixmap(m_icon.pixmap(kIcon.size(), ratio));
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
    tmTimer->start();
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
    if (watched == Label5) {
        if (m_linkClick.isClick(*Label5, mouse))
            Label5Click();
        return true;
    }
    if (watched == BitBtn1 || watched == BitBtn2)
        return isButtonPress(event) && mouse->button() != Qt::LeftButton;
    // The icon's frame is not one of the parts that drag the window: a press
    // on its border is used up here instead of reaching the card.
    if (watched == PanelEgg || watched == Bevel1)
        return isButtonPress(event);
    if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
        if (watched == Image1)
            Image1DblClick();
        else if (watched == ImageEgg)
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
    if (!memory.shouldShow(BitBtn2, PopupMenu1, m_clock()))
        return;
    const QPoint topLeft = BitBtn2->mapToGlobal(QPoint(0, BitBtn2->height()));
    // The menu runs its own event loop, in which the window may be closed
    // and freed by its owner.
    const QPointer<TAboutBox> alive(this);
    const void* button = BitBtn2;
    const void* menu = PopupMenu1;
    m_showMenu(*PopupMenu1, topLeft);
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
    if (TimerEgg->isActive())
        return;
    PanelEgg->show();
    TimerEgg->start();
}

void TAboutBox::TimerEggTimer()
{
    Panel1->move(Panel1->x() + kSlideStep, Panel1->y());
    if (Panel1->x() > width())
        TimerEgg->stop();
}

void TAboutBox::ImageEggDblClick()
{
    if (TimerEgg->isActive())
        return;
    PanelEgg->hide();
    Panel1->move((width() - Panel1->width()) / 2, Panel1->y());
}

void openAboutBox(TAppForm& owner, Dialogs& dialogs)
{
    const AboutFacts facts{owner.productName(), owner.fileVersionText(), QApplication::windowIcon(),
                           QCoreApplication::applicationDirPath()};
    const QPointer<TAboutBox> box = new TAboutBox(facts, dialogs, &owner);
    box->exec();
    delete box;
}

} // namespace quarrow
