#!/usr/bin/env bash
# What the value forms cost: quarrow-cli writing a file with a decimal-comma
# column and a day.month.year column into decimal and date columns, with the
# forms chosen (values rewritten plain) and without (values as they stand),
# side by side.
#
#   bench/value_forms.sh BUILD_DIR [WORK_DIR]
#
# BUILD_DIR  a Release build tree holding cli/quarrow-cli
# WORK_DIR   where the input and outputs go (default: bench/out, git-ignored)
#
# Environment:
#   ROUNDS    timed rounds per run (default 5), interleaved A B A B so that
#             drift and other load affect both runs alike
#   FORMS_MB  input size (default 100)
#
# Reports medians of wall and CPU seconds (user + system) and the ratio of
# the run with forms to the run without (target <= 1.3). 1 MB = 10^6 bytes.

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$script_dir/arguments.sh"
work_dir=${2:-$script_dir/out}
rounds=${ROUNDS:-5}
mb=${FORMS_MB:-100}
quarrow=$build_dir/cli/quarrow-cli

die() { echo "value_forms.sh: $*" >&2; exit 1; }
[[ -x $quarrow ]] || die "quarrow-cli not found at $quarrow"

mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
input=$work_dir/forms-${mb}mb.csv
if [[ ! -s $input ]]; then
    echo "generating $input" >&2
    # id;name;amount (decimal comma, '.' groups);booked (dd.mm.yyyy);note
    awk -v bytes=$((mb * 1000000)) 'BEGIN {
        print "id;name;amount;booked;note"; n = 27; i = 0
        while (n < bytes) {
            line = i ";Kunde " (i % 977) ";" int(i / 7 % 1000) "." sprintf("%03d", i % 1000) "," sprintf("%02d", i % 100) \
                   ";" sprintf("%02d.%02d.%04d", i % 28 + 1, i % 12 + 1, 1990 + i % 40) ";Buchung " i
            print line; n += length(line) + 1; ++i
        }
    }' >"$input.tmp"
    mv "$input.tmp" "$input"
fi
types=$work_dir/forms-types.txt
printf 'bigint\r\ntext\r\ndecimal(12,2)\r\ndate\r\ntext\r\n' >"$types"
time_file=$work_dir/.forms-time.$$
out=$work_dir/.forms-out.$$
trap 'rm -f "$time_file" "$out"' EXIT

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

common=(-q -H -s ';' -d postgresql --types "$types")
declare -a plain_wall plain_cpu forms_wall forms_cpu
for ((r = 1; r <= rounds; ++r)); do
    read -r w c < <(timed "$quarrow" "${common[@]}" "$input")
    plain_wall+=("$w") plain_cpu+=("$c")
    read -r w c < <(timed "$quarrow" "${common[@]}" --decimal comma --group . --dates dmy "$input")
    forms_wall+=("$w") forms_cpu+=("$c")
    echo "round $r of $rounds done" >&2
done

pw=$(median "${plain_wall[@]}") pc=$(median "${plain_cpu[@]}")
fw=$(median "${forms_wall[@]}") fc=$(median "${forms_cpu[@]}")
size=$(stat -L -c %s "$input")
printf '%s: %.1f MB, %d rounds, medians\n' "$(basename "$input")" "$(echo "$size / 1000000" | bc -l)" "$rounds"
printf '%-28s %8s %8s %10s\n' run wall_s cpu_s MB/s_wall
printf '%-28s %8.3f %8.3f %10.1f\n' "quarrow-cli" "$pw" "$pc" "$(echo "$size / 1000000 / $pw" | bc -l)"
printf '%-28s %8.3f %8.3f %10.1f\n' "quarrow-cli with forms" "$fw" "$fc" "$(echo "$size / 1000000 / $fw" | bc -l)"
printf 'forms/plain: wall %.2f, cpu %.2f (target <= 1.3)\n' "$(echo "$fw / $pw" | bc -l)" "$(echo "$fc / $pc" | bc -l)"
