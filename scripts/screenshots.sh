#!/usr/bin/env bash
# Makes the pictures of the README and docs/ from the running window:
# installs what is missing, builds the release configuration (the window and
# the converter only), starts the window on a virtual display with
# samples/customers.csv and drives it, through the accessibility interface,
# to each state the guide shows (scripts/screenshots.py). Writes the PNGs to
# docs/images/, or to the folder given.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/docs/images"}
"$root/scripts/install-deps.sh"
build="$root/build/release"
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARROW_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quarrow quarrow-cli >/dev/null
# A fixed locale, so that the separator starts as ',' and counts read alike on
# every machine; a screen without a window manager, so that each window is
# cropped without a frame.
export LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8
exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- \
  /usr/bin/python3 "$root/scripts/screenshots.py" "$build/app/quarrow" "$root/samples/customers.csv" "$out"
