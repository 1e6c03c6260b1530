#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// MySQL and MariaDB refuse a table (error 1118, "Row size too large") whose
// longest possible row passes either of two limits: the server's 65,535
// bytes, and InnoDB's record, which must stay under half a 16 KiB page.
// The script's CREATE TABLE declares no NOT NULL, no key and no character
// set: every column is nullable, InnoDB adds its own row id, and a VARCHAR
// is counted in utf8mb4 (4 bytes a character), the widest character set a
// database may give the table.
inline constexpr std::uint64_t kMySqlMaxRowBytes = 65535;
inline constexpr std::uint64_t kInnoDbMaxRecordBytes = 8125;

// What one column takes of each limit.
struct MySqlColumnBytes {
    std::uint64_t row = 0;    // against the server's 65,535 bytes
    std::uint64_t record = 0; // in InnoDB's record (an off-page column: its pointer)
    bool offPage = false;     // InnoDB may keep the value off the page
};

// The bytes of one column of `type`, for the types the suggestion gives:
// tinyint, smallint, mediumint, int, bigint, decimal(p,s), date,
// datetime[(f)], varchar(n), tinytext, text, mediumtext, longtext. Throws
// std::invalid_argument for any other.
MySqlColumnBytes mySqlColumnBytes(std::u16string_view type);

struct MySqlRowBytes {
    std::uint64_t row = 0;
    std::uint64_t record = 0;
    bool fits() const noexcept { return row <= kMySqlMaxRowBytes && record <= kInnoDbMaxRecordBytes; }
};

// The whole row of a table of nullable columns of these types.
MySqlRowBytes mySqlRowBytes(const std::vector<std::u16string>& types);

// The bytes of the null flags of `columns` nullable columns, in either limit.
std::uint64_t mySqlNullFlagBytes(std::uint64_t columns) noexcept;

// The part of InnoDB's record that is there whatever the columns: its
// header, row id, transaction id and roll pointer.
inline constexpr std::uint64_t kInnoDbRecordOverhead = 5 + 6 + 6 + 7;

} // namespace quarrow
