#!/usr/bin/env bash
# The Windows converter writes the same bytes as the Linux one: the
# benchmark files and small files with every kind of cell go through both
# with every option, and the scripts, the warnings and the exit statuses
# must be equal. The Windows run writes to standard output redirected to a
# file (binary mode) or, with -o, through its temporary file. Under a
# Cyrillic and a Japanese locale, Windows' ANSI is 1251 or 932 where Linux
# keeps 1252: there the ANSI script read from an ANSI file must be the Linux
# converter's UTF-8 script in that code page.
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
# Exact quoting: line breaks, doubled quotes and blanks inside quotes.
printf 'id,text,more\r\n1,"two\r\nlines",x\r\n2,"say ""x""",\r\n3," lead , comma ",y\n4,"a\nb\rc",z\r\n' >quoted.csv
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
  "-H -d mysql -m"
  "-H -d postgresql -m -n"
  "-H -d sqlite -m -e ansi"
  "-H --rfc4180 -d mysql"
  "-H --rfc4180 -d oracle -m -e ansi"
  "--rfc4180 -d access -n"
  "-H --suggest-types -d postgresql"
  "-H --suggest-types --types types.txt -d mssql -m"
  "-H --suggest-types --explain -d ibmdb2"
  "-H --strict -d sqlite"
)

failures=0
runs=0
for input in ascii.csv intl.csv wide.csv cells.csv quoted.csv; do
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

# ANSI in the system's code page: a file in 1251 or 932 read and written as
# ANSI gives the Linux converter's UTF-8 script in that code page. The
# Japanese file puts double-byte characters across the reader's 4096-byte
# blocks at both parities.
cyrillic=$(printf '\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd \xd0\x9f\xd0\xb5\xd1\x82\xd1\x80\xd0\xbe\xd0\xb2')
japanese=$(printf '\xe6\x9d\xb1\xe4\xba\xac\xe3\x81\xae\xe3\x82\xab\xe3\x83\x8a\xef\xbd\xb6\xef\xbd\x85')
{
  # Column names in the code page too: the statements' headers are encoded as well.
  printf '\xd0\xba\xd0\xbe\xd0\xb4,%s\r\n' "$cyrillic"
  for i in $(seq 1 300); do printf '%d,"%s, %d"\r\n' "$i" "$cyrillic" "$i"; done
} >ru.utf8.csv
{
  printf 'id,name\r\n'
  for i in $(seq 1 600); do printf '%d,%s%s\r\n' "$i" "$japanese" "$(printf '%*s' $((i % 2)) '')"; done
} >ja.utf8.csv
for pair in ru_RU.UTF-8:CP1251:ru ja_JP.UTF-8:CP932:ja; do
  IFS=: read -r locale codepage name <<<"$pair"
  iconv -f UTF-8 -t "$codepage" "$name.utf8.csv" >"$name.ansi.csv"
  for option in "-H -d mysql" "-H -d postgresql -n -m" "-d oracle" "-H --rfc4180 -d mssql" "-H -d sqlite -m"; do
    read -r -a args <<<"$option"
    set +e
    "$linux_cli" -q "${args[@]}" "$name.utf8.csv" >linux.utf8.sql 2>linux.err
    linux_status=$?
    LC_ALL=$locale "$wine" "$windows_cli" -q -e ansi "${args[@]}" "$name.ansi.csv" >windows.sql 2>windows.err
    windows_status=$?
    set -e
    runs=$((runs + 1))
    tr -d '\r' <windows.err >windows.err.lf
    mv windows.err.lf windows.err
    iconv -f UTF-8 -t "$codepage" linux.utf8.sql >linux.sql
    if [[ $linux_status != "$windows_status" ]] || ! cmp -s linux.sql windows.sql || ! cmp -s linux.err windows.err; then
      echo "differs under $locale: $option (exit $linux_status vs $windows_status)" >&2
      cmp linux.sql windows.sql >&2 || true
      diff linux.err windows.err >&2 || true
      failures=$((failures + 1))
    fi
  done
done

echo "$runs runs, $failures differ"
[[ $failures == 0 ]]
