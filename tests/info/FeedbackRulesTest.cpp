// The feedback window's rules that need no window: the e-mail check, the
// feedback value and its fields, and which server answers count as taken.
#include "EmailCheck.h"
#include "FeedbackRequest.h"

#include <QTest>

#include <string>

using namespace quarrow;

Q_DECLARE_METATYPE(std::u16string)
Q_DECLARE_METATYPE(quarrow::FeedbackChoice)
Q_DECLARE_METATYPE(quarrow::RequestFields)

namespace {

std::u16string text(const QString& qt)
{
    return qt.toStdU16String();
}

} // namespace

class FeedbackRulesTest : public QObject {
    Q_OBJECT

private slots:
    void emailCheck_data()
    {
        QTest::addColumn<std::u16string>("address");
        QTest::addColumn<bool>("valid");

        QTest::newRow("shortest") << std::u16string(u"a@b.c") << true;
        QTest::newRow("plus, hyphen, underscore, stop before @") << std::u16string(u"a.b+c-d_e@host.org") << true;
        QTest::newRow("leading full stop") << std::u16string(u".ann@host.org") << true;
        QTest::newRow("domain label starts with hyphen") << std::u16string(u"ann@-host.org") << true;
        QTest::newRow("ends in a digit") << std::u16string(u"ann@host.c0m9") << true;
        QTest::newRow("two stops after the first") << std::u16string(u"ann@host.co..uk") << true;
        QTest::newRow("sub-domains") << std::u16string(u"Ann.Lee@mail.host.example.com") << true;
        QTest::newRow("upper case") << std::u16string(u"ANN@HOST.ORG") << true;
        QTest::newRow("hundred characters") << std::u16string(94, u'a') + u"@b.com" << true;

        QTest::newRow("empty") << std::u16string() << false;
        QTest::newRow("no stop after @") << std::u16string(u"ann@host") << false;
        QTest::newRow("domain ends in hyphen") << std::u16string(u"ann@host.org-") << false;
        QTest::newRow("domain ends in stop") << std::u16string(u"ann@host.org.") << false;
        QTest::newRow("underscore after @") << std::u16string(u"ann@ho_st.org") << false;
        QTest::newRow("space inside") << std::u16string(u"ann lee@host.org") << false;
        QTest::newRow("surrounding space") << std::u16string(u" ann@host.org ") << false;
        QTest::newRow("non-ASCII letter before @") << std::u16string(u"jürgen@host.org") << false;
        QTest::newRow("non-ASCII letter in domain") << std::u16string(u"ann@hóst.org") << false;
        QTest::newRow("empty part before @") << std::u16string(u"@host.org") << false;
        QTest::newRow("two at signs") << std::u16string(u"ann@bob@host.org") << false;
        QTest::newRow("stop straight after @") << std::u16string(u"ann@.org") << false;
        QTest::newRow("nothing after the stop") << std::u16string(u"ann@host.") << false;
        // "$" must not match before a final line feed: the whole text counts.
        QTest::newRow("final line feed") << std::u16string(u"ann@host.org\n") << false;
        QTest::newRow("line feed inside") << std::u16string(u"x\nann@host.org") << false;
        QTest::newRow("NUL inside") << std::u16string(u"ann@host.org\0x", 14) << false;
        QTest::newRow("lone high surrogate") << std::u16string(u"ann@host.or") + char16_t(0xD800) << false;
        QTest::newRow("lone low surrogate") << char16_t(0xDC00) + std::u16string(u"ann@host.org") << false;
        QTest::newRow("emoji") << std::u16string(u"ann@host.org\U0001F600") << false;
        // Letters that only match without case folding, outside ASCII.
        QTest::newRow("Kelvin sign") << std::u16string(u"ann@host.or\u212A") << false;
    }

    void emailCheck()
    {
        QFETCH(std::u16string, address);
        QFETCH(bool, valid);
        QCOMPARE(isValidEmailAddress(address), valid);
    }

    void emailCheckOnLongText()
    {
        // The pattern backtracks on a long domain that never ends well: a
        // limit inside the matcher must read as "invalid", never throw.
        const std::u16string longDomain = u"ann@host." + std::u16string(200000, u'-') + u"-";
        QVERIFY(!isValidEmailAddress(longDomain));
        QVERIFY(isValidEmailAddress(u"ann@host." + std::u16string(200000, u'a')));
    }

