#include "platform/posix/LargePages.h"

#include <cstdint>

#include <sys/mman.h>

namespace quarrow {

void adviseLargePages(void* data, std::size_t bytes) noexcept
{
#ifdef MADV_HUGEPAGE
    // Only whole large pages inside the block can be backed by one; the
    // advice wants page-aligned bounds.
    constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = (start + bytes) & ~(kLargePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace quarrow
