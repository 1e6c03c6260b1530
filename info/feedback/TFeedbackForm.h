#pragma once

#include "FeedbackDelivery.h"
#include "FeedbackRequest.h"

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
class TAppForm;

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
    // `windowTitleText` and `fileVersionText` go to the server as the
    // program's name and version; boxes and the beep go through `dialogs`.
    TFeedbackForm(const QString& productName, const QString& windowTitleText, const QString& fileVersionText,
                  Dialogs& dialogs, FeedbackTarget target, QWidget* owner = nullptr);
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

    ChoicePanel* Panel4 = nullptr;
    ChoicePanel* Panel5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
};

// Opens a new feedback window modally over the main window; returns when it
// has closed, and the window is gone by then.
void openFeedbackWindow(TAppForm& owner, Dialogs& dialogs);

} // namespace quarrow
