#include "info/about/DropDownMemory.h"

#include <QTest>

using namespace quarrow;
using Tick = DropDownMemory::Tick;

namespace {

// Only their addresses matter.
const int kButton = 1;
const int kOtherButton = 2;
const int kMenu = 3;
const int kOtherMenu = 4;

} // namespace

class DropDownMemoryTest : public QObject {
    Q_OBJECT

private slots:
    void nothingRememberedShows()
    {
        DropDownMemory memory;
        QVERIFY(memory.shouldShow(&kButton, &kMenu, 0));
        QVERIFY(memory.shouldShow(&kButton, &kMenu, 0));
    }

    void clickAfterTheMenuClosed_data()
    {
        QTest::addColumn<Tick>("closedAt");
        QTest::addColumn<Tick>("clickedAt");
        QTest::addColumn<bool>("sameButton");
        QTest::addColumn<bool>("sameMenu");
        QTest::addColumn<bool>("shows");
        QTest::newRow("the click that closed it") << Tick{5000} << Tick{5000} << true << true << false;
        QTest::newRow("99 ms later") << Tick{5000} << Tick{5099} << true << true << false;
        QTest::newRow("100 ms later") << Tick{5000} << Tick{5100} << true << true << true;
        QTest::newRow("much later") << Tick{5000} << Tick{90000} << true << true << true;
        QTest::newRow("other button") << Tick{5000} << Tick{5010} << false << true << true;
        QTest::newRow("other menu") << Tick{5000} << Tick{5010} << true << false << true;
        QTest::newRow("counter wrapped, 15 ms") << Tick{0xFFFFFFF6u} << Tick{5} << true << true << false;
        QTest::newRow("counter wrapped, 210 ms") << Tick{0xFFFFFFF6u} << Tick{200} << true << true << true;
        // A clock read before the close, as a signed difference would take it.
        QTest::newRow("click stamped before the close") << Tick{5000} << Tick{4990} << true << true << true;
    }

    void clickAfterTheMenuClosed()
    {
        QFETCH(Tick, closedAt);
        QFETCH(Tick, clickedAt);
        QFETCH(bool, sameButton);
        QFETCH(bool, sameMenu);
        QFETCH(bool, shows);
        DropDownMemory memory;
        memory.menuClosed(&kButton, &kMenu, closedAt);
        QCOMPARE(memory.shouldShow(sameButton ? &kButton : &kOtherButton, sameMenu ? &kMenu : &kOtherMenu, clickedAt),
                 shows);
    }

    // Open, the click that closes it, then a third click: the refusal
    // forgot the pair, so the third opens the menu however soon it comes.
    void refusalForgetsTheButton()
    {
        DropDownMemory memory;
        QVERIFY(memory.shouldShow(&kButton, &kMenu, 1000));
        memory.menuClosed(&kButton, &kMenu, 3000);
        QVERIFY(!memory.shouldShow(&kButton, &kMenu, 3001));
        QVERIFY(memory.shouldShow(&kButton, &kMenu, 3002));
    }
};

QTEST_APPLESS_MAIN(DropDownMemoryTest)
#include "DropDownMemoryTest.moc"
