// The feedback window's rules that need no window: the e-mail check, the
// feedback value and its fields, and which server answers count as taken.
#include "info/feedback/EmailCheck.h"
#include "info/feedback/FeedbackRequest.h"

#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <random>
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

bool isAsciiAlnum(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool allOf(std::u16string_view text, std::u16string_view extra)
{
    return std::all_of(text.begin(), text.end(),
                       [&](char16_t c) { return isAsciiAlnum(c) || extra.find(c) != std::u16string_view::npos; });
}

// The address rule spelt out without a regular expression: a name of
// letters, digits and "_.+-"; one "@"; a first domain label of letters,
// digits and hyphens; a full stop; then letters, digits, hyphens and full
// stops ending in a letter or digit.
bool referenceAddressRule(std::u16string_view address)
{
    const std::size_t at = address.find(u'@');
    if (at == std::u16string_view::npos || at == 0)
        return false;
    const std::u16string_view name = address.substr(0, at);
    const std::u16string_view domain = address.substr(at + 1);
    const std::size_t stop = domain.find(u'.');
    if (stop == std::u16string_view::npos || stop == 0)
        return false;
    const std::u16string_view rest = domain.substr(stop + 1);
    return allOf(name, u"_.+-") && allOf(domain.substr(0, stop), u"-") && !rest.empty() && allOf(rest, u".-")
           && isAsciiAlnum(rest.back());
}

unsigned testSeed()
{
    if (const char* given = std::getenv("QUARROW_TEST_SEED"))
        return static_cast<unsigned>(std::strtoul(given, nullptr, 10));
    return std::random_device{}();
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

    // Short texts over an alphabet that holds every kind of character the
    // rule tells apart: the check agrees with the rule spelt out by hand.
    void emailCheckAgreesWithTheRule()
    {
        // Mostly the characters an address may hold, now and then one it may
        // not: a second "@", a space, a line feed, letters outside ASCII.
        static constexpr std::u16string_view kAllowed = u"aZ09_.+-";
        static constexpr std::u16string_view kOthers = u"@ \u00e9\n\u212A";
        const unsigned seed = testSeed();
        std::mt19937 random(seed);
        std::uniform_int_distribution<std::size_t> length(0, 4);
        std::uniform_int_distribution<int> percent(0, 99);
        const auto part = [&] {
            std::u16string piece(length(random), u' ');
            for (char16_t& c : piece) {
                const std::u16string_view from = percent(random) < 6 ? kOthers : kAllowed;
                c = from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
            }
            return piece;
        };
        int valid = 0;
        for (int i = 0; i < 200000; ++i) {
            // Mostly shaped like an address, so that both answers come often.
            const std::u16string address =
                i % 4 == 0 ? part() + part() + part() : part() + u'@' + part() + u'.' + part();
            const bool expected = referenceAddressRule(address);
            valid += expected ? 1 : 0;
            if (isValidEmailAddress(address) != expected)
                QFAIL(qPrintable(u"seed %1 (QUARROW_TEST_SEED replays it): \"%2\" should be %3"_qs.arg(seed).arg(
                    QString::fromStdU16String(address), expected ? u"valid"_qs : u"invalid"_qs)));
        }
        // The alphabet reaches both answers often enough to mean something.
        QVERIFY2(valid > 5000, qPrintable(QString::number(valid)));
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
