#!/usr/bin/env bash
# Memory of very long lines: a line is one record and is held whole, so the
# peak may grow with the longest line, but by no more than about two times
# its length plus a constant.
#
#   bench/long_lines.sh BUILD_DIR [WORK_DIR]
#
# BUILD_DIR  a build tree holding cli/quarrow-cli and bench/line_memory
#            (a Release build for the figures that count)
# WORK_DIR   where the inputs go (default: bench/out, git-ignored)
#
# Environment:
#   LINE_MB      length of each long line (default 30)
#   QUARROW_CLI  the converter to measure (default BUILD_DIR/cli/quarrow-cli)
#   BEFORE_CLI   a second converter (say, an older build) measured side by
#                side on the same inputs
#
# The converter's figure is its peak resident set size (/usr/bin/time %M)
# less that of a run on a one-line file, divided by the longest line's
# length in bytes. 1 MB = 10^6 bytes.

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

source "$script_dir/arguments.sh"
work_dir=${2:-$script_dir/out}
line_mb=${LINE_MB:-30}
quarrow=${QUARROW_CLI:-$build_dir/cli/quarrow-cli}
before=${BEFORE_CLI:-}
memory_bin=$build_dir/bench/line_memory
time_bin=/usr/bin/time

die() { echo "long_lines.sh: $*" >&2; exit 1; }
[[ $line_mb =~ ^[1-9][0-9]*$ ]] || die "LINE_MB must be a positive integer, got '$line_mb'"
[[ -x $time_bin ]] || die "$time_bin not found (it comes with the 'time' package)"
[[ -x $quarrow ]] || die "quarrow-cli not found at $quarrow"

mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
line_bytes=$((line_mb * 1000000))

# long_line COUNT : COUNT lines of LINE_MB bytes each, two columns, short
# rows before and after.
long_lines() {
    local count=$1 i
    printf 'id,text\r\n'
    for i in 1 2 3 4 5; do printf '%d,short\r\n' "$i"; done
    for ((i = 0; i < count; ++i)); do
        printf '%d,' "$((100 + i))"
        head -c "$((line_bytes - 4))" /dev/zero | tr '\0' 'x'
        printf '\r\n'
    done
    for i in 6 7 8 9; do printf '%d,short\r\n' "$i"; done
}

one=$work_dir/long-1x${line_mb}mb.csv
four=$work_dir/long-4x${line_mb}mb.csv
tiny=$work_dir/long-tiny.csv
[[ -s $one ]] || { echo "generating $one" >&2; long_lines 1 >"$one.tmp"; mv "$one.tmp" "$one"; }
[[ -s $four ]] || { echo "generating $four" >&2; long_lines 4 >"$four.tmp"; mv "$four.tmp" "$four"; }
printf 'id,text\r\n1,short\r\n' >"$tiny"

# peak_kb PROGRAM ARGS... : the peak resident set size in KB.
peak_kb() {
    local out
    out=$("$time_bin" -f '%M' "$@" 2>&1 >/dev/null) || die "failed: $*"$'\n'"$out"
    tail -n 1 <<<"$out"
}

# ratio BASE_KB PEAK_KB
ratio() { awk -v b="$1" -v p="$2" -v l="$line_bytes" 'BEGIN { printf "%5.2f", (p - b) * 1024 / l }'; }

tools=("$quarrow")
[[ -n $before ]] && tools+=("$before")

echo
echo "converter: (peak RSS - peak RSS on a one-line file) / longest line ($line_mb MB)"
printf '  %-28s %-22s' "input" "options"
for tool in "${tools[@]}"; do printf ' %12s' "$([[ $tool == "$quarrow" ]] && echo this || echo before)"; done
echo
for input in "$one" "$four"; do
    for options in "-e utf8" "-e utf8 -s ;" "-e ansi"; do
        printf '  %-28s %-22s' "$(basename "$input")" "-H $options"
        for tool in "${tools[@]}"; do
            # shellcheck disable=SC2086 # the options are words
            base=$(peak_kb "$tool" -q -H $options "$tiny")
            # shellcheck disable=SC2086
            peak=$(peak_kb "$tool" -q -H $options "$input")
            printf ' %10s x' "$(ratio "$base" "$peak")"
        done
        echo
    done
done
echo "target: at most about 2 (the line held once, and its statement)"

if [[ -x $memory_bin ]]; then
    echo
    echo "engine line reader: the longest line kept by the sink; ratios to its length in the file"
    for input in "$one" "$four"; do
        "$memory_bin" --parts "$input"
        "$memory_bin" --utf8 "$input"
        "$memory_bin" "$input"
    done
    echo "target: heap peak at most about 2 times the line as held (utf8: 2 x, utf16: 4 x the file bytes);"
    echo "in parts the reader keeps no copy: what is left is the sink's own storage growing"
fi
