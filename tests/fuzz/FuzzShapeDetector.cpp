// Fuzz target: the shape detector takes any bytes. Input: the first byte
// says whether the sample is the whole file (low bit) and gives the current
// separator; the rest is the sample. A proposed separator is one of those
// tried, and every proposal says why.

#include "engine/csv/ShapeDetector.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quarrow;
    if (size < 1)
        return 0;
    const bool complete = (data[0] & 1) != 0;
    const auto current = static_cast<char16_t>(data[0] >> 1);
    const std::string_view sample(reinterpret_cast<const char*>(data + 1), size - 1);
    const CsvShape shape = detectCsvShape(sample, complete, current);
    if (shape.separator.value) {
        const char16_t s = *shape.separator.value;
        if (s != u',' && s != u';' && s != u'\t' && s != u'|' && s != current)
            std::abort();
    }
    if (shape.separator.evidence.empty() || shape.headerLine.evidence.empty() || shape.encoding.evidence.empty()
        || shape.exactQuoting.evidence.empty())
        std::abort();
    if (shape.lines > sample.size())
        std::abort();
    return 0;
}
