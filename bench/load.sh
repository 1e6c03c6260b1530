#!/usr/bin/env bash
# Loads quarrow-cli's scripts into real SQLite, PostgreSQL and MariaDB, with
# each database's own client and durable defaults, next to the database's own
# CSV import of the same file, and prints the times side by side:
#
#   mode                SQLite                  PostgreSQL             MariaDB
#   default script      sqlite3 -bail < s.sql   psql -f s.sql          mariadb < s.sql
#   -m, --transaction, --transaction -m, --copy (PostgreSQL only)
#   native import       .import --csv           \copy ... (FORMAT csv) LOAD DATA LOCAL INFILE
#
#   bench/load.sh BUILD_DIR [WORK_DIR]
#
# BUILD_DIR  a Release build tree holding cli/quarrow-cli and bench/gen_csv
# WORK_DIR   inputs, scripts and servers (default: a new folder under /tmp);
#            the ascii input is generated once and reused
#
# Environment:
#   MB       size of the generated ascii file (default 100)
#   ROWS     the rows of the small slice, taken from its start (default 20000)
#   SIZES    which inputs to time: "slice full" (default both)
#   MODES    which forms to time, a comma-separated list of the modes above
#            (default all: "default script,-m,--transaction,--transaction -m,
#            --copy,native import"); e.g. MB=1000 SIZES=full
#            MODES="-m,--transaction -m,--copy,native import" for the 1 GB file
#   TIMEOUT  seconds after which a load is stopped and shown as "> N s"
#            (default 0: none)
#
# Only the load is timed (wall seconds, to the millisecond), not the
# conversion (its output is synced to disk before the load); every load goes into a new database (SQLite: a new file) with
# a new table. The ratio after each time is to the native import of the same
# database and input. The servers are started by bench/servers.sh.

