#!/usr/bin/env bash
# How the size of a multi-row INSERT statement changes load time and the
# database's memory, in real SQLite, PostgreSQL and MariaDB with their durable
# defaults: the -m script of a generated ascii file, cut anew into statements
# of 100, 1,000 and 10,000 rows, of 1 MiB and 16 MiB (MariaDB: 15 MiB, under
# its 16 MiB max_allowed_packet), and as one statement.
#
#   bench/statement_sizes.sh BUILD_DIR [WORK_DIR]
#
# Environment: MB input size (default 32), SIZES the cuts to time (default
# "100 1000 10000 1M 16M all"), DATABASES (default "sqlite postgresql mysql").
# Memory: the sqlite3 shell's peak resident set; the peak of the PostgreSQL
# backend that ran the script (VmHWM); MariaDB's server resident set sampled
# every 50 ms during the load, less what it held before (MB = 10^6 bytes).

set -euo pipefail
script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$script_dir/arguments.sh"
work=${2:-$(mktemp -d /tmp/quarrow-statements.XXXXXX)}
mkdir -p "$work"
chmod 755 "$work"
mb=${MB:-32}
# shellcheck source=bench/servers.sh
source "$script_dir/servers.sh"
trap stop_servers EXIT

csv=$work/ascii-$mb.csv
[[ -f $csv ]] || "$build_dir/bench/gen_csv" ascii "$mb" "$csv"
echo "input: $csv, $(($(wc -l <"$csv") - 1)) rows, $(($(stat -c %s "$csv") / 1000000)) MB"

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

for db in ${DATABASES:-sqlite postgresql mysql}; do
    case $db in
        postgresql) rm -rf "$work/pg" && start_postgres "$work/pg" ;;
        mysql) rm -rf "$work/my" && start_mariadb "$work/my" ;;
    esac
    "$build_dir/cli/quarrow-cli" -q -H -m -d "$db" -t t -o "$work/$db-m.sql" "$csv"
    for size in ${SIZES:-100 1000 10000 1M 16M all}; do
        cut=$size
        [[ $db == mysql && $size == 16M ]] && cut=15M
        [[ $db == mysql && $size == all ]] && continue # past max_allowed_packet
        script=$work/$db-$size.sql
        python3 "$script_dir/recut_statements.py" "$work/$db-m.sql" "$script" "$cut"
        statements=$(grep -c '^INSERT INTO' "$script")
        name=load$RANDOM
        case $db in
            sqlite)
                rm -f "$work/$name.db"
                out=$(/usr/bin/time -f '%e %M' sqlite3 -bail "$work/$name.db" <"$script" 2>&1 >/dev/null | tail -1)
                secs=${out% *}
                memory=$((${out#* } / 1000))
                rm -f "$work/$name.db"
                ;;
            postgresql)
                psql_run postgres -c "CREATE DATABASE $name"
                printf '%s\n' 'SELECT pg_backend_pid() AS pid \gset' '\setenv BACKEND :pid' "\\i $script" \
                    '\! grep VmHWM /proc/$BACKEND/status' >"$work/wrap.sql"
                start=$(now)
                hwm=$(psql_run "$name" -f "$work/wrap.sql" | awk '/VmHWM/ { print $2 }')
                secs=$(seconds "$start" "$(now)")
                memory=$((hwm / 1000))
                psql_run postgres -c "DROP DATABASE $name"
                ;;
            mysql)
                mariadb_run -e "CREATE DATABASE $name"
                base=$(awk '/VmRSS/ { print $2 }' "/proc/$MY_PID/status")
                peak=$base
                start=$(now)
                mariadb_run "$name" <"$script" &
                client=$!
                while kill -0 "$client" 2>/dev/null; do
                    rss=$(awk '/VmRSS/ { print $2 }' "/proc/$MY_PID/status")
                    ((rss > peak)) && peak=$rss
                    sleep 0.05
                done
                wait "$client"
                secs=$(seconds "$start" "$(now)")
                memory=$(((peak - base) / 1000))
                mariadb_run -e "DROP DATABASE $name"
                ;;
        esac
        printf '%-10s %-6s %7s statements %8s s %7s MB\n' "$db" "$size" "$statements" "$secs" "$memory"
    done
    stop_servers
done