    void lineBreaks_data()
    {
        QTest::addColumn<QString>("editorText");
        QTest::addColumn<QString>("sent");

        QTest::newRow("one line") << u"hello"_qs << u"hello"_qs;
        QTest::newRow("bare LF") << u"a\nb"_qs << u"a\r\nb"_qs;
        QTest::newRow("empty lines") << u"\na\n\nb\n"_qs << u"\r\na\r\n\r\nb\r\n"_qs;
        QTest::newRow("pair kept") << u"a\r\nb"_qs << u"a\r\nb"_qs;
        QTest::newRow("bare CR kept") << u"a\rb"_qs << u"a\rb"_qs;
    }

    void lineBreaks()
    {
        QFETCH(QString, editorText);
        QFETCH(QString, sent);
        QCOMPARE(QString::fromStdU16String(withCrLfLineBreaks(text(editorText))), sent);
    }

    void feedbackValueByChoice_data()
    {
        QTest::addColumn<FeedbackChoice>("choice");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("value");

        QTest::newRow("no choice: message alone") << FeedbackChoice::None << u"Nice\r\ntool"_qs << u"Nice\r\ntool"_qs;
        QTest::newRow("like: label and one CR")
            << FeedbackChoice::Like << u"first\r\nsecond"_qs << u"I like it!\rfirst\r\nsecond"_qs;
        QTest::newRow("dislike: label and one CR")
            << FeedbackChoice::Dislike << u"slow"_qs << u"I dislike it!\rslow"_qs;
    }

    void feedbackValueByChoice()
    {
        QFETCH(FeedbackChoice, choice);
        QFETCH(QString, message);
        QFETCH(QString, value);
        QCOMPARE(QString::fromStdU16String(feedbackValue(choice, text(message))), value);
    }

    void requestFields_data()
    {
        QTest::addColumn<std::u16string>("email");
        QTest::addColumn<RequestFields>("fields");

        const RequestFields common = {u"cmd=feedback", u"appname=TARNIX - Quarrow", u"version=2.1",
                                      u"feedback=I like it!\ra=b&c"};
        RequestFields withEmail = common;
        withEmail.push_back(u"email=ann@host.org");
        QTest::newRow("with address") << std::u16string(u"ann@host.org") << withEmail;
        QTest::newRow("without address") << std::u16string() << common;
    }

    void requestFields()
    {
        QFETCH(std::u16string, email);
        QFETCH(RequestFields, fields);
        const FeedbackSubmission submission{u"TARNIX - Quarrow", u"2.1", u"I like it!\ra=b&c", email};
        QVERIFY(feedbackFields(submission) == fields);
    }

    void acceptedAnswer_data()
    {
        QTest::addColumn<std::u16string>("answer");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("OK") << std::u16string(u"OK") << true;
        QTest::newRow("spaces and blank lines around") << std::u16string(u"\r\n  OK \t\r\n\r\n") << true;
        QTest::newRow("control characters around") << std::u16string(u"\x01OK\x1F", 4) << true;
        QTest::newRow("empty") << std::u16string() << false;
        QTest::newRow("lower case") << std::u16string(u"ok") << false;
        QTest::newRow("mixed case") << std::u16string(u"Ok") << false;
        QTest::newRow("full stop") << std::u16string(u"OK.") << false;
        QTest::newRow("second line") << std::u16string(u"OK\r\nmore") << false;
        QTest::newRow("space inside") << std::u16string(u"O K") << false;
        QTest::newRow("no-break space around") << std::u16string(u"\u00A0OK") << false;
        QTest::newRow("error page") << std::u16string(u"<html><body>OK</body></html>") << false;
    }

    void acceptedAnswer()
    {
        QFETCH(std::u16string, answer);
        QFETCH(bool, accepted);
        QCOMPARE(isAcceptedAnswer(answer), accepted);
    }
};

QTEST_GUILESS_MAIN(FeedbackRulesTest)
#include "FeedbackRulesTest.moc"
