// The feedback window: its controls, the choice panels, the checks before
// sending, and the submission through the real exchange to local HTTPS and
// HTTP servers.
#include "info/feedback/ChoicePanel.h"
#include "tests/support/Controls.h"
#include "kit/Dialogs.h"
#include "info/feedback/FeedbackDelivery.h"
#include "tests/support/LocalServer.h"
#include "ui/TAppForm.h"
#include "info/feedback/TFeedbackForm.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quarrow;
using quarrow::test::findControl;
using quarrow::test::LocalServer;
using quarrow::test::RecordedRequest;
using quarrow::test::ScopedCaBundle;
using quarrow::test::ScriptedReply;
using quarrow::test::unusedAddress;

using Fields = std::vector<std::pair<std::string, std::string>>;

namespace {

const QString kSuccessText = u"Your feedback is received.\n\nThank you!"_qs;
const QString kFailureText =
    u"Something went wrong. Your feedback could not be delivered.\n\nPlease try again later."_qs;
const std::string kPath = "/php/feedback.php";

// Records the boxes and beeps, and what the user saw when a box came up:
// whether the busy cursor was still on and whether the window was still open.
class RecordingDialogs final : public Dialogs {
public:
    struct Box {
        MessageIcon icon;
        QString caption;
        QString text;
        bool busyCursor;
        bool windowVisible;
    };

    std::vector<Box> boxes;
    int beeps = 0;

    void message(QWidget* parent, MessageIcon icon, const QString& caption, const QString& text) override
    {
        boxes.push_back(
            {icon, caption, text, QApplication::overrideCursor() != nullptr, parent != nullptr && parent->isVisible()});
    }
    QStringList openFiles(QWidget*, const FileDialogSpec&) override { return unexpected<QStringList>("openFiles"); }
    QString openFile(QWidget*, const FileDialogSpec&) override { return unexpected<QString>("openFile"); }
    QString saveFile(QWidget*, const FileDialogSpec&) override { return unexpected<QString>("saveFile"); }
    void beep() override { ++beeps; }
    void openUrl(const QString&) override { unexpected<int>("openUrl"); }
    void openTextFile(const QString&) override { unexpected<int>("openTextFile"); }

private:
    template <typename T>
    static T unexpected(const char* what)
    {
        QTest::qFail(QByteArray("unexpected call: ").append(what).constData(), __FILE__, __LINE__);
        return T{};
    }
};

// Every address the window posted to. Written on the sending thread and read
// once the window has taken the answer.
struct ExchangeLog {
    std::vector<std::string> addresses;
};

class RecordingExchange final : public PostExchange {
public:
    RecordingExchange(std::unique_ptr<PostExchange> inner, std::shared_ptr<ExchangeLog> log)
        : m_inner(std::move(inner)), m_log(std::move(log))
    {
    }

    std::u16string post(const std::string& address, const RequestFields& fields) override
    {
        m_log->addresses.push_back(address);
        return m_inner->post(address, fields);
    }

private:
    std::unique_ptr<PostExchange> m_inner;
    std::shared_ptr<ExchangeLog> m_log;
};

// Counts the events of one kind that reach an object.
class EventCounter final : public QObject {
public:
    EventCounter(QObject* watched, QEvent::Type type) : m_type(type) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == m_type)
            ++count;
        return false;
    }

private:
    QEvent::Type m_type;
};

class ThrowingExchange final : public PostExchange {
public:
    std::u16string post(const std::string&, const RequestFields&) override
    {
        throw std::runtime_error("not an exchange error");
    }
};

std::string httpsBaseOf(const std::string& httpAddress)
{
    return "https" + httpAddress.substr(4);
}

Fields fieldsWithFeedback(const std::string& feedback)
{
    return {{"cmd", "feedback"}, {"appname", "TARNIX - Quarrow"}, {"version", "2.1"}, {"feedback", feedback}};
}

} // namespace

class FeedbackFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<LocalServer> m_https;
    std::unique_ptr<LocalServer> m_http;
    std::unique_ptr<ScopedCaBundle> m_trust;
    std::size_t m_httpsSeen = 0;
    std::size_t m_httpSeen = 0;
    RecordingDialogs m_dialogs;
    std::shared_ptr<ExchangeLog> m_log;
    std::unique_ptr<TFeedbackForm> m_form;

    static void useServers(const std::string& httpsBase, const std::string& httpBase)
    {
        qputenv("QUARROW_HTTPS_BASE", QByteArray::fromStdString(httpsBase));
        qputenv("QUARROW_HTTP_BASE", QByteArray::fromStdString(httpBase));
    }

    // The program's own target, so the path and the time-outs are the real
    // ones, with every exchange recorded.
    FeedbackTarget recordedTarget()
    {
        FeedbackTarget target = FeedbackTarget::forThisMachine();
        target.makeExchange = [make = target.makeExchange, log = m_log](std::shared_ptr<CancelSignal> cancel) {
            return std::make_unique<RecordingExchange>(make(std::move(cancel)), log);
        };
        return target;
    }

    TFeedbackForm* openForm(FeedbackTarget target)
    {
        m_form = std::make_unique<TFeedbackForm>(FeedbackFacts{u"Quarrow"_qs, u"TARNIX - Quarrow"_qs, u"2.1"_qs},
                                                 m_dialogs, std::move(target));
        m_form->show();
        if (!QTest::qWaitForWindowExposed(m_form.get()))
            qFatal("the feedback window did not appear");
        return m_form.get();
    }
    TFeedbackForm* openForm() { return openForm(recordedTarget()); }

    template <typename T>
    T* control(const char* name)
    {
        return findControl<T>(m_form.get(), QString::fromLatin1(name));
    }
    QPlainTextEdit* memo() { return control<QPlainTextEdit>("Memo1"); }
    QLineEdit* edit() { return control<QLineEdit>("Edit1"); }
    QPushButton* send() { return control<QPushButton>("BitBtn1"); }
    ChoicePanel* likePanel() { return control<ChoicePanel>("Panel4"); }
    ChoicePanel* dislikePanel() { return control<ChoicePanel>("Panel5"); }

    void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

    // Presses Send and waits for the result box. Until then the window shows
    // that it is sending: the busy cursor, and Send cannot be pressed again.
    void sendAndWait()
    {
        click(send());
        QVERIFY(m_form->isSending());
        QVERIFY(!send()->isEnabled());
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->isSending(), 30000);
        QVERIFY(send()->isEnabled());
    }

    std::vector<RecordedRequest> newRequests(const LocalServer& server, std::size_t seen) const
    {
        std::vector<RecordedRequest> all = server.requests();
        return std::vector<RecordedRequest>(all.begin() + static_cast<std::ptrdiff_t>(seen), all.end());
    }
    std::vector<RecordedRequest> httpsRequests() const { return newRequests(*m_https, m_httpsSeen); }
    std::vector<RecordedRequest> httpRequests() const { return newRequests(*m_http, m_httpSeen); }

    bool nothingSent() const { return m_log->addresses.empty() && httpsRequests().empty() && httpRequests().empty(); }

    static void checkSelected(ChoicePanel* panel, bool selected)
    {
        const QPalette system = QApplication::palette();
        QCOMPARE(panel->isSelected(), selected);
        QCOMPARE(panel->palette().color(QPalette::Window),
                 system.color(selected ? QPalette::Highlight : QPalette::Button));
        QCOMPARE(panel->palette().color(QPalette::WindowText),
                 system.color(selected ? QPalette::HighlightedText : QPalette::WindowText));
        QCOMPARE(panel->frameShadow(), selected ? QFrame::Sunken : QFrame::Raised);
    }

