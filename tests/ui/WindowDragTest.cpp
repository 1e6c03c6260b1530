// Dragging a window without a title bar: the left button hands the drag to
// the window manager when it takes it, and moves the window by hand when it
// does not; the middle button always moves it by hand.
#include "MouseGestures.h"

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

class WindowDragTest : public QObject {
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
};

QTEST_MAIN(WindowDragTest)
#include "WindowDragTest.moc"
