#!/usr/bin/env bash
# Checks that every tracked C++ file (*.cpp, *.h) is laid out as clang-format
# makes it with the repository's .clang-format. The version is pinned to
# Debian's clang-format-14, since another major version lays out some code
# differently. Tables aligned by hand sit between `// clang-format off` and
# `// clang-format on`. Exits 1 and lists the files that differ.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

format=clang-format-14
if ! command -v "$format" >/dev/null 2>&1; then
  echo "check-format: $format is missing; scripts/install-deps.sh installs it" >&2
  exit 1
fi
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "check-format: not a git checkout, no list of tracked files: nothing checked" >&2
  exit 0
fi

differ=()
while IFS= read -r -d '' file; do
  if ! "$format" --style=file "$file" | cmp -s - "$file"; then
    differ+=("$file")
  fi
done < <(git ls-files -z -- '*.cpp' '*.h')

if [ ${#differ[@]} -eq 0 ]; then
  exit 0
fi
{
  echo "check-format: ${#differ[@]} file(s) differ from $format's layout:"
  printf '  %s\n' "${differ[@]}"
  echo "See what would change:  $format --style=file FILE | diff -u FILE -"
  echo "Format the lines a commit changes:  git clang-format-14 (before committing)"
  echo "Format a whole file:  $format -i FILE"
} >&2
exit 1