private slots:
    void initTestCase()
    {
        m_https = std::make_unique<LocalServer>(LocalServer::Scheme::Https);
        m_http = std::make_unique<LocalServer>(LocalServer::Scheme::Http);
        m_trust = std::make_unique<ScopedCaBundle>(m_https->certificate());
    }

    void init()
    {
        m_httpsSeen = m_https->requests().size();
        m_httpSeen = m_http->requests().size();
        m_https->setReply(kPath, {.body = "OK"});
        m_http->setReply(kPath, {.body = "OK"});
        useServers(m_https->url(""), m_http->url(""));
        m_dialogs = RecordingDialogs();
        m_log = std::make_shared<ExchangeLog>();
    }

    void cleanup()
    {
        m_form.reset();
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void cleanupTestCase()
    {
        m_trust.reset();
        m_http.reset();
        m_https.reset();
    }

    void opensEmptyWithItsControls()
    {
        TFeedbackForm* form = openForm();
        QCOMPARE(form->windowTitle(), u"Quarrow feedback"_qs);
        QCOMPARE(form->size(), QSize(525, 326));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(form->windowFlags() & Qt::WindowCloseButtonHint);

        QCOMPARE(likePanel()->text(), u"I like it!"_qs);
        QCOMPARE(dislikePanel()->text(), u"I dislike it!"_qs);
        QCOMPARE(likePanel()->size(), QSize(257, 40));
        QCOMPARE(dislikePanel()->size(), QSize(256, 40));
        for (ChoicePanel* panel : {likePanel(), dislikePanel()}) {
            checkSelected(panel, false);
            QVERIFY(panel->autoFillBackground());
            QCOMPARE(panel->cursor().shape(), Qt::PointingHandCursor);
        }
        QCOMPARE(control<QLabel>("Image1")->pixmap().deviceIndependentSize(), QSizeF(32, 32));
        QCOMPARE(control<QLabel>("Image2")->pixmap().deviceIndependentSize(), QSizeF(32, 32));
        QVERIFY(!control<QLabel>("Image1")->pixmap().toImage().isNull());

        const auto* label1 = control<QLabel>("Label1");
        QCOMPARE(label1->text(), u"We would really appreciate your feedback."_qs);
        QCOMPARE(label1->font().pixelSize(), 16);
        const auto* label2 = control<QLabel>("Label2");
        QCOMPARE(label2->text(), u"What did you like or dislike?"_qs);
        QCOMPARE(label2->font().pixelSize(), 13);
        QVERIFY(label2->font().bold());
        QCOMPARE(control<QLabel>("Label3")->text(), u"Include my e-mail:"_qs);

        QVERIFY(memo()->toPlainText().isEmpty());
        QCOMPARE(memo()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(edit()->text().isEmpty());
        QCOMPARE(edit()->maxLength(), 100);
        QCOMPARE(send()->text(), u"Send"_qs);
        QVERIFY(send()->font().bold());
        QCOMPARE(send()->size(), QSize(180, 34));
        QCOMPARE(send()->iconSize(), QSize(16, 16));
        QVERIFY(!send()->icon().isNull());
        QTRY_COMPARE(form->focusWidget(), memo());
    }

    void choosingSwitchesAndNeverClears()
    {
        openForm();
        click(control<QLabel>("Image1"));
        checkSelected(likePanel(), true);
        checkSelected(dislikePanel(), false);
        click(dislikePanel());
        checkSelected(likePanel(), false);
        checkSelected(dislikePanel(), true);
        click(dislikePanel());
        checkSelected(dislikePanel(), true);
        click(control<QLabel>("Image2"));
        checkSelected(dislikePanel(), true);
        click(likePanel());
        checkSelected(likePanel(), true);
        checkSelected(dislikePanel(), false);
        QCOMPARE(m_form->choice(), FeedbackChoice::Like);

        // Pressed on the panel, let go outside it: no choice changes.
        QTest::mousePress(dislikePanel(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(dislikePanel(), Qt::LeftButton, {}, QPoint(-20, 5));
        checkSelected(likePanel(), true);
    }

    void messageLengthIsLimited()
    {
        openForm();
        memo()->setPlainText(QString(10000, u'a'));
        QTest::keyClicks(memo(), u"bc"_qs);
        QCOMPARE(memo()->toPlainText(), QString(10000, u'a'));

        // A paste is cut to fit; a line break takes two of the characters.
        memo()->clear();
        memo()->insertPlainText(u"xy"_qs);
        memo()->moveCursor(QTextCursor::Start);
        const QString pasted = QString(u"ab\n"_qs).repeated(3400);
        memo()->insertPlainText(pasted);
        const QString text = memo()->toPlainText();
        QCOMPARE(text.size() + text.count(u'\n'), 10000);
        QVERIFY(text.endsWith(u"xy"_qs));
        QVERIFY(pasted.startsWith(text.chopped(2)));
    }

    void answersOverHttps_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("OK") << 200 << QByteArray("OK") << true;
        QTest::newRow("OK with spaces and line breaks") << 200 << QByteArray(" OK \r\n") << true;
        QTest::newRow("OK between blank lines") << 200 << QByteArray("\r\n\r\nOK\r\n\r\n") << true;
        QTest::newRow("lower case") << 200 << QByteArray("ok") << false;
        QTest::newRow("full stop") << 200 << QByteArray("OK.") << false;
        QTest::newRow("second line") << 200 << QByteArray("OK\nmore") << false;
        QTest::newRow("empty") << 200 << QByteArray() << false;
        // A completed HTTPS exchange is the answer, whatever its status: an
        // error page is a refusal and is never sent again in the clear.
        QTest::newRow("error page") << 500 << QByteArray("<html><body>Internal error</body></html>") << false;
        QTest::newRow("not found") << 404 << QByteArray("Not Found") << false;
    }

    void answersOverHttps()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, answer);
        QFETCH(bool, accepted);
        m_https->setReply(kPath, {.status = status, .body = answer.toStdString()});
        openForm();
        memo()->setPlainText(u"Great tool"_qs);
        sendAndWait();

        QCOMPARE(httpsRequests().size(), 1u);
        QCOMPARE(httpsRequests()[0].path, kPath);
        QCOMPARE(httpsRequests()[0].method, "POST");
        QVERIFY(httpRequests().empty());
        QCOMPARE(m_dialogs.boxes.size(), 1u);
        const RecordingDialogs::Box& box = m_dialogs.boxes[0];
        QVERIFY(!box.busyCursor);
        QVERIFY(box.windowVisible);
        if (accepted) {
            QCOMPARE(box.icon, MessageIcon::Information);
            QCOMPARE(box.caption, u"Success"_qs);
            QCOMPARE(box.text, kSuccessText);
            QVERIFY(!m_form->isVisible());
            QCOMPARE(m_form->result(), int(QDialog::Accepted));
        } else {
            QCOMPARE(box.icon, MessageIcon::Error);
            QCOMPARE(box.caption, u"Failure"_qs);
            QCOMPARE(box.text, kFailureText);
            QVERIFY(m_form->isVisible());
            QCOMPARE(memo()->toPlainText(), u"Great tool"_qs);
        }
    }

    void plainHttpOnlyWhenHttpsFails()
    {
        const std::string httpsDown = httpsBaseOf(unusedAddress(""));
        useServers(httpsDown, m_http->url(""));
        openForm();
        memo()->setPlainText(u"Works"_qs);
        sendAndWait();

        QCOMPARE(m_log->addresses, (std::vector<std::string>{httpsDown + kPath, m_http->url(kPath)}));
        QCOMPARE(httpRequests().size(), 1u);
        QCOMPARE(httpRequests()[0].fields, fieldsWithFeedback("Works"));
        QCOMPARE(m_dialogs.boxes.size(), 1u);
        QCOMPARE(m_dialogs.boxes[0].text, kSuccessText);
        QVERIFY(!m_form->isVisible());
    }

    void bothDownKeepsEverything()
    {
        useServers(httpsBaseOf(unusedAddress("")), unusedAddress(""));
        openForm();
        click(dislikePanel());
        memo()->setPlainText(u"  Crashes on start\n"_qs);
        edit()->setText(u" ann@host.org "_qs);
        sendAndWait();

        QCOMPARE(m_log->addresses.size(), 2u);
        QCOMPARE(m_dialogs.boxes.size(), 1u);
        QCOMPARE(m_dialogs.boxes[0].icon, MessageIcon::Error);
        QCOMPARE(m_dialogs.boxes[0].caption, u"Failure"_qs);
        QCOMPARE(m_dialogs.boxes[0].text, kFailureText);
        QVERIFY(!m_dialogs.boxes[0].busyCursor);
        QVERIFY(m_form->isVisible());
        QCOMPARE(memo()->toPlainText(), u"  Crashes on start\n"_qs);
        QCOMPARE(edit()->text(), u" ann@host.org "_qs);
        checkSelected(dislikePanel(), true);
        checkSelected(likePanel(), false);
    }

    void sendAgainAfterFailureRepeatsTheSubmission()
    {
        // Plain HTTP with an error status fails like a dead server.
        useServers(httpsBaseOf(unusedAddress("")), m_http->url(""));
        m_http->setReply(kPath, {.status = 503, .body = "OK"});
        openForm();
        click(likePanel());
        memo()->setPlainText(u"Please add Firebird"_qs);
        edit()->setText(u"ann@host.org"_qs);
        sendAndWait();
        sendAndWait();
        QCOMPARE(m_dialogs.boxes.size(), 2u);
        QCOMPARE(m_dialogs.boxes[1].text, kFailureText);
        QCOMPARE(httpRequests().size(), 2u);
        QCOMPARE(httpRequests()[1].body, httpRequests()[0].body);

        m_http->setReply(kPath, {.body = "OK"});
        sendAndWait();
        QCOMPARE(httpRequests().size(), 3u);
        QCOMPARE(httpRequests()[2].body, httpRequests()[0].body);
        Fields expected = fieldsWithFeedback("I like it!\rPlease add Firebird");
        expected.emplace_back("email", "ann@host.org");
        QCOMPARE(httpRequests()[2].fields, expected);
        QCOMPARE(m_dialogs.boxes.size(), 3u);
        QCOMPARE(m_dialogs.boxes[2].text, kSuccessText);
        QVERIFY(!m_form->isVisible());
    }

    void bytesOnTheWire()
    {
        openForm();
        click(likePanel());
        memo()->setPlainText(u"\n first line\nsecond line \n\n"_qs);
        edit()->setText(u"  ann.lee+qa@host.org  "_qs);
        sendAndWait();

        QCOMPARE(httpsRequests().size(), 1u);
        const RecordedRequest request = httpsRequests().at(0);
        QCOMPARE(request.body, "cmd=feedback&appname=TARNIX+-+Quarrow&version=2.1"
                               "&feedback=I+like+it%21%0Dfirst+line%0D%0Asecond+line"
                               "&email=ann.lee%2Bqa%40host.org");
        Fields expected = fieldsWithFeedback("I like it!\rfirst line\r\nsecond line");
        expected.emplace_back("email", "ann.lee+qa@host.org");
        QCOMPARE(request.fields, expected);
    }

    // No-break spaces, Shift+Return line breaks and letters outside ASCII
    // reach the server as typed.
    void textAsTyped()
    {
        openForm();
        memo()->setFocus();
        // Key clicks only know ASCII; the rest comes in as a paste would.
        memo()->insertPlainText(u"a\u00a0b"_qs);
        QTest::keyClick(memo(), Qt::Key_Return, Qt::ShiftModifier);
        memo()->insertPlainText(u"\u00fc \U0001F600"_qs);
        QTest::keyClick(memo(), Qt::Key_Return);
        QTest::keyClicks(memo(), u"end"_qs);
        sendAndWait();
        QCOMPARE(httpsRequests().size(), 1u);
        QCOMPARE(httpsRequests()[0].fields, fieldsWithFeedback("a\u00a0b\r\n\u00fc \U0001F600\r\nend"));
    }

    void choiceOnTheWire_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("feedback");

        QTest::newRow("no choice") << QStringList() << u"Hi"_qs;
        QTest::newRow("like") << QStringList{u"Image1"_qs} << u"I like it!\rHi"_qs;
        QTest::newRow("dislike") << QStringList{u"Panel5"_qs} << u"I dislike it!\rHi"_qs;
        QTest::newRow("like, then dislike") << QStringList{u"Panel4"_qs, u"Image2"_qs} << u"I dislike it!\rHi"_qs;
        QTest::newRow("dislike, then like") << QStringList{u"Panel5"_qs, u"Panel4"_qs} << u"I like it!\rHi"_qs;
        QTest::newRow("like twice") << QStringList{u"Panel4"_qs, u"Image1"_qs} << u"I like it!\rHi"_qs;
    }

    void choiceOnTheWire()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QString, feedback);
        openForm();
        for (const QString& name : clicks)
            click(findControl<QWidget>(m_form.get(), name));
        memo()->setPlainText(u"Hi"_qs);
        sendAndWait();
        QCOMPARE(httpsRequests().size(), 1u);
        QCOMPARE(httpsRequests()[0].fields, fieldsWithFeedback(feedback.toStdString()));
    }

    void blankAddressSendsNoEmailField_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaces") << u"     "_qs;
        QTest::newRow("tab and spaces") << u" \t "_qs;
    }

    void blankAddressSendsNoEmailField()
    {
        QFETCH(QString, address);
        openForm();
        memo()->setPlainText(u"Hi"_qs);
        edit()->setText(address);
        sendAndWait();
        QCOMPARE(m_dialogs.boxes.size(), 1u);
        QCOMPARE(m_dialogs.boxes[0].text, kSuccessText);
        QCOMPARE(httpsRequests().size(), 1u);
        QCOMPARE(httpsRequests()[0].fields, fieldsWithFeedback("Hi"));
    }

    void emptyMessageBeeps_data()
    {
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaces") << u"   "_qs;
        QTest::newRow("blank lines and tabs") << u" \n\t\n  \n"_qs;
    }

    void emptyMessageBeeps()
    {
        QFETCH(QString, message);
        openForm();
        click(likePanel());
        memo()->setPlainText(message);
        // An invalid address too: the empty message is found first.
        edit()->setText(u"not an address"_qs);
        edit()->setFocus();
        click(send());
        QCOMPARE(m_dialogs.beeps, 1);
        QVERIFY(m_dialogs.boxes.empty());
        QCOMPARE(m_form->focusWidget(), memo());
        QVERIFY(nothingSent());
        QVERIFY(m_form->isVisible());
        QCOMPARE(memo()->toPlainText(), message);
    }

    void invalidAddressIsRefused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("no full stop in the domain") << u"ann@host"_qs;
        QTest::newRow("space inside, spaces around") << u" ann lee@host.org "_qs;
        QTest::newRow("non-ASCII letter") << u"jürgen@host.org"_qs;
    }

    void invalidAddressIsRefused()
    {
        QFETCH(QString, address);
        openForm();
        memo()->setPlainText(u"Hi"_qs);
        edit()->setText(address);
        memo()->setFocus();
        click(send());
        QCOMPARE(m_dialogs.boxes.size(), 1u);
        QCOMPARE(m_dialogs.boxes[0].icon, MessageIcon::Error);
        QCOMPARE(m_dialogs.boxes[0].caption, u"Failure"_qs);
        QCOMPARE(m_dialogs.boxes[0].text, u"Invalid e-mail address!"_qs);
        QCOMPARE(m_form->focusWidget(), edit());
        QCOMPARE(m_dialogs.beeps, 0);
        QVERIFY(nothingSent());
        QVERIFY(m_form->isVisible());
        QCOMPARE(edit()->text(), address);
    }

    void escapeClosesWithoutSending_data()
    {
        QTest::addColumn<QString>("focused");
        QTest::newRow("message box") << u"Memo1"_qs;
        QTest::newRow("e-mail box") << u"Edit1"_qs;
        QTest::newRow("Send button") << u"BitBtn1"_qs;
    }

    void escapeClosesWithoutSending()
    {
        QFETCH(QString, focused);
        openForm();
        memo()->setPlainText(u"Hi"_qs);
        edit()->setText(u"ann@host.org"_qs);
        auto* widget = findControl<QWidget>(m_form.get(), focused);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Escape);
        QTRY_VERIFY(!m_form->isVisible());
        QCOMPARE(m_form->result(), int(QDialog::Rejected));
        QVERIFY(nothingSent());
        QVERIFY(m_dialogs.boxes.empty());
    }

    void returnInTheAddressDoesNotSend()
    {
        openForm();
        memo()->setPlainText(u"Hi"_qs);
        edit()->setFocus();
        QTest::keyClick(edit(), Qt::Key_Return);
        QVERIFY(nothingSent());
        QVERIFY(m_form->isVisible());
    }

    void unexpectedErrorIsAFailure()
    {
        FeedbackTarget target = recordedTarget();
        target.makeExchange = [](std::shared_ptr<CancelSignal>) { return std::make_unique<ThrowingExchange>(); };
        openForm(std::move(target));
        memo()->setPlainText(u"Hi"_qs);
        sendAndWait();
        QCOMPARE(m_dialogs.boxes.size(), 1u);
        QCOMPARE(m_dialogs.boxes[0].text, kFailureText);
        QVERIFY(!m_dialogs.boxes[0].busyCursor);
        QVERIFY(m_form->isVisible());
    }

    void neverAnsweringHttpsFallsBackToHttp()
    {
        // An HTTPS server that takes the request and never answers: the
        // window gives up on it after its time-outs and tries plain HTTP.
        LocalServer silent(LocalServer::Scheme::Https);
        const ScopedCaBundle trustSilent(silent.certificate());
        silent.setReply(kPath, {.behaviour = ScriptedReply::Behaviour::NeverAnswer});
        useServers(silent.url(""), m_http->url(""));
        openForm();
        memo()->setPlainText(u"Hi"_qs);
        sendAndWait();
        QCOMPARE(silent.requests().size(), 1u);
        QCOMPARE(httpRequests().size(), 1u);
        QCOMPARE(m_dialogs.boxes.size(), 1u);
        QCOMPARE(m_dialogs.boxes[0].text, kSuccessText);
    }

    // A server that takes the request and never answers: while the window
    // waits, the main window still handles its events and repaints; closing
    // the feedback window ends the exchange, with no box and nothing sent in
    // the clear.
    void sendingLeavesTheProgramAnswering()
    {
        LocalServer silent(LocalServer::Scheme::Https);
        const ScopedCaBundle trustSilent(silent.certificate());
        silent.setReply(kPath, {.behaviour = ScriptedReply::Behaviour::NeverAnswer});
        useServers(silent.url(""), m_http->url(""));

        TAppForm main(m_dialogs, QCoreApplication::applicationFilePath(), {});
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        openForm();
        memo()->setPlainText(u"Hi"_qs);
        click(send());
        QVERIFY(m_form->isSending());
        QVERIFY(!send()->isEnabled());
        QVERIFY(silent.waitForRequests(1));

        bool handled = false;
        QTimer::singleShot(0, &main, [&] { handled = true; });
        QTRY_VERIFY(handled);
        const EventCounter paints(&main, QEvent::Paint);
        main.update();
        QTRY_VERIFY(paints.count > 0);
        QVERIFY(m_form->isSending());
        QVERIFY(m_dialogs.boxes.empty());

        m_form->close();
        QVERIFY(!m_form->isVisible());
        QVERIFY(!m_form->isSending());
        QVERIFY(send()->isEnabled());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCoreApplication::processEvents();
        QVERIFY(m_dialogs.boxes.empty());
        QCOMPARE(m_log->addresses, std::vector<std::string>{silent.url(kPath)});
        QVERIFY(httpRequests().empty());
    }

    // An HTTPS answer under a certificate nobody vouches for may come from
    // whoever sits on the way: the feedback is not sent again in the clear.
    void refusedCertificateIsNotRetriedInTheClear()
    {
        LocalServer impostor(LocalServer::Scheme::Https);
        impostor.setReply(kPath, {.body = "OK"});
        useServers(impostor.url(""), m_http->url(""));
        openForm();
        memo()->setPlainText(u"Hi"_qs);
        sendAndWait();
        QCOMPARE(m_log->addresses, std::vector<std::string>{impostor.url(kPath)});
        QVERIFY(impostor.requests().empty());
        QVERIFY(httpRequests().empty());
        QCOMPARE(m_dialogs.boxes.size(), 1u);
        QCOMPARE(m_dialogs.boxes[0].caption, u"Failure"_qs);
        QCOMPARE(m_dialogs.boxes[0].text, kFailureText);
        QVERIFY(m_form->isVisible());
    }

    void opensFreshAndModalFromTheMainWindow()
    {
        TAppForm main(m_dialogs, QCoreApplication::applicationFilePath(), {});
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        // The first opening is left with text in it and closed with Escape;
        // the second must start empty, and sends the main window's texts.
        QStringList memoAtOpening;
        QTimer poll;
        int round = 0;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* form = qobject_cast<TFeedbackForm*>(QApplication::activeModalWidget());
            if (form == nullptr)
                return;
            poll.stop();
            QCOMPARE(form->parentWidget(), &main);
            QCOMPARE(form->windowTitle(), main.productName() + u" feedback"_qs);
            auto* message = findControl<QPlainTextEdit>(form, u"Memo1"_qs);
            memoAtOpening << message->toPlainText();
            message->setPlainText(u"Hi"_qs);
            if (round == 0)
                QTest::keyClick(message, Qt::Key_Escape);
            else
                findControl<QPushButton>(form, u"BitBtn1"_qs)->click();
        });
        for (round = 0; round < 2; ++round) {
            poll.start(10);
            openFeedbackWindow(&main, {main.productName(), main.windowTitleText(), main.fileVersionText()}, m_dialogs);
            QVERIFY(main.findChildren<TFeedbackForm*>().isEmpty());
        }
        QCOMPARE(memoAtOpening, (QStringList{QString(), QString()}));
        QCOMPARE(httpsRequests().size(), 1u);
        QCOMPARE(httpsRequests()[0].fields, (Fields{{"cmd", "feedback"},
                                                    {"appname", main.windowTitleText().toStdString()},
                                                    {"version", main.fileVersionText().toStdString()},
                                                    {"feedback", "Hi"}}));
        QCOMPARE(m_dialogs.boxes.size(), 1u);
        QCOMPARE(m_dialogs.boxes[0].text, kSuccessText);
    }
};

QTEST_MAIN(FeedbackFormTest)
#include "FeedbackFormTest.moc"
