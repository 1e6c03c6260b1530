#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts the
# window. Arguments name a CSV file to load at start (see the README).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARROW_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quarrow quarrow-cli >/dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display; starting the window on a virtual one (xvfb-run)" >&2
  exec xvfb-run -a "$build/app/quarrow" "$@"
fi
exec "$build/app/quarrow" "$@"
