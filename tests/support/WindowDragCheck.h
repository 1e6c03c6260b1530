#pragma once

#include <QPoint>
#include <QTest>
#include <QWidget>

namespace quarrow::test {

// Drags `window` by `target` with `button`: a press, two moves and a release,
// then one more move. Each move shifts the window by the pointer's step since
// the one before, not since the press; the window moves only when `moves`
// says so, and not at all after the release. The caller ends its test when
// this failed: `if (QTest::currentTestFailed()) return;`.
inline void checkWindowDrag(QWidget& window, QWidget* target, Qt::MouseButton button, bool moves)
{
    const QPoint start = window.pos();
    const QPoint grip(5, 5);
    QTest::mousePress(target, button, {}, grip);
    QTest::mouseMove(target, grip + QPoint(-40, 25));
    QTest::mouseMove(target, grip + QPoint(-10, 5));
    QTest::mouseRelease(target, button, {}, grip + QPoint(-10, 5));
    const QPoint expected = moves ? start + QPoint(-50, 30) : start;
    QTRY_COMPARE(window.pos(), expected);

    // The release ended the drag.
    QTest::mouseMove(target, grip + QPoint(30, 30));
    QCOMPARE(window.pos(), expected);
}

} // namespace quarrow::test
