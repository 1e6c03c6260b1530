#!/usr/bin/env bash
# The Windows converter writes the same bytes as the Linux one: the
# benchmark files and a small file with every kind of cell go through both
# with every option, and the scripts, the warnings and the exit statuses
# must be equal. The Windows run writes to standard output redirected to a
# file (binary mode) or, with -o, through its temporary file.
#
#   compare-with-linux.sh LINUX_CLI GEN_CSV WINDOWS_CLI WINE WORK_DIR
set -euo pipefail
linux_cli=$1
gen_csv=$2
windows_cli=$3
wine=$4
work=$5

rm -rf "$work"
mkdir -p "$work"
cd "$work"

"$gen_csv" ascii 2 ascii.csv
"$gen_csv" intl 2 intl.csv
"$gen_csv" wide 1 wide.csv
# Quotes, empty cells, a lone CR, a tab, Latin-1 and CJK text, a character
# outside the BMP, and a last line without a break.
printf 'id,name,note\r\n1,"Smith, J.","say ""hi"""\r\n2,,\rx\n3,M\xc3\xbcller\t,\xe6\x9d\xb1\xe4\xba\xac \xf0\x9f\x98\x80\r\n4,"open,quote\n' >cells.csv
printf 'integer\r\nvarchar(40)\r\n' >types.txt

options=(
  "-H -d mysql"
  "-H -d mssql -n -m -t dbo.T\xc3\xbcb"
  "-H -d access -e ansi"
  "-H -d oracle -m --types types.txt"
  "-d postgresql -n -t \xc3\x9cmlaut"
  "-H -d ibmdb2 -e ansi -m -n"
  "-H -d sqlite -s ;"
  "-H -s \\\\t -e ansi -d mssql"
)

failures=0
runs=0
for input in ascii.csv intl.csv wide.csv cells.csv; do
  for option in "${options[@]}"; do
    # The option texts hold escapes for the non-ASCII table names.
    read -r -a args <<<"$(printf '%b' "$option")"
    set +e
    "$linux_cli" -q "${args[@]}" "$input" >linux.sql 2>linux.err
    linux_status=$?
    "$wine" "$windows_cli" -q "${args[@]}" "$input" >windows.sql 2>windows.err
    windows_status=$?
    set -e
    runs=$((runs + 1))
    # Messages end their lines as each system does: standard error stays
    # in text mode on Windows.
    tr -d '\r' <windows.err >windows.err.lf
    mv windows.err.lf windows.err
    if [[ $linux_status != "$windows_status" ]] || ! cmp -s linux.sql windows.sql || ! cmp -s linux.err windows.err; then
      echo "differs: $input $option (exit $linux_status vs $windows_status)" >&2
      cmp linux.sql windows.sql >&2 || true
      diff linux.err windows.err >&2 || true
      failures=$((failures + 1))
    fi
  done
  # Through the temporary file and its replacing an existing target.
  echo old >windows-out.sql
  "$linux_cli" -q -H -d postgresql -o linux-out.sql "$input"
  "$wine" "$windows_cli" -q -H -d postgresql -o windows-out.sql "$input"
  runs=$((runs + 1))
  if ! cmp linux-out.sql windows-out.sql >&2; then
    echo "differs with -o: $input" >&2
    failures=$((failures + 1))
  fi
done

echo "$runs runs, $failures differ"
[[ $failures == 0 ]]
