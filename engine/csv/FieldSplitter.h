#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

inline constexpr char16_t kQuote = u'"';

// Splits one line into fields, honouring double-quoted fields. The fields
// are views into the line or into the splitter's own scratch text (a quoted
// field with doubled quotes), valid until the next split; reuse one splitter
// so that splitting allocates nothing once its buffers have grown.
class FieldSplitter {
public:
    void split(std::u16string_view line, char16_t separator);

    std::size_t size() const noexcept { return m_fields.size(); }
    std::u16string_view operator[](std::size_t i) const noexcept { return m_fields[i]; }
    const std::vector<std::u16string_view>& fields() const noexcept { return m_fields; }

private:
    std::vector<std::u16string_view> m_fields;
    std::u16string m_scratch;
};

// The bounds of a field after clean-up: the first and last characters that
// are neither a double quote nor a character of code 32 or less. Every
// double quote inside the bounds is dropped as well (see cleanField).
struct CleanBounds {
    std::size_t begin;
    std::size_t end;
};
CleanBounds cleanBounds(std::u16string_view field) noexcept;

// Field clean-up: every double quote removed, then characters of code 32 or
// less trimmed from both ends.
std::u16string cleanField(std::u16string_view field);

// How many positions of the line hold exactly `c`, quoted or not.
std::int64_t countChar(std::u16string_view line, char16_t c) noexcept;

} // namespace quarrow
