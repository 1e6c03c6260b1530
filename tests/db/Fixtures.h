#pragma once

#include "engine/text/TextEncoding.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow::dbtest {

// CSV files made to hurt, generated together with what each cell must hold
// once loaded: the value that field clean-up gives (every double quote
// dropped, characters of code 32 or less trimmed from both ends). Intended
// values are chosen first and the CSV text is written to give them, so the
// expectations do not come from the code under test.

// What --suggest-types must make of a column, where the database has such a type.
enum class Typed {
    Text,        // a trap keeps it text
    Integer,     // within 64 bits
    WideInteger, // past 64 bits: an exact decimal where the database has one
    Decimal,
    Date,
    DateTime,
    Sparse, // integers and empty cells: typed only when they are written as NULL
};

struct FixtureColumn {
    std::string csv;  // the header field as the file holds it
    std::string name; // the column name after clean-up
    // The name PostgreSQL holds: a bare name is folded to lower case, and in
    // an ANSI script it is the name as Windows-1252 holds it.
    std::string postgresName;
    Typed typed = Typed::Text;
};

struct FixtureRow {
    std::size_t line = 0;            // 1-based line of the file
    std::vector<std::string> values; // every column's value after clean-up; "" is empty
    // The values as the file has them, where they differ from what a typed
    // column holds (value forms); empty: the same as `values`.
    std::vector<std::string> fileValues{};
};

struct Fixture {
    std::string title;
    std::vector<FixtureColumn> columns;
    std::vector<FixtureRow> rows; // in file order, which is also the order of the first column
    std::string csv;              // the file's bytes
    // The converter's -e: how the file is read (a byte-order mark means
    // UTF-8 either way) and in what the script is written.
    TextEncoding encoding = TextEncoding::Utf8;
    // For the mysql dialect: a type-list file's lines (empty: the default types).
    std::vector<std::string> mysqlTypes;
    // SQL that MariaDB runs before the script.
    std::string mariadbSetup;
    // The converter warns about the file on stderr (else it must say nothing).
    bool converterWarns = false;
    // Converted with --suggest-types; the columns say what each must become.
    bool suggestTypes = false;
    // Read with --rfc4180: the values are as the file holds them, untrimmed.
    bool exactQuoting = false;
    // More converter options (the value forms and the separator they need).
    std::vector<std::string> converterArgs;
};

// A field as written in a CSV file and the value it must give.
struct LiteralCell {
    std::string_view csv;
    std::string_view value;
};
// Hand-written fields whose values were worked out by hand.
std::span<const LiteralCell> literalCells();

// Seed of the random rows: QUARROW_TEST_SEED when set, else a fresh one.
std::uint64_t fixtureSeed();

// 23 columns with awkward names and more than 5400 rows: the literal cells
// in every column and in every way of writing them, the same values in
// generated spellings, a few hundred random rows from fixtureSeed(), a short
// row and one with extra fields.
const Fixture& nastyFixture();
// 500 columns.
const Fixture& wideFixture();
// Values of 1 MiB, ASCII and multi-byte, after a UTF-8 byte-order mark.
const Fixture& longValueFixture();
// A UTF-8 file with a byte-order mark for an ANSI script: names and values
// full of characters that Windows-1252 lacks (look-alikes of apostrophes,
// backslashes, grave accents, brackets, parentheses and semicolons among
// them) next to ones it holds and hostile ASCII. The values are the file's;
// a database holds them with every character Windows-1252 lacks replaced.
const Fixture& ansiFixture();
// A column per trap of typing from the values (leading zeros, a plus sign,
// a decimal comma, an exponent, group separators, a late 12a, empty cells,
// integers past 64 bits, an invalid date) beside columns that type cleanly.
const Fixture& typedFixture();
// Read exactly: values with CR LF, LF and CR inside, doubled and stray quotes,
// blanks at both ends; header names with blanks around them.
const Fixture& exactQuotingFixture();
// Read exactly and typed from the values written: blanks inside quotes and
// around bare values, doubled and stray quotes, line breaks inside quotes,
// text after a closing quote, beside columns of quoted numbers and dates.
const Fixture& exactTypedFixture();
// Read exactly: values with 20,000 line breaks of each kind, LF, CR and
// CR LF, and one of them all mixed.
const Fixture& manyBreaksFixture();
// Read exactly after two lines above the header, with comment lines among
// the rows: none of them reaches the table.
const Fixture& skippedLinesFixture();

// Numbers and dates in a German export's forms, read into typed columns:
// `values` are what the file means, `fileValues` what it writes.
const Fixture& valueFormsFixture();

} // namespace quarrow::dbtest
