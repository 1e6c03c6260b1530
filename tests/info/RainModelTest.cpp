#include "info/about/RainModel.h"

#include <QTest>

#include <algorithm>
#include <deque>
#include <vector>

using namespace quarrow;

using Drop = RainModel::Drop;
using Colour = RainModel::Colour;
using Operation = RainModel::Operation;

Q_DECLARE_METATYPE(Colour)

namespace {

// Answers the model's random draws from a script, 0 once the script is
// used up, and records the bound of every draw.
struct ScriptedRandom {
    std::deque<int> answers;
    std::vector<int> bounds;

    RainModel::RandomBelow function()
    {
        return [this](int bound) {
            bounds.push_back(bound);
            if (answers.empty())
                return 0;
            const int answer = answers.front();
            answers.pop_front();
            if (answer >= bound)
                qFatal("scripted %d for a draw below %d", answer, bound);
            return answer;
        };
    }
};

// Script entries that seed one drop: its row, speed and brightness.
void seed(std::deque<int>& script, int row, int speed, int brightness)
{
    script.insert(script.end(), {row, speed - 1, brightness});
}

Operation erase(int column, int row)
{
    return {Operation::Kind::EraseCell, column, row, 0, {}};
}

Operation write(int column, int row, char16_t character, Colour colour)
{
    return {Operation::Kind::WriteCharacter, column, row, character, colour};
}

} // namespace

namespace QTest {
template <>
char* toString(const Drop& drop)
{
    return qstrdup(QByteArray("Drop{column " + QByteArray::number(drop.column) + ", row " + QByteArray::number(drop.row)
                              + ", speed " + QByteArray::number(drop.speed) + ", brightness "
                              + QByteArray::number(drop.brightness) + "}")
                       .constData());
}
template <>
char* toString(const Colour& colour)
{
    return qstrdup(QByteArray("(" + QByteArray::number(colour.red) + ", " + QByteArray::number(colour.green) + ", "
                              + QByteArray::number(colour.blue) + ")")
                       .constData());
}
} // namespace QTest

