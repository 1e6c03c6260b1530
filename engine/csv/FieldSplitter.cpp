#include "csv/FieldSplitter.h"

#include "text/Scan.h"

#include <algorithm>

namespace quarrow {

void FieldSplitter::split(std::u16string_view line, char16_t separator)
{
    m_fields.clear();
    // Reduced quoted fields are never longer than the line, so reserving its
    // length keeps every view into the scratch text valid.
    m_scratch.clear();
    if (m_scratch.capacity() < line.size())
        m_scratch.reserve(line.size());

    // A NUL ends the line for splitting. Rather than looking for it first,
    // every scan below also stops at a NUL, and the loop ends there.
    const char16_t* const end = line.data() + line.size();
    const char16_t* p = line.data();
    while (p < end && *p != u'\0') {
        if (*p == kQuote) {
            ++p;
            const char16_t* const start = p;
            std::size_t scratchStart = std::u16string::npos; // set once a doubled quote is seen
            for (;;) {
                const char16_t* q = scan::findEither(p, end, kQuote, u'\0');
                const bool closed = q < end && *q == kQuote;
                if (closed && q + 1 < end && q[1] == kQuote) {
                    // A doubled quote stands for one quote.
                    if (scratchStart == std::u16string::npos) {
                        scratchStart = m_scratch.size();
                        m_scratch.append(start, static_cast<std::size_t>(q + 1 - start));
                    } else {
                        m_scratch.append(p, static_cast<std::size_t>(q + 1 - p));
                    }
                    p = q + 2;
                    continue;
                }
                // Without a closing quote the field runs to the end of the line.
                if (scratchStart == std::u16string::npos) {
                    m_fields.emplace_back(start, static_cast<std::size_t>(q - start));
                } else {
                    m_scratch.append(p, static_cast<std::size_t>(q - p));
                    m_fields.emplace_back(m_scratch.data() + scratchStart, m_scratch.size() - scratchStart);
                }
                p = closed ? q + 1 : q;
                break;
            }
        } else {
            const char16_t* s = scan::findEither(p, end, separator, u'\0');
            m_fields.emplace_back(p, static_cast<std::size_t>(s - p));
            p = s;
        }
        if (p < end && *p == separator && separator != u'\0') {
            ++p;
            // A separator at the end leaves one more, empty field.
            if (p == end || *p == u'\0') {
                m_fields.emplace_back();
                break;
            }
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
