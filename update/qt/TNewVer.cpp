#include "TNewVer.h"

#include "MakerServer.h"
#include "MessageLookup.h"
#include "MouseGestures.h"
#include "VectorPicture.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <initializer_list>

// The close picture is compiled into the update library; without a reference
// from code that is linked anyway, the linker leaves it out of the program.
static void registerUpdatePictures()
{
    Q_INIT_RESOURCE(update_pictures);
}

namespace quarrow {

namespace {

constexpr QSize kClientSize(320, 68);
constexpr int kScreenGap = 5;
constexpr int kImageSide = 60;
constexpr int kIconSide = 32;
constexpr int kButtonSide = 22;
constexpr int kPictureSide = 16;
constexpr int kMargin = 3;
constexpr int kCaptionHeight = 16;
constexpr int kTextPixels = 13;
constexpr int kAnimationMilliseconds = 100;

QPixmap closePicture()
{
    static const bool registered = (registerUpdatePictures(), true);
    Q_UNUSED(registered);
    return vectorPicture(QStringLiteral(":/update/close.svg"), QSize(kPictureSide, kPictureSide));
}

QString message(std::u16string_view text)
{
    return QString::fromStdU16String(messageLookup(text));
}

QFont textFont(const QFont& base, bool bold, bool underline)
{
    QFont font = base;
    font.setPixelSize(kTextPixels);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

QFrame* panel(QWidget* parent, const char* name)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameStyle(QFrame::NoFrame);
    return frame;
}

QTimer* timer(QObject* parent, const char* name, int milliseconds)
{
    auto* made = new QTimer(parent);
    made->setObjectName(QString::fromLatin1(name));
    made->setInterval(milliseconds);
    return made;
}

// The server's address is opened only when it is a web address with a host:
// the desktop's handler would also start programs for files and scripts.
QString linkTarget(const QString& downloadAddress)
{
    const QUrl url(downloadAddress, QUrl::TolerantMode);
    const bool web = url.scheme().compare(u"http", Qt::CaseInsensitive) == 0
                     || url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
    if (url.isValid() && web && !url.host().isEmpty())
        return downloadAddress;
    return makerHttpBase() + u'/';
}

} // namespace

TNewVer::TNewVer(const QString& productName, const QString& serverVersion, const QString& downloadAddress,
                 std::function<void(const QString&)> openAddress, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_downloadAddress(downloadAddress), m_openAddress(std::move(openAddress)), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("NewVer"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kClientSize);
    QFont windowFont(QStringLiteral("Tahoma"));
    windowFont.setPixelSize(11);
    setFont(windowFont);
    setCursor(Qt::ArrowCursor);
    QPalette background = palette();
    background.setColor(QPalette::Window, background.color(QPalette::Button));
    setPalette(background);
    setAutoFillBackground(true);

    buildControls(productName, serverVersion);
    placeOnPrimaryScreen();

    m_animation = new QVariantAnimation(this);
    m_animation->setDuration(kAnimationMilliseconds);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& shown) { setMask(QRegion(shown.toRect())); });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        if (m_closesAfterAnimation)
            close();
        clearMask();
    });

    TimerStart = timer(this, "TimerStart", 1);
    connect(TimerStart, &QTimer::timeout, this, &TNewVer::TimerStartTimer);
    TimerClose = timer(this, "TimerClose", 1000);
    connect(TimerClose, &QTimer::timeout, this, &TNewVer::TimerCloseTimer);
    TimerLink = timer(this, "TimerLink", 100);
    connect(TimerLink, &QTimer::timeout, this, &TNewVer::TimerLinkTimer);
    TimerStart->start();
    TimerClose->start();
    TimerLink->start();
}

TNewVer::~TNewVer() = default;

