#!/usr/bin/env bash
# What --suggest-types costs: quarrow-cli with and without it, and the
# sqlite3 shell importing and dumping the same file, side by side on the
# generated ASCII file.
#
#   bench/suggest_types.sh BUILD_DIR [WORK_DIR]
#
# BUILD_DIR  a Release build tree holding cli/quarrow-cli and bench/gen_csv
# WORK_DIR   where the input and outputs go (default: bench/out, git-ignored);
#            the input is generated once and shared with compare.sh
#
# Environment:
#   ROUNDS    timed rounds per run (default 5), interleaved A B C A B C so
#             that drift and other load affect every run alike
#   ASCII_MB  input size (default 100)
#   SQLITE3   the sqlite3 shell to use (skipped when missing)
#
# Reports medians of wall seconds and of CPU seconds (user + system): on a
# shared machine the CPU figures move less. 1 MB = 10^6 bytes.

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$script_dir/arguments.sh"
work_dir=${2:-$script_dir/out}
rounds=${ROUNDS:-5}
mb=${ASCII_MB:-100}
quarrow=$build_dir/cli/quarrow-cli
gen_csv=$build_dir/bench/gen_csv
sqlite=${SQLITE3:-sqlite3}

die() { echo "suggest_types.sh: $*" >&2; exit 1; }
[[ -x $quarrow ]] || die "quarrow-cli not found at $quarrow"
[[ -x $gen_csv ]] || die "gen_csv not found at $gen_csv (build target gen_csv)"
have_sqlite=1
command -v "$sqlite" >/dev/null 2>&1 || { have_sqlite=0; echo "note: $sqlite not found; skipping it" >&2; }

mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
input=$work_dir/ascii-${mb}mb.csv
if [[ ! -s $input ]]; then
    echo "generating $input" >&2
    "$gen_csv" ascii "$mb" "$input.tmp"
    mv "$input.tmp" "$input"
fi
time_file=$work_dir/.suggest-time.$$
out=$work_dir/.suggest-out.$$
trap 'rm -f "$time_file" "$out"' EXIT

# Prints "wall cpu" of one run, in milliseconds' resolution (GNU time's
# hundredths are a twentieth of a run here); the run's output goes to $out,
# created before the clock starts. The previous output is removed rather
# than emptied: ext4 writes a file emptied and written again back to disk
# when it is closed, and that writing would overlap the next run.
timed() {
    local TIMEFORMAT='%3R %3U %3S' status=0
    rm -f "$out"
    exec 3>"$out"
    { time "$@" >&3 2>/dev/null || status=$?; } 2>"$time_file"
    exec 3>&-
    ((status == 0)) || die "failed: $*"
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$time_file"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -a plain_wall plain_cpu suggest_wall suggest_cpu sqlite_wall sqlite_cpu
for ((r = 1; r <= rounds; ++r)); do
    read -r w c < <(timed "$quarrow" -H -q "$input")
    plain_wall+=("$w") plain_cpu+=("$c")
    read -r w c < <(timed "$quarrow" -H -q --suggest-types "$input")
    suggest_wall+=("$w") suggest_cpu+=("$c")
    if ((have_sqlite)); then
        read -r w c < <(timed "$sqlite" -cmd ".import --csv '$input' t" :memory: '.mode insert t' 'select * from t;')
        sqlite_wall+=("$w") sqlite_cpu+=("$c")
    fi
    echo "round $r of $rounds done" >&2
done

pw=$(median "${plain_wall[@]}") pc=$(median "${plain_cpu[@]}")
sw=$(median "${suggest_wall[@]}") sc=$(median "${suggest_cpu[@]}")
size=$(stat -L -c %s "$input")
printf '%s: %.1f MB, %d rounds, medians\n' "$(basename "$input")" "$(echo "$size / 1000000" | bc -l)" "$rounds"
printf '%-24s %8s %8s %10s\n' run wall_s cpu_s MB/s_wall
printf '%-24s %8.3f %8.3f %10.1f\n' "quarrow-cli" "$pw" "$pc" "$(echo "$size / 1000000 / $pw" | bc -l)"
printf '%-24s %8.3f %8.3f %10.1f\n' "quarrow-cli --suggest" "$sw" "$sc" "$(echo "$size / 1000000 / $sw" | bc -l)"
if ((have_sqlite)); then
    qw=$(median "${sqlite_wall[@]}") qc=$(median "${sqlite_cpu[@]}")
    printf '%-24s %8.3f %8.3f %10.1f\n' "sqlite3 import+dump" "$qw" "$qc" "$(echo "$size / 1000000 / $qw" | bc -l)"
fi
printf 'suggest/plain: wall %.2f, cpu %.2f\n' "$(echo "$sw / $pw" | bc -l)" "$(echo "$sc / $pc" | bc -l)"
if ((have_sqlite)); then
    printf 'sqlite3/suggest: wall %.1f, cpu %.1f (target >= 10 on this file)\n' \
        "$(echo "$qw / $sw" | bc -l)" "$(echo "$qc / $sc" | bc -l)"
fi
