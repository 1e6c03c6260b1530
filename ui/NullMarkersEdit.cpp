#include "ui/NullMarkersEdit.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>

namespace quarrow {

NullMarkersEdit::NullMarkersEdit(QGridLayout* layout, QWidget* panel, QObject* parent)
    : QObject(parent), m_label(new QLabel(QStringLiteral("NULL markers:"), panel)), m_edit(new QLineEdit(panel))
{
    m_label->setObjectName(QStringLiteral("LabelNullMarkers"));
    m_edit->setObjectName(QStringLiteral("NullMarkers"));
    m_edit->setPlaceholderText(QStringLiteral("none (for example: NA \\N -)"));
    m_edit->setToolTip(QStringLiteral("Values written as NULL, separated by blanks, matched against the whole "
                                      "value, letter case as given. Read exactly, a quoted value stays a value."));
    // A file dropped on the box loads it like a drop anywhere else.
    m_edit->setAcceptDrops(false);
    m_label->setBuddy(m_edit);
    connect(m_edit, &QLineEdit::editingFinished, this, &NullMarkersEdit::changed);
    const int row = layout->rowCount();
    layout->addWidget(m_label, row, 0);
    layout->addWidget(m_edit, row, 1);
}

std::vector<std::u16string> NullMarkersEdit::markers() const
{
    std::vector<std::u16string> markers;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& marker : m_edit->text().split(blanks, Qt::SkipEmptyParts))
        markers.push_back(marker.toStdU16String());
    return markers;
}

void NullMarkersEdit::setMarkers(const std::vector<std::u16string>& markers)
{
    QStringList texts;
    for (const auto& marker : markers)
        texts << QString::fromStdU16String(marker);
    m_edit->setText(texts.join(u' '));
    emit changed();
}

void NullMarkersEdit::setEnabled(bool enabled)
{
    m_label->setEnabled(enabled);
    m_edit->setEnabled(enabled);
}

} // namespace quarrow
