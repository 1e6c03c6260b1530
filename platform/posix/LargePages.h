#pragma once

#include <cstddef>

namespace quarrow {

// Asks the system to back [data, data + bytes) with large pages where it
// offers them only on request (Linux's transparent huge pages in their
// "madvise" setting); elsewhere, or when refused, nothing changes. Fits
// setChunkAdvice() (engine/workspace/RowStore.h).
void adviseLargePages(void* data, std::size_t bytes) noexcept;

} // namespace quarrow
