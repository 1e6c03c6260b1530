# Throwaway database servers for the load benches, sourced by them. Each
# keeps its database's durable defaults (PostgreSQL's fsync and synchronous
# commit, InnoDB's log flushed at every commit): the figures are what a user
# with a stock server sees. Only a unix socket in the server's own folder,
# no TCP. As root the servers run as the account `nobody`.
#
#   start_postgres DIR   sets PG_SOCKET; psql_run DB ARGS... runs psql there
#   start_mariadb DIR    sets MY_SOCKET; mariadb_run ARGS... runs the client
#   stop_servers         stops what was started (also on exit)

PG_PID=
MY_PID=

as_service() {
    if [[ $EUID -eq 0 ]]; then
        exec_as=(setpriv --reuid=nobody --regid="$(id -gn nobody)" --clear-groups)
    else
        exec_as=()
    fi
    "${exec_as[@]}" "$@"
}

# Starts a server in the background as the service account; SERVER_PID is
# the server's own process, not a shell around it, so that a signal reaches it.
start_service() {
    local log=$1
    shift
    if [[ $EUID -eq 0 ]]; then
        setpriv --reuid=nobody --regid="$(id -gn nobody)" --clear-groups "$@" >"$log" 2>&1 &
    else
        "$@" >"$log" 2>&1 &
    fi
    SERVER_PID=$!
}

service_dir() {
    mkdir -p "$1"
    if [[ $EUID -eq 0 ]]; then
        chown nobody "$1"
    fi
}

postgres_bin() {
    local best=
    for dir in /usr/lib/postgresql/*/bin; do
        [[ -x $dir/initdb ]] && best=$dir
    done
    [[ -n $best ]] || { echo "no PostgreSQL server under /usr/lib/postgresql" >&2; return 1; }
    echo "$best"
}

start_postgres() {
    local dir=$1 bin
    bin=$(postgres_bin)
    service_dir "$dir"
    as_service "$bin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C >"$dir/initdb.log" 2>&1
    start_service "$dir/server.log" "$bin/postgres" -D "$dir/data" -k "$dir" -p 5432 -c listen_addresses=
    PG_PID=$SERVER_PID
    PG_SOCKET=$dir
    for _ in $(seq 100); do
        psql_run postgres -c 'SELECT 1' >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    echo "PostgreSQL did not start; see $dir/server.log" >&2
    return 1
}

psql_run() {
    local db=$1
    shift
    PGCLIENTENCODING=UTF8 psql -X -q -v ON_ERROR_STOP=1 -h "$PG_SOCKET" -p 5432 -U postgres -d "$db" "$@"
}

start_mariadb() {
    local dir=$1
    service_dir "$dir"
    as_service mariadb-install-db --no-defaults --datadir="$dir/data" --auth-root-authentication-method=normal \
        --skip-test-db >"$dir/install.log" 2>&1
    start_service "$dir/server.log" mariadbd --no-defaults --datadir="$dir/data" --socket="$dir/sock" \
        --pid-file="$dir/mariadbd.pid" --tmpdir="$dir" --skip-networking --character-set-server=utf8mb4 \
        --collation-server=utf8mb4_general_ci --local-infile=1
    MY_PID=$SERVER_PID
    MY_SOCKET=$dir/sock
    for _ in $(seq 150); do
        mariadb_run -e 'SELECT 1' >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    echo "MariaDB did not start; see $dir/server.log" >&2
    return 1
}

mariadb_run() {
    mariadb --no-defaults --socket="$MY_SOCKET" --user=root --default-character-set=utf8mb4 "$@"
}

stop_servers() {
    if [[ -n $PG_PID ]]; then
        kill -INT "$PG_PID" 2>/dev/null || true
        wait "$PG_PID" 2>/dev/null || true
        PG_PID=
    fi
    if [[ -n $MY_PID ]]; then
        kill -TERM "$MY_PID" 2>/dev/null || true
        wait "$MY_PID" 2>/dev/null || true
        MY_PID=
    fi
}
