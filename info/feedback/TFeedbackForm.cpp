#include "TFeedbackForm.h"

#include "ChoicePanel.h"
#include "Dialogs.h"
#include "EmailCheck.h"
#include "MessageLookup.h"
#include "TAppForm.h"
#include "text/UnicodeText.h"
#include "VectorPicture.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <system_error>
#include <utility>

// The pictures are compiled into the info library; without a reference from
// code that is linked anyway, the linker leaves them out of the program.
static void registerFeedbackPictures()
{
    Q_INIT_RESOURCE(feedback_pictures);
}

namespace quarrow {

namespace {

constexpr QSize kClientSize(525, 326);
constexpr int kChoiceStripHeight = 46;
constexpr QSize kLikePanelSize(257, 40);
constexpr QSize kDislikePanelSize(256, 40);
constexpr int kAddressStripHeight = 30;
constexpr int kSendStripHeight = 40;
constexpr QSize kSendButtonSize(180, 34);
constexpr int kSideMargin = 8;
constexpr int kWindowFontPixels = 11;
constexpr int kLabel1Pixels = 16;
constexpr int kLabel2Pixels = 13;
constexpr int kChoicePictureSide = 32;
constexpr int kSendPictureSide = 16;

QPixmap picture(const QString& name, int side)
{
    static const bool registered = (registerFeedbackPictures(), true);
    Q_UNUSED(registered);
    return vectorPicture(u":/feedback/" + name, QSize(side, side));
}

QString message(std::u16string_view text)
{
    return QString::fromStdU16String(messageLookup(text));
}

// Qt's plain-text box starts a new line at "\n" only; the two line breaks
// between a box's sentences are added after the lookup.
QString twoParagraphs(std::u16string_view first, std::u16string_view second)
{
    return message(first) + u"\n\n" + message(second);
}

QFont pixelFont(const QFont& base, int pixels, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The message as typed. QPlainTextEdit::toPlainText() would turn no-break
// spaces into plain ones; the raw text keeps them and marks line breaks with
// the paragraph separator (Return) or the line separator (Shift+Return).
QString typedText(const QPlainTextEdit* memo)
{
    QString text = memo->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

// The length the server sees: a line break goes as CR LF.
qsizetype sentLength(const QString& text)
{
    return text.size() + text.count(u'\n');
}

QWidget* strip(QWidget* parent, int height)
{
    auto* widget = new QWidget(parent);
    widget->setFixedHeight(height);
    return widget;
}

} // namespace

TFeedbackForm::TFeedbackForm(const QString& productName, const QString& windowTitleText, const QString& fileVersionText,
                             Dialogs& dialogs, FeedbackTarget target, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint),
      m_windowTitleText(windowTitleText.toStdU16String()), m_fileVersionText(fileVersionText.toStdU16String()),
      m_dialogs(dialogs), m_target(std::move(target))
{
    setObjectName(QStringLiteral("FeedbackForm"));
    QFont windowFont(QStringLiteral("Tahoma"));
    windowFont.setPixelSize(kWindowFontPixels);
    setFont(windowFont);
    setFixedSize(kClientSize);
    buildControls(productName);
    placeOnScreen(owner);
    Memo1->setFocus();
}

TFeedbackForm::~TFeedbackForm()
{
    stopSending();
}

void TFeedbackForm::buildControls(const QString& productName)
{
    setWindowTitle(productName + u' ' + message(u"feedback"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    QWidget* choices = strip(this, kChoiceStripHeight);
    auto* choiceRow = new QHBoxLayout(choices);
    const int sideGap = (kClientSize.width() - kLikePanelSize.width() - kDislikePanelSize.width()) / 2;
    const int topGap = (kChoiceStripHeight - kLikePanelSize.height()) / 2;
    choiceRow->setContentsMargins(sideGap, topGap, sideGap, topGap);
    choiceRow->setSpacing(0);
    Panel4 = new ChoicePanel(message(u"I like it!"), picture(QStringLiteral("like.svg"), kChoicePictureSide),
                             QStringLiteral("Image1"), choices);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedSize(kLikePanelSize);
    Panel5 = new ChoicePanel(message(u"I dislike it!"), picture(QStringLiteral("dislike.svg"), kChoicePictureSide),
                             QStringLiteral("Image2"), choices);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFixedSize(kDislikePanelSize);
    choiceRow->addWidget(Panel4);
    choiceRow->addWidget(Panel5);
    column->addWidget(choices);
    connect(Panel4, &ChoicePanel::clicked, this, &TFeedbackForm::Image1Click);
    connect(Panel5, &ChoicePanel::clicked, this, &TFeedbackForm::Image2Click);

    Label1 = new QLabel(message(u"We would really appreciate your feedback."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(pixelFont(font(), kLabel1Pixels, false));
    Label1->setContentsMargins(kSideMargin, 2, kSideMargin, 2);
    column->addWidget(Label1);

    Label2 = new QLabel(message(u"What did you like or dislike?"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(pixelFont(font(), kLabel2Pixels, true));
    Label2->setContentsMargins(kSideMargin, 2, kSideMargin, 4);
    column->addWidget(Label2);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);
    connect(Memo1->document(), &QTextDocument::contentsChange, this, &TFeedbackForm::limitMessage);
    auto* memoBox = new QHBoxLayout;
    memoBox->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    memoBox->addWidget(Memo1);
    column->addLayout(memoBox, 1);

    QWidget* address = strip(this, kAddressStripHeight);
    auto* addressRow = new QHBoxLayout(address);
    addressRow->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    Label3 = new QLabel(message(u"Include my e-mail:"), address);
    Label3->setObjectName(QStringLiteral("Label3"));
    Edit1 = new QLineEdit(address);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMaxLength(kAddressLimit);
    Label3->setBuddy(Edit1);
    addressRow->addWidget(Label3);
    addressRow->addWidget(Edit1, 1);
    column->addWidget(address);

    QWidget* sendStrip = strip(this, kSendStripHeight);
    auto* sendRow = new QHBoxLayout(sendStrip);
    const int sendGap = (kSendStripHeight - kSendButtonSize.height()) / 2;
    sendRow->setContentsMargins(kSideMargin, sendGap, kSideMargin, sendGap);
    sendRow->addStretch(1);
    BitBtn1 =
        new QPushButton(QIcon(picture(QStringLiteral("send.svg"), kSendPictureSide)), message(u"Send"), sendStrip);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setFont(pixelFont(font(), kWindowFontPixels, true));
    BitBtn1->setIconSize(QSize(kSendPictureSide, kSendPictureSide));
    BitBtn1->setFixedSize(kSendButtonSize);
    // The window has no default button: Return in the e-mail box must not
    // send half-finished feedback.
    BitBtn1->setAutoDefault(false);
    sendRow->addWidget(BitBtn1);
    column->addWidget(sendStrip);
    connect(BitBtn1, &QPushButton::clicked, this, &TFeedbackForm::BitBtn1Click);
}

void TFeedbackForm::placeOnScreen(QWidget* owner)
{
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

FeedbackChoice TFeedbackForm::choice() const
{
    if (Panel4->isSelected())
        return FeedbackChoice::Like;
    if (Panel5->isSelected())
        return FeedbackChoice::Dislike;
    return FeedbackChoice::None;
}

// QPlainTextEdit has no length limit of its own, so whatever a key press,
// paste or drop adds beyond it is cut from the end of what came in.
void TFeedbackForm::limitMessage(int position, int, int added)
{
    const QString text = typedText(Memo1);
    qsizetype excess = sentLength(text) - kMessageLimit;
    if (excess <= 0)
        return;
    const qsizetype end = std::min<qsizetype>(position + added, text.size());
    qsizetype start = end;
    while (excess > 0 && start > position) {
        --start;
        excess -= text[start] == u'\n' ? 2 : 1;
    }
    // Never leave half of a surrogate pair behind.
    if (start > 0 && start < text.size() && text[start].isLowSurrogate() && text[start - 1].isHighSurrogate())
        --start;
    QTextCursor cut(Memo1->document());
    cut.setPosition(static_cast<int>(start));
    cut.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
}

void TFeedbackForm::Image1Click()
{
    if (!Panel4->isSelected())
        Panel4->setSelected(true);
    if (Panel5->isSelected())
        Panel5->setSelected(false);
}

void TFeedbackForm::Image2Click()
{
    if (!Panel5->isSelected())
        Panel5->setSelected(true);
    if (Panel4->isSelected())
        Panel4->setSelected(false);
}

void TFeedbackForm::BitBtn1Click()
{
    const std::u16string memo = withCrLfLineBreaks(typedText(Memo1).toStdU16String());
    const std::u16string_view text = trimControls(memo);
    if (text.empty()) {
        Memo1->setFocus();
        m_dialogs.beep();
        return;
    }
    FeedbackSubmission submission{m_windowTitleText, m_fileVersionText, feedbackValue(choice(), text),
                                  std::u16string(trimControls(Edit1->text().toStdU16String()))};
    if (!submission.email.empty() && !isValidEmailAddress(submission.email)) {
        Edit1->setFocus();
        m_dialogs.message(this, MessageIcon::Error, message(u"Failure"), message(u"Invalid e-mail address!"));
        return;
    }

    startSending(std::move(submission));
}

void TFeedbackForm::startSending(FeedbackSubmission submission)
{
    const unsigned round = ++m_sendingRound;
    showSendingLook(true);
    try {
        m_sending =
            std::jthread([this, round, target = m_target, submission = std::move(submission)](std::stop_token stop) {
                const auto cancel = std::make_shared<CancelSignal>();
                const std::stop_callback cancelOnStop(stop, [cancel] { cancel->cancel(); });
                const bool delivered = deliverFeedback(target, submission, cancel);
                // The window waits for this thread before it goes, so it is still
                // there to queue the answer on.
                QMetaObject::invokeMethod(
                    this, [this, round, delivered] { sendingEnded(round, delivered); }, Qt::QueuedConnection);
            });
    } catch (const std::system_error&) {
        // No thread to send on: as if the server could not be reached.
        QMetaObject::invokeMethod(
            this, [this, round] { sendingEnded(round, false); }, Qt::QueuedConnection);
    }
}

void TFeedbackForm::sendingEnded(unsigned round, bool delivered)
{
    if (round != m_sendingRound)
        return;
    if (m_sending.joinable())
        m_sending.join();
    showSendingLook(false);
    if (delivered) {
        m_dialogs.message(this, MessageIcon::Information, message(u"Success"),
                          twoParagraphs(u"Your feedback is received.", u"Thank you!"));
        accept();
    } else {
        m_dialogs.message(
            this, MessageIcon::Error, message(u"Failure"),
            twoParagraphs(u"Something went wrong. Your feedback could not be delivered.", u"Please try again later."));
    }
}

void TFeedbackForm::stopSending() noexcept
{
    // A later answer from this round finds another round number and is dropped.
    ++m_sendingRound;
    if (m_sending.joinable()) {
        m_sending.request_stop();
        m_sending.join();
    }
    showSendingLook(false);
}

void TFeedbackForm::showSendingLook(bool sending)
{
    if (m_showsSending == sending)
        return;
    m_showsSending = sending;
    BitBtn1->setEnabled(!sending);
    // Qt::BusyCursor is the arrow with the small hourglass: working, but
    // still answering.
    if (sending)
        QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    else
        QApplication::restoreOverrideCursor();
}

void TFeedbackForm::done(int result)
{
    // Closing the window, by Escape, the close box or after success, ends
    // an exchange still under way: nobody is left to see its answer.
    stopSending();
    QDialog::done(result);
}

void openFeedbackWindow(TAppForm& owner, Dialogs& dialogs)
{
    TFeedbackForm form(owner.productName(), owner.windowTitleText(), owner.fileVersionText(), dialogs,
                       FeedbackTarget::forThisMachine(), &owner);
    form.exec();
}

} // namespace quarrow
