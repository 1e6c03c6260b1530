#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quarrow {

// The falling characters of the About window, without pixels: a grid of
// 8 x 12 cells, a table of drops and, per tick, the cells to erase and the
// characters to write in which colour. The window replays the operations
// onto its own surface.
class RainModel final {
public:
    static constexpr int kCellWidth = 8;
    static constexpr int kCellHeight = 12;
    static constexpr int kMaxDrops = 5000;
    // A drop's trail ends this many rows above it.
    static constexpr int kTrailRows = 40;

    // A number from 0 to bound - 1, each with equal chance.
    using RandomBelow = std::function<int(int bound)>;

    struct Colour {
        int red = 0;
        int green = 0;
        int blue = 0;
        friend bool operator==(const Colour&, const Colour&) = default;
    };

    struct Drop {
        int column = 0;
        int row = 0;
        int speed = 1;      // moves one row every speed-th tick: 1 to 3
        int brightness = 0; // 0 to 99
        friend bool operator==(const Drop&, const Drop&) = default;
    };

    struct Operation {
        enum class Kind { EraseCell, WriteCharacter };
        Kind kind = Kind::EraseCell;
        int column = 0;
        int row = 0;
        char16_t character = 0; // WriteCharacter only
        Colour colour;          // WriteCharacter only
        friend bool operator==(const Operation&, const Operation&) = default;
    };

    // `random` of null draws from a generator seeded by the system.
    explicit RainModel(std::u16string text, RandomBelow random = nullptr);

    // Captures the window's outer size, which fixes the grid for the life of
    // the rain, resets the tick counter and seeds the drops.
    void start(int outerWidth, int outerHeight);
    // Seeds the drops again on the grid captured by start().
    void setUp();
    // One step of every drop; the returned operations stay valid until the
    // next call.
    const std::vector<Operation>& tick();

    int matrixWidth() const noexcept { return m_matrixWidth; }
    int matrixHeight() const noexcept { return m_matrixHeight; }
    int bitmapWidth() const noexcept { return m_bitmapWidth; }
    int bitmapHeight() const noexcept { return m_bitmapHeight; }
    std::uint64_t tickCount() const noexcept { return m_tickCount; }
    std::span<const Drop> drops() const noexcept { return m_drops; }

    static Colour headColour(int brightness) noexcept;
    static Colour trailColour(int brightness) noexcept;
    // The row whose cell a drop at `row` erases: kTrailRows above it,
    // wrapped round a column of matrixHeight + 1 rows.
    static int trailEndRow(int row, int matrixHeight) noexcept;

private:
    void addDrop();
    int randomBelow(int bound);
    int randomSpeed() { return randomBelow(3) + 1; }
    int randomBrightness() { return randomBelow(100); }

    std::u16string m_text;
    RandomBelow m_random;
    int m_bitmapWidth = 0;
    int m_bitmapHeight = 0;
    int m_matrixWidth = 0;
    int m_matrixHeight = 0;
    std::uint64_t m_tickCount = 0;
    std::vector<Drop> m_drops;
    std::vector<Operation> m_operations;
};

} // namespace quarrow
