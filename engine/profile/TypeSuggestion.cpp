#include "engine/profile/TypeSuggestion.h"

#include "engine/profile/MySqlRowSize.h"

#include "engine/text/UnicodeText.h"
#include "engine/text/Utf8.h"

#include <algorithm>
#include <array>
#include <limits>

namespace quarrow {

namespace {

struct IntegerType {
    std::int64_t min;
    std::int64_t max;
    std::u16string_view name;
};

constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

enum class TextRule {
    Unsized,      // one type holds any length
    MySql,        // varchar(n characters), then text types by bytes
    MsSql,        // varchar(n bytes) or nvarchar(n UTF-16 units), else (max)
    AccessText,   // text(n characters), else longtext
    BytesThenLob, // varchar(n bytes) up to a limit, else a large object
};

// What each dialect documents, in one place. A kind is offered only where
// the dialect reads the script's literal ('123', '1.5', '2023-01-31',
// '2023-01-31 12:00:00.5') as that value whatever the session's settings;
// otherwise the column stays text.
struct DialectLimits {
    Dialect dialect;
    std::array<IntegerType, 5> integers; // narrowest first; unused ones have an empty name
    // Exact numbers: decimal(p,s). Empty name: none whose reading of
    // '1.5' is independent of the session's locale.
    std::u16string_view exactName;
    std::uint32_t maxPrecision;
    std::uint32_t maxScale;
    // Decimals as an approximate type that still gives back every value
    // with at most this many significant digits (0: not used).
    std::u16string_view approximateName;
    std::uint32_t approximateDigits;
    std::u16string_view dateName;     // empty: dates stay text
    std::u16string_view dateTimeName; // "(f)" is added when it takes a fraction precision
    bool dateTimeTakesPrecision;
    std::uint32_t maxFractionDigits;
    int minYear;
    TextRule text;
    std::u16string_view shortText;
    std::uint64_t shortTextMax; // in the rule's unit
    std::u16string_view longText;
    const char* notTyped; // why a kind is left out, for the explanation
};

// MySQL 8.0 Reference Manual: 13.1.2 Integer Types (TINYINT -128..127,
// SMALLINT, MEDIUMINT -8388608..8388607, INT, BIGINT); 13.1.3 Fixed-Point
// Types (DECIMAL: at most 65 digits, scale at most 30); 13.2.2 The DATE,
// DATETIME, and TIMESTAMP Types (supported range '1000-01-01' to
// '9999-12-31'); 13.2.6 Fractional Seconds (at most 6 digits, more are
// rounded); 13.3.2 The CHAR and VARCHAR Types (length in characters);
// 13.7 Data Type Storage Requirements (TEXT 2^16-1 bytes, MEDIUMTEXT
// 2^24-1, LONGTEXT 2^32-1; a row holds at most 65,535 bytes).
//
// SQL Server (Transact-SQL reference): int, bigint, smallint, and tinyint
// (tinyint is 0 to 255); decimal and numeric (precision 1 to 38); date and
// datetime2 (0001-01-01 to 9999-12-31, fraction precision 0 to 7; the ISO
// 8601 form YYYY-MM-DD is read the same under every SET LANGUAGE and SET
// DATEFORMAT, unlike datetime's); char and varchar (n up to 8,000 bytes);
// nchar and nvarchar (n up to 4,000 byte-pairs); an empty string converts
// to 0 for a number, hence no number column with '' in it.
//
// Access SQL data types: BYTE 0..255, SMALLINT, INTEGER (32 bits), TEXT(n)
// up to 255 characters, LONGTEXT. Access converts text to numbers and
// dates with the Windows regional settings, so only plain integers are
// typed, and dates with the forms chosen (limitsOf()).
//
// Oracle Database SQL Language Reference, Data Types: NUMBER precision 1
// to 38; VARCHAR2 up to 4,000 bytes (MAX_STRING_SIZE = STANDARD, the
// default); implicit conversion of text to NUMBER and DATE follows
// NLS_NUMERIC_CHARACTERS and NLS_DATE_FORMAT, so only plain integers are
// typed, and decimals and dates with the forms chosen (limitsOf()). Byte lengths assume a UTF-8 database character set
// (AL32UTF8).
//
// PostgreSQL documentation, 8.1 Numeric Types (smallint, integer, bigint;
// numeric precision up to 1,000 when declared); 8.5 Date/Time Types (ISO
// 8601 input is read the same under every DateStyle; timestamp keeps 6
// fraction digits); 8.3 Character Types (text, no limit).
//
// Db2 for LUW, SQL and XML limits: DECIMAL precision 31; VARCHAR 32,672
// bytes; CLOB 2,147,483,647 bytes; TIMESTAMP fraction precision 0 to 12.
// Datetime values: the ISO date 'yyyy-mm-dd' and the timestamp
// 'yyyy-mm-dd hh:mm:ss.nnnnnn' are read whatever the territory.
// Byte lengths assume a Unicode (UTF-8) database, the default.
//
// SQLite, Datatypes In SQLite: a column's declared type gives its affinity;
// INTEGER keeps 8-byte integers, anything longer becomes REAL; text
// converted to REAL keeps 15 significant digits; there is no date type,
// dates are text.
constexpr IntegerType kNone{0, 0, {}};
constexpr IntegerType kInt16{-32768, 32767, u"smallint"};
constexpr IntegerType kInt32{-2147483648LL, 2147483647LL, u"int"};
constexpr IntegerType kInt64{kInt64Min, kInt64Max, u"bigint"};

// clang-format off
constexpr std::array<DialectLimits, 7> kLimits{{
    {.dialect = Dialect::MySql,
     .integers = {{{-128, 127, u"tinyint"}, kInt16, {-8388608, 8388607, u"mediumint"}, kInt32, kInt64}},
     .exactName = u"decimal", .maxPrecision = 65, .maxScale = 30,
     .approximateName = {}, .approximateDigits = 0,
     .dateName = u"date", .dateTimeName = u"datetime", .dateTimeTakesPrecision = true, .maxFractionDigits = 6,
     .minYear = 1000,
     .text = TextRule::MySql, .shortText = u"varchar", .shortTextMax = 255, .longText = u"text",
     .notTyped = nullptr},
    {.dialect = Dialect::MsSql,
     .integers = {{{0, 255, u"tinyint"}, kInt16, kInt32, kInt64, kNone}},
     .exactName = u"decimal", .maxPrecision = 38, .maxScale = 38,
     .approximateName = {}, .approximateDigits = 0,
     .dateName = u"date", .dateTimeName = u"datetime2", .dateTimeTakesPrecision = true, .maxFractionDigits = 7,
     .minYear = 1,
     .text = TextRule::MsSql, .shortText = u"varchar", .shortTextMax = 8000, .longText = u"varchar(max)",
     .notTyped = nullptr},
    {.dialect = Dialect::Access,
     .integers = {{{0, 255, u"byte"}, kInt16, {-2147483648LL, 2147483647LL, u"integer"}, kNone, kNone}},
     .exactName = {}, .maxPrecision = 0, .maxScale = 0,
     .approximateName = {}, .approximateDigits = 0,
     .dateName = {}, .dateTimeName = {}, .dateTimeTakesPrecision = false, .maxFractionDigits = 0,
     .minYear = 1,
     .text = TextRule::AccessText, .shortText = u"text", .shortTextMax = 255, .longText = u"longtext",
     .notTyped = "Access reads decimals and dates by the Windows regional settings"},
    {.dialect = Dialect::Oracle,
     .integers = {{kNone, kNone, kNone, kNone, kNone}},
     .exactName = u"number", .maxPrecision = 38, .maxScale = 0,
     .approximateName = {}, .approximateDigits = 0,
     .dateName = {}, .dateTimeName = {}, .dateTimeTakesPrecision = false, .maxFractionDigits = 0,
     .minYear = 1,
     .text = TextRule::BytesThenLob, .shortText = u"varchar2", .shortTextMax = 4000, .longText = u"clob",
     .notTyped = "Oracle reads decimals and dates by the session's NLS settings"},
    {.dialect = Dialect::PostgreSql,
     .integers = {{kInt16, {-2147483648LL, 2147483647LL, u"integer"}, kInt64, kNone, kNone}},
     .exactName = u"numeric", .maxPrecision = 1000, .maxScale = 1000,
     .approximateName = {}, .approximateDigits = 0,
     .dateName = u"date", .dateTimeName = u"timestamp", .dateTimeTakesPrecision = false, .maxFractionDigits = 6,
     .minYear = 1,
     .text = TextRule::Unsized, .shortText = u"text", .shortTextMax = 0, .longText = u"text",
     .notTyped = nullptr},
    {.dialect = Dialect::IbmDb2,
     .integers = {{kInt16, {-2147483648LL, 2147483647LL, u"integer"}, kInt64, kNone, kNone}},
     .exactName = u"decimal", .maxPrecision = 31, .maxScale = 31,
     .approximateName = {}, .approximateDigits = 0,
     .dateName = u"date", .dateTimeName = u"timestamp", .dateTimeTakesPrecision = true, .maxFractionDigits = 12,
     .minYear = 1,
     .text = TextRule::BytesThenLob, .shortText = u"varchar", .shortTextMax = 32672, .longText = u"clob",
     .notTyped = nullptr},
    {.dialect = Dialect::Sqlite,
     .integers = {{{kInt64Min, kInt64Max, u"integer"}, kNone, kNone, kNone, kNone}},
     .exactName = {}, .maxPrecision = 0, .maxScale = 0,
     .approximateName = u"real", .approximateDigits = 15,
     .dateName = {}, .dateTimeName = {}, .dateTimeTakesPrecision = false, .maxFractionDigits = 0,
     .minYear = 1,
     .text = TextRule::Unsized, .shortText = u"text", .shortTextMax = 0, .longText = u"text",
     .notTyped = "SQLite has no date type"},
}};
// clang-format on

// Oracle and Access with the forms chosen: the script writes those kinds as
// literals read alike under every setting (types/ValueForms.h,
// dialectTakesForm()), so they are typed too. Oracle: NUMBER(p,s), p up to
// 38 (SQL Language Reference, Data Types, NUMBER); DATE; TIMESTAMP(f), f 0
// to 9. Access: DATE, a synonym of DATETIME, years 100 to 9999 (Access SQL
// reference, SQL data types and Equivalent ANSI SQL data types); written
// m/d/yyyy, so from year 1000.
DialectLimits limitsOf(Dialect dialect, const ValueForms& forms = {})
{
    DialectLimits limits = kLimits[static_cast<std::size_t>(dialect)];
    if (dialect == Dialect::Oracle && forms.numbersChosen())
        limits.maxScale = limits.maxPrecision;
    if (dialect == Dialect::Oracle && forms.datesChosen()) {
        limits.dateName = u"date";
        limits.dateTimeName = u"timestamp";
        limits.dateTimeTakesPrecision = true;
        limits.maxFractionDigits = 9;
    }
    if (dialect == Dialect::Access && forms.datesChosen()) {
        limits.dateName = u"date";
        limits.minYear = 1000;
    }
    return limits;
}

FormedKind formedKindOf(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Integer:
    case ValueKind::Decimal: return FormedKind::Number;
    case ValueKind::Date: return FormedKind::Date;
    case ValueKind::DateTime: return FormedKind::DateTime;
    case ValueKind::Text: break;
    }
    return FormedKind::Text;
}

std::u16string ascii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

std::u16string sized(std::u16string_view name, std::uint64_t n)
{
    return std::u16string(name) + u'(' + ascii(std::to_string(n)) + u')';
}

std::u16string sized(std::u16string_view name, std::uint64_t p, std::uint64_t s)
{
    return std::u16string(name) + u'(' + ascii(std::to_string(p)) + u',' + ascii(std::to_string(s)) + u')';
}

std::string dialectName(Dialect dialect)
{
    const auto text = dialectInfo(dialect).itemText;
    return std::string(text.begin(), text.end()); // ASCII
}

// The TEXT type that holds the column's longest value (MySQL Reference
// Manual, "Data Type Storage Requirements": TEXT 2^16-1 bytes, MEDIUMTEXT
// 2^24-1).
std::u16string mySqlTextType(const ColumnProfile& column)
{
    if (column.maxBytes <= 65535)
        return u"text";
    return column.maxBytes <= 16777215 ? u"mediumtext" : u"longtext";
}

std::int64_t mySqlRowBytesOf(std::u16string_view type)
{
    return static_cast<std::int64_t>(mySqlColumnBytes(type).row);
}

// A suggestion that still passes one of MySQL's two row limits (see
// MySqlRowSize.h) has its widest columns turned to TEXT until it fits:
// InnoDB's record first, as only the columns kept whole in it can give room
// there, then the server's row. Of equal widths the later column goes
// first, so that the first columns keep their types. A table that cannot
// fit even so (hundreds of TEXT columns) is left as it is.
void fitMySqlRow(std::vector<TypeSuggestion>& suggestions, const TableProfile& profile)
{
    std::vector<std::u16string> types;
    types.reserve(suggestions.size());
    for (const auto& s : suggestions)
        types.push_back(s.type);
    MySqlRowBytes total = mySqlRowBytes(types);
    if (total.fits())
        return;

    struct Candidate {
        std::uint64_t bytes;
        std::size_t column;
    };
    const MySqlColumnBytes asText = mySqlColumnBytes(u"text");
    std::vector<Candidate> byRecord;
    std::vector<Candidate> byRow;
    for (std::size_t i = 0; i < types.size(); ++i) {
        const MySqlColumnBytes bytes = mySqlColumnBytes(types[i]);
        if (!bytes.offPage && bytes.record > asText.record)
            byRecord.push_back({bytes.record, i});
        if (bytes.row > mySqlColumnBytes(mySqlTextType(profile.columns[i])).row)
            byRow.push_back({bytes.row, i});
    }
    const auto widestFirst = [](const Candidate& a, const Candidate& b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.column > b.column;
    };
    std::sort(byRecord.begin(), byRecord.end(), widestFirst);
    std::sort(byRow.begin(), byRow.end(), widestFirst);

    std::vector<bool> turned(types.size(), false);
    std::size_t nextByRecord = 0;
    std::size_t nextByRow = 0;
    while (!total.fits()) {
        const bool record = total.record > kInnoDbMaxRecordBytes;
        auto& list = record ? byRecord : byRow;
        std::size_t& next = record ? nextByRecord : nextByRow;
        while (next < list.size() && turned[list[next].column])
            ++next;
        if (next == list.size())
            return;
        const std::size_t i = list[next].column;
        turned[i] = true;
        TypeSuggestion& s = suggestions[i];
        const MySqlColumnBytes from = mySqlColumnBytes(s.type);
        const std::u16string wide = s.type;
        s.type = mySqlTextType(profile.columns[i]);
        s.kind = ValueKind::Text;
        s.reason =
            record ? "InnoDB row limit: " + toUtf8(wide) + " columns would not leave the row under InnoDB's 8,126 bytes"
                   : "MySQL row limit: " + toUtf8(wide) + " columns would take the row past 65,535 bytes";
        const MySqlColumnBytes to = mySqlColumnBytes(s.type);
        total.row = total.row - from.row + to.row;
        total.record = total.record - from.record + to.record;
    }
}

struct TextChoice {
    TextChoice(std::u16string chosen, std::u16string refused = {})
        : type(std::move(chosen)), tooWide(std::move(refused))
    {
    }
    std::u16string type;
    std::u16string tooWide; // MySQL: the VARCHAR that would not fit the row
};

// `mySqlRowSlack`: what is left of MySQL's row with this column counted as
// its TEXT type; a VARCHAR takes from it what it needs beyond that.
TextChoice textType(const ColumnProfile& column, const DialectLimits& limits, std::int64_t& mySqlRowSlack)
{
    const std::uint64_t chars = std::max<std::uint64_t>(column.maxChars, 1);
    const std::uint64_t bytes = std::max<std::uint64_t>(column.maxBytes, 1);
    switch (limits.text) {
    case TextRule::Unsized: return {std::u16string(limits.shortText)};
    case TextRule::MySql: {
        // Longer texts go to the TEXT types, stored apart from the row, so
        // that a wide table still fits MySQL's row.
        std::u16string longType = mySqlTextType(column);
        if (chars > limits.shortTextMax)
            return {std::move(longType)};
        std::u16string varchar = sized(limits.shortText, chars);
        const std::int64_t more = mySqlRowBytesOf(varchar) - mySqlRowBytesOf(longType);
        if (more > mySqlRowSlack)
            return {std::move(longType), std::move(varchar)};
        mySqlRowSlack -= more;
        return {std::move(varchar)};
    }
    case TextRule::MsSql:
        if (column.nonAscii) {
            const std::uint64_t units = std::max<std::uint64_t>(column.maxUtf16Units, 1);
            return {units <= 4000 ? sized(u"nvarchar", units) : std::u16string(u"nvarchar(max)")};
        }
        return {bytes <= limits.shortTextMax ? sized(limits.shortText, bytes) : std::u16string(limits.longText)};
    case TextRule::AccessText:
        return {chars <= limits.shortTextMax ? sized(limits.shortText, chars) : std::u16string(limits.longText)};
    case TextRule::BytesThenLob:
        if (bytes <= limits.shortTextMax)
            return {sized(limits.shortText, bytes)};
        if (limits.dialect == Dialect::IbmDb2)
            return {sized(limits.longText, bytes)}; // a bare CLOB holds only 1 MB
        return {std::u16string(limits.longText)};
    }
    return {std::u16string(limits.longText)};
}

std::string quoted(const ValueSite& site, const TableProfile& profile)
{
    std::string text = profile.where(site);
    if (!site.value.empty())
        text += ": '" + site.value + "'";
    else if (site.line != 0)
        text += ": empty cell";
    return text;
}

// The typed (non-text) choice for the column's kind, or why there is none.
struct Typed {
    std::u16string type;
    std::string refusal; // set when the kind cannot be typed in this dialect
};

Typed typedChoice(const ColumnProfile& column, ValueKind kind, const DialectLimits& limits)
{
    const std::string dialect = dialectName(limits.dialect);
    switch (kind) {
    case ValueKind::Integer:
        if (!column.beyond64Bits) {
            for (const auto& t : limits.integers) {
                if (!t.name.empty() && t.min <= column.minInteger && column.maxInteger <= t.max)
                    return {std::u16string(t.name), {}};
            }
        }
        if (!limits.exactName.empty() && column.integerDigits <= limits.maxPrecision)
            return {limits.dialect == Dialect::Oracle ? sized(limits.exactName, std::max(column.integerDigits, 1u))
                                                      : sized(limits.exactName, column.integerDigits, 0),
                    {}};
        return {{},
                "integers of " + std::to_string(column.integerDigits) + " digits: beyond what " + dialect
                    + " holds exactly"};
    case ValueKind::Decimal: {
        const std::uint32_t precision = std::max(column.integerDigits + column.scale, 1u);
        if (!limits.exactName.empty() && limits.maxScale > 0) {
            if (precision <= limits.maxPrecision && column.scale <= limits.maxScale)
                return {sized(limits.exactName, precision, column.scale), {}};
            return {{},
                    "decimals of " + std::to_string(precision) + " digits, " + std::to_string(column.scale)
                        + " after the point: beyond " + dialect + "'s " + std::to_string(limits.maxPrecision) + " and "
                        + std::to_string(limits.maxScale)};
        }
        if (!limits.approximateName.empty()) {
            if (precision <= limits.approximateDigits)
                return {std::u16string(limits.approximateName), {}};
            return {{},
                    "decimals of " + std::to_string(precision) + " digits: " + dialect + " keeps "
                        + std::to_string(limits.approximateDigits)};
        }
        return {{}, limits.notTyped ? limits.notTyped : "no exact decimal type"};
    }
    case ValueKind::Date:
    case ValueKind::DateTime: {
        const bool date = kind == ValueKind::Date;
        const std::u16string_view name = date ? limits.dateName : limits.dateTimeName;
        if (name.empty())
            return {{}, limits.notTyped ? limits.notTyped : "no date type"};
        if (column.minYear < limits.minYear)
            return {{},
                    "year " + std::to_string(column.minYear) + ": before " + dialect + "'s "
                        + std::to_string(limits.minYear)};
        if (date)
            return {std::u16string(name), {}};
        if (column.fractionDigits > limits.maxFractionDigits)
            return {{},
                    std::to_string(column.fractionDigits) + " digits of a second: " + dialect + " keeps "
                        + std::to_string(limits.maxFractionDigits)};
        if (!limits.dateTimeTakesPrecision)
            return {std::u16string(name), {}};
        if (limits.dialect == Dialect::MySql && column.fractionDigits == 0)
            return {std::u16string(name), {}};
        return {sized(name, column.fractionDigits), {}};
    }
    case ValueKind::Text: break;
    }
    return {};
}

// The forms the column's typed values were read in, in words.
std::string formsRead(const TableProfile& profile, ValueKind kind)
{
    const bool number = kind == ValueKind::Integer || kind == ValueKind::Decimal;
    ValueForms forms = profile.forms;
    if (number)
        forms.dates = DateOrder::None;
    else
        forms.decimal = DecimalMark::None;
    return "read with " + describeForms(forms);
}

// "with decimal comma: decimal(4,2)" for the first form not chosen in which
// every value of a text column is a number or a date; empty when none is.
std::string alternativeHint(const ColumnProfile& column, Dialect dialect, bool nullEmpty)
{
    if (!nullEmpty && column.empty > 0)
        return {};
    const unsigned both = column.alternativesHold & column.alternativesUsed;
    for (std::size_t k = 0; k < kAlternativeForms.size(); ++k) {
        if ((both & (1u << k)) == 0)
            continue;
        ColumnProfile read = column;
        ValueKind kind = ValueKind::Decimal;
        if (kAlternativeForms[k].numbersChosen()) {
            read.integerDigits = column.alternativeIntegerDigits;
            read.scale = column.alternativeScale;
        } else {
            kind = column.alternativeTime ? ValueKind::DateTime : ValueKind::Date;
            read.minYear = column.alternativeMinYear;
            read.fractionDigits = column.alternativeFractionDigits;
        }
        const Typed typed = typedChoice(read, kind, limitsOf(dialect, kAlternativeForms[k]));
        if (typed.type.empty() || !dialectTakesForm(dialect, formedKindOf(kind)))
            return {};
        return "with " + describeForms(kAlternativeForms[k]) + ": " + toUtf8(typed.type);
    }
    return {};
}

std::size_t displayWidth(std::string_view utf8Text)
{
    std::size_t n = 0;
    for (char c : utf8Text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

} // namespace

std::vector<TypeSuggestion> suggestTypes(const TableProfile& profile, Dialect dialect, bool nullEmpty)
{
    const DialectLimits limits = limitsOf(dialect, profile.forms);
    std::vector<TypeSuggestion> out;
    out.reserve(profile.columns.size());
    // MySQL: every column first counts what it takes without a VARCHAR
    // (its typed type, its TEXT type, the default type of an empty one), so
    // that the VARCHARs are sized with what is left of the row.
    const bool mySql = dialect == Dialect::MySql;
    std::int64_t rowSlack = static_cast<std::int64_t>(kMySqlMaxRowBytes)
                            - static_cast<std::int64_t>(mySqlNullFlagBytes(profile.columns.size()));
    std::vector<Typed> typed(profile.columns.size());
    for (std::size_t i = 0; i < profile.columns.size(); ++i) {
        const ColumnProfile& column = profile.columns[i];
        const ValueKind kind = column.kind(nullEmpty);
        // A column whose forms the dialect refuses stays text, and counts so.
        if (kind != ValueKind::Text && column.nonEmpty > 0
            && !(column.formed && !dialectTakesForm(dialect, formedKindOf(kind))))
            typed[i] = typedChoice(column, kind, limits);
        if (mySql) {
            rowSlack -= column.nonEmpty == 0     ? mySqlRowBytesOf(dialectInfo(dialect).defaultType)
                        : !typed[i].type.empty() ? mySqlRowBytesOf(typed[i].type)
                                                 : mySqlRowBytesOf(mySqlTextType(column));
        }
    }
    for (std::size_t i = 0; i < profile.columns.size(); ++i) {
        const ColumnProfile& column = profile.columns[i];
        TypeSuggestion s;
        if (column.nonEmpty == 0) {
            s.type = std::u16string(dialectInfo(dialect).defaultType);
            s.reason = "no values";
            out.push_back(std::move(s));
            continue;
        }
        const ValueKind kind = column.kind(nullEmpty);
        const ValueSite* why = column.whyNotNarrower(nullEmpty);
        // The script keeps the file's forms where the dialect would read
        // the plain ones by its settings (types/ValueForms.h).
        const bool formsRefused =
            column.formed && kind != ValueKind::Text && !dialectTakesForm(dialect, formedKindOf(kind));
        if (kind != ValueKind::Text && !typed[i].type.empty() && !formsRefused) {
            s.type = std::move(typed[i].type);
            s.kind = kind;
            if (why != nullptr && *why)
                s.reason = quoted(*why, profile);
            if (column.formed)
                s.reason = formsRead(profile, kind) + (s.reason.empty() ? "" : "; " + s.reason);
        } else if (formsRefused) {
            TextChoice text = textType(column, limits, rowSlack);
            s.type = std::move(text.type);
            s.kind = ValueKind::Text;
            s.reason = dialectName(dialect) + " reads numbers and dates by its own settings: values in "
                       + describeForms(profile.forms) + " stay text";
        } else {
            TextChoice text = textType(column, limits, rowSlack);
            s.type = std::move(text.type);
            s.kind = ValueKind::Text;
            if (kind != ValueKind::Text)
                s.reason = typed[i].refusal;
            else if (!text.tooWide.empty())
                s.reason = "MySQL row limit: " + toUtf8(text.tooWide) + " would take the row past 65,535 bytes";
            else if (why != nullptr && *why)
                s.reason = quoted(*why, profile);
            if (const std::string hint = alternativeHint(column, dialect, nullEmpty); !hint.empty())
                s.reason += (s.reason.empty() ? "" : "; ") + hint;
        }
        out.push_back(std::move(s));
    }
    if (mySql)
        fitMySqlRow(out, profile);
    return out;
}

std::string explainProfile(const TableProfile& profile, const std::vector<std::u16string>& names,
                           const std::vector<TypeSuggestion>& suggestions)
{
    std::vector<std::array<std::string, 7>> rows;
    rows.push_back({"column", "type", "non-empty", "empty", "max chars", "max bytes", "why not narrower"});
    for (std::size_t i = 0; i < profile.columns.size(); ++i) {
        const ColumnProfile& c = profile.columns[i];
        rows.push_back({i < names.size() ? toUtf8(names[i]) : std::string(),
                        i < suggestions.size() ? toUtf8(suggestions[i].type) : std::string(),
                        std::to_string(c.nonEmpty), std::to_string(c.empty), std::to_string(c.maxChars),
                        std::to_string(c.maxBytes), i < suggestions.size() ? suggestions[i].reason : std::string()});
    }
    std::array<std::size_t, 7> width{};
    for (const auto& row : rows) {
        for (std::size_t k = 0; k < row.size(); ++k)
            width[k] = std::max(width[k], displayWidth(row[k]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t k = 0; k < row.size(); ++k) {
            const bool number = k >= 2 && k <= 5;
            const std::string pad(width[k] - displayWidth(row[k]), ' ');
            if (k > 0)
                line += "  ";
            line += number ? pad + row[k] : (k + 1 < row.size() ? row[k] + pad : row[k]);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    return out;
}

std::string explainColumn(const ColumnProfile& column, const TypeSuggestion& suggestion)
{
    auto count = [](std::uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text = count(column.nonEmpty, "value", "values") + ", " + std::to_string(column.empty)
                       + " empty, at most " + count(column.maxChars, "character", "characters") + " ("
                       + count(column.maxBytes, "byte", "bytes") + " in UTF-8).";
    if (!suggestion.reason.empty())
        text += " Not narrower: " + suggestion.reason;
    return text;
}

std::string describeStructure(const TableProfile& profile, std::size_t columns)
{
    std::string out;
    auto part = [&](std::uint64_t total, bool longRows) {
        if (total == 0)
            return;
        out += std::to_string(total) + (total == 1 ? " row has " : " rows have ") + (longRows ? "more" : "fewer")
               + " fields than the " + std::to_string(columns) + (columns == 1 ? " column" : " columns")
               + (longRows ? " (the extra fields are not written): " : " (the missing ones are written empty): ");
        bool first = true;
        for (const auto& file : profile.files) {
            const std::uint64_t count = longRows ? file.longRows : file.shortRows;
            const auto& lines = longRows ? file.firstLongLines : file.firstShortLines;
            if (count == 0)
                continue;
            if (!first)
                out += "; ";
            first = false;
            if (!file.name.empty())
                out += file.name + " ";
            out += lines.size() == 1 ? "line " : "lines ";
            for (std::size_t i = 0; i < lines.size(); ++i)
                out += (i > 0 ? ", " : "") + std::to_string(lines[i]);
            if (count > lines.size())
                out += " and " + std::to_string(count - lines.size()) + " more";
        }
        out += "\n";
    };
    part(profile.longRows(), true);
    part(profile.shortRows(), false);
    return out;
}

} // namespace quarrow
