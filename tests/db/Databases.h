#pragma once

#include "tests/db/Process.h"

#include "engine/text/TextEncoding.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quarrow::dbtest {

// One cell as the database gives it back: its bytes, or nothing for NULL.
using Cell = std::optional<std::string>;
using CellRow = std::vector<Cell>;

// A database the scripts are loaded into, driven through its own
// command-line client exactly as a user would load a script.
class Database {
public:
    virtual ~Database() = default;

    // The converter's identifier of the dialect this database takes.
    virtual std::string dialect() const = 0;
    // A new, empty database; returns what names it for the calls below.
    virtual std::string create() = 0;
    // Feeds the script to the client; `before` is SQL run first on the same
    // connection. The client reads the script in `encoding`: ANSI is
    // Windows-1252 (PostgreSQL's WIN1252, MariaDB's latin1; the SQLite shell
    // stores the bytes as they are).
    virtual Outcome load(const std::string& database, const std::filesystem::path& script,
                         const std::string& before = {}, TextEncoding encoding = TextEncoding::Utf8) = 0;
    // The same with the script on the client's standard input (psql <
    // script), where the client reads it otherwise than a named file.
    virtual Outcome loadFromStandardInput(const std::string& database, const std::filesystem::path& script,
                                          const std::string& before = {}, TextEncoding encoding = TextEncoding::Utf8)
    {
        return load(database, script, before, encoding);
    }

    // The column names of `table`, in column order. Throws when the client fails.
    std::vector<std::string> columnNames(const std::string& database, const std::string& table);
    // Every row of `table` with the given columns in that order, sorted by
    // the first of them. Throws when the client fails.
    std::vector<CellRow> rows(const std::string& database, const std::string& table,
                              const std::vector<std::string>& columns);

    // Runs a query whose every column is a cell mark: 'N' for NULL, or 'V'
    // followed by the value's bytes in hexadecimal. Throws when the client fails.
    std::vector<CellRow> cells(const std::string& database, const std::string& sql);

protected:
    // Runs the query through the client: rows one per line, columns
    // separated by '|' or a tab.
    virtual Outcome query(const std::string& database, const std::string& sql) = 0;
    virtual std::string quoteName(const std::string& name) const = 0;
    virtual std::string cellMark(const std::string& quotedColumn) const = 0;
    virtual std::string columnNamesQuery(const std::string& table) const = 0;
};

// SQLite database files loaded by the sqlite3 shell.
std::unique_ptr<Database> makeSqlite(const std::filesystem::path& folder);
// A PostgreSQL server of its own (initdb in `folder`, a unix socket there,
// no TCP), loaded by psql. Stopped when the object goes.
std::unique_ptr<Database> startPostgreSql(const std::filesystem::path& folder);
// A MariaDB server of its own (mariadb-install-db in `folder`, a unix socket
// there, no networking), loaded by the mariadb client. Stopped when the object goes.
std::unique_ptr<Database> startMariaDb(const std::filesystem::path& folder);

} // namespace quarrow::dbtest
