// Fuzz target: the formatter's one-pass value items must equal field
// splitting plus clean-up, for any line and separator, whether the line is
// given as UTF-16 or as UTF-8. Input: UTF-16 code
// units (little-endian byte pairs); the first is the separator, the rest the
// line.

#include "engine/csv/FieldSplitter.h"
#include "engine/sql/ScriptFormatter.h"
#include "engine/text/Utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quarrow;
    if (size < 2)
        return 0;
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const char16_t separator = units.front();
    const std::u16string_view line = std::u16string_view(units).substr(1);

    FieldSplitter splitter;
    splitter.split(line, separator);
    const std::size_t columns = splitter.size() + 1; // one missing field too
    std::vector<std::u16string> names(columns, u"c");
    const std::vector<std::u16string> types(columns, u"t");

    ScriptOptions options;
    options.separator = separator;
    options.multiRow = true;
    options.nullEmpty = true;
    options.dialect = Dialect::PostgreSql;
    ScriptFormatter formatter(options, names, types);
    OutBuffer actual;
    formatter.appendRow(actual, line, 1);

    // The same value line, item by item, from the exact fields.
    std::u16string expected = u",\r\n(";
    for (std::size_t c = 0; c < columns; ++c) {
        const std::u16string value = c < splitter.size() ? cleanField(splitter[c]) : std::u16string();
        if (c > 0)
            expected += u',';
        if (value.empty()) {
            expected += u"NULL";
            continue;
        }
        expected += u'\'';
        for (char16_t ch : value) {
            if (ch == u'"')
                std::abort(); // clean-up leaves no double quote
            expected += ch;
            if (ch == u'\'')
                expected += ch;
        }
        expected += u'\'';
    }
    expected += u')';
    std::string expectedBytes(expected.size() * 3, '\0');
    std::uint64_t replaced = 0;
    char* end = utf8::encode(expected.data(), expected.size(), expectedBytes.data(), replaced);
    expectedBytes.resize(static_cast<std::size_t>(end - expectedBytes.data()));
    if (std::string(actual.data(), actual.size()) != expectedBytes)
        std::abort();

    // The line as UTF-8, where it has no lone surrogate, gives the same bytes.
    std::string lineBytes(line.size() * 3, '\0');
    replaced = 0;
    end = utf8::encode(line.data(), line.size(), lineBytes.data(), replaced);
    if (replaced == 0) {
        lineBytes.resize(static_cast<std::size_t>(end - lineBytes.data()));
        ScriptFormatter fromUtf8(options, names, types);
        OutBuffer utf8Actual;
        fromUtf8.appendUtf8Row(utf8Actual, lineBytes, 1);
        if (std::string(utf8Actual.data(), utf8Actual.size()) != expectedBytes)
            std::abort();
    }
    return 0;
}
