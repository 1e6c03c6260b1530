#include "info/about/DropDownMemory.h"

namespace quarrow {

bool DropDownMemory::shouldShow(const void* button, const void* menu, Tick now) noexcept
{
    // Unsigned subtraction keeps the difference right across the counter's wrap.
    if (button == m_button && menu == m_menu && static_cast<Tick>(now - m_closedAt) < kReopenDelay) {
        m_button = nullptr;
        m_menu = nullptr;
        return false;
    }
    return true;
}

void DropDownMemory::menuClosed(const void* button, const void* menu, Tick now) noexcept
{
    m_button = button;
    m_menu = menu;
    m_closedAt = now;
}

DropDownMemory& DropDownMemory::processWide() noexcept
{
    static DropDownMemory memory;
    return memory;
}

} // namespace quarrow
