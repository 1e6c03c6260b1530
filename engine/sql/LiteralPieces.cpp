#include "engine/sql/LiteralPieces.h"

#include "engine/sql/ItemEncoding.h"
#include "engine/text/AnsiCodePage.h"

#include <string>
#include <string_view>

namespace quarrow::items {

char* writeLongLiteralInPieces(char* item, char* end, const ScriptOptions& options, JoinedParts& parts)
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
    const std::size_t limit = literalLimit(options.dialect);
    const std::size_t pieceLimit = literalPieceBytes(options.dialect);
    const bool largeObject = valueBytes > limit;
    if (!largeObject && (pieceLimit == 0 || static_cast<std::size_t>(end - item) <= pieceLimit))
        return end;

    thread_local std::string content;
    content.assign(first, last);
    const bool utf8 = options.encoding == TextEncoding::Utf8;
    const AnsiCodePage& ansi = ansiCodePage();
    std::string_view open = "'";
    std::string_view close = "'";
    if (largeObject) {
        open = options.dialect == Dialect::Oracle ? "TO_CLOB('" : "CLOB('";
        close = "')";
    }
    // The written bytes of a piece, its quotes included, within pieceLimit.
    const std::size_t contentLimit = pieceLimit != 0 ? pieceLimit - 2 : content.size();
    char* o = item;
    std::size_t i = 0;
    while (i < content.size()) {
        if (i > 0)
            o = parts.next(o);
        o = put(o, open);
        std::size_t pieceValue = 0;
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
            if (pieceValue + value > limit || pieceBytes + units > contentLimit)
                break;
            o = put(o, std::string_view(content).substr(i, units));
            i += units;
            pieceValue += value;
            pieceBytes += units;
        }
        o = put(o, close);
    }
    return o;
}

} // namespace quarrow::items
