#include "engine/sql/Identifiers.h"

#include "engine/sql/ReservedWords.h"

namespace quarrow {

namespace {

std::u16string enclose(std::u16string_view name, char16_t open, char16_t close)
{
    std::u16string out;
    out.reserve(name.size() + 2);
    out.push_back(open);
    for (char16_t c : name) {
        out.push_back(c);
        if (c == close)
            out.push_back(c);
    }
    out.push_back(close);
    return out;
}

} // namespace

bool isPlainIdentifier(std::u16string_view name) noexcept
{
    if (name.empty() || (name.front() >= u'0' && name.front() <= u'9'))
        return false;
    for (char16_t c : name) {
        const bool ok =
            (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c > 0x7F;
        if (!ok)
            return false;
    }
    return true;
}

bool isAsciiOrdinaryIdentifier(std::u16string_view name) noexcept
{
    auto letter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    if (name.empty() || !letter(name.front()))
        return false;
    for (char16_t c : name) {
        if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'_')
            return false;
    }
    return true;
}

std::u16string quoteColumnName(Dialect dialect, NamePlace place, std::u16string_view name)
{
    switch (dialect) {
    case Dialect::MySql: return enclose(name, u'`', u'`');
    case Dialect::MsSql:
    case Dialect::Access: return enclose(name, u'[', u']');
    case Dialect::Sqlite:
        if (place == NamePlace::InsertList)
            return enclose(name, u'`', u'`');
        break;
    case Dialect::Oracle:
    case Dialect::PostgreSql:
    case Dialect::IbmDb2: break;
    }
    // Oracle and Db2 take a name without quotes only when it begins with a
    // letter and holds letters, digits and underscores (Oracle's "Database
    // Object Naming Rules"; Db2's "Identifiers": an ordinary identifier); a
    // leading underscore or a character above U+007F needs quotes there.
    const bool bare = dialect == Dialect::Oracle || dialect == Dialect::IbmDb2 ? isAsciiOrdinaryIdentifier(name)
                                                                               : isPlainIdentifier(name);
    if (bare && !isReservedWord(dialect, name))
        return std::u16string(name);
    return enclose(name, u'"', u'"');
}

} // namespace quarrow
