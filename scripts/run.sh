#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and converts
# the shipped sample CSV, printing the script. Extra arguments go to the
# converter (for example -d postgresql).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target quarrow-cli >/dev/null
exec "$build/cli/quarrow-cli" -H "$@" "$root/samples/customers.csv"
