// quarrow --help and the man page quarrow(1) must name the same options: an
// option added to one and forgotten in the other fails here. The help is
// asked of the built program, as a user or a packager would ask it.

#include "tests/support/OptionNames.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <string>

using namespace quarrow;

class WindowManPageTest : public QObject {
    Q_OBJECT

private slots:
    void helpAndManPageNameTheSameOptions()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUARROW_PROGRAM), {u"--help"_qs});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const std::string usage = program.readAllStandardOutput().toStdString();
        const test::HelpOptions help = test::helpOptions(usage);
        QVERIFY2(help.defined.count("--version") == 1, usage.c_str());

        QFile file(QStringLiteral(QUARROW_MAN_PAGE));
        QVERIFY2(file.open(QIODevice::ReadOnly), QUARROW_MAN_PAGE);
        const test::ManOptions man = test::manOptions(file.readAll().toStdString());
        QVERIFY(man.defined.count("--version") == 1);

        // Compared as text, so that a failure names the options.
        const auto missing = [](const test::Names& wanted, const test::Names& present) {
            return QString::fromStdString(test::missingFrom(wanted, present));
        };
        QCOMPARE(missing(help.defined, man.defined), QString()); // listed, with no entry under OPTIONS
        QCOMPARE(missing(man.defined, help.defined), QString()); // an entry, not listed by --help
        QCOMPARE(missing(help.mentioned, man.mentioned), QString());
        QCOMPARE(missing(man.mentioned, help.mentioned), QString());
    }
};

QTEST_GUILESS_MAIN(WindowManPageTest)
#include "WindowManPageTest.moc"
