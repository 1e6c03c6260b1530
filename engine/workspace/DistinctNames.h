#pragma once

#include "engine/text/TextEncoding.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quarrow {

// A column name changed because an earlier column already had it.
struct ColumnRename {
    std::size_t column = 0; // 0-based position
    std::u16string from;    // the name the first line gave
    std::u16string to;      // the name the script uses

    friend bool operator==(const ColumnRename&, const ColumnRename&) = default;
};

// Makes the names distinct as the databases compare them, so that CREATE
// TABLE cannot fail on a repeated column. Two names are the same when the
// texts the script will hold for them (in `encoding`, see fitToEncoding) are
// equal ignoring ASCII letter case: each target compares or folds plain
// letters without regard to case (PostgreSQL folds bare names to lower case,
// Oracle and Db2 to upper case, the others compare names so), and two names
// that ANSI writes alike, such as two '?', are alike in the file.
//
// The first column with a name keeps it; every later one gets the first
// suffix "_2", "_3", ... that makes a name no column has, neither one of the
// names given nor one assigned here. Checking against all of the names, not
// only the columns before, keeps `a,a,a_2` from turning the second `a` into
// a second `a_2`: it becomes `a_3`. Names are changed in place; the changes
// come back in column order.
std::vector<ColumnRename> makeNamesDistinct(std::vector<std::u16string>& names, TextEncoding encoding);

} // namespace quarrow
