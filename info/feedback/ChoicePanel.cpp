#include "info/feedback/ChoicePanel.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace quarrow {

namespace {

constexpr int kPictureSide = 32;
constexpr int kPictureLeft = 4;

} // namespace

ChoicePanel::ChoicePanel(const QString& caption, const QPixmap& picture, const QString& pictureName, QWidget* parent)
    : QFrame(parent), m_caption(caption)
{
    setLineWidth(1);
    setAutoFillBackground(true);
    setCursor(Qt::PointingHandCursor);
    // The caption is painted, not a label: name the panel for screen readers.
    setAccessibleName(caption);
    m_picture = new QLabel(this);
    m_picture->setObjectName(pictureName);
    m_picture->setPixmap(picture);
    m_picture->setGeometry(kPictureLeft, 0, kPictureSide, kPictureSide);
    setSelected(false);
}

bool ChoicePanel::isSelected() const
{
    return palette().color(QPalette::Window) != palette().color(QPalette::Button);
}

void ChoicePanel::setSelected(bool selected)
{
    const QPalette system = QApplication::palette(this);
    QPalette look = palette();
    look.setColor(QPalette::Window, system.color(selected ? QPalette::Highlight : QPalette::Button));
    look.setColor(QPalette::WindowText, system.color(selected ? QPalette::HighlightedText : QPalette::WindowText));
    setPalette(look);
    setFrameStyle(QFrame::Panel | (selected ? QFrame::Sunken : QFrame::Raised));
}

void ChoicePanel::mousePressEvent(QMouseEvent* event)
{
    m_click.isClick(*this, event);
    event->accept();
}

void ChoicePanel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (m_click.isClick(*this, event))
        emit clicked();
}

void ChoicePanel::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    m_picture->move(kPictureLeft, (height() - kPictureSide) / 2);
}

void ChoicePanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignCenter, m_caption);
}

} // namespace quarrow
