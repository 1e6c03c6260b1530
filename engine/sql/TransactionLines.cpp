#include "engine/sql/TransactionLines.h"

namespace quarrow {

std::optional<TransactionLines> transactionLines(Dialect dialect) noexcept
{
    switch (dialect) {
    case Dialect::Sqlite:
        // SQLite, "BEGIN TRANSACTION": CREATE TABLE is transactional like any
        // other statement; outside a transaction each statement commits.
        return TransactionLines{"BEGIN TRANSACTION;\r\n", {}, "COMMIT;\r\n"};
    case Dialect::PostgreSql:
        // PostgreSQL, "BEGIN" and "COMMIT": CREATE TABLE rolls back with the
        // rest; psql commits every statement on its own until BEGIN.
        return TransactionLines{"BEGIN;\r\n", {}, "COMMIT;\r\n"};
    case Dialect::MySql:
        // MySQL, "Statements That Cause an Implicit Commit" (MariaDB the
        // same): CREATE TABLE commits what came before it, so the
        // transaction starts after it and holds the rows.
        return TransactionLines{{}, "START TRANSACTION;\r\n", "COMMIT;\r\n"};
    case Dialect::MsSql:
        // SQL Server, "BEGIN TRANSACTION": CREATE TABLE may run inside an
        // explicit transaction and rolls back with it.
        return TransactionLines{"BEGIN TRANSACTION;\r\n", {}, "COMMIT TRANSACTION;\r\n"};
    case Dialect::Oracle:
        // Oracle, "Transaction Management": a transaction begins with the
        // first DML statement, no statement begins one, and CREATE TABLE
        // commits implicitly.
        return TransactionLines{{}, {}, "COMMIT;\r\n"};
    case Dialect::IbmDb2:
        // Db2, "Units of work": one begins implicitly with the first SQL
        // statement, CREATE TABLE included, and ends at COMMIT.
        return TransactionLines{{}, {}, "COMMIT;\r\n"};
    case Dialect::Access: break;
    }
    return std::nullopt;
}

} // namespace quarrow
