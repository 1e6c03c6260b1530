#pragma once

#include <array>
#include <string_view>

namespace quarrow {

// The type names offered for picking, the same for every dialect. A column
// type is free text; this list is only a choice of common ones.
inline constexpr std::array<std::u16string_view, 27> kTypeVocabulary{
    u"text",     u"bigint",       u"int",        u"mediumint", u"smallint", u"tinyint",       u"date",
    u"datetime", u"time",         u"timestamp",  u"decimal",   u"float",    u"double",        u"real",
    u"varchar",  u"varchar(max)", u"char",       u"clob",      u"blob",     u"boolean",       u"bit",
    u"serial",   u"longtext",     u"mediumtext", u"tinytext",  u"json",     u"nvarchar(max)",
};

} // namespace quarrow
