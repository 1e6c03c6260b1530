#include "engine/profile/MySqlRowSize.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <string>

namespace quarrow {

// The server's row (MySQL Reference Manual, "Limits on Table Column Count
// and Row Size" and "Data Type Storage Requirements"):
// - every column counts against 65,535 bytes, TEXT types with only their
//   length (1 to 4 bytes) and an 8-byte pointer: tinytext 9, text 10,
//   mediumtext 11, longtext 12;
// - VARCHAR(M) counts its longest value, M characters of the character
//   set's widest (4 bytes in utf8mb4), and 1 length byte when that is at
//   most 255 bytes, else 2;
// - a nullable column adds a null flag bit, rounded up to whole bytes for
//   the row: the manual's own example is refused for those bits alone;
// - TINYINT 1, SMALLINT 2, MEDIUMINT 3, INT 4, BIGINT 8, DATE 3, DATETIME 5
//   and 1 byte per 2 digits of a fraction of a second (rounded up);
//   DECIMAL packs 9 digits into 4 bytes, on each side of the point apart,
//   with 1, 1, 2, 2, 3, 3, 4, 4 bytes for 1 to 8 leftover digits.
// Tried on MariaDB 10.11 with utf8mb4: 253 varchar(64), 28 bigint and a
// tinyint (65,535 bytes) load; with a smallint in place of the tinyint they
// do not.
//
// InnoDB's record (MySQL Reference Manual, "InnoDB Row Formats": COMPACT
// and DYNAMIC storage characteristics, and "Limits on Table Column Count
// and Row Size"): a 5-byte header, a null flag bit per nullable column
// rounded up to bytes, 1 or 2 length bytes per variable-length column (2
// where it may be stored off the page), and, in a table without a primary
// key, a 6-byte row id, a 6-byte transaction id and a 7-byte roll pointer.
// With DYNAMIC (the default) a variable-length column whose values may take
// more than 255 bytes, and every TEXT, may go off the page and keeps a
// 20-byte pointer in the record; the others stay in it whole. The record
// must stay under half a page: "Row size too large (> 8126)". Tried on
// MariaDB 10.11: 997 bigint load (8,125 bytes), 997 bigint and a tinyint
// (8,126) do not; it counts an off-page column as its pointer and one length
// byte (383 text columns load, 384 do not), a byte under what is counted
// here.

namespace {

constexpr std::uint64_t kVarcharBytesPerChar = 4; // utf8mb4
constexpr std::uint64_t kInRecordMaxBytes = 255;
constexpr std::uint64_t kOffPagePointerBytes = 20;
constexpr std::uint64_t kTextPointerBytes = 8;

std::uint64_t decimalDigitsBytes(std::uint64_t digits) noexcept
{
    constexpr std::array<std::uint64_t, 9> leftover{0, 1, 1, 2, 2, 3, 3, 4, 4};
    return digits / 9 * 4 + leftover[digits % 9];
}

// The numbers in "(p)" or "(p,s)" after the type's name; nothing when the
// rest of the text is not that.
std::optional<std::array<std::uint64_t, 2>> sizes(std::u16string_view rest, std::size_t count)
{
    if (rest.size() < 3 || rest.front() != u'(' || rest.back() != u')')
        return std::nullopt;
    rest = rest.substr(1, rest.size() - 2);
    std::array<std::uint64_t, 2> out{};
    for (std::size_t k = 0; k < count; ++k) {
        std::size_t digits = 0;
        while (digits < rest.size() && digits < 9 && rest[digits] >= u'0' && rest[digits] <= u'9') {
            out[k] = out[k] * 10 + static_cast<std::uint64_t>(rest[digits] - u'0');
            ++digits;
        }
        if (digits == 0)
            return std::nullopt;
        rest.remove_prefix(digits);
        if (k + 1 < count) {
            if (rest.empty() || rest.front() != u',')
                return std::nullopt;
            rest.remove_prefix(1);
        }
    }
    if (!rest.empty())
        return std::nullopt;
    return out;
}

constexpr MySqlColumnBytes fixed(std::uint64_t bytes) noexcept
{
    return {bytes, bytes, false};
}

constexpr MySqlColumnBytes text(std::uint64_t lengthBytes) noexcept
{
    return {lengthBytes + kTextPointerBytes, 2 + kOffPagePointerBytes, true};
}

std::string narrow(std::u16string_view type)
{
    std::string out;
    for (char16_t c : type)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

} // namespace

MySqlColumnBytes mySqlColumnBytes(std::u16string_view type)
{
    struct Named {
        std::u16string_view name;
        MySqlColumnBytes bytes;
    };
    static constexpr std::array<Named, 11> kNamed{{
        {u"tinyint", fixed(1)},
        {u"smallint", fixed(2)},
        {u"mediumint", fixed(3)},
        {u"int", fixed(4)},
        {u"bigint", fixed(8)},
        {u"date", fixed(3)},
        {u"datetime", fixed(5)},
        {u"tinytext", text(1)},
        {u"text", text(2)},
        {u"mediumtext", text(3)},
        {u"longtext", text(4)},
    }};
    for (const auto& named : kNamed) {
        if (type == named.name)
            return named.bytes;
    }
    const auto opens = type.find(u'(');
    if (opens != std::u16string_view::npos) {
        const std::u16string_view name = type.substr(0, opens);
        const std::u16string_view rest = type.substr(opens);
        if (name == u"varchar") {
            if (const auto n = sizes(rest, 1)) {
                const std::uint64_t bytes = (*n)[0] * kVarcharBytesPerChar;
                if (bytes <= kInRecordMaxBytes)
                    return {bytes + 1, bytes + 1, false};
                return {bytes + 2, 2 + kOffPagePointerBytes, true};
            }
        } else if (name == u"decimal") {
            if (const auto ps = sizes(rest, 2); ps && (*ps)[1] <= (*ps)[0])
                return fixed(decimalDigitsBytes((*ps)[0] - (*ps)[1]) + decimalDigitsBytes((*ps)[1]));
        } else if (name == u"datetime") {
            if (const auto f = sizes(rest, 1); f && (*f)[0] <= 6)
                return fixed(5 + ((*f)[0] + 1) / 2);
        }
    }
    throw std::invalid_argument("no MySQL row size known for the type " + narrow(type));
}

std::uint64_t mySqlNullFlagBytes(std::uint64_t columns) noexcept
{
    return (columns + 7) / 8;
}

MySqlRowBytes mySqlRowBytes(const std::vector<std::u16string>& types)
{
    const std::uint64_t nullFlags = mySqlNullFlagBytes(types.size());
    MySqlRowBytes total{nullFlags, kInnoDbRecordOverhead + nullFlags};
    for (const auto& type : types) {
        const MySqlColumnBytes column = mySqlColumnBytes(type);
        total.row += column.row;
        total.record += column.record;
    }
    return total;
}

} // namespace quarrow