void TNewVer::buildControls(const QString& productName, const QString& serverVersion)
{
    auto* windowLayout = new QHBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    windowLayout->addWidget(Panel1);
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(kImageSide, kImageSide);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QApplication::windowIcon().pixmap(kIconSide, kIconSide));
    auto* imageBox = new QVBoxLayout;
    imageBox->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    imageBox->addWidget(Image1);
    imageBox->addStretch();
    row->addLayout(imageBox);

    Panel2 = panel(Panel1, "Panel2");
    auto* texts = new QVBoxLayout(Panel2);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(0);
    Label1 = new QLabel(message(u"UPDATE AVAILABLE"), Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(textFont(font(), true, false));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFixedHeight(kCaptionHeight);
    auto* captionBox = new QVBoxLayout;
    captionBox->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    captionBox->addWidget(Label1);
    texts->addLayout(captionBox);
    Label2 = new QLabel(message(u"Click to download") + u' ' + productName + u' ' + serverVersion, Panel2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(textFont(font(), false, true));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    // Server texts are never read as markup.
    Label2->setTextFormat(Qt::PlainText);
    Label2->setCursor(Qt::PointingHandCursor);
    texts->addWidget(Label2, 1);
    row->addWidget(Panel2, 1);

    Panel3 = panel(Panel1, "Panel3");
    Panel3->setFixedWidth(kButtonSide);
    auto* buttonColumn = new QVBoxLayout(Panel3);
    buttonColumn->setContentsMargins(0, 0, 0, 0);
    Button1 = new QToolButton(Panel3);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFixedSize(kButtonSide, kButtonSide);
    Button1->setIcon(QIcon(closePicture()));
    Button1->setIconSize(QSize(kPictureSide, kPictureSide));
    Button1->setAutoRaise(true);
    Button1->setCursor(Qt::PointingHandCursor);
    Button1->setFocusPolicy(Qt::NoFocus);
    buttonColumn->addWidget(Button1);
    buttonColumn->addStretch();
    row->addWidget(Panel3);
    connect(Button1, &QToolButton::clicked, this, &TNewVer::Button1Click);

    // Qt hands a press that a control ignores on to its parent; the filter
    // keeps presses on the link, its panel and the button from reaching the
    // panels that start a drag.
    for (QWidget* watched : std::initializer_list<QWidget*>{Panel1, Image1, Label1, Panel3, Panel2, Label2, Button1})
        watched->installEventFilter(this);
}

void TNewVer::placeOnPrimaryScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    // The area left free by panels and docks, so that a panel along the top
    // or the right edge does not cover the popup.
    const QRect area = screen->availableGeometry();
    move(area.x() + area.width() - kClientSize.width() - kScreenGap, area.y() + kScreenGap);
}

void TNewVer::giveFocusBack(bool mainWindowWasActive)
{
    // Only a main window the user was working in gets the focus back: one
    // in the background is not raised over what the user is doing now. The
    // window manager may refuse; the main window then simply stays as it is.
    if (mainWindowWasActive && m_mainWindow != nullptr)
        m_mainWindow->activateWindow();
}

void TNewVer::animate(bool expand)
{
    const QRect whole = rect();
    const QRect centre(whole.center(), QSize(1, 1));
    m_closesAfterAnimation = !expand;
    m_animation->stop();
    m_animation->setStartValue(expand ? centre : whole);
    m_animation->setEndValue(expand ? whole : centre);
    setMask(QRegion(expand ? centre : whole));
    m_animation->start();
}

bool TNewVer::eventFilter(QObject* watched, QEvent* event)
{
    if (!isPointerEvent(event))
        return QWidget::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == Label2) {
        if (m_linkClick.isClick(*Label2, mouse))
            Label2Click();
        return true;
    }
    if (watched == Panel2)
        return isButtonPress(event);
    if (watched == Button1)
        return isButtonPress(event) && mouse->button() != Qt::LeftButton;
    return m_drag.handle(mouse);
}

void TNewVer::mousePressEvent(QMouseEvent* event)
{
    m_drag.handle(event);
}

void TNewVer::mouseMoveEvent(QMouseEvent* event)
{
    m_drag.handle(event);
}

void TNewVer::mouseReleaseEvent(QMouseEvent* event)
{
    m_drag.handle(event);
}

void TNewVer::closeEvent(QCloseEvent* event)
{
    // Closed before it ever showed, it stays closed.
    TimerStart->stop();
    QWidget::closeEvent(event);
}

void TNewVer::TimerStartTimer()
{
    TimerStart->stop();
    const bool mainWindowWasActive = m_mainWindow != nullptr && m_mainWindow->isActiveWindow();
    animate(true);
    show();
    giveFocusBack(mainWindowWasActive);
}

void TNewVer::TimerCloseTimer()
{
    if (--m_closeCount > 0)
        return;
    TimerClose->stop();
    // Closed by the user already: nothing left to hide.
    if (isVisible())
        animate(false);
}

void TNewVer::TimerLinkTimer()
{
    const bool over = Label2->rect().contains(Label2->mapFromGlobal(QCursor::pos()));
    const QColor colour = palette().color(over ? QPalette::Highlight : QPalette::WindowText);
    QPalette linkPalette = Label2->palette();
    if (linkPalette.color(QPalette::WindowText) == colour)
        return;
    linkPalette.setColor(QPalette::WindowText, colour);
    Label2->setPalette(linkPalette);
}

void TNewVer::Label2Click()
{
    try {
        if (m_openAddress)
            m_openAddress(linkTarget(m_downloadAddress));
    } catch (...) {
        // Opening the page is a convenience; the popup closes either way.
    }
    close();
}

void TNewVer::Button1Click()
{
    close();
}

} // namespace quarrow
