#!/usr/bin/env bash
# Installs what is missing, builds the release configuration of the two
# programs and makes the Debian package: build/package/quarrow_<version>_<arch>.deb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build/release"
out="$root/build/package"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARROW_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target quarrow quarrow-cli
rm -rf "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
rm -rf "$out/_CPack_Packages"
ls "$out"/*.deb
