#!/usr/bin/env bash
# Installs what is missing, builds the Debug configuration with
# AddressSanitizer and UndefinedBehaviorSanitizer (warnings as errors) and
# runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build/debug-sanitize"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQUARROW_SANITIZE=ON -DQUARROW_WERROR=ON
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
