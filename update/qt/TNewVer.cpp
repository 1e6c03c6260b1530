#include "update/qt/TNewVer.h"

#include "kit/MakerServer.h"
#include "kit/MouseGestures.h"
#include "engine/text/MessageLookup.h"
#include "kit/VectorPicture.h"

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

    m_startTimer = timer(this, "TimerStart", 1);
    connect(m_startTimer, &QTimer::timeout, this, &TNewVer::TimerStartTimer);
    m_closeTimer = timer(this, "TimerClose", 1000);
    connect(m_closeTimer, &QTimer::timeout, this, &TNewVer::TimerCloseTimer);
    m_linkTimer = timer(this, "TimerLink", 100);
    connect(m_linkTimer, &QTimer::timeout, this, &TNewVer::TimerLinkTimer);
    m_startTimer->start();
    m_closeTimer->start();
    m_linkTimer->start();
}

TNewVer::~TNewVer() = default;

void TNewVer::buildControls(const QString& productName, const QString& serverVersion)
{
    auto* windowLayout = new QHBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("Panel1"));
    m_frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    windowLayout->addWidget(m_frame);
    auto* row = new QHBoxLayout(m_frame);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    m_iconLabel = new QLabel(m_frame);
    m_iconLabel->setObjectName(QStringLiteral("Image1"));
    m_iconLabel->setFixedSize(kImageSide, kImageSide);
    m_iconLabel->setAlignment(Qt::AlignCenter);
    m_iconLabel->setPixmap(QApplication::windowIcon().pixmap(kIconSide, kIconSide));
    auto* imageBox = new QVBoxLayout;
    imageBox->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    imageBox->addWidget(m_iconLabel);
    imageBox->addStretch();
    row->addLayout(imageBox);

    m_textPanel = panel(m_frame, "Panel2");
    auto* texts = new QVBoxLayout(m_textPanel);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(0);
    m_caption = new QLabel(message(u"UPDATE AVAILABLE"), m_textPanel);
    m_caption->setObjectName(QStringLiteral("Label1"));
    m_caption->setFont(textFont(font(), true, false));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFixedHeight(kCaptionHeight);
    auto* captionBox = new QVBoxLayout;
    captionBox->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    captionBox->addWidget(m_caption);
    texts->addLayout(captionBox);
    m_downloadLink = new QLabel(message(u"Click to download") + u' ' + productName + u' ' + serverVersion, m_textPanel);
    m_downloadLink->setObjectName(QStringLiteral("Label2"));
    m_downloadLink->setFont(textFont(font(), false, true));
    m_downloadLink->setAlignment(Qt::AlignCenter);
    m_downloadLink->setWordWrap(true);
    // Server texts are never read as markup.
    m_downloadLink->setTextFormat(Qt::PlainText);
    m_downloadLink->setCursor(Qt::PointingHandCursor);
    texts->addWidget(m_downloadLink, 1);
    row->addWidget(m_textPanel, 1);

    m_buttonPanel = panel(m_frame, "Panel3");
    m_buttonPanel->setFixedWidth(kButtonSide);
    auto* buttonColumn = new QVBoxLayout(m_buttonPanel);
    buttonColumn->setContentsMargins(0, 0, 0, 0);
    m_closeButton = new QToolButton(m_buttonPanel);
    m_closeButton->setObjectName(QStringLiteral("Button1"));
    m_closeButton->setFixedSize(kButtonSide, kButtonSide);
    m_closeButton->setIcon(QIcon(closePicture()));
    m_closeButton->setIconSize(QSize(kPictureSide, kPictureSide));
    m_closeButton->setAutoRaise(true);
    m_closeButton->setCursor(Qt::PointingHandCursor);
    m_closeButton->setFocusPolicy(Qt::NoFocus);
    buttonColumn->addWidget(m_closeButton);
    buttonColumn->addStretch();
    row->addWidget(m_buttonPanel);
    connect(m_closeButton, &QToolButton::clicked, this, &TNewVer::Button1Click);

    // Qt hands a press that a control ignores on to its parent; the filter
    // keeps presses on the link, its panel and the button from reaching the
    // panels that start a drag.
    for (QWidget* watched : std::initializer_list<QWidget*>{m_frame, m_iconLabel, m_caption, m_buttonPanel, m_textPanel,
                                                            m_downloadLink, m_closeButton})
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
    if (watched == m_downloadLink) {
        if (m_linkClick.isClick(*m_downloadLink, mouse))
            Label2Click();
        return true;
    }
    if (watched == m_textPanel)
        return isButtonPress(event);
    if (watched == m_closeButton)
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
    m_startTimer->stop();
    QWidget::closeEvent(event);
}

void TNewVer::TimerStartTimer()
{
    m_startTimer->stop();
    const bool mainWindowWasActive = m_mainWindow != nullptr && m_mainWindow->isActiveWindow();
    animate(true);
    show();
    giveFocusBack(mainWindowWasActive);
}

void TNewVer::TimerCloseTimer()
{
    if (--m_closeCount > 0)
        return;
    m_closeTimer->stop();
    // Closed by the user already: nothing left to hide.
    if (isVisible())
        animate(false);
}

void TNewVer::TimerLinkTimer()
{
    const bool over = m_downloadLink->rect().contains(m_downloadLink->mapFromGlobal(QCursor::pos()));
    const QColor colour = palette().color(over ? QPalette::Highlight : QPalette::WindowText);
    QPalette linkPalette = m_downloadLink->palette();
    if (linkPalette.color(QPalette::WindowText) == colour)
        return;
    linkPalette.setColor(QPalette::WindowText, colour);
    m_downloadLink->setPalette(linkPalette);
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
