#include "tests/support/FakeDialogs.h"
#include "info/about/TAboutBox.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace quarrow;

// Runs on two offscreen screens side by side, the second at twice the scale,
// so that the window can move to a screen of another scale.
class AboutScaleTest : public QObject {
    Q_OBJECT

private slots:
    void movingToAScreenOfAnotherScaleRedrawsTheArtwork()
    {
        const QList<QScreen*> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(screens[0]->devicePixelRatio(), 1.0);
        QCOMPARE(screens[1]->devicePixelRatio(), 2.0);

        test::FakeDialogs dialogs;
        TAboutBox box(AboutFacts{u"Quarrow"_qs, u"2.1"_qs, QIcon(), QString()}, dialogs);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.screen(), screens[0]);
        QCOMPARE(box.artworkRatio(), 1.0);
        auto* logo = box.findChild<QLabel*>(u"Image2"_qs);
        auto* picture = box.findChild<QLabel*>(u"ImageEgg"_qs);
        QCOMPARE(logo->pixmap().size(), QSize(344, 105));
        const int columns = box.rain().matrixWidth();
        const int rows = box.rain().matrixHeight();

        box.windowHandle()->setScreen(screens[1]);
        QTRY_COMPARE(box.devicePixelRatioF(), 2.0);
        QTRY_COMPARE(box.artworkRatio(), 2.0);
        QCOMPARE(logo->pixmap().size(), QSize(688, 210));
        QCOMPARE(logo->pixmap().devicePixelRatio(), 2.0);
        QCOMPARE(picture->pixmap().size(), QSize(640, 428));
        QCOMPARE(box.rain().matrixWidth(), columns);
        QCOMPARE(box.rain().matrixHeight(), rows);

        box.windowHandle()->setScreen(screens[0]);
        QTRY_COMPARE(box.artworkRatio(), 1.0);
        QCOMPARE(logo->pixmap().size(), QSize(344, 105));
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir folder;
    const QString config = folder.filePath(u"screens.json"_qs);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the screen layout");
    file.write(R"({"synchronousWindowSystemEvents": true, "windowFrameMargins": false, "screens": [
        {"name": "plain", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "sharp", "x": 1024, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 2}
    ]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    AboutScaleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AboutScaleTest.moc"
