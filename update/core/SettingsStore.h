#pragma once

#include <string>
#include <string_view>

namespace quarrow {

// The user's persistent settings, organised in sections like an ini file.
// Every value is kept as text, integers as their decimal text.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The empty text when the value is missing or is not text.
    virtual std::u16string readText(std::u16string_view section, std::u16string_view name) = 0;
    // `fallback` when the value is missing, is not text, or is not wholly a
    // decimal integer.
    virtual int readInteger(std::u16string_view section, std::u16string_view name, int fallback) = 0;
    // Writing may throw std::runtime_error when the store cannot be written.
    virtual void writeText(std::u16string_view section, std::u16string_view name, std::u16string_view value) = 0;
    void writeInteger(std::u16string_view section, std::u16string_view name, int value);
};

// Whole text a decimal integer that fits an int (an optional sign, then
// digits only)?
bool parseDecimalInteger(std::u16string_view text, int& value) noexcept;

} // namespace quarrow
