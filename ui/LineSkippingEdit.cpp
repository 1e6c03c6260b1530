#include "ui/LineSkippingEdit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>
#include <limits>

namespace quarrow {

LineSkippingEdit::LineSkippingEdit(QGridLayout* layout, QWidget* panel, QObject* parent)
    : QObject(parent), m_skipLabel(new QLabel(QStringLiteral("Skip lines:"), panel)), m_skip(new QSpinBox(panel)),
      m_commentLabel(new QLabel(QStringLiteral("Comment:"), panel)), m_comment(new QLineEdit(panel))
{
    m_skipLabel->setObjectName(QStringLiteral("LabelSkipLines"));
    m_skip->setObjectName(QStringLiteral("SkipLines"));
    m_skip->setRange(0, std::numeric_limits<int>::max());
    m_skip->setMaximumWidth(90);
    m_skip->setToolTip(QStringLiteral("Lines above the table (a title, a date, blank lines) that are never loaded, "
                                      "whatever they hold; the header is the line after them"));
    m_skipLabel->setBuddy(m_skip);
    m_commentLabel->setObjectName(QStringLiteral("LabelCommentChar"));
    m_comment->setObjectName(QStringLiteral("CommentChar"));
    m_comment->setMaxLength(1);
    m_comment->setFixedWidth(28);
    m_comment->setAlignment(Qt::AlignCenter);
    m_comment->setToolTip(QStringLiteral("Lines that begin with this character (such as #) are not loaded; a line "
                                         "inside a quoted value never is a comment. Empty: none"));
    m_commentLabel->setBuddy(m_comment);
    auto* row = new QHBoxLayout;
    row->addWidget(m_skipLabel);
    row->addWidget(m_skip);
    row->addStretch();
    row->addWidget(m_commentLabel);
    row->addWidget(m_comment);
    layout->addLayout(row, layout->rowCount(), 0, 1, layout->columnCount());
}

std::uint64_t LineSkippingEdit::skipLines() const
{
    return static_cast<std::uint64_t>(std::max(0, m_skip->value()));
}

char16_t LineSkippingEdit::comment() const
{
    const QString text = m_comment->text();
    return text.isEmpty() ? u'\0' : text.at(0).unicode();
}

void LineSkippingEdit::set(std::uint64_t skipLines, char16_t comment)
{
    m_skip->setValue(static_cast<int>(std::min<std::uint64_t>(skipLines, std::numeric_limits<int>::max())));
    m_comment->setText(comment == u'\0' ? QString() : QString(QChar(comment)));
}

void LineSkippingEdit::setLocked(bool locked)
{
    for (QWidget* control : {static_cast<QWidget*>(m_skipLabel), static_cast<QWidget*>(m_skip),
                             static_cast<QWidget*>(m_commentLabel), static_cast<QWidget*>(m_comment)})
        control->setEnabled(!locked);
}

} // namespace quarrow
