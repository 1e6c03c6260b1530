#include "tests/support/Controls.h"
#include "update/qt/TNewVer.h"
#include "tests/support/WindowDragCheck.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <stdexcept>

using namespace quarrow;

namespace {

const QString kHomePage = u"http://home.test/"_qs;

// Fires one tick of the popup's timer at once, without its interval passing.
bool tick(QTimer* timer)
{
    return QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
}

// Leaves the timer running, so that the popup's own stop shows, but with an
// interval no test lasts.
void keepFromTicking(QTimer* timer)
{
    timer->start(24 * 60 * 60 * 1000);
}

} // namespace

class TNewVerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_main;
    QLineEdit* m_edit = nullptr;
    TNewVer* m_popup = nullptr; // owned by the main window
    QStringList m_opened;

    TNewVer* makePopup(const QString& address = u"https://downloads.example.com/quarrow-2.2.zip"_qs)
    {
        m_popup = new TNewVer(
            u"Quarrow"_qs, u"2.2"_qs, address, [this](const QString& opened) { m_opened << opened; }, m_main.get());
        return m_popup;
    }

    // The popup once TimerStart has shown it; null when it never appears.
    TNewVer* shownPopup(const QString& address = u"https://downloads.example.com/quarrow-2.2.zip"_qs)
    {
        TNewVer* popup = makePopup(address);
        const bool shown =
            QTest::qWaitFor([popup] { return popup->isVisible(); }) && QTest::qWaitForWindowExposed(popup);
        return shown ? popup : nullptr;
    }

    template <typename T>
    T* control(const char* name) const
    {
        return test::findControl<T>(m_popup, QString::fromLatin1(name));
    }

