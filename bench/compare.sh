#!/usr/bin/env bash
# Times quarrow-cli, the sqlite3 shell and the floor program side by side on
# three generated CSV files (ascii, intl, wide).
#
#   bench/compare.sh BUILD_DIR [WORK_DIR]
#
# BUILD_DIR  a Release build tree holding cli/quarrow-cli, bench/gen_csv and
#            bench/floor
# WORK_DIR   where the inputs and outputs go (default: bench/out, git-ignored);
#            inputs are generated once and reused on later runs
#
# Environment:
#   ROUNDS       timed rounds per tool and file (default 3); the rounds are
#                interleaved A B C A B C so drift affects every tool alike
#   ASCII_MB INTL_MB WIDE_MB   input sizes (default 100, 100, 50)
#   FILES        which of the files to time, e.g. FILES=ascii (default: all
#                three, "ascii intl wide")
#   QUARROW_CLI GEN_CSV FLOOR SQLITE3   override the programs used
#   WORKSPACE_MEMORY CONTROL_OVERHEAD   the same for the window's load and
#                export figures (skipped when not built)
#   QUARROW_ARGS  more arguments for quarrow-cli, e.g. --rfc4180 for the exact
#                 CSV reading (the sqlite3 shell's import reads exactly too)
#   KEEP_OUTPUT=1  keep the last output of every tool (deleted by default)
#   BEFORE_CLI   a second quarrow-cli (say a build of an older commit), timed
#                in the same rounds right after the first with the same
#                arguments; a table of its times, the per-round ratios
#                quarrow-cli/BEFORE_CLI (median, min, max) and whether the two
#                outputs are the same bytes follows the main one
#
# Every run goes through /usr/bin/time -f '%e %M': wall seconds and peak
# resident set size. Figures are medians over the rounds for time and the
# maximum for memory. 1 MB = 10^6 bytes.

set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

source "$script_dir/arguments.sh"
work_dir=${2:-$script_dir/out}
rounds=${ROUNDS:-3}
quarrow=${QUARROW_CLI:-$build_dir/cli/quarrow-cli}
gen_csv=${GEN_CSV:-$build_dir/bench/gen_csv}
floor_bin=${FLOOR:-$build_dir/bench/floor}
sqlite=${SQLITE3:-sqlite3}
read -r -a quarrow_args <<<"${QUARROW_ARGS:-}"
before=${BEFORE_CLI:-}
time_bin=/usr/bin/time

die() { echo "compare.sh: $*" >&2; exit 1; }

[[ $rounds =~ ^[1-9][0-9]*$ ]] || die "ROUNDS must be a positive integer, got '$rounds'"
[[ -x $time_bin ]] || die "$time_bin not found (it comes with the 'time' package)"
[[ -x $gen_csv ]] || die "gen_csv not found at $gen_csv (build target gen_csv)"
[[ -x $floor_bin ]] || die "floor not found at $floor_bin (build target floor)"
[[ -z $before || -x $before ]] || die "BEFORE_CLI: $before is not a program"

have_quarrow=1
if [[ ! -x $quarrow ]]; then
    have_quarrow=0
    echo "note: quarrow-cli not found at $quarrow; timing sqlite3 and floor only" >&2
fi
have_sqlite=1
if ! command -v "$sqlite" >/dev/null 2>&1; then
    have_sqlite=0
    echo "note: $sqlite not found; skipping it" >&2
fi

mkdir -p "$work_dir"
work_dir=$(cd "$work_dir" && pwd)
time_file=$work_dir/.time.$$
err_file=$work_dir/.stderr.$$
trap 'rm -f "$time_file" "$err_file"' EXIT

files=()
for profile in ${FILES:-ascii intl wide}; do
    case $profile in
        ascii) files+=("ascii:${ASCII_MB:-100}") ;;
        intl) files+=("intl:${INTL_MB:-100}") ;;
        wide) files+=("wide:${WIDE_MB:-50}") ;;
        *) die "FILES holds '$profile'; the files are ascii, intl and wide" ;;
    esac
