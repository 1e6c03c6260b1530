#!/usr/bin/env bash
# Which form of a one-transaction script loads fastest into SQLite through
# the sqlite3 shell, next to the shell's own `.import --csv` of the same
# file: quarrow-cli's --transaction script (one row per INSERT) and its
# --transaction -m script cut anew (bench/recut_statements.py) into
# statements of so many rows or bytes, with every row on a line of its own
# or every statement on one line.
#
#   bench/sqlite_forms.sh BUILD_DIR [WORK_DIR]
#
# BUILD_DIR  a Release build tree holding cli/quarrow-cli and bench/gen_csv
# WORK_DIR   input, scripts and databases (default: a new folder under /tmp);
#            the input is generated once and reused
#
# Environment:
#   MB      size of the generated ascii file (default 100)
#   ROUNDS  rounds (default 3); every round loads .import and then every form,
#           so drift touches all alike
#   FORMS   the forms (default below): "1" the --transaction script; ROWS or
#           BYTES{K,M} a cut with a row a line; the same with ":line" for a
#           statement a line; ":untyped" a cut whose CREATE TABLE columns
#           have no type
#
# Prints per form the median wall and CPU (user + sys) seconds of the
# sqlite3 process, and the median of the rounds' ratios to .import.

set -euo pipefail
script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$script_dir/arguments.sh"
work=${2:-$(mktemp -d /tmp/quarrow-sqlite-forms.XXXXXX)}
mkdir -p "$work"
mb=${MB:-100}
rounds=${ROUNDS:-3}
forms=(${FORMS:-1 10 100 500 1000 16K 64K 256K 1M 100:line 1000:line 64K:line 1M:line 1M:untyped})

csv=$work/ascii-$mb.csv
[[ -f $csv ]] || "$build_dir/bench/gen_csv" ascii "$mb" "$csv" >&2
quarrow=$build_dir/cli/quarrow-cli
"$quarrow" -q -H -d sqlite -t t --transaction -o "$work/form-1.sql" "$csv"
"$quarrow" -q -H -d sqlite -t t --transaction -m -o "$work/m.sql" "$csv"
for form in "${forms[@]}"; do
    [[ $form == 1 ]] && continue
    cut=${form%%:*}
    layout=rows
    [[ $form == *:line ]] && layout=line
    python3 "$script_dir/recut_statements.py" "$work/m.sql" "$work/form-$form.sql" "$cut" "$layout"
    if [[ $form == *:untyped ]]; then
        sed -i '/^CREATE TABLE/,/^);/s/ text\(,\{0,1\}\r\)$/\1/' "$work/form-$form.sql"
    fi
done
echo "$(basename "$csv"): $(($(wc -l <"$csv") - 1)) rows, $(stat -c %s "$csv") bytes; sqlite3 $(sqlite3 --version | cut -d' ' -f1)"

# run NAME COMMAND...: appends "wall cpu" of the run to $work/NAME.times
run() {
    local name=$1
    shift
    rm -f "$work/load.db"
    /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >/dev/null
    rm -f "$work/load.db"
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$work/time" >>"$work/$name.times"
}

rm -f "$work"/*.times
for ((round = 1; round <= rounds; ++round)); do
    echo "round $round/$rounds" >&2
    run import sqlite3 -bail "$work/load.db" ".import --csv $csv t"
    for form in "${forms[@]}"; do
        run "form-$form" sh -c 'sqlite3 -bail "$1" <"$2"' sh "$work/load.db" "$work/form-$form.sql"
    done
done

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
printf '%-14s %10s %8s %8s %10s %10s\n' form statements wall cpu wall/imp cpu/imp
for name in import "${forms[@]/#/form-}"; do
    statements=-
    [[ $name == form-* ]] && statements=$(grep -c '^INSERT INTO' "$work/$name.sql")
    wall=$(cut -d' ' -f1 "$work/$name.times" | median)
    cpu=$(cut -d' ' -f2 "$work/$name.times" | median)
    wall_ratio=$(paste -d' ' "$work/$name.times" "$work/import.times" | awk '{ print $1 / $3 }' | median)
    cpu_ratio=$(paste -d' ' "$work/$name.times" "$work/import.times" | awk '{ print $2 / $4 }' | median)
    printf '%-14s %10s %8s %8s %10.2f %10.2f\n' "${name#form-}" "$statements" "$wall" "$cpu" "$wall_ratio" "$cpu_ratio"
done
