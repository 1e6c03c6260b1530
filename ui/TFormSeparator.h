#pragma once

#include <QDialog>
#include <QPointer>

class QAbstractButton;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quarrow {

// Picks the field separator. It reads the separator text from the main
// window's separator button and, on OK, writes the new text back to that
// button's caption: the caption is the only place that holds the choice.
// Modeless; it deletes itself when closed.
class TFormSeparator final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFormSeparator)

public:
    explicit TFormSeparator(QAbstractButton* separatorButton, QWidget* parent = nullptr);

    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void RadioButton4Click();
    void RadioButton5Click();
    void Button1Click();

private:
    void preselect(const QString& separatorText);
    void setEditEnabled(bool enabled);
    void updateOkEnabled();
    QString chosenSeparatorText() const;

    // The main window may go while the dialog is still open.
    QPointer<QAbstractButton> m_separatorButton;
    QRadioButton* m_tab = nullptr;
    QRadioButton* m_comma = nullptr;
    QRadioButton* m_semicolon = nullptr;
    QRadioButton* m_space = nullptr;
    QRadioButton* m_other = nullptr;
    QLineEdit* m_otherText = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace quarrow
