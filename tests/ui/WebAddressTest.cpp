#include "ui/InputFiles.h"
#include "kit/MakerServer.h"
#include "kit/WebAddress.h"

#include <QTest>

using namespace quarrow;

// The small rules behind the main window's commands.
class WebAddressTest : public QObject {
    Q_OBJECT

private slots:
    void helpAddress_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("address");
        QTest::newRow("the product") << u"Quarrow"_qs << u"http://h/help/quarrow/"_qs;
        QTest::newRow("words") << u"Quarrow CSV Tool"_qs << u"http://h/help/quarrow-csv-tool/"_qs;
        QTest::newRow("two spaces") << u"A  B"_qs << u"http://h/help/a--b/"_qs;
        QTest::newRow("outer spaces") << u" A "_qs << u"http://h/help/-a-/"_qs;
        QTest::newRow("non-ASCII capitals stay") << u"ÄÖ Ü"_qs << u"http://h/help/ÄÖ-Ü/"_qs;
        QTest::newRow("nothing escaped") << u"50% & more?"_qs << u"http://h/help/50%-&-more?/"_qs;
        QTest::newRow("tab is not a space") << u"a\tb"_qs << u"http://h/help/a\tb/"_qs;
    }

    void helpAddress()
    {
        QFETCH(QString, product);
        QFETCH(QString, address);
        QCOMPARE(quarrow::helpAddress(u"http://h"_qs, product), address);
    }

    void serverAddressesFromTheEnvironment()
    {
        qunsetenv("QUARROW_HTTPS_BASE");
        qunsetenv("QUARROW_HTTP_BASE");
        QCOMPARE(makerHttpsBase(), u"https://www.tarnix.example"_qs);
        QCOMPARE(makerHttpBase(), u"http://www.tarnix.example"_qs);
        qputenv("QUARROW_HTTPS_BASE", "https://127.0.0.1:8443/");
        qputenv("QUARROW_HTTP_BASE", "http://127.0.0.1:8080");
        QCOMPARE(makerHttpsBase(), u"https://127.0.0.1:8443"_qs);
        QCOMPARE(makerHttpBase(), u"http://127.0.0.1:8080"_qs);
        qunsetenv("QUARROW_HTTPS_BASE");
        qunsetenv("QUARROW_HTTP_BASE");
    }

    void commandLinePath_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("path");
        QTest::newRow("none") << QStringList{} << QString();
        QTest::newRow("one") << QStringList{u"/data/a.csv"_qs} << u"/data/a.csv"_qs;
        QTest::newRow("split path") << QStringList{u"/My"_qs, u"Files/a.csv"_qs} << u"/My Files/a.csv"_qs;
        QTest::newRow("double space inside stays") << QStringList{u"/a  b.csv"_qs} << u"/a  b.csv"_qs;
        QTest::newRow("blank arguments trimmed") << QStringList{u"\t"_qs, u"/a.csv"_qs, u" "_qs} << u"/a.csv"_qs;
        QTest::newRow("empty arguments") << QStringList{QString(), u"x"_qs, QString()} << u"x"_qs;
    }

    void commandLinePath()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, path);
        QCOMPARE(quarrow::commandLinePath(arguments), path);
    }

    void csvExtension_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("csv");
        QTest::newRow("lower") << u"/d/data.csv"_qs << true;
        QTest::newRow("upper") << u"/d/DATA.CSV"_qs << true;
        QTest::newRow("mixed") << u"/d/x.CsV"_qs << true;
        QTest::newRow("only the extension") << u"/d/.csv"_qs << true;
        QTest::newRow("later extension") << u"/d/data.csv.bak"_qs << false;
        QTest::newRow("text") << u"/d/notes.txt"_qs << false;
        QTest::newRow("none") << u"/d/csv"_qs << false;
        QTest::newRow("dot in the folder only") << u"/d.csv/data"_qs << false;
        QTest::newRow("long s is not s") << u"/d/x.c\u017Fv"_qs << false;
    }

    void csvExtension()
    {
        QFETCH(QString, path);
        QFETCH(bool, csv);
        QCOMPARE(hasCsvExtension(path), csv);
    }
};

QTEST_GUILESS_MAIN(WebAddressTest)
#include "WebAddressTest.moc"
