#include "engine/sql/ScriptLines.h"

#include <cstring>
#include <string>

namespace quarrow {

char* breakLongLine(char* const begin, char* const end, const std::size_t reserve)
{
    const auto bytes = static_cast<std::size_t>(end - begin);
    if (bytes + reserve <= kOracleLineBytes)
        return end;
    thread_local std::string text;
    text.assign(begin, end);
    const char* const s = text.data();
    const std::size_t n = text.size();
    char* o = begin;
    std::size_t column = 0; // bytes on the line so far
    std::size_t i = 0;
    while (i < n) {
        // The next piece that may not be broken: up to a || that joins the
        // parts of a value, or past a comma; a quoted literal or name is
        // one, its doubled quotes included.
        std::size_t j = i;
        while (j < n) {
            const char c = s[j];
            if (c == '\'' || c == '"') {
                for (++j; j < n; ++j) {
                    if (s[j] == c) {
                        if (j + 1 < n && s[j + 1] == c) {
                            ++j;
                            continue;
                        }
                        ++j;
                        break;
                    }
                }
                continue;
            }
            if (c == '|' && j > i && j + 1 < n && s[j + 1] == '|')
                break;
            ++j;
            if (c == ',')
                break;
        }
        const std::size_t length = j - i;
        const std::size_t needed = length + (j == n ? reserve : 0);
        if (column > 0 && column + needed > kOracleLineBytes) {
            *o++ = '\r';
            *o++ = '\n';
            column = 0;
        }
        std::memcpy(o, s + i, length);
        o += length;
        column += length;
        i = j;
    }
    return o;
}

} // namespace quarrow