done
((${#files[@]} > 0)) || die "FILES names no file"

# --- inputs -------------------------------------------------------------------

generated=0
for entry in "${files[@]}"; do
    profile=${entry%%:*}
    mb=${entry#*:}
    input=$work_dir/$profile-${mb}mb.csv
    if [[ ! -s $input ]]; then
        echo "generating $input" >&2
        "$gen_csv" "$profile" "$mb" "$input.tmp"
        mv "$input.tmp" "$input"
        generated=1
    fi
done
# Write the new inputs back now rather than during the first timed round.
if ((generated)); then sync; fi

# --- timing -------------------------------------------------------------------

# time_run STDOUT_PATH COMMAND... : sets run_sec and run_kb, or run_sec=FAIL.
time_run() {
    local stdout_path=$1
    shift
    if "$time_bin" -f '%e %M' -o "$time_file" "$@" >"$stdout_path" 2>"$err_file"; then
        read -r run_sec run_kb < <(tail -n 1 "$time_file")
    else
        run_sec=FAIL
        run_kb=0
        {
            echo "compare.sh: failed: $*"
            head -n 5 "$err_file"
        } >&2
    fi
}

# median VALUES... : prints the median, or FAIL if any value is FAIL.
median() {
    local v
    for v in "$@"; do
        [[ $v == FAIL ]] && { echo FAIL; return; }
    done
    printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 }
        END { if (NR % 2) print a[(NR + 1) / 2]; else print (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}

max_of() { printf '%s\n' "$@" | sort -g | tail -n 1; }

# Formats "seconds MB/s RSS_MB" for a tool, or dashes when it did not run.
tool_cells() { # sec kb in_mb
    awk -v s="$1" -v kb="$2" -v mb="$3" 'BEGIN {
        if (s == "-" || s == "FAIL") { printf "%7s %7s %7s", s, "-", "-"; exit }
        t = (s < 0.01) ? 0.01 : s
        printf "%7.2f %7.1f %7.1f", s, mb / t, kb / 1024 }'
}

# ratio_cell NUM DEN OP TARGET : "12.3 ok" / "12.3 MISS" / "12.3" / "n/a"
ratio_cell() {
    awk -v a="$1" -v b="$2" -v op="$3" -v target="$4" 'BEGIN {
        if (a == "-" || b == "-" || a == "FAIL" || b == "FAIL") { printf "%10s", "n/a"; exit }
        a = (a < 0.01) ? 0.01 : a; b = (b < 0.01) ? 0.01 : b
        r = a / b
        verdict = ""
        if (op == ">=") verdict = (r >= target) ? " ok" : " MISS"
        if (op == "<=") verdict = (r <= target) ? " ok" : " MISS"
        printf "%10s", sprintf("%.1f%s", r, verdict) }'
}

declare -a report before_report
before_report+=("$(printf '%-6s %6s | %7s %7s | %7s %7s | %-20s | %s' file in_MB now_s RSS_MB before_s RSS_MB \
    "now/before min-max" "same output")")
report+=("$(printf '%-6s %6s | %-23s | %-23s | %-23s | %10s %10s  %s' \
    "" "" "quarrow-cli" "sqlite3" "floor" "sqlite3/" "quarrow/" "")")
report+=("$(printf '%-6s %6s | %7s %7s %7s | %7s %7s %7s | %7s %7s %7s | %10s %10s  %s' \
    file in_MB sec MB/s RSS_MB sec MB/s RSS_MB sec MB/s RSS_MB quarrow floor "quarrow RSS")")

for entry in "${files[@]}"; do
    profile=${entry%%:*}
    mb=${entry#*:}
    input=$work_dir/$profile-${mb}mb.csv
    in_mb=$(awk -v b="$(wc -c <"$input")" 'BEGIN { printf "%.1f", b / 1e6 }')
    out_q=$work_dir/$profile.quarrow.sql
    out_s=$work_dir/$profile.sqlite3.sql
    out_f=$work_dir/$profile.floor.csv
    out_b=$work_dir/$profile.before.sql

    cat "$input" >/dev/null # same warm page cache for every tool

    q_sec=() q_kb=() s_sec=() s_kb=() f_sec=() f_kb=() b_sec=() b_kb=()
    for ((round = 1; round <= rounds; ++round)); do
        echo "$profile: round $round/$rounds" >&2
        # Every tool starts without an old output to delete.
        rm -f "$out_q" "$out_s" "$out_f" "$out_b"
        if ((have_quarrow)); then
            time_run /dev/null "$quarrow" -H -q ${quarrow_args[@]+"${quarrow_args[@]}"} -o "$out_q" "$input"
            q_sec+=("$run_sec") q_kb+=("$run_kb")
        fi
        if [[ -n $before ]]; then
            time_run /dev/null "$before" -H -q ${quarrow_args[@]+"${quarrow_args[@]}"} -o "$out_b" "$input"
            b_sec+=("$run_sec") b_kb+=("$run_kb")
        fi
        if ((have_sqlite)); then
            time_run "$out_s" "$sqlite" -cmd ".import --csv '$input' t" :memory: \
                '.mode insert t' 'select * from t;'
            s_sec+=("$run_sec") s_kb+=("$run_kb")
        fi
        time_run "$out_f" "$floor_bin" "$input" "$out_f"
        f_sec+=("$run_sec") f_kb+=("$run_kb")
    done

    if [[ ${f_sec[0]} != FAIL ]] && ! cmp -s "$input" "$out_f"; then
        echo "compare.sh: warning: floor output differs from $input" >&2
    fi

    qs=- qk=0 ss=- sk=0
    if ((have_quarrow)); then qs=$(median "${q_sec[@]}"); qk=$(max_of "${q_kb[@]}"); fi
    if ((have_sqlite)); then ss=$(median "${s_sec[@]}"); sk=$(max_of "${s_kb[@]}"); fi
    fs=$(median "${f_sec[@]}")
    fk=$(max_of "${f_kb[@]}")

    case $profile in
        ascii) speed_target=10 ;;
        intl) speed_target=5 ;;
        *) speed_target= ;;
    esac
    if [[ -n $speed_target ]]; then
        speed=$(ratio_cell "$ss" "$qs" ">=" "$speed_target")
    else
        speed=$(ratio_cell "$ss" "$qs" "" "")
    fi
    vs_floor=$(ratio_cell "$qs" "$fs" "<=" 2)
    if [[ $qs == - || $qs == FAIL ]]; then
        rss_verdict=n/a
    else
        rss_verdict=$(awk -v kb="$qk" 'BEGIN { printf "%s", (kb / 1024 < 64) ? "ok" : "MISS" }')
    fi

    report+=("$(printf '%-6s %6s | %s | %s | %s | %s %s  %s' "$profile" "$in_mb" \
        "$(tool_cells "$qs" "$qk" "$in_mb")" "$(tool_cells "$ss" "$sk" "$in_mb")" \
        "$(tool_cells "$fs" "$fk" "$in_mb")" "$speed" "$vs_floor" "$rss_verdict")")

    if [[ -n $before ]] && ((have_quarrow)); then
        bs=$(median "${b_sec[@]}")
        bk=$(max_of "${b_kb[@]}")
        same=no
        cmp -s "$out_q" "$out_b" && same=yes
        ratios=()
        for ((k = 0; k < ${#q_sec[@]}; ++k)); do
            ratios+=("$(awk -v a="${q_sec[k]}" -v b="${b_sec[k]}" 'BEGIN {
                if (a == "FAIL" || b == "FAIL") { print "FAIL"; exit }
                a = (a < 0.01) ? 0.01 : a; b = (b < 0.01) ? 0.01 : b; printf "%.3f", a / b }')")
        done
        rm_ratio=$(median "${ratios[@]}")
        spread="$(printf '%s\n' "${ratios[@]}" | sort -g | head -n 1)-$(printf '%s\n' "${ratios[@]}" | sort -g | tail -n 1)"
        before_report+=("$(printf '%-6s %6s | %7s %7.1f | %7s %7.1f | %-20s | %s' "$profile" "$in_mb" "$qs" \
            "$(awk -v k="$qk" 'BEGIN { print k / 1024 }')" "$bs" "$(awk -v k="$bk" 'BEGIN { print k / 1024 }')" \
            "$rm_ratio $spread" "$same")")
    fi

    if [[ ${KEEP_OUTPUT:-0} != 1 ]]; then
        rm -f "$out_q" "$out_s" "$out_f" "$out_b"
    fi
done

echo
echo "rounds: $rounds (median wall time, max peak RSS; MB = 10^6 bytes)"
if [[ -n ${QUARROW_ARGS:-} ]]; then echo "quarrow-cli given also: $QUARROW_ARGS"; fi
printf '%s\n' "${report[@]}"
echo "targets: sqlite3/quarrow >= 10 (ascii), >= 5 (intl); quarrow/floor <= 2; quarrow RSS < 64 MB"
if [[ -n $before ]]; then
    echo
    echo "quarrow-cli ($quarrow) against BEFORE_CLI ($before), per-round ratio of wall times:"
    printf '%s\n' "${before_report[@]}"
fi

# --- the window's path: the whole file held in the workspace -----------------

memory_bin=${WORKSPACE_MEMORY:-$build_dir/bench/workspace_memory}
if [[ -x $memory_bin ]]; then
    echo
    echo "workspace (load into memory), target <= 2.2 bytes per input byte for ASCII:"
    for entry in "${files[@]}"; do
        profile=${entry%%:*}
        mb=${entry#*:}
        "$memory_bin" "$work_dir/$profile-${mb}mb.csv"
    done
fi

# --- the window's load and export with progress and Cancel -------------------

overhead_bin=${CONTROL_OVERHEAD:-$build_dir/bench/control_overhead}
if [[ -x $overhead_bin ]]; then
    echo
    echo "the window's load and export with progress and Cancel against the plain calls, target control/plain <= 1.10:"
    for entry in "${files[@]}"; do
        profile=${entry%%:*}
        mb=${entry#*:}
        "$overhead_bin" "$work_dir/$profile-${mb}mb.csv" "$rounds"
    done
fi
