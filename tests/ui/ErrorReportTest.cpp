#include "ui/ErrorReport.h"
#include "tests/support/FakeDialogs.h"

#include <QTest>

#include <stdexcept>

using namespace quarrow;

class ErrorReportTest : public QObject {
    Q_OBJECT

private slots:
    void fullStopRule_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << u"Access denied"_qs << u"Access denied."_qs;
        QTest::newRow("digit") << u"Error 5"_qs << u"Error 5."_qs;
        QTest::newRow("question mark") << u"Why?"_qs << u"Why?."_qs;
        QTest::newRow("full stop") << u"Done."_qs << u"Done."_qs;
        QTest::newRow("exclamation") << u"Oops!"_qs << u"Oops!"_qs;
        QTest::newRow("comma") << u"a,"_qs << u"a,"_qs;
        QTest::newRow("closing bracket") << u"(x)"_qs << u"(x)"_qs;
        QTest::newRow("quote") << u"file \"a\""_qs << u"file \"a\""_qs;
        QTest::newRow("space") << u"trailing "_qs << u"trailing "_qs;
        QTest::newRow("slash") << u"a/"_qs << u"a/."_qs;
        QTest::newRow("hyphen") << u"a-"_qs << u"a-"_qs;
        QTest::newRow("non-ASCII letter") << u"ß"_qs << u"ß."_qs;
        QTest::newRow("empty") << QString() << QString();
    }

    void fullStopRule()
    {
        QFETCH(QString, description);
        QFETCH(QString, shown);
        QCOMPARE(withFullStop(description), shown);
    }

    void reportShowsInnermostFailure()
    {
        std::exception_ptr failure;
        try {
            try {
                throw std::runtime_error("No space left on device");
            } catch (...) {
                std::throw_with_nested(std::runtime_error("Export failed"));
            }
        } catch (...) {
            failure = std::current_exception();
        }
        test::FakeDialogs dialogs;
        reportFailure(dialogs, nullptr, failure);
        QCOMPARE(dialogs.messages.size(), size_t{1});
        QCOMPARE(dialogs.messages[0].icon, MessageIcon::Error);
        QCOMPARE(dialogs.messages[0].caption, u"Quarrow"_qs);
        QCOMPARE(dialogs.messages[0].text, u"No space left on device."_qs);
    }

    void guardedHandlerEndsAndReports()
    {
        test::FakeDialogs dialogs;
        bool after = false;
        runGuarded(dialogs, nullptr, [&] {
            throw std::runtime_error("Cannot open \"x.sql\": Permission denied");
            after = true;
        });
        QVERIFY(!after);
        QCOMPARE(dialogs.messages.size(), size_t{1});
        QCOMPARE(dialogs.messages[0].text, u"Cannot open \"x.sql\": Permission denied."_qs);
    }
};

QTEST_GUILESS_MAIN(ErrorReportTest)
#include "ErrorReportTest.moc"
