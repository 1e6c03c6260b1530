#include "engine/csv/NullMarkers.h"

#include "engine/text/UnicodeText.h"

namespace quarrow {

NullMarkers::NullMarkers(std::vector<std::u16string> markers) : m_text(std::move(markers))
{
    m_utf8.reserve(m_text.size());
    for (const auto& marker : m_text) {
        const std::string bytes = toUtf8(marker);
        m_utf8.emplace_back(bytes.begin(), bytes.end());
    }
}

std::string nullMarkersRefusal(const std::vector<std::u16string>& markers)
{
    for (const auto& marker : markers) {
        if (marker.empty())
            return "a NULL marker must not be empty (empty cells become NULL with null-empty, -n)";
    }
    return {};
}

} // namespace quarrow