class RainModelTest : public QObject {
    Q_OBJECT

private slots:
    void gridAndDropsFromTheOuterSize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("drops");
        QTest::newRow("client area only") << 446 << 374 << 55 << 31 << 110;
        QTest::newRow("with title bar and border") << 452 << 402 << 56 << 33 << 112;
        QTest::newRow("exactly one cell") << 8 << 12 << 1 << 1 << 2;
        QTest::newRow("less than one cell") << 7 << 11 << 0 << 0 << 0;
        QTest::newRow("2500 columns fill the table") << 20000 << 24 << 2500 << 2 << 5000;
        QTest::newRow("2501 columns hit the cap") << 20008 << 24 << 2501 << 2 << 5000;
    }

    void gridAndDropsFromTheOuterSize()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, columns);
        QFETCH(int, rows);
        QFETCH(int, drops);
        RainModel rain(u"tarnix", [](int bound) { return bound - 1; });
        rain.start(width, height);
        QCOMPARE(rain.bitmapWidth(), width);
        QCOMPARE(rain.bitmapHeight(), height);
        QCOMPARE(rain.matrixWidth(), columns);
        QCOMPARE(rain.matrixHeight(), rows);
        QCOMPARE(static_cast<int>(rain.drops().size()), drops);
        for (int n = 0; n < drops; ++n)
            QCOMPARE(rain.drops()[static_cast<std::size_t>(n)].column, n % columns);
        // Every drop takes part in a tick, even in a capped table.
        QCOMPARE(rain.tick().size() >= static_cast<std::size_t>(2 * drops), true);
    }

    void seedingDrawsRowSpeedAndBrightnessPerDrop()
    {
        ScriptedRandom random;
        seed(random.answers, 2, 1, 99);
        seed(random.answers, 1, 3, 0);
        seed(random.answers, 0, 2, 50);
        seed(random.answers, 2, 3, 7);
        RainModel rain(u"tarnix", random.function());
        rain.start(16, 36 + 11);

        const std::vector<Drop> expected{{0, 2, 1, 99}, {1, 1, 3, 0}, {0, 0, 2, 50}, {1, 2, 3, 7}};
        QCOMPARE(std::vector<Drop>(rain.drops().begin(), rain.drops().end()), expected);
        QCOMPARE(random.bounds, (std::vector<int>{3, 3, 100, 3, 3, 100, 3, 3, 100, 3, 3, 100}));
    }

    // The real generator, over a full table: every value of each range
    // turns up and none outside it.
    void seededValuesCoverTheirRanges()
    {
        RainModel rain(u"tarnix");
        rain.start(20000, 1200);
        QCOMPARE(rain.matrixHeight(), 100);
        std::vector<int> rows(100), speeds(4), brightnesses(100);
        for (const Drop& drop : rain.drops()) {
            QVERIFY(drop.row >= 0 && drop.row < 100);
            QVERIFY(drop.speed >= 1 && drop.speed <= 3);
            QVERIFY(drop.brightness >= 0 && drop.brightness <= 99);
            ++rows[static_cast<std::size_t>(drop.row)];
            ++speeds[static_cast<std::size_t>(drop.speed)];
            ++brightnesses[static_cast<std::size_t>(drop.brightness)];
        }
        QVERIFY(std::count(rows.begin(), rows.end(), 0) == 0);
        QVERIFY(speeds[1] > 0 && speeds[2] > 0 && speeds[3] > 0);
        QVERIFY(std::count(brightnesses.begin(), brightnesses.end(), 0) == 0);
    }

    void colours_data()
    {
        QTest::addColumn<int>("brightness");
        QTest::addColumn<Colour>("head");
        QTest::addColumn<Colour>("trail");
        QTest::newRow("dark") << 0 << Colour{0, 0, 0} << Colour{0, 0, 0};
        QTest::newRow("faintest") << 1 << Colour{1, 2, 0} << Colour{0, 0, 0};
        QTest::newRow("half") << 50 << Colour{74, 127, 49} << Colour{24, 42, 16};
        QTest::newRow("brightest") << 99 << Colour{148, 252, 98} << Colour{49, 84, 32};
    }

    void colours()
    {
        QFETCH(int, brightness);
        QFETCH(Colour, head);
        QFETCH(Colour, trail);
        QCOMPARE(RainModel::headColour(brightness), head);
        QCOMPARE(RainModel::trailColour(brightness), trail);
    }

    void trailEndRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("matrixHeight");
        QTest::addColumn<int>("erased");
        QTest::newRow("well below the top") << 45 << 30 << 5;
        QTest::newRow("exactly 40 rows down") << 40 << 30 << 0;
        QTest::newRow("one row short wraps") << 39 << 30 << 30;
        QTest::newRow("top row wraps") << 0 << 30 << 22;
        QTest::newRow("short grid wraps several times") << 0 << 10 << 4;
        QTest::newRow("one-row grid") << 3 << 1 << 1;
    }

    void trailEndRow()
    {
        QFETCH(int, row);
        QFETCH(int, matrixHeight);
        QFETCH(int, erased);
        QCOMPARE(RainModel::trailEndRow(row, matrixHeight), erased);
    }

    // Per drop, in table order: erase the trail end, the trail character
    // above (not for a drop in the top row), then the head.
    void operationsOfOneTick()
    {
        ScriptedRandom random;
        seed(random.answers, 0, 1, 99);
        seed(random.answers, 2, 2, 50);
        random.answers.insert(random.answers.end(), {5, 1}); // 'x' for the first drop, 'a' for the second
        RainModel rain(u"tarnix", random.function());
        rain.start(8, 12 * 30);

        const std::vector<Operation> expected{
            erase(0, 0 - 40 + 31 + 31),
            write(0, 0, u'x', RainModel::headColour(99)),
            erase(0, 2 - 40 + 31 + 31),
            write(0, 1, u'a', RainModel::trailColour(50)),
            write(0, 2, u'a', RainModel::headColour(50)),
        };
        QCOMPARE(rain.tick(), expected);
        QCOMPARE(rain.tickCount(), std::uint64_t{1});
        QCOMPARE(std::vector<int>(random.bounds.end() - 2, random.bounds.end()), (std::vector<int>{6, 6}));
    }

    void dropsMoveEverySpeedthTick()
    {
        ScriptedRandom random;
        seed(random.answers, 0, 1, 10);
        seed(random.answers, 0, 2, 10);
        seed(random.answers, 0, 3, 10);
        seed(random.answers, 0, 3, 10);
        RainModel rain(u"tarnix", random.function());
        rain.start(16, 12 * 50);
        const std::vector<std::vector<int>> rowsAfterTick{
            {1, 1, 1}, {2, 1, 1}, {3, 2, 1}, {4, 2, 2}, {5, 3, 2}, {6, 3, 2}, {7, 4, 3},
        };
        for (const std::vector<int>& rows : rowsAfterTick) {
            rain.tick();
            const std::vector<int> actual{rain.drops()[0].row, rain.drops()[1].row, rain.drops()[2].row};
            QCOMPARE(actual, rows);
        }
    }

    void dropRestartsPastTheBottomInItsColumn()
    {
        ScriptedRandom random;
        seed(random.answers, 2, 1, 40); // column 0
        seed(random.answers, 0, 3, 40); // column 1, moves only on tick 0
        seed(random.answers, 1, 3, 40); // column 0
        seed(random.answers, 0, 3, 40); // column 1
        RainModel rain(u"tarnix", random.function());
        rain.start(16, 36); // three rows: a drop may reach row 4
        QCOMPARE(rain.matrixHeight(), 3);

        // Tick 0 moves every drop: the first to 3; tick 1 to 4 = rows + 1.
        rain.tick();
        rain.tick();
        QCOMPARE(rain.drops()[0], (Drop{0, 4, 1, 40}));
        // Tick 2: the first drop passes row 4 and starts again with a new
        // speed and brightness, drawn after its character.
        random.answers = {0, 2, 77};
        rain.tick();
        QCOMPARE(rain.drops()[0], (Drop{0, 0, 3, 77}));
        QCOMPARE(rain.drops()[2], (Drop{0, 2, 3, 40}));
    }

    // A resize seeds the drops again on the grid captured at the start.
    void setUpReseedsOnTheCapturedGrid()
    {
        RainModel rain(u"tarnix", [](int bound) { return bound / 2; });
        rain.start(446, 374);
        for (int i = 0; i < 5; ++i)
            rain.tick();
        rain.setUp();
        QCOMPARE(rain.matrixWidth(), 55);
        QCOMPARE(rain.matrixHeight(), 31);
        QCOMPARE(rain.drops().size(), std::size_t{110});
        QCOMPARE(rain.drops()[0], (Drop{0, 15, 2, 50}));
        QCOMPARE(rain.tickCount(), std::uint64_t{5});

        rain.start(446, 374);
        QCOMPARE(rain.tickCount(), std::uint64_t{0});
    }
};

QTEST_APPLESS_MAIN(RainModelTest)
#include "RainModelTest.moc"
