#include "engine/sql/LiteralPieces.h"

#include "engine/sql/ItemEncoding.h"
#include "engine/text/AnsiCodePage.h"

#include <string>
#include <string_view>

namespace quarrow::items {

char* writeLongLiteralInPieces(char* item, char* end, const ScriptOptions& options, const std::size_t limit)
{
    if (*item != '\'')
        return end;
    // The value is shorter than its bytes by one for every doubled apostrophe.
    const char* const first = item + 1;
    const char* const last = end - 1; // the closing quote
    std::size_t valueBytes = 0;
    for (const char* c = first; c < last; ++c) {
        if (*c == '\'')
            ++c;
        ++valueBytes;
    }
    if (valueBytes <= limit)
        return end;

    thread_local std::string content;
    content.assign(first, last);
    const bool utf8 = options.encoding == TextEncoding::Utf8;
    const AnsiCodePage& ansi = ansiCodePage();
    const std::string_view open = options.dialect == Dialect::Oracle ? "TO_CLOB('" : "CLOB('";
    char* o = item;
    std::size_t i = 0;
    while (i < content.size()) {
        if (i > 0)
            o = put(o, "||");
        o = put(o, open);
        std::size_t pieceBytes = 0;
        while (i < content.size()) {
            std::size_t units = 1;
            const auto lead = static_cast<unsigned char>(content[i]);
            if (lead == '\'')
                units = 2;
            else if (utf8 && lead >= 0xF0)
                units = 4;
            else if (utf8 && lead >= 0xE0)
                units = 3;
            else if (utf8 && lead >= 0xC0)
                units = 2;
            else if (!utf8 && lead >= 0x80)
                units = ansi.characterBytes(lead);
            const std::size_t value = lead == '\'' ? 1 : units;
            if (pieceBytes + value > limit)
                break;
            o = put(o, std::string_view(content).substr(i, units));
            i += units;
            pieceBytes += value;
        }
        o = put(o, "')");
    }
    return o;
}

} // namespace quarrow::items
