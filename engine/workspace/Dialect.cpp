#include "engine/workspace/Dialect.h"

namespace quarrow {

std::optional<Dialect> dialectFromIdentifier(std::string_view identifier)
{
    for (const auto& info : kDialects) {
        if (info.identifier == identifier)
            return info.dialect;
    }
    return std::nullopt;
}

std::optional<Dialect> dialectFromPosition(int position)
{
    if (position < 0 || position >= static_cast<int>(kDialects.size()))
        return std::nullopt;
    return kDialects[static_cast<std::size_t>(position)].dialect;
}

} // namespace quarrow
