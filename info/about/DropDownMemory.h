#pragma once

#include <cstdint>

namespace quarrow {

// Remembers which button's drop-down menu closed last, and when, so that the
// click on the button that closes its open menu does not open it again at
// once. Buttons and menus are only compared, never used, so a remembered one
// may since have gone.
class DropDownMemory final {
public:
    // Milliseconds since an arbitrary start; wraps round.
    using Tick = std::uint32_t;
    static constexpr Tick kReopenDelay = 100;

    // Whether a click on `button` should show `menu` at `now`. A refusal also
    // forgets the pair, so the next click shows the menu whatever its time.
    bool shouldShow(const void* button, const void* menu, Tick now) noexcept;
    void menuClosed(const void* button, const void* menu, Tick now) noexcept;

    // The one memory that every drop-down button in the program shares.
    static DropDownMemory& processWide() noexcept;

private:
    const void* m_button = nullptr;
    const void* m_menu = nullptr;
    Tick m_closedAt = 0;
};

} // namespace quarrow
