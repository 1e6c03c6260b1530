#include "ui/NullMarkersEdit.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

#include <algorithm>

namespace quarrow {

NullMarkersEdit::NullMarkersEdit(QGridLayout* layout, QWidget* panel, QObject* parent)
    : QObject(parent), m_label(new QLabel(QStringLiteral("NULL markers:"), panel)), m_edit(new QLineEdit(panel))
{
    m_label->setObjectName(QStringLiteral("LabelNullMarkers"));
    m_edit->setObjectName(QStringLiteral("NullMarkers"));
    m_edit->setPlaceholderText(QStringLiteral("none (for example: NA \\N -)"));
    m_edit->setToolTip(QStringLiteral("Values written as NULL, separated by blanks, matched against the whole "
                                      "value, letter case as given; put a marker that holds a blank in double "
                                      "quotes. Read exactly, a quoted value stays a value."));
    // A file dropped on the box loads it like a drop anywhere else.
    m_edit->setAcceptDrops(false);
    m_label->setBuddy(m_edit);
    connect(m_edit, &QLineEdit::editingFinished, this, &NullMarkersEdit::changed);
    const int row = layout->rowCount();
    layout->addWidget(m_label, row, 0);
    layout->addWidget(m_edit, row, 1);
}

std::vector<std::u16string> NullMarkersEdit::splitMarkers(const QString& text)
{
    std::vector<std::u16string> markers;
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        // A quoted marker runs to the quote that is not doubled; one typed
        // without its closing quote is a plain word, quote and all.
        if (text[i] == u'"') {
            std::u16string marker;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < size) {
                if (text[j] == u'"') {
                    if (j + 1 < size && text[j + 1] == u'"') {
                        marker += u'"';
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                marker += text[j].unicode();
                ++j;
            }
            if (closed && (j == size || text[j].isSpace())) {
                markers.push_back(std::move(marker));
                i = j;
                continue;
            }
        }
        qsizetype end = i;
        while (end < size && !text[end].isSpace())
            ++end;
        markers.push_back(text.mid(i, end - i).toStdU16String());
        i = end;
    }
    return markers;
}

QString NullMarkersEdit::joinMarkers(const std::vector<std::u16string>& markers)
{
    QStringList texts;
    for (const auto& marker : markers) {
        QString text = QString::fromStdU16String(marker);
        const bool plain = !text.isEmpty() && !text.startsWith(u'"')
                           && std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
        if (!plain)
            text = u'"' + text.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
        texts << text;
    }
    return texts.join(u' ');
}

std::vector<std::u16string> NullMarkersEdit::markers() const
{
    return splitMarkers(m_edit->text());
}

void NullMarkersEdit::setMarkers(const std::vector<std::u16string>& markers)
{
    m_edit->setText(joinMarkers(markers));
    emit changed();
}

void NullMarkersEdit::setEnabled(bool enabled)
{
    m_label->setEnabled(enabled);
    m_edit->setEnabled(enabled);
}

} // namespace quarrow
