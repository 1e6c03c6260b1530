#pragma once

#include "engine/sql/ScriptFormatter.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// A conversion profile: every setting that shapes a script and the column
// types, kept in a small TOML file so that the same export can be converted
// again with one command or one click. The window and the converter read
// and write it through these functions alone.
//
//   version = 1
//   database = "postgresql"   # mysql mssql access oracle postgresql ibmdb2 sqlite
//   table = "orders"
//   separator = ";"           # one character up to U+FFFF; "\t" is Tab
//   header = true             # the first line holds the column names
//   encoding = "utf8"         # utf8 or ansi: reading the CSV and writing the script
//   exact-quoting = false     # values keep their line breaks, quotes and blanks
//   null-empty = false        # NULL for empty cells
//   multi-row = false         # multi-row INSERT statements
//   transaction = false       # the whole script one transaction
//   copy = false              # PostgreSQL only: rows as COPY ... FROM stdin
//   null-markers = []         # values written as NULL, such as "NA"
//   table-mode = "create"     # create create-if-missing replace append (rows only)
//   skip-lines = 0            # lines above the table, never read (written when set)
//   comment = "#"             # lines that begin with it are not read (written when set)
//   columns = [
//     { name = "id", type = "int" },
//     { name = "city", type = "text" },
//   ]
//
// Only `version` is required; a missing setting takes its default (that of
// ScriptOptions), and `columns` may be left out or hold fewer entries than
// a file has columns. Column types apply by position; the names are there
// for the reader of the file.

// The newest profile version this program reads and the one it writes.
inline constexpr std::int64_t kProfileVersion = 1;

struct ProfileColumn {
    std::u16string name;
    std::u16string type;
    friend bool operator==(const ProfileColumn&, const ProfileColumn&) = default;
};

struct ConversionProfile {
    ScriptOptions script;
    std::vector<ProfileColumn> columns;
};

// A profile was refused. Nothing of it applies. what() reads
// "Cannot read profile <file>: line <n>, <place>: <reason>"; the parts are
// kept for callers that show them apart (line 0: no line to name, an empty
// place: the file as a whole). The place is a key, or for a file that is
// not TOML "column <c>", c counting the line's characters (Unicode code
// points, a tab one) from 1; the reason then shows the file's characters.
class ProfileError : public std::runtime_error {
public:
    ProfileError(std::string file, std::uint64_t line, std::string place, std::string reason);

    const std::string& file() const noexcept { return m_file; }
    std::uint64_t line() const noexcept { return m_line; }
    const std::string& place() const noexcept { return m_place; }
    const std::string& reason() const noexcept { return m_reason; }

private:
    std::string m_file;
    std::uint64_t m_line;
    std::string m_place;
    std::string m_reason;
};

// Parses and checks a whole profile before returning any of it. `fileName`
// names the source in errors. Throws ProfileError.
ConversionProfile parseProfile(std::string_view utf8Text, const std::string& fileName);

// Reads the file (UTF-8, a byte-order mark allowed) and parses it. Throws
// ProfileError, also when the file cannot be read.
ConversionProfile readProfileFile(const std::filesystem::path& path);

// The profile as the UTF-8 text that readProfileFile reads back to an equal
// profile: every setting written, each with a comment that says what it
// takes, then one line per column. Throws std::invalid_argument for a
// separator that is half a character (a lone surrogate), which no profile
// can hold.
std::string profileText(const ConversionProfile& profile);

// Writes profileText() to the file, replacing it. Throws OutputError.
void writeProfileFile(const std::filesystem::path& path, const ConversionProfile& profile);

// The profile's column types by position over `types` (a loaded file's
// columns): entries past either end are left alone.
struct ColumnTypesApplied {
    std::size_t matched = 0; // columns that took the profile's type
    std::size_t columns = 0; // the columns there were
    std::size_t profile = 0; // the types the profile holds
};
ColumnTypesApplied applyProfileColumnTypes(const ConversionProfile& profile, std::vector<std::u16string>& types);

// The profile's column types alone, in order.
std::vector<std::u16string> profileColumnTypes(const ConversionProfile& profile);

// A profile of the given settings and columns (names and types paired by
// position; the shorter list decides the count).
ConversionProfile makeProfile(const ScriptOptions& script, const std::vector<std::u16string>& names,
                              const std::vector<std::u16string>& types);

} // namespace quarrow
