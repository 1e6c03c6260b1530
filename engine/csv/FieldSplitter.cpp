#include "engine/csv/FieldSplitter.h"

#include "engine/csv/ExactQuoting.h"

#include "engine/text/Scan.h"

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
    forEachRawField(line, separator, [&](const char16_t* begin, const char16_t* end, bool quoted) {
        const std::u16string_view raw(begin, static_cast<std::size_t>(end - begin));
        if (!quoted || raw.find(kQuote) == std::u16string_view::npos) {
            m_fields.push_back(raw);
            return;
        }
        // Each doubled quote stands for one.
        const std::size_t at = m_scratch.size();
        for (std::size_t i = 0; i < raw.size(); ++i) {
            m_scratch.push_back(raw[i]);
            if (raw[i] == kQuote)
                ++i;
        }
        m_fields.emplace_back(m_scratch.data() + at, m_scratch.size() - at);
    });
}

void FieldSplitter::splitExact(std::u16string_view record, char16_t separator)
{
    m_fields.clear();
    // A value is never longer than its field: reserving the record's length
    // keeps every view into the scratch text valid.
    m_scratch.clear();
    if (m_scratch.capacity() < record.size())
        m_scratch.reserve(record.size());
    const char16_t* const end = record.data() + record.size();
    forEachExactField(record.data(), end, separator, [&](const char16_t* begin, const char16_t* fieldEnd) {
        if (begin == fieldEnd || *begin != kQuote) {
            m_fields.emplace_back(begin, static_cast<std::size_t>(fieldEnd - begin));
            return;
        }
        const std::size_t at = m_scratch.size();
        forEachValueRun(begin, fieldEnd, [&](const char16_t* b, const char16_t* e) { m_scratch.append(b, e); });
        m_fields.emplace_back(m_scratch.data() + at, m_scratch.size() - at);
    });
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
