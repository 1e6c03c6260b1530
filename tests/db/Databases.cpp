#include "tests/db/Databases.h"

#include <csignal>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <thread>

namespace quarrow::dbtest {

namespace {

using namespace std::chrono_literals;

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

std::string enclose(const std::string& text, char quote)
{
    std::string out(1, quote);
    for (char c : text) {
        out += c;
        if (c == quote)
            out += c;
    }
    out += quote;
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

Cell parseMark(std::string_view mark)
{
    if (mark == "N")
        return std::nullopt;
    if (mark.empty() || mark.front() != 'V' || mark.size() % 2 == 0)
        throw std::runtime_error("unexpected cell in the client's output: " + std::string(mark.substr(0, 100)));
    std::string bytes;
    bytes.reserve(mark.size() / 2);
    for (std::size_t i = 1; i < mark.size(); i += 2) {
        const int high = hexDigit(mark[i]);
        const int low = hexDigit(mark[i + 1]);
        if (high < 0 || low < 0)
            throw std::runtime_error("unexpected cell in the client's output: " + std::string(mark.substr(0, 100)));
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

std::filesystem::path requireProgram(std::string_view name, const std::vector<std::filesystem::path>& extra = {})
{
    auto path = findProgram(name, extra);
    if (path.empty())
        throw std::runtime_error("`" + std::string(name)
                                 + "` was not found; scripts/install-deps.sh installs the database packages");
    return path;
}

void requireSuccess(const Command& command, const Outcome& outcome, const std::string& what)
{
    if (!outcome.succeeded())
        throw std::runtime_error(what + " failed\n" + describe(command, outcome));
}

// Polls `probe` until it succeeds; fails early when the server has ended.
void waitUntilReady(ChildProcess& server, const std::filesystem::path& log, const Command& probe,
                    const std::filesystem::path& scratch, const std::string& what)
{
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    Outcome last;
    while (std::chrono::steady_clock::now() < deadline) {
        if (server.ended())
            throw std::runtime_error(what + " ended while starting; its log:\n" + readAll(log));
        last = run(probe, scratch, 10s);
        if (last.succeeded())
            return;
        std::this_thread::sleep_for(100ms);
    }
    throw std::runtime_error(what + " did not accept connections within a minute\n" + describe(probe, last)
                             + "its log:\n" + readAll(log));
}

class WorkFolder {
public:
    explicit WorkFolder(const std::filesystem::path& folder) : m_folder(folder)
    {
        std::filesystem::create_directories(scratch());
    }
    std::filesystem::path scratch() const { return m_folder / "scratch"; }
    std::filesystem::path newFile(const std::string& stem, const std::string& extension)
    {
        return scratch() / (stem + std::to_string(m_counter++) + extension);
    }
    std::string newName(const std::string& stem) { return stem + std::to_string(m_counter++); }
    const std::filesystem::path& folder() const { return m_folder; }

private:
    std::filesystem::path m_folder;
    unsigned m_counter = 0;
};

// ---------------------------------------------------------------- SQLite

class Sqlite final : public Database {
public:
    explicit Sqlite(const std::filesystem::path& folder) : m_work(folder), m_shell(requireProgram("sqlite3")) {}

    std::string dialect() const override { return "sqlite"; }

    std::string create() override { return m_work.newFile("db", ".sqlite").string(); }

    // The shell passes the script's bytes through: an ANSI script's text is
    // stored in Windows-1252, to be read back as bytes.
    Outcome load(const std::string& database, const std::filesystem::path& script, const std::string& before,
                 TextEncoding) override
    {
        Command c = shell(database);
        if (!before.empty())
            c.args.insert(c.args.end() - 1, {"-cmd", before});
        c.input = script;
        return run(c, m_work.scratch());
    }

protected:
    Outcome query(const std::string& database, const std::string& sql) override
    {
        Command c = shell(database);
        c.args.insert(c.args.end() - 1, {"-readonly", "-noheader", "-list", "-separator", "|"});
        c.input = m_work.newFile("query", ".sql");
        writeAll(c.input, sql);
        return run(c, m_work.scratch());
    }

    std::string quoteName(const std::string& name) const override { return enclose(name, '"'); }
    std::string cellMark(const std::string& column) const override
    {
        return "CASE WHEN " + column + " IS NULL THEN 'N' ELSE 'V' || hex(" + column + ") END";
    }
    std::string columnNamesQuery(const std::string& table) const override
    {
        return "SELECT 'V' || hex(name) FROM pragma_table_info(" + enclose(table, '\'') + ") ORDER BY cid;\n";
    }

private:
    // -bail stops at the first error with a failing exit status; -init
    // /dev/null keeps a user's ~/.sqliterc out.
    Command shell(const std::string& database) const
    {
        Command c;
        c.program = m_shell;
        c.args = {"-bail", "-batch", "-init", "/dev/null", database};
        return c;
    }

    WorkFolder m_work;
    std::filesystem::path m_shell;
};

// ---------------------------------------------------------------- PostgreSQL

// The newest server under Debian's versioned folders, else one on PATH.
std::filesystem::path postgresBinFolder()
{
    std::filesystem::path best;
    int bestVersion = -1;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        const auto bin = entry.path() / "bin";
        const std::string version = entry.path().filename().string();
        if (!std::regex_match(version, std::regex("[0-9]+")) || !std::filesystem::exists(bin / "initdb")
            || !std::filesystem::exists(bin / "postgres"))
            continue;
        if (std::stoi(version) > bestVersion) {
            bestVersion = std::stoi(version);
            best = bin;
        }
    }
    if (!best.empty())
        return best;
    return requireProgram("initdb").parent_path();
}

class PostgreSql final : public Database {
public:
    explicit PostgreSql(const std::filesystem::path& folder)
        : m_work(folder), m_bin(postgresBinFolder()), m_psql(requireProgram("psql", {m_bin}))
    {
        const auto home = folder / "pg";
        ServiceAccount::get().adopt(home);
        m_socketFolder = home.string();

        Command initdb;
        initdb.program = m_bin / "initdb";
        initdb.args = {
            "-D", (home / "data").string(), "-U", "postgres", "-A", "trust", "-E", "UTF8", "--locale=C", "--no-sync"};
        initdb.workDir = home;
        initdb.asService = true;
        requireSuccess(initdb, run(initdb, m_work.scratch(), 120s), "initdb");

        // Only the unix socket in our own folder: nothing else on the machine can
        // reach the server and parallel test runs cannot collide. Durability is
        // of no use for a throwaway database.
        Command server;
        server.program = m_bin / "postgres";
        server.args = {"-D", (home / "data").string(), "-k", m_socketFolder, "-p", "5432",
                       "-c", "listen_addresses=",      "-c", "fsync=off",    "-c", "synchronous_commit=off",
                       "-c", "full_page_writes=off"};
        server.workDir = home;
        server.asService = true;
        const auto log = home / "server.log";
        // SIGINT asks PostgreSQL for a fast shutdown.
        m_server = std::make_unique<ChildProcess>(server, log, SIGINT, 30s);
        waitUntilReady(*m_server, log, psql("postgres", {"-c", "SELECT 1"}), m_work.scratch(), "PostgreSQL");
    }

    std::string dialect() const override { return "postgresql"; }

    std::string create() override
    {
        const std::string name = m_work.newName("roundtrip");
        const Command c = psql("postgres", {"-c", "CREATE DATABASE " + name + " TEMPLATE template0 ENCODING 'UTF8'"});
        requireSuccess(c, run(c, m_work.scratch()), "CREATE DATABASE");
        return name;
    }

    Outcome load(const std::string& database, const std::filesystem::path& script, const std::string& before,
                 TextEncoding encoding) override
    {
        std::vector<std::string> args;
        if (!before.empty())
            args = {"-c", before};
        args.insert(args.end(), {"-f", script.string()});
        Command c = psql(database, args);
        if (encoding == TextEncoding::Ansi)
            c.env = {"PGCLIENTENCODING=WIN1252"};
        return run(c, m_work.scratch());
    }

    Outcome loadFromStandardInput(const std::string& database, const std::filesystem::path& script,
                                  const std::string& before, TextEncoding encoding) override
    {
        std::vector<std::string> args;
        if (!before.empty())
            args = {"-c", before, "-f", "-"}; // -c alone would leave standard input unread
        Command c = psql(database, args);
        c.input = script;
        if (encoding == TextEncoding::Ansi)
            c.env = {"PGCLIENTENCODING=WIN1252"};
        return run(c, m_work.scratch());
    }

protected:
    Outcome query(const std::string& database, const std::string& sql) override
    {
        const auto file = m_work.newFile("query", ".sql");
        writeAll(file, sql);
        return run(psql(database, {"-A", "-t", "-F", "|", "-f", file.string()}), m_work.scratch());
    }

    std::string quoteName(const std::string& name) const override { return enclose(name, '"'); }
    std::string cellMark(const std::string& column) const override
    {
        return "CASE WHEN " + column + " IS NULL THEN 'N' ELSE 'V' || encode(convert_to(" + column
               + "::text, 'UTF8'), 'hex') END";
    }
    std::string columnNamesQuery(const std::string& table) const override
    {
        return "SELECT 'V' || encode(convert_to(attname::text, 'UTF8'), 'hex') FROM pg_attribute WHERE attrelid = "
               + enclose(enclose(table, '"'), '\'')
               + "::regclass AND attnum > 0 AND NOT attisdropped ORDER BY attnum;\n";
    }

private:
    // -X keeps a user's ~/.psqlrc out; ON_ERROR_STOP makes an error stop the
    // script with exit status 3. The scripts are UTF-8 whatever the locale.
    Command psql(const std::string& database, const std::vector<std::string>& args) const
    {
        Command c;
        c.program = m_psql;
        c.args = {"-X", "-q",   "-v", "ON_ERROR_STOP=1", "-h", m_socketFolder,
                  "-p", "5432", "-U", "postgres",        "-d", database};
        c.args.insert(c.args.end(), args.begin(), args.end());
        c.env = {"PGCLIENTENCODING=UTF8"};
        return c;
    }

    WorkFolder m_work;
    std::filesystem::path m_bin;
    std::filesystem::path m_psql;
    std::string m_socketFolder;
    std::unique_ptr<ChildProcess> m_server;
};

// ---------------------------------------------------------------- MariaDB

class MariaDb final : public Database {
public:
    explicit MariaDb(const std::filesystem::path& folder)
        : m_work(folder), m_client(findProgram("mariadb").empty() ? requireProgram("mysql") : findProgram("mariadb"))
    {
        const std::vector<std::filesystem::path> sbin = {"/usr/sbin", "/usr/local/sbin"};
        const auto home = folder / "my";
        ServiceAccount::get().adopt(home);
        m_socket = (home / "sock").string();

        Command install;
        install.program = requireProgram("mariadb-install-db", sbin);
        install.args = {"--no-defaults", "--datadir=" + (home / "data").string(),
                        "--auth-root-authentication-method=normal", "--skip-test-db"};
        install.workDir = home;
        install.asService = true;
        requireSuccess(install, run(install, m_work.scratch(), 120s), "mariadb-install-db");

        // No networking: only the socket in our own folder. utf8mb4 is what
        // Debian's packaged server is configured with (and needed for
        // characters outside the Basic Multilingual Plane).
        Command server;
        server.program = requireProgram("mariadbd", sbin);
        server.args = {"--no-defaults",
                       "--datadir=" + (home / "data").string(),
                       "--socket=" + m_socket,
                       "--pid-file=" + (home / "mariadbd.pid").string(),
                       "--tmpdir=" + home.string(),
                       "--skip-networking",
                       "--character-set-server=utf8mb4",
                       "--collation-server=utf8mb4_general_ci",
                       "--innodb-flush-log-at-trx-commit=0"};
        server.workDir = home;
        server.asService = true;
        const auto log = home / "server.log";
        m_server = std::make_unique<ChildProcess>(server, log, SIGTERM, 60s);
        Command probe = client("");
        probe.args.insert(probe.args.end(), {"-e", "SELECT 1"});
        waitUntilReady(*m_server, log, probe, m_work.scratch(), "MariaDB");
    }

    std::string dialect() const override { return "mysql"; }

    std::string create() override
    {
        const std::string name = m_work.newName("roundtrip");
        Command c = client("");
        c.args.insert(c.args.end(), {"-e", "CREATE DATABASE " + name});
        requireSuccess(c, run(c, m_work.scratch()), "CREATE DATABASE");
        return name;
    }

    // --show-warnings makes a silently adjusted value visible on the output.
    // MariaDB's latin1 is Windows-1252.
    Outcome load(const std::string& database, const std::filesystem::path& script, const std::string& before,
                 TextEncoding encoding) override
    {
        Command c = client(database, encoding == TextEncoding::Ansi ? "latin1" : "utf8mb4");
        c.args.insert(c.args.begin() + 1, "--show-warnings");
        if (!before.empty())
            c.args.insert(c.args.begin() + 1, "--init-command=" + before);
        c.input = script;
        return run(c, m_work.scratch());
    }

protected:
    Outcome query(const std::string& database, const std::string& sql) override
    {
        Command c = client(database);
        c.args.insert(c.args.begin() + 1, "--skip-column-names");
        c.input = m_work.newFile("query", ".sql");
        writeAll(c.input, sql);
        return run(c, m_work.scratch());
    }

    std::string quoteName(const std::string& name) const override { return enclose(name, '`'); }
    std::string cellMark(const std::string& column) const override
    {
        // HEX() of a number is the number in hexadecimal; CONCAT() makes it its text.
        return "IF(" + column + " IS NULL, 'N', CONCAT('V', HEX(CONCAT(" + column + "))))";
    }
    std::string columnNamesQuery(const std::string& table) const override
    {
        return "SELECT CONCAT('V', HEX(COLUMN_NAME)) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() "
               "AND TABLE_NAME = "
               + enclose(table, '\'') + " ORDER BY ORDINAL_POSITION;\n";
    }

private:
    // --no-defaults keeps every option file out (the first option, as the client requires).
    Command client(const std::string& database, const std::string& characterSet = "utf8mb4") const
    {
        Command c;
        c.program = m_client;
        c.args = {"--no-defaults", "--socket=" + m_socket, "--user=root", "--default-character-set=" + characterSet,
                  "--batch"};
        if (!database.empty())
            c.args.push_back(database);
        return c;
    }

    WorkFolder m_work;
    std::filesystem::path m_client;
    std::string m_socket;
    std::unique_ptr<ChildProcess> m_server;
};

} // namespace

std::vector<CellRow> Database::cells(const std::string& database, const std::string& sql)
{
    const Outcome outcome = query(database, sql);
    if (!outcome.succeeded() || !outcome.err.empty())
        throw std::runtime_error("the query failed\n" + sql.substr(0, 2000) + "\n" + describe(Command{}, outcome));
    std::vector<CellRow> rows;
    std::string_view rest(outcome.out);
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        CellRow row;
        while (true) {
            const auto cut = line.find_first_of("|\t");
            row.push_back(parseMark(line.substr(0, cut)));
            if (cut == std::string_view::npos)
                break;
            line.remove_prefix(cut + 1);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> Database::columnNames(const std::string& database, const std::string& table)
{
    std::vector<std::string> names;
    for (auto& row : cells(database, columnNamesQuery(table))) {
        if (row.size() != 1 || !row[0])
            throw std::runtime_error("unexpected column name row");
        names.push_back(std::move(*row[0]));
    }
    return names;
}

std::vector<CellRow> Database::rows(const std::string& database, const std::string& table,
                                    const std::vector<std::string>& columns)
{
    if (columns.empty())
        throw std::runtime_error("no columns to read");
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            sql += ",\n";
        sql += cellMark(quoteName(columns[i]));
    }
    sql += "\nFROM " + quoteName(table) + " ORDER BY " + quoteName(columns.front()) + ";\n";
    return cells(database, sql);
}

std::unique_ptr<Database> makeSqlite(const std::filesystem::path& folder)
{
    return std::make_unique<Sqlite>(folder);
}

std::unique_ptr<Database> startPostgreSql(const std::filesystem::path& folder)
{
    return std::make_unique<PostgreSql>(folder);
}

std::unique_ptr<Database> startMariaDb(const std::filesystem::path& folder)
{
    return std::make_unique<MariaDb>(folder);
}

} // namespace quarrow::dbtest
