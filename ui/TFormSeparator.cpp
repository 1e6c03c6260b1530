#include "ui/TFormSeparator.h"

#include "ui/WindowPlacement.h"
#include "engine/workspace/SeparatorText.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QValidator>

#include <utility>

namespace quarrow {

namespace {

QRadioButton* addRadioButton(QWidget* dialog, QVBoxLayout* layout, const QString& name, const QString& text)
{
    auto* button = new QRadioButton(text, dialog);
    button->setObjectName(name);
    layout->addWidget(button);
    return button;
}

// The separator is one UTF-16 unit. A character beyond U+FFFF is two, and
// the box, one unit long, would keep its first half: typed, pasted or
// composed, such a character is refused whole.
class WholeCharacterValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        for (const QChar c : std::as_const(input))
            if (c.isSurrogate())
                return Invalid;
        return Acceptable;
    }
};

bool hasSeparator(const QString& text)
{
    return decodeSeparatorText(text.toStdU16String()).has_value();
}

} // namespace

TFormSeparator::TFormSeparator(QAbstractButton* separatorButton, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_separatorButton(separatorButton)
{
    setObjectName(QStringLiteral("FormSeparator"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Separator"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(13);
    setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 10);
    layout->setSpacing(2);
    m_tab = addRadioButton(this, layout, QStringLiteral("RadioButton1"), QStringLiteral("Tab"));
    m_comma = addRadioButton(this, layout, QStringLiteral("RadioButton2"), QStringLiteral("Comma"));
    m_semicolon = addRadioButton(this, layout, QStringLiteral("RadioButton3"), QStringLiteral("Semicolon"));
    m_space = addRadioButton(this, layout, QStringLiteral("RadioButton4"), QStringLiteral("Space"));
    m_other = addRadioButton(this, layout, QStringLiteral("RadioButton5"), QStringLiteral("Other"));

    m_otherText = new QLineEdit(this);
    m_otherText->setObjectName(QStringLiteral("Edit1"));
    m_otherText->setMaxLength(1);
    m_otherText->setValidator(new WholeCharacterValidator(m_otherText));
    m_otherText->setToolTip(QStringLiteral("One character from U+0000 to U+FFFF"));
    layout->addWidget(m_otherText);
    layout->addSpacing(6);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Button1"));
    layout->addWidget(m_ok);

    // toggled, not clicked: the pre-selection runs the handlers too.
    const auto onChecked = [this](QRadioButton* button, void (TFormSeparator::*handler)()) {
        connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked)
                (this->*handler)();
        });
    };
    onChecked(m_tab, &TFormSeparator::RadioButton1Click);
    onChecked(m_comma, &TFormSeparator::RadioButton2Click);
    onChecked(m_semicolon, &TFormSeparator::RadioButton3Click);
    onChecked(m_space, &TFormSeparator::RadioButton4Click);
    onChecked(m_other, &TFormSeparator::RadioButton5Click);
    connect(m_otherText, &QLineEdit::textChanged, this, &TFormSeparator::updateOkEnabled);
    connect(m_ok, &QPushButton::clicked, this, &TFormSeparator::Button1Click);

    preselect(m_separatorButton ? m_separatorButton->text() : QString());

    setFixedSize(138, 184);
    centreOnScreen(*this);
}

void TFormSeparator::preselect(const QString& separatorText)
{
    if (separatorText == u"\\t") {
        m_tab->setChecked(true);
    } else if (separatorText == u",") {
        m_comma->setChecked(true);
    } else if (separatorText == u";") {
        m_semicolon->setChecked(true);
    } else if (separatorText == u" ") {
        m_space->setChecked(true);
    } else {
        m_other->setChecked(true);
        // The box holds one character, the one the separator-text rule
        // takes from a longer caption; a caption that gives none (half a
        // character) leaves it empty. setText() bypasses the validator.
        if (hasSeparator(separatorText))
            m_otherText->setText(separatorText);
    }
    updateOkEnabled();
}

void TFormSeparator::RadioButton1Click()
{
    setEditEnabled(false);
}
void TFormSeparator::RadioButton2Click()
{
    setEditEnabled(false);
}
void TFormSeparator::RadioButton3Click()
{
    setEditEnabled(false);
}
void TFormSeparator::RadioButton4Click()
{
    setEditEnabled(false);
}
void TFormSeparator::RadioButton5Click()
{
    setEditEnabled(true);
}

void TFormSeparator::setEditEnabled(bool enabled)
{
    m_otherText->setEnabled(enabled);
    updateOkEnabled();
}

// Load and export need exactly one separator character, so "Other" with an
// empty box is not a choice that OK can confirm.
void TFormSeparator::updateOkEnabled()
{
    m_ok->setEnabled(!m_other->isChecked() || hasSeparator(m_otherText->text()));
}

QString TFormSeparator::chosenSeparatorText() const
{
    if (m_tab->isChecked())
        return QStringLiteral("\\t");
    if (m_comma->isChecked())
        return QStringLiteral(",");
    if (m_semicolon->isChecked())
        return QStringLiteral(";");
    if (m_space->isChecked())
        return QStringLiteral(" ");
    return m_otherText->text();
}

void TFormSeparator::Button1Click()
{
    const QString text = chosenSeparatorText();
    if (m_separatorButton && hasSeparator(text))
        m_separatorButton->setText(text);
    accept();
}

} // namespace quarrow
