#pragma once

#include "kit/MouseGestures.h"

#include <QFrame>
#include <QString>

class QLabel;
class QMouseEvent;
class QPaintEvent;
class QPixmap;
class QResizeEvent;

namespace quarrow {

// One choice of the feedback window: a bevelled panel with a picture at its
// left edge and a centred caption. Its state is its look: selected exactly
// when its background is anything but the button-face colour. It paints its
// own background, so the change shows under any style.
class ChoicePanel final : public QFrame {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChoicePanel)

public:
    ChoicePanel(const QString& caption, const QPixmap& picture, const QString& pictureName, QWidget* parent);

    const QString& text() const noexcept { return m_caption; }
    QLabel* picture() const noexcept { return m_picture; }

    bool isSelected() const;
    // Highlight colours and a lowered bevel, or button-face colours and a
    // raised bevel.
    void setSelected(bool selected);

signals:
    // A left click on the panel or on its picture.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_caption;
    QLabel* m_picture = nullptr;
    ClickTracker m_click;
};

} // namespace quarrow
