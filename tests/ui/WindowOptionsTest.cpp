#include "ui/WindowOptions.h"

#include <QTest>

#include <optional>
#include <sstream>

using namespace quarrow;

// --help and --version are the window program's options only as its sole
// argument; every other command line is a file name for the window.
class WindowOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // -1: the window opens
        QTest::addColumn<QString>("printed");
        const QString version = u"quarrow 10.12\n"_qs; // the fixture's block
        QTest::newRow("version") << QStringList{u"--version"_qs} << 0 << version;
        QTest::newRow("help") << QStringList{u"--help"_qs} << 0 << u"Usage: quarrow [FILE]"_qs;
        QTest::newRow("no arguments") << QStringList{} << -1 << QString();
        QTest::newRow("a file") << QStringList{u"/data/a.csv"_qs} << -1 << QString();
        QTest::newRow("version before a file") << QStringList{u"--version"_qs, u"a.csv"_qs} << -1 << QString();
        QTest::newRow("help after a file") << QStringList{u"/My"_qs, u"--help"_qs} << -1 << QString();
        QTest::newRow("help twice") << QStringList{u"--help"_qs, u"--help"_qs} << -1 << QString();
        QTest::newRow("short forms are files") << QStringList{u"-h"_qs} << -1 << QString();
        QTest::newRow("other case") << QStringList{u"--Version"_qs} << -1 << QString();
        QTest::newRow("with a value") << QStringList{u"--version=2"_qs} << -1 << QString();
        QTest::newRow("with a blank") << QStringList{u"--help "_qs} << -1 << QString();
        QTest::newRow("split by the shell") << QStringList{u"--"_qs, u"help"_qs} << -1 << QString();
    }

    void answers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, printed);
        std::ostringstream out;
        const std::optional<int> answered = answerWindowOption(arguments, QStringLiteral(VERSION_FIXTURE), out);
        QCOMPARE(answered.value_or(-1), status);
        const QString text = QString::fromStdString(out.str());
        if (status < 0 || printed.endsWith(u'\n'))
            QCOMPARE(text, printed);
        else
            QVERIFY2(text.startsWith(printed), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(WindowOptionsTest)
#include "WindowOptionsTest.moc"
