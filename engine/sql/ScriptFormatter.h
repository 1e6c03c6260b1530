#pragma once

#include "engine/csv/LineReader.h"
#include "engine/csv/NullMarkers.h"
#include "engine/sql/CopyText.h"
#include "engine/sql/FormedItems.h"
#include "engine/sql/NameLimits.h"
#include "engine/sql/OutBuffer.h"
#include "engine/sql/TableMode.h"
#include "engine/text/TextEncoding.h"
#include "engine/types/ValueForms.h"
#include "engine/workspace/Dialect.h"
#include "engine/workspace/Workspace.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

struct ScriptOptions {
    Dialect dialect = Dialect::MySql;
    std::u16string tableName = u"NEW_TABLE"; // used exactly as typed: the user's own SQL
    char16_t separator = u',';
    bool headerLine = false; // row 0 of the row list holds the names and is not exported
    bool nullEmpty = false;  // NULL for an empty value
    bool multiRow = false;   // one INSERT statement for all rows
    TextEncoding encoding = TextEncoding::Utf8;
    // Rows are records read exactly (csv/ExactQuoting.h): values are kept
    // whole, and a line break in one is written as the dialect's character
    // function (see writeExactItem).
    bool exactQuoting = false;
    // The whole script one transaction, in the dialect's own statements
    // (sql/TransactionLines.h); Access has none and is written without.
    bool transaction = false;
    // PostgreSQL only: the rows as COPY ... FROM stdin data (sql/CopyText.h)
    // instead of INSERT statements; multiRow then has no effect.
    bool copy = false;
    // What the script does about the table before the rows (sql/TableMode.h).
    TableMode tableMode = TableMode::Create;
    // Values written as NULL, matched against the whole cleaned value
    // (csv/NullMarkers.h); none by default.
    std::vector<std::u16string> nullMarkers{};
    // How the file writes numbers and dates: values in these forms in a
    // column typed as a number, date or date-time are written in the plain
    // form (FormedItems.h). None chosen: every value as the file has it.
    ValueForms forms{};
    // Lines the reader leaves out (csv/LineReader.h, LineDropping): the
    // first `skipLines`, and those that begin with `comment` (none when NUL).
    std::uint64_t skipLines = 0;
    char16_t comment = u'\0';
};

// The reading options that go with a script's: the same encoding, header
// option, separator, lines left out, and the dialect whose default types
// the columns get.
constexpr LoadOptions loadOptionsFor(const ScriptOptions& options)
{
    return LoadOptions{options.encoding,     options.headerLine, options.separator, options.dialect,
                       options.exactQuoting, options.forms,      options.skipLines, options.comment};
}

// How the reader cuts and drops lines for a script's options.
constexpr LineDropping lineDroppingFor(const ScriptOptions& options)
{
    return LineDropping{options.skipLines, options.comment};
}

// SQL Server refuses more rows in one VALUES list.
inline constexpr std::uint64_t kMsSqlRowsPerInsert = 1000;

// The most bytes of a multi-row INSERT statement before the next row starts
// a new statement. MariaDB refuses a statement longer than
// max_allowed_packet, 16 MiB by default; Db2 one longer than 2,097,152 bytes
// (IBM, "SQL and XML limits"). SQLite refuses one past its SQL length limit
// (1,000,000,000 bytes by default, "Limits In SQLite"), and SQLite and
// PostgreSQL hold a statement's whole parse in memory: measured
// (bench/statement_sizes.sh, README), the sqlite3 shell peaks at about 18
// times the statement's size and a PostgreSQL backend at about 34 times,
// while statements of 1 MiB load as fast as any larger ones. 1 MiB stays
// well inside every limit.
inline constexpr std::size_t kStatementBytes = std::size_t{1} << 20;
// SQLite inside one transaction: no statement commits on its own, and the
// sqlite3 shell loads statements of 256 KiB with about a sixth less work
// than statements of 1 MiB (bench/sqlite_forms.sh, README): the parse of a
// multi-row VALUES list costs more per row the longer the list. Smaller cuts
// gain nothing more. Without a transaction every statement is a commit, and
// 1 MiB stays the faster cut.
inline constexpr std::size_t kSqliteTransactionStatementBytes = std::size_t{256} << 10;
// Oracle: releases up to 9i documented 64 KB as the longest statement
// (Oracle9i Database Reference, "Logical Database Limits", adding that
// tools may impose lower limits); later ones dropped the entry without
// naming another. Multi-row VALUES needs 23ai anyway, but the older limit
// costs next to nothing (hundreds of rows a statement) and holds for any tool.
inline constexpr std::size_t kOracleStatementBytes = std::size_t{64} << 10;

