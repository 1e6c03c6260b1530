// The window kit's mouse gestures. Dragging a window without a title bar: the
// left button hands the drag to the window manager when it takes it, and
// moves the window by hand when it does not; the middle button always moves
// it by hand. A click on a label that acts as a link: the left button pressed
// and released on it.
#include "kit/MouseGestures.h"

#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

using namespace quarrow;

Q_DECLARE_METATYPE(Qt::MouseButton)

class DragWindow final : public QWidget {
public:
    explicit DragWindow(bool platformMoves)
        : m_drag(*this, [this, platformMoves](QWindow& handle) {
              ++systemMoves;
              movedHandle = &handle;
              return platformMoves;
          })
    {
        resize(200, 100);
    }

    int systemMoves = 0;
    QWindow* movedHandle = nullptr;

protected:
    void mousePressEvent(QMouseEvent* event) override { m_drag.handle(event); }
    void mouseMoveEvent(QMouseEvent* event) override { m_drag.handle(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { m_drag.handle(event); }

private:
    WindowDrag m_drag;
};

// Counts the clicks a ClickTracker sees in the events the widget receives.
class ClickTarget final : public QWidget {
public:
    ClickTarget() { resize(200, 100); }

    int clicks = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override { track(event); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { track(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { track(event); }

private:
    void track(const QMouseEvent* event)
    {
        if (m_tracker.isClick(*this, event))
            ++clicks;
    }

    ClickTracker m_tracker;
};

class MouseGesturesTest : public QObject {
    Q_OBJECT

private slots:
    void systemMoveFirst_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("platformMoves");
        QTest::addColumn<int>("systemMoves");
        QTest::addColumn<bool>("movedByHand");
        QTest::newRow("left, the platform takes it") << Qt::LeftButton << true << 1 << false;
        QTest::newRow("left, the platform refuses") << Qt::LeftButton << false << 1 << true;
        QTest::newRow("middle") << Qt::MiddleButton << true << 0 << true;
        QTest::newRow("right") << Qt::RightButton << true << 0 << false;
    }

    void systemMoveFirst()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, platformMoves);
        QFETCH(int, systemMoves);
        QFETCH(bool, movedByHand);
        DragWindow window(platformMoves);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint start = window.pos();

        QTest::mousePress(&window, button, {}, QPoint(10, 10));
        QTest::mouseMove(&window, QPoint(40, 30));
        QTest::mouseRelease(&window, button, {}, QPoint(40, 30));

        QCOMPARE(window.systemMoves, systemMoves);
        if (systemMoves > 0)
            QCOMPARE(window.movedHandle, window.windowHandle());
        // A drag the platform took is not moved a second time by hand.
        QTRY_COMPARE(window.pos(), movedByHand ? start + QPoint(30, 20) : start);
    }

    // Presses and releases on a 200 x 100 widget; Qt::NoButton presses
    // nothing.
    void clicks_data()
    {
        QTest::addColumn<Qt::MouseButton>("press");
        QTest::addColumn<Qt::MouseButton>("release");
        QTest::addColumn<QPoint>("releaseAt");
        QTest::addColumn<int>("clicks");
        QTest::newRow("left, released inside") << Qt::LeftButton << Qt::LeftButton << QPoint(190, 90) << 1;
        QTest::newRow("left, released outside") << Qt::LeftButton << Qt::LeftButton << QPoint(210, 50) << 0;
        QTest::newRow("left, released above") << Qt::LeftButton << Qt::LeftButton << QPoint(10, -1) << 0;
        QTest::newRow("right") << Qt::RightButton << Qt::RightButton << QPoint(10, 10) << 0;
        QTest::newRow("middle") << Qt::MiddleButton << Qt::MiddleButton << QPoint(10, 10) << 0;
        QTest::newRow("a release without a press") << Qt::NoButton << Qt::LeftButton << QPoint(10, 10) << 0;
        QTest::newRow("left pressed, right released") << Qt::LeftButton << Qt::RightButton << QPoint(10, 10) << 0;
    }

    void clicks()
    {
        QFETCH(Qt::MouseButton, press);
        QFETCH(Qt::MouseButton, release);
        QFETCH(QPoint, releaseAt);
        QFETCH(int, clicks);
        ClickTarget target;
        target.show();
        QVERIFY(QTest::qWaitForWindowExposed(&target));

        if (press != Qt::NoButton)
            QTest::mousePress(&target, press, {}, QPoint(10, 10));
        QTest::mouseMove(&target, releaseAt);
        QTest::mouseRelease(&target, release, {}, releaseAt);
        QCOMPARE(target.clicks, clicks);
    }

    // A release ends what its press began: a second release, or one after
    // another button's release, clicks nothing; the next press starts anew.
    void everyClickNeedsItsOwnPress()
    {
        ClickTarget target;
        target.show();
        QVERIFY(QTest::qWaitForWindowExposed(&target));

        QTest::mousePress(&target, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(&target, Qt::RightButton, {}, QPoint(10, 10));
        QTest::mouseRelease(&target, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(target.clicks, 0);

        QTest::mousePress(&target, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(&target, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(&target, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(target.clicks, 1);

        // Slid off and back on before letting go: the release decides.
        QTest::mousePress(&target, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(&target, QPoint(250, 10));
        QTest::mouseMove(&target, QPoint(20, 10));
        QTest::mouseRelease(&target, Qt::LeftButton, {}, QPoint(20, 10));
        QCOMPARE(target.clicks, 2);
    }
};

QTEST_MAIN(MouseGesturesTest)
#include "MouseGesturesTest.moc"
