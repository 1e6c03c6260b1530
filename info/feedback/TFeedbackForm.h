#pragma once

#include "info/feedback/FeedbackDelivery.h"
#include "info/feedback/FeedbackRequest.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <stop_token>
#include <thread>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quarrow {

class ChoicePanel;
class Dialogs;

// What the feedback window says about the running program: the product's
// name for its title, and the program's name and version that go to the
// server with the message.
struct FeedbackFacts {
    QString productName;
    QString windowTitleText;
    QString fileVersionText;
};

// The feedback window: a message, an optional praise-or-complaint choice and
// an optional e-mail address, sent to the maker's server with Send. It closes
// after the server took the feedback and stays as it was after any refusal or
// failure, so Send can be pressed again. The exchange runs on a thread of its
// own, so every window keeps answering while it waits; closing the window
// ends it.
class TFeedbackForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFeedbackForm)

public:
    // Boxes and the beep go through `dialogs`.
    TFeedbackForm(const FeedbackFacts& facts, Dialogs& dialogs, FeedbackTarget target, QWidget* owner = nullptr);
    ~TFeedbackForm() override;

    FeedbackChoice choice() const;
    // Between Send and the result box.
    bool isSending() const noexcept { return m_showsSending; }

    void done(int result) override;

    // Longest message the box takes, counting each line break as the two
    // characters it is sent as.
    static constexpr int kMessageLimit = 10000;
    static constexpr int kAddressLimit = 100;

private:
    void buildControls(const QString& productName);
    void placeOnScreen(QWidget* owner);
    void limitMessage(int position, int removed, int added);

    void Image1Click();
    void Image2Click();
    void BitBtn1Click();
    void startSending(FeedbackSubmission submission);
    // GUI thread, queued by the sending thread; `round` tells a late answer
    // of a sending that was ended meanwhile from the current one.
    void sendingEnded(unsigned round, bool delivered);
    // Ends a sending still under way and waits for its thread.
    void stopSending() noexcept;
    void showSendingLook(bool sending);

    std::u16string m_windowTitleText;
    std::u16string m_fileVersionText;
    Dialogs& m_dialogs;
    FeedbackTarget m_target;
    std::jthread m_sending;
    unsigned m_sendingRound = 0;
    bool m_showsSending = false;

    ChoicePanel* m_likePanel = nullptr;
    ChoicePanel* m_dislikePanel = nullptr;
    QLabel* m_greetingLabel = nullptr;
    QLabel* m_questionLabel = nullptr;
    QPlainTextEdit* m_messageEdit = nullptr;
    QLabel* m_addressLabel = nullptr;
    QLineEdit* m_addressEdit = nullptr;
    QPushButton* m_sendButton = nullptr;
};

// Opens a new feedback window modally over `owner` (the main window); returns
// when it has closed, and the window is gone by then.
void openFeedbackWindow(QWidget* owner, const FeedbackFacts& facts, Dialogs& dialogs);

} // namespace quarrow