set -euo pipefail
script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$script_dir/arguments.sh"
work=${2:-$(mktemp -d /tmp/quarrow-load.XXXXXX)}
mkdir -p "$work"
chmod 755 "$work"
quarrow=$build_dir/cli/quarrow-cli
mb=${MB:-100}
slice_rows=${ROWS:-20000}
timeout_s=${TIMEOUT:-0}
for program in sqlite3 psql mariadb mariadbd mariadb-install-db; do
    command -v "$program" >/dev/null || PATH=$PATH:/usr/sbin command -v "$program" >/dev/null \
        || { echo "load.sh: $program not found (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
# shellcheck source=bench/servers.sh
source "$script_dir/servers.sh"
trap stop_servers EXIT
# The loads run under timeout(1) through bash -c, which must see these.
export -f psql_run mariadb_run
export PG_SOCKET MY_SOCKET

full=$work/ascii-$mb.csv
[[ -f $full ]] || "$build_dir/bench/gen_csv" ascii "$mb" "$full" >&2
slice=$work/ascii-$slice_rows-rows.csv
head -n $((slice_rows + 1)) "$full" >"$slice"
chmod 644 "$full" "$slice"

rm -rf "$work/pg" "$work/my" # the servers start afresh on every run
start_postgres "$work/pg"
start_mariadb "$work/my"
export PG_SOCKET MY_SOCKET

all_modes="default script,-m,--transaction,--transaction -m,--copy,native import"
IFS=, read -r -a modes <<<"${MODES:-$all_modes}"
for mode in "${modes[@]}"; do
    [[ ,$all_modes, == *",$mode,"* ]] || { echo "load.sh: MODES holds '$mode'; the modes are $all_modes" >&2; exit 2; }
done

# Runs "$@" with the time limit; prints the wall seconds, or "> N" when it was stopped.
timed() {
    local start end status=0
    start=$(date +%s.%N)
    if ((timeout_s > 0)); then
        timeout "$timeout_s" bash -c '"$@"' bash "$@" >/dev/null 2>"$work/last.err" || status=$?
    else
        "$@" >/dev/null 2>"$work/last.err" || status=$?
    fi
    end=$(date +%s.%N)
    if ((status == 124)); then
        echo "> $timeout_s"
    elif ((status != 0)); then
        echo "load failed: $* (see $work/last.err)" >&2
        cat "$work/last.err" >&2
        echo failed
    else
        awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
    fi
}

# The CREATE TABLE of a script, for the native imports' table.
create_table() { sed -n '/^CREATE TABLE/,/^);/p' "$1" | tr -d '\r'; }

load_sqlite() { # MODE SCRIPT CSV
    local db=$work/load.sqlite
    rm -f "$db"
    if [[ $1 == "native import" ]]; then
        timed sqlite3 -bail "$db" ".import --csv $3 t"
    else
        timed sh -c 'sqlite3 -bail "$1" <"$2"' sh "$db" "$2"
    fi
    rm -f "$db"
}

load_postgres() {
    local name=load$RANDOM$RANDOM
    psql_run postgres -c "CREATE DATABASE $name" >/dev/null
    if [[ $1 == "native import" ]]; then
        create_table "$2" | psql_run "$name" >/dev/null
        timed psql_run "$name" -c "\\copy t FROM '$3' WITH (FORMAT csv, HEADER true)"
    else
        timed psql_run "$name" -f "$2"
    fi
    psql_run postgres -c "DROP DATABASE $name" >/dev/null
}

load_mariadb() {
    local name=load$RANDOM$RANDOM
    mariadb_run -e "CREATE DATABASE $name"
    if [[ $1 == "native import" ]]; then
        create_table "$2" | mariadb_run "$name"
        timed mariadb_run --local-infile=1 "$name" -e "LOAD DATA LOCAL INFILE '$3' INTO TABLE t CHARACTER SET utf8mb4
            FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\"' LINES TERMINATED BY '\\r\\n' IGNORE 1 LINES"
    else
        timed sh -c "mariadb --no-defaults --socket='$MY_SOCKET' --user=root --default-character-set=utf8mb4 \"\$1\" <\"\$2\"" \
            sh "$name" "$2"
    fi
    mariadb_run -e "DROP DATABASE $name"
}

ratio() { # TIME NATIVE
    awk -v t="$1" -v n="$2" 'BEGIN { if (t ~ /^[0-9.]+$/ && n + 0 > 0) printf " (%.1fx)", t / n }'
}

for size in ${SIZES:-slice full}; do
    csv=$slice
    [[ $size == full ]] && csv=$full
    echo
    echo "$(basename "$csv"): $(($(wc -l <"$csv") - 1)) rows, $(stat -c %s "$csv") bytes"
    declare -A seconds=()
    for mode in "${modes[@]}"; do
        for db in sqlite postgresql mysql; do
            [[ $mode == --copy && $db != postgresql ]] && continue
            script=$work/$db.sql
            args=()
            case $mode in
                "default script" | "native import") ;;
                *) read -r -a args <<<"$mode" ;;
            esac
            "$quarrow" -q -H -d "$db" -t t "${args[@]}" -o "$script" "$csv"
            # The script's pages go to disk now, not during the timed load,
            # where the database's own flushes would wait for them too.
            sync
            case $db in
                sqlite) seconds[$mode,$db]=$(load_sqlite "$mode" "$script" "$csv") ;;
                postgresql) seconds[$mode,$db]=$(load_postgres "$mode" "$script" "$csv") ;;
                mysql) seconds[$mode,$db]=$(load_mariadb "$mode" "$script" "$csv") ;;
            esac
        done
    done
    printf '| %-18s | %-18s | %-18s | %-18s |\n' "load ($size)" "SQLite" "PostgreSQL" "MariaDB"
    printf '|%s|%s|%s|%s|\n' "---" "---" "---" "---"
    for mode in "${modes[@]}"; do
        line=$(printf '| %-18s ' "$mode")
        for db in sqlite postgresql mysql; do
            t=${seconds[$mode,$db]:-}
            if [[ -z $t ]]; then
                line+=$(printf '| %-18s ' "")
            else
                shown="$t s$(ratio "${t#> }" "${seconds[native import,$db]}")"
                [[ $t == ">"* ]] && shown=${shown/(/(> }
                line+=$(printf '| %-18s ' "$shown")
            fi
        done
        echo "$line|"
    done
    unset seconds
done
