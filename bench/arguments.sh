# Sourced by the bench scripts, whose arguments are a Release build tree
# and an optional work folder: prints the script's header comment as its
# usage (and exits 2) when asked for it or when the arguments do not fit.
# The build tree then stands in $build_dir as an absolute path.
if [[ $# -lt 1 || $# -gt 2 || $1 == -h || $1 == --help ]]; then
    sed -n '2,/^$/s/^# \{0,1\}//p' "$0" >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd)
