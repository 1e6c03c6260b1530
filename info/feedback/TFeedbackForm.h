#pragma once

#include "FeedbackDelivery.h"
#include "FeedbackRequest.h"

#include <QDialog>
#include <QString>

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
// failure, so Send can be pressed again.
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

    std::u16string m_windowTitleText;
    std::u16string m_fileVersionText;
    Dialogs& m_dialogs;
    FeedbackTarget m_target;

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
