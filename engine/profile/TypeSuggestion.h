#pragma once

#include "engine/profile/ColumnProfile.h"
#include "engine/workspace/Dialect.h"

#include <string>
#include <vector>

namespace quarrow {

struct TypeSuggestion {
    std::u16string type;
    ValueKind kind = ValueKind::Text; // what the type holds, after the dialect's limits
    // Why the type is not narrower: the value that ruled the narrower kind
    // out ("line 1803 of b.csv: '12a'") or the dialect's limit; empty when
    // nothing narrower exists.
    std::string reason;
};

// One type per column for the dialect, chosen so that loading the script
// never changes or refuses a value: the narrowest kind the profile allows
// that the dialect reads the same whatever the session's settings, sized
// from the data within the dialect's documented limits. Columns without a
// value keep the dialect's default type. The whole table is looked at
// because MySQL's row size limit is shared by all columns.
std::vector<TypeSuggestion> suggestTypes(const TableProfile& profile, Dialect dialect, bool nullEmpty);

// The profile as a table for people: column, suggested type, non-empty,
// empty, max chars, max bytes, why not narrower. Lines end in "\n".
std::string explainProfile(const TableProfile& profile, const std::vector<std::u16string>& names,
                           const std::vector<TypeSuggestion>& suggestions);

// One column's line of that table as a sentence, for a tooltip: "300 values,
// 2 empty, at most 5 characters (6 bytes in UTF-8). Not narrower: line 1803
// of b.csv: '12a'".
std::string explainColumn(const ColumnProfile& column, const TypeSuggestion& suggestion);

// The structure warnings: how many rows have more or fewer fields than
// there are columns, with the first lines of each file. Empty when every
// row fits. Lines end in "\n".
std::string describeStructure(const TableProfile& profile, std::size_t columns);

} // namespace quarrow