private slots:
    void initTestCase()
    {
        qputenv("QUARROW_HTTP_BASE", "http://home.test");
        QPixmap icon(32, 32);
        icon.fill(Qt::darkCyan);
        QApplication::setWindowIcon(QIcon(icon));
    }

    void init()
    {
        m_opened.clear();
        m_main = std::make_unique<QWidget>();
        m_main->setObjectName(u"Main"_qs);
        m_main->resize(300, 200);
        m_edit = new QLineEdit(m_main.get());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
        m_edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), m_edit);
    }

    void cleanup()
    {
        m_main.reset();
        m_popup = nullptr;
    }

    // The free area's corner; the end-to-end test reserves a panel on a real
    // X display to tell it from the whole screen.
    void madeHiddenInTheTopRightCornerOfThePrimaryScreen()
    {
        TNewVer* popup = makePopup();
        QVERIFY(!popup->isVisible());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect expected(screen.x() + screen.width() - 320 - 5, screen.y() + 5, 320, 68);
        QCOMPARE(popup->geometry(), expected);
        const Qt::WindowFlags wanted =
            Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus;
        QCOMPARE(popup->windowFlags() & wanted, wanted);

        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(popup->geometry(), expected);
    }

    void showsTheNewVersion()
    {
        QVERIFY(shownPopup());
        QCOMPARE(m_popup->objectName(), u"NewVer"_qs);
        auto* caption = control<QLabel>("Label1");
        auto* link = control<QLabel>("Label2");
        QCOMPARE(caption->text(), u"UPDATE AVAILABLE"_qs);
        QVERIFY(caption->font().bold());
        QCOMPARE(caption->font().pixelSize(), 13);
        QCOMPARE(link->text(), u"Click to download Quarrow 2.2"_qs);
        QVERIFY(link->font().underline());
        QCOMPARE(link->font().pixelSize(), 13);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);

        const QPixmap icon = control<QLabel>("Image1")->pixmap();
        QCOMPARE(icon.toImage().pixelColor(16, 16), QColor(Qt::darkCyan));
        QVERIFY(!control<QToolButton>("Button1")->icon().isNull());
    }

    void showsItselfWithoutTakingTheFocus()
    {
        QVERIFY(shownPopup());
        QTRY_COMPARE(QGuiApplication::focusWindow(), m_main->windowHandle());
        QCOMPARE(QApplication::focusWidget(), m_edit);
        QTest::keyClicks(nullptr, u"typed"_qs);
        QCOMPARE(m_edit->text(), u"typed"_qs);
    }

    // Another of the user's windows is in front: the popup does not pull
    // the main window over it.
    void leavesTheMainWindowInTheBackground()
    {
        QWidget other;
        other.setObjectName(u"Other"_qs);
        other.resize(200, 100);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);
        QVERIFY(shownPopup());
        QCoreApplication::processEvents();
        QVERIFY(QApplication::activeWindow() != m_main.get());
    }

    void linkOpensOnlyWebAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("opened");
        const QString zip = u"http://downloads.example.com/quarrow-2.2.zip"_qs;
        QTest::newRow("http") << zip << zip;
        QTest::newRow("https") << u"https://example.com/get?v=2.2"_qs << u"https://example.com/get?v=2.2"_qs;
        QTest::newRow("upper-case scheme") << u"HTTPS://example.com/get"_qs << u"HTTPS://example.com/get"_qs;
        QTest::newRow("empty") << QString() << kHomePage;
        QTest::newRow("local file") << u"file:///etc/passwd"_qs << kHomePage;
        QTest::newRow("script") << u"javascript:alert(1)"_qs << kHomePage;
        QTest::newRow("ftp") << u"ftp://x"_qs << kHomePage;
        QTest::newRow("no scheme") << u"www.example.com"_qs << kHomePage;
        QTest::newRow("bare path") << u"/usr/bin/xterm"_qs << kHomePage;
        QTest::newRow("web scheme without host") << u"http:///usr/bin/xterm"_qs << kHomePage;
    }

    void linkOpensOnlyWebAddresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, opened);
        QVERIFY(shownPopup(address));
        QTest::mouseClick(control<QLabel>("Label2"), Qt::LeftButton);
        QCOMPARE(m_opened, QStringList{opened});
        QVERIFY(!m_popup->isVisible());
    }

    void linkClosesThePopupWhenTheDesktopFails()
    {
        m_popup = new TNewVer(
            u"Quarrow"_qs, u"2.2"_qs, u"https://example.com/"_qs,
            [](const QString&) { throw std::runtime_error("no handler"); }, m_main.get());
        QTRY_VERIFY(m_popup->isVisible());
        QTest::mouseClick(control<QLabel>("Label2"), Qt::LeftButton);
        QVERIFY(!m_popup->isVisible());
    }

    void pressOnTheLinkReleasedElsewhereOpensNothing()
    {
        QVERIFY(shownPopup());
        auto* link = control<QLabel>("Label2");
        QTest::mousePress(link, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(-5, link->height() / 2));
        QVERIFY(m_opened.isEmpty());
        QVERIFY(m_popup->isVisible());
    }

    void closesItselfAfterElevenTicks()
    {
        QVERIFY(shownPopup());
        auto* closeTimer = control<QTimer>("TimerClose");
        keepFromTicking(closeTimer);
        for (int i = 0; i < 10; ++i)
            QVERIFY(tick(closeTimer));
        QCOMPARE(m_popup->closeCount(), 1);
        QVERIFY(closeTimer->isActive());
        QVERIFY(m_popup->isVisible());

        QVERIFY(tick(closeTimer));
        QCOMPARE(m_popup->closeCount(), 0);
        QVERIFY(!closeTimer->isActive());
        QTRY_VERIFY(!m_popup->isVisible());
        QVERIFY(m_opened.isEmpty());
    }

    void closeButtonHidesAndTheCountRunningOutLaterChangesNothing()
    {
        QVERIFY(shownPopup());
        QTest::mouseClick(control<QToolButton>("Button1"), Qt::LeftButton);
        QVERIFY(!m_popup->isVisible());
        QVERIFY(m_opened.isEmpty());

        auto* closeTimer = control<QTimer>("TimerClose");
        keepFromTicking(closeTimer);
        while (m_popup->closeCount() > 0)
            QVERIFY(tick(closeTimer));
        QCoreApplication::processEvents();
        QVERIFY(!m_popup->isVisible());
    }

    void dragging_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("moves");
        QTest::newRow("left on the window") << u"NewVer"_qs << Qt::LeftButton << true;
        QTest::newRow("left on the edge") << u"Panel1"_qs << Qt::LeftButton << true;
        QTest::newRow("middle on the edge") << u"Panel1"_qs << Qt::MiddleButton << true;
        QTest::newRow("right on the edge") << u"Panel1"_qs << Qt::RightButton << false;
        QTest::newRow("left on the icon") << u"Image1"_qs << Qt::LeftButton << true;
        QTest::newRow("middle on the caption") << u"Label1"_qs << Qt::MiddleButton << true;
        QTest::newRow("right on the caption") << u"Label1"_qs << Qt::RightButton << false;
        QTest::newRow("left beside the button") << u"Panel3"_qs << Qt::LeftButton << true;
        QTest::newRow("left on the link") << u"Label2"_qs << Qt::LeftButton << false;
        QTest::newRow("middle on the link") << u"Label2"_qs << Qt::MiddleButton << false;
        QTest::newRow("left on the text panel") << u"Panel2"_qs << Qt::LeftButton << false;
        QTest::newRow("left on the button") << u"Button1"_qs << Qt::LeftButton << false;
        QTest::newRow("middle on the button") << u"Button1"_qs << Qt::MiddleButton << false;
    }

    void dragging()
    {
        QFETCH(QString, where);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, moves);
        QVERIFY(shownPopup());
        QWidget* target = where == m_popup->objectName() ? m_popup : control<QWidget>(where.toLatin1().constData());
        test::checkWindowDrag(*m_popup, target, button, moves);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_popup->size(), QSize(320, 68));
        QVERIFY(m_popup->isVisible());
        QVERIFY(m_opened.isEmpty());
    }

    void linkColourFollowsThePointer()
    {
        QVERIFY(shownPopup());
        auto* link = control<QLabel>("Label2");
        const QColor highlight = m_popup->palette().color(QPalette::Highlight);
        const QColor text = m_popup->palette().color(QPalette::WindowText);
        QVERIFY(highlight != text);
        const auto linkColour = [link] { return link->palette().color(QPalette::WindowText); };

        QCursor::setPos(link->mapToGlobal(link->rect().center()));
        QTRY_COMPARE(linkColour(), highlight);
        QCursor::setPos(link->mapToGlobal(QPoint(-1, 0)));
        QTRY_COMPARE(linkColour(), text);
        QCursor::setPos(link->mapToGlobal(QPoint(0, 0)));
        QTRY_COMPARE(linkColour(), highlight);
        QCursor::setPos(m_popup->geometry().bottomLeft() + QPoint(-20, 20));
        QTRY_COMPARE(linkColour(), text);
    }
};

QTEST_MAIN(TNewVerTest)
#include "TNewVerTest.moc"
