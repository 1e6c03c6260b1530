#include "ui/Pictures.h"

#include <QImage>
#include <QTest>

using namespace quarrow;

class PicturesTest : public QObject {
    Q_OBJECT

private slots:
    void drawsEveryPicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("grey"); // the disabled look has no colour
        QTest::newRow("folder48") << u"folder48"_qs << 48 << false;
        QTest::newRow("save48") << u"save48"_qs << 48 << false;
        QTest::newRow("saveblack48") << u"saveblack48"_qs << 48 << true;
        QTest::newRow("column") << u"column"_qs << 32 << false;
        QTest::newRow("column_Disabled") << u"column_Disabled"_qs << 32 << true;
        QTest::newRow("exit") << u"exit"_qs << 16 << false;
        QTest::newRow("feedback") << u"feedback"_qs << 16 << false;
        QTest::newRow("about") << u"about"_qs << 16 << false;
        QTest::newRow("help") << u"help"_qs << 16 << false;
        QTest::newRow("quarrow") << u"quarrow"_qs << 48 << false;
    }

    // A missing resource entry or artwork the renderer rejects leaves the
    // picture fully transparent.
    void drawsEveryPicture()
    {
        QFETCH(QString, name);
        QFETCH(int, size);
        QFETCH(bool, grey);

        QCOMPARE(naturalPictureSize(name), size);
        const QImage image = picture(name, size).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(size, size));
        int drawn = 0;
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                drawn += pixel.alpha() > 0 ? 1 : 0;
                coloured += pixel.alpha() > 0 && pixel.hslSaturation() > 40 ? 1 : 0;
            }
        }
        QVERIFY2(drawn > size * size / 4, qPrintable(name));
        QCOMPARE(coloured == 0, grey);
    }
};

QTEST_MAIN(PicturesTest)
#include "PicturesTest.moc"
