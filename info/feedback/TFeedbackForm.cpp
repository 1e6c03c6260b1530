#include "info/feedback/TFeedbackForm.h"

#include "info/feedback/ChoicePanel.h"
#include "kit/Dialogs.h"
#include "info/feedback/EmailCheck.h"
#include "engine/text/MessageLookup.h"
#include "engine/text/UnicodeText.h"
#include "kit/VectorPicture.h"

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
constexpr int kGreetingPixels = 16;
constexpr int kQuestionPixels = 13;
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

TFeedbackForm::TFeedbackForm(const FeedbackFacts& facts, Dialogs& dialogs, FeedbackTarget target, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint),
      m_windowTitleText(facts.windowTitleText.toStdU16String()),
      m_fileVersionText(facts.fileVersionText.toStdU16String()), m_dialogs(dialogs), m_target(std::move(target))
{
    setObjectName(QStringLiteral("FeedbackForm"));
    QFont windowFont(QStringLiteral("Tahoma"));
    windowFont.setPixelSize(kWindowFontPixels);
    setFont(windowFont);
    setFixedSize(kClientSize);
    buildControls(facts.productName);
    placeOnScreen(owner);
    m_messageEdit->setFocus();
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
    m_likePanel = new ChoicePanel(message(u"I like it!"), picture(QStringLiteral("like.svg"), kChoicePictureSide),
                                  QStringLiteral("Image1"), choices);
    m_likePanel->setObjectName(QStringLiteral("Panel4"));
    m_likePanel->setFixedSize(kLikePanelSize);
    m_dislikePanel =
        new ChoicePanel(message(u"I dislike it!"), picture(QStringLiteral("dislike.svg"), kChoicePictureSide),
                        QStringLiteral("Image2"), choices);
    m_dislikePanel->setObjectName(QStringLiteral("Panel5"));
    m_dislikePanel->setFixedSize(kDislikePanelSize);
    choiceRow->addWidget(m_likePanel);
    choiceRow->addWidget(m_dislikePanel);
    column->addWidget(choices);
    connect(m_likePanel, &ChoicePanel::clicked, this, &TFeedbackForm::Image1Click);
    connect(m_dislikePanel, &ChoicePanel::clicked, this, &TFeedbackForm::Image2Click);

    m_greetingLabel = new QLabel(message(u"We would really appreciate your feedback."), this);
    m_greetingLabel->setObjectName(QStringLiteral("Label1"));
    m_greetingLabel->setFont(pixelFont(font(), kGreetingPixels, false));
    m_greetingLabel->setContentsMargins(kSideMargin, 2, kSideMargin, 2);
    column->addWidget(m_greetingLabel);

    m_questionLabel = new QLabel(message(u"What did you like or dislike?"), this);
    m_questionLabel->setObjectName(QStringLiteral("Label2"));
    m_questionLabel->setFont(pixelFont(font(), kQuestionPixels, true));
    m_questionLabel->setContentsMargins(kSideMargin, 2, kSideMargin, 4);
    column->addWidget(m_questionLabel);

    m_messageEdit = new QPlainTextEdit(this);
    m_messageEdit->setObjectName(QStringLiteral("Memo1"));
    m_messageEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_messageEdit->setTabChangesFocus(true);
    connect(m_messageEdit->document(), &QTextDocument::contentsChange, this, &TFeedbackForm::limitMessage);
    auto* memoBox = new QHBoxLayout;
    memoBox->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    memoBox->addWidget(m_messageEdit);
    column->addLayout(memoBox, 1);

    QWidget* address = strip(this, kAddressStripHeight);
    auto* addressRow = new QHBoxLayout(address);
    addressRow->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    m_addressLabel = new QLabel(message(u"Include my e-mail:"), address);
    m_addressLabel->setObjectName(QStringLiteral("Label3"));
    m_addressEdit = new QLineEdit(address);
    m_addressEdit->setObjectName(QStringLiteral("Edit1"));
    m_addressEdit->setMaxLength(kAddressLimit);
    m_addressLabel->setBuddy(m_addressEdit);
    addressRow->addWidget(m_addressLabel);
    addressRow->addWidget(m_addressEdit, 1);
    column->addWidget(address);

    QWidget* sendStrip = strip(this, kSendStripHeight);
    auto* sendRow = new QHBoxLayout(sendStrip);
    const int sendGap = (kSendStripHeight - kSendButtonSize.height()) / 2;
    sendRow->setContentsMargins(kSideMargin, sendGap, kSideMargin, sendGap);
    sendRow->addStretch(1);
    m_sendButton =
        new QPushButton(QIcon(picture(QStringLiteral("send.svg"), kSendPictureSide)), message(u"Send"), sendStrip);
    m_sendButton->setObjectName(QStringLiteral("BitBtn1"));
    m_sendButton->setFont(pixelFont(font(), kWindowFontPixels, true));
    m_sendButton->setIconSize(QSize(kSendPictureSide, kSendPictureSide));
    m_sendButton->setFixedSize(kSendButtonSize);
    // The window has no default button: Return in the e-mail box must not
    // send half-finished feedback.
    m_sendButton->setAutoDefault(false);
    sendRow->addWidget(m_sendButton);
    column->addWidget(sendStrip);
    connect(m_sendButton, &QPushButton::clicked, this, &TFeedbackForm::BitBtn1Click);
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
    if (m_likePanel->isSelected())
        return FeedbackChoice::Like;
    if (m_dislikePanel->isSelected())
        return FeedbackChoice::Dislike;
    return FeedbackChoice::None;
}

// QPlainTextEdit has no length limit of its own, so whatever a key press,
// paste or drop adds beyond it is cut from the end of what came in.
void TFeedbackForm::limitMessage(int position, int, int added)
{
    const QString text = typedText(m_messageEdit);
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
    QTextCursor cut(m_messageEdit->document());
    cut.setPosition(static_cast<int>(start));
    cut.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
}

void TFeedbackForm::Image1Click()
{
    if (!m_likePanel->isSelected())
        m_likePanel->setSelected(true);
    if (m_dislikePanel->isSelected())
        m_dislikePanel->setSelected(false);
}

void TFeedbackForm::Image2Click()
{
    if (!m_dislikePanel->isSelected())
        m_dislikePanel->setSelected(true);
    if (m_likePanel->isSelected())
        m_likePanel->setSelected(false);
}

void TFeedbackForm::BitBtn1Click()
{
    const std::u16string memo = withCrLfLineBreaks(typedText(m_messageEdit).toStdU16String());
    const std::u16string_view text = trimControls(memo);
    if (text.empty()) {
        m_messageEdit->setFocus();
        m_dialogs.beep();
        return;
    }
    FeedbackSubmission submission{m_windowTitleText, m_fileVersionText, feedbackValue(choice(), text),
                                  std::u16string(trimControls(m_addressEdit->text().toStdU16String()))};
    if (!submission.email.empty() && !isValidEmailAddress(submission.email)) {
        m_addressEdit->setFocus();
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
    m_sendButton->setEnabled(!sending);
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

void openFeedbackWindow(QWidget* owner, const FeedbackFacts& facts, Dialogs& dialogs)
{
    TFeedbackForm form(facts, dialogs, FeedbackTarget::forThisMachine(), owner);
    form.exec();
}

} // namespace quarrow
