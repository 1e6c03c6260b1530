#include "tests/support/FakeDialogs.h"
#include "ui/QuarrowApplication.h"

#include <QTest>

#include <stdexcept>

using namespace quarrow;

namespace {

// Fails while handling its events, as a handler with a fault would.
class FailingObject final : public QObject {
public:
    int handled = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) {
            ++handled;
            throw std::runtime_error("Handler failed");
        }
        return QObject::event(e);
    }
};

} // namespace

class QuarrowApplicationTest : public QObject {
    Q_OBJECT

public:
    explicit QuarrowApplicationTest(QuarrowApplication& app) : m_app(app) {}

private:
    QuarrowApplication& m_app;

private slots:
    void namesItself()
    {
        QCOMPARE(QCoreApplication::applicationName(), u"Quarrow"_qs);
        QCOMPARE(QCoreApplication::organizationName(), u"TARNIX"_qs);
        // Windows without an icon of their own, the update popup among them, show this one.
        QVERIFY(!QApplication::windowIcon().pixmap(32, 32).isNull());
    }

    void failingHandlerIsReportedAndTheProgramGoesOn()
    {
        test::FakeDialogs dialogs;
        m_app.setDialogs(&dialogs);
        FailingObject object;
        QEvent first(QEvent::User);
        QCoreApplication::sendEvent(&object, &first);
        QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        m_app.setDialogs(nullptr);
        QCOMPARE(object.handled, 2);
        QCOMPARE(dialogs.messages.size(), size_t{2});
        QCOMPARE(dialogs.messages[1].caption, u"Quarrow"_qs);
        QCOMPARE(dialogs.messages[1].icon, MessageIcon::Error);
        QCOMPARE(dialogs.messages[1].text, u"Handler failed."_qs);
    }
};

int main(int argc, char* argv[])
{
    QuarrowApplication app(argc, argv);
    QuarrowApplicationTest test(app);
    return QTest::qExec(&test, argc, argv);
}

#include "QuarrowApplicationTest.moc"
