#include "update/core/SettingsStore.h"

#include <limits>

namespace quarrow {

void SettingsStore::writeInteger(std::u16string_view section, std::u16string_view name, int value)
{
    const std::string digits = std::to_string(value);
    writeText(section, name, std::u16string(digits.begin(), digits.end()));
}

bool parseDecimalInteger(std::u16string_view text, int& value) noexcept
{
    bool negative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;
    long long magnitude = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return false;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<int>::max() || signedValue < std::numeric_limits<int>::min())
        return false;
    value = static_cast<int>(signedValue);
    return true;
}

} // namespace quarrow
