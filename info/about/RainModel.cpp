#include "info/about/RainModel.h"

#include <memory>
#include <random>
#include <utility>

namespace quarrow {

namespace {

RainModel::RandomBelow systemRandom()
{
    auto engine = std::make_shared<std::mt19937>(std::random_device{}());
    return [engine](int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(*engine); };
}

RainModel::Colour colourOf(int b) noexcept
{
    return {b * 150 / 255, b, b * 100 / 255};
}

} // namespace

RainModel::RainModel(std::u16string text, RandomBelow random)
    : m_text(std::move(text)), m_random(random ? std::move(random) : systemRandom())
{
    m_drops.reserve(kMaxDrops);
}

void RainModel::start(int outerWidth, int outerHeight)
{
    m_tickCount = 0;
    m_bitmapWidth = outerWidth;
    m_bitmapHeight = outerHeight;
    setUp();
}

void RainModel::setUp()
{
    m_matrixWidth = m_bitmapWidth > 0 ? m_bitmapWidth / kCellWidth : 0;
    m_matrixHeight = m_bitmapHeight > 0 ? m_bitmapHeight / kCellHeight : 0;
    m_drops.clear();
    for (int i = 0; i < 2 * m_matrixWidth; ++i)
        addDrop();
}

void RainModel::addDrop()
{
    if (m_drops.size() >= static_cast<std::size_t>(kMaxDrops))
        return;
    Drop drop;
    drop.column = static_cast<int>(m_drops.size() % static_cast<std::size_t>(m_matrixWidth));
    drop.row = randomBelow(m_matrixHeight);
    drop.speed = randomSpeed();
    drop.brightness = randomBrightness();
    m_drops.push_back(drop);
}

int RainModel::randomBelow(int bound)
{
    // A grid less than one cell high still rains, in its only row.
    return bound > 1 ? m_random(bound) : 0;
}

RainModel::Colour RainModel::headColour(int brightness) noexcept
{
    return colourOf(brightness * 255 / 100);
}

RainModel::Colour RainModel::trailColour(int brightness) noexcept
{
    return colourOf(brightness * 255 / 100 / 3);
}

int RainModel::trailEndRow(int row, int matrixHeight) noexcept
{
    int end = row - kTrailRows;
    while (end < 0)
        end += matrixHeight + 1;
    return end;
}

const std::vector<RainModel::Operation>& RainModel::tick()
{
    m_operations.clear();
    const int length = static_cast<int>(m_text.size());
    for (Drop& drop : m_drops) {
        const char16_t character = length > 0 ? m_text[static_cast<std::size_t>(randomBelow(length))] : u' ';
        m_operations.push_back({Operation::Kind::EraseCell, drop.column, trailEndRow(drop.row, m_matrixHeight), 0, {}});
        if (drop.row > 0)
            m_operations.push_back(
                {Operation::Kind::WriteCharacter, drop.column, drop.row - 1, character, trailColour(drop.brightness)});
        m_operations.push_back(
            {Operation::Kind::WriteCharacter, drop.column, drop.row, character, headColour(drop.brightness)});

        if (m_tickCount % static_cast<std::uint64_t>(drop.speed) == 0) {
            ++drop.row;
            if (drop.row > m_matrixHeight + 1) {
                drop.row = 0;
                drop.speed = randomSpeed();
                drop.brightness = randomBrightness();
            }
        }
    }
    ++m_tickCount;
    return m_operations;
}

} // namespace quarrow