// The statement size limit of the dialect's multi-row INSERT statements,
// for a script that is one transaction or not; 0 where they are not cut by
// size (SQL Server counts rows, Access has one row a statement).
constexpr std::size_t statementBytesFor(Dialect dialect, bool transaction) noexcept
{
    switch (dialect) {
    case Dialect::Sqlite: return transaction ? kSqliteTransactionStatementBytes : kStatementBytes;
    case Dialect::MySql:
    case Dialect::IbmDb2:
    case Dialect::PostgreSql: return kStatementBytes;
    case Dialect::Oracle: return kOracleStatementBytes;
    case Dialect::MsSql:
    case Dialect::Access: break;
    }
    return 0;
}

// Builds the bytes of a script, piece by piece, in the output encoding.
// A row's bytes depend only on the row and its position among the exported
// rows, so batches of rows can be formatted independently (each formatter
// has its own scratch space) and concatenated in order:
//   head, row 0, row 1, ..., end
// Each row begins with the terminator of the row before it, since a value
// line ends in "," or ";" depending on what follows. Where statements are
// cut by size (statementBytesLimit()), the rows are formatted as one
// statement and a StatementCutter, which sees them in order, cuts it.
class ScriptFormatter {
public:
    ScriptFormatter(const ScriptOptions& options, const std::vector<std::u16string>& names,
                    const std::vector<std::u16string>& types);

    // The empty line, CREATE TABLE with its column lines, ");" and the empty
    // line (or what the table mode writes instead); with `transaction`, the
    // lines that begin it around them. Throws TableModeError.
    void appendHead(OutBuffer& out);
    // Row number `index` of the exported rows (0 for the first). Returns the
    // row's field count as forEachRawField() finds them, those beyond the
    // columns included, which the structure warnings need: counted while the
    // row is split anyway. Nothing for a record read exactly (the profiler
    // counts those, with the lines they span).
    std::optional<std::size_t> appendRow(OutBuffer& out, std::u16string_view row, std::uint64_t index);
    // The same row as valid UTF-8 (as the line reader checked it): the same
    // bytes as appendRow() on its UTF-16 text. With UTF-8 output the bytes
    // are worked on as they are, without decoding.
    std::optional<std::size_t> appendUtf8Row(OutBuffer& out, std::string_view row, std::uint64_t index);
    // Whether appendUtf8Row() works on the bytes as they are; otherwise it
    // decodes each row first, and a caller holding UTF-16 text anyway saves
    // a copy of the row by calling appendRow().
    static bool formatsUtf8Directly(const ScriptOptions& options) noexcept;
    // Ends the last value line; nothing when no row was exported. With
    // `transaction` the line that commits it follows, rows or none.
    void appendEnd(OutBuffer& out, std::uint64_t exportedRows);

    // Characters the output encoding could not hold and that were replaced.
    std::uint64_t substituted() const noexcept { return m_substituted; }
    // Column names written otherwise than given, to keep within the
    // database's length limit.
    const std::vector<RenamedColumn>& renamedColumns() const noexcept { return m_renamed; }

    // The most bytes a multi-row statement may take before the next row
    // starts another; 0 when statements are not cut by their size.
    std::size_t statementBytesLimit() const noexcept;
    // The INSERT header line, CR LF included, and the characters the output
    // encoding could not hold in it.
    std::string_view insertHeader() const noexcept { return m_insertHeader; }
    std::uint64_t insertHeaderSubstituted() const noexcept { return m_insertHeaderSubstituted; }
    // Per column, the values in a typed column that were in no chosen form
    // and went out as the file has them; empty when no column takes a form.
    const std::vector<FormMisfits>& formMisfits() const noexcept { return m_formed.misfits(); }

private:
    void appendText(OutBuffer& out, std::u16string_view text);
    bool headerDue(std::uint64_t index) const noexcept;
    char* beginRow(OutBuffer& out, std::size_t units, std::uint64_t index);
    void endRow(OutBuffer& out, char* o, std::size_t column);
    template <typename Unit>
    std::size_t writeExactItemsWithMarkers(const Unit* row, const Unit* end, char*& o, bool breaks,
                                           items::FormedItems* formed);
    template <typename Unit>
    void appendExactRow(OutBuffer& out, const Unit* row, std::size_t units, std::uint64_t index);

    ScriptOptions m_options;
    std::u16string m_tableName;                // in what the output encoding holds
    std::vector<std::u16string> m_createLines; // column lines, as text the output encoding holds
    std::uint64_t m_headSubstituted = 0;
    std::vector<RenamedColumn> m_renamed;
    std::string m_insertHeader; // encoded, CR LF included
    std::uint64_t m_insertHeaderSubstituted = 0;
    std::size_t m_columns = 0;
    std::uint64_t m_substituted = 0;
    char* m_lineStart = nullptr;             // of the row being written
    std::u16string m_scratch;                // a UTF-8 row decoded, when it cannot be worked on as it is
    std::optional<CopyRowWriter> m_copyRows; // with the copy option
    // The NULL markers, when there are any; shared by the copies of a formatter.
    std::shared_ptr<const NullMarkers> m_markers;
    items::FormedItems m_formed;
};

} // namespace quarrow
