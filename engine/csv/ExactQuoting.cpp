#include "engine/csv/ExactQuoting.h"

namespace quarrow {

std::u16string exactValue(std::u16string_view rawField)
{
    std::u16string value;
    value.reserve(rawField.size());
    forEachValueRun(rawField.data(), rawField.data() + rawField.size(),
                    [&](const char16_t* begin, const char16_t* end) { value.append(begin, end); });
    return value;
}

std::u16string exactColumnName(std::u16string_view rawField)
{
    std::u16string name;
    name.reserve(rawField.size());
    bool inBreak = false;
    forEachValueRun(rawField.data(), rawField.data() + rawField.size(),
                    [&](const char16_t* begin, const char16_t* end) {
                        for (const char16_t* p = begin; p < end; ++p) {
                            const bool lineBreak = *p == u'\r' || *p == u'\n';
                            if (!lineBreak)
                                name += *p;
                            else if (!inBreak)
                                name += u' ';
                            inBreak = lineBreak;
                        }
                    });
    std::size_t b = 0;
    std::size_t e = name.size();
    while (b < e && name[b] <= u' ')
        ++b;
    while (e > b && name[e - 1] <= u' ')
        --e;
    return name.substr(b, e - b);
}

std::size_t exactFieldCount(std::u16string_view record, char16_t separator)
{
    std::size_t count = 0;
    forEachExactField(record.data(), record.data() + record.size(), separator,
                      [&](const char16_t*, const char16_t*) { ++count; });
    return count;
}

} // namespace quarrow
