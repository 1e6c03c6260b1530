#include "csv/FieldSplitter.h"

#include <algorithm>

namespace quarrow {

void FieldSplitter::split(std::u16string_view line, char16_t separator)
{
    m_fields.clear();
    // A NUL ends the line for splitting.
    if (const auto nul = line.find(u'\0'); nul != std::u16string_view::npos)
        line = line.substr(0, nul);
    // Reduced quoted fields are never longer than the line, so reserving its
    // length keeps every view into the scratch text valid.
    m_scratch.clear();
    if (m_scratch.capacity() < line.size())
        m_scratch.reserve(line.size());

    const char16_t* const data = line.data();
    const std::size_t n = line.size();
    std::size_t p = 0;
    while (p < n) {
        if (data[p] == kQuote) {
            ++p;
            const std::size_t start = p;
            std::size_t scratchStart = std::u16string::npos; // set once a doubled quote is seen
            for (;;) {
                const char16_t* q = std::char_traits<char16_t>::find(data + p, n - p, kQuote);
                if (q == nullptr) {
                    // No closing quote: the rest of the line.
                    if (scratchStart == std::u16string::npos) {
                        m_fields.emplace_back(data + start, n - start);
                    } else {
                        m_scratch.append(data + p, n - p);
                        m_fields.emplace_back(m_scratch.data() + scratchStart, m_scratch.size() - scratchStart);
                    }
                    p = n;
                    break;
                }
                const std::size_t at = static_cast<std::size_t>(q - data);
                if (at + 1 < n && data[at + 1] == kQuote) {
                    // A doubled quote stands for one quote.
                    if (scratchStart == std::u16string::npos) {
                        scratchStart = m_scratch.size();
                        m_scratch.append(data + start, at + 1 - start);
                    } else {
                        m_scratch.append(data + p, at + 1 - p);
                    }
                    p = at + 2;
                    continue;
                }
                if (scratchStart == std::u16string::npos) {
                    m_fields.emplace_back(data + start, at - start);
                } else {
                    m_scratch.append(data + p, at - p);
                    m_fields.emplace_back(m_scratch.data() + scratchStart, m_scratch.size() - scratchStart);
                }
                p = at + 1;
                break;
            }
        } else {
            const char16_t* s = std::char_traits<char16_t>::find(data + p, n - p, separator);
            const std::size_t end = s == nullptr ? n : static_cast<std::size_t>(s - data);
            m_fields.emplace_back(data + p, end - p);
            p = end;
        }
        if (p < n && data[p] == separator) {
            if (p + 1 == n)
                m_fields.emplace_back(); // a separator at the end leaves one more, empty field
            ++p;
        }
        // Otherwise text follows a closing quote and starts the next field.
    }
}

CleanBounds cleanBounds(std::u16string_view field) noexcept
{
    auto kept = [](char16_t c) { return c > u' ' && c != kQuote; };
    std::size_t b = 0;
    std::size_t e = field.size();
    while (b < e && !kept(field[b]))
        ++b;
    while (e > b && !kept(field[e - 1]))
        --e;
    return {b, e};
}

std::u16string cleanField(std::u16string_view field)
{
    const auto [b, e] = cleanBounds(field);
    std::u16string out;
    out.reserve(e - b);
    for (std::size_t i = b; i < e; ++i) {
        if (field[i] != kQuote)
            out.push_back(field[i]);
    }
    return out;
}

std::int64_t countChar(std::u16string_view line, char16_t c) noexcept
{
    return static_cast<std::int64_t>(std::count(line.begin(), line.end(), c));
}

} // namespace quarrow
