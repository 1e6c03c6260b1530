#!/usr/bin/env bash
# Installs what is missing, builds the Debug configuration with
# AddressSanitizer and UndefinedBehaviorSanitizer (warnings as errors) and
# runs every test; then the threaded converter's tests under ThreadSanitizer;
# then the Windows build under Wine (scripts/test-windows.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build="$root/build/debug-sanitize"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQUARROW_SANITIZE=ON -DQUARROW_WERROR=ON
cmake --build "$build" -j "$(nproc)"
(cd "$build" && ctest --output-on-failure -j "$(nproc)" "$@")

# The converter's reading, formatting and writing threads share queues and
# buffers, the update check hands its results to the window through a flag,
# and the window's loads and exports run on a worker it can stop: those
# tests run once more under ThreadSanitizer.
tsan="$root/build/debug-tsan"
cmake -S "$root" -B "$tsan" -DCMAKE_BUILD_TYPE=Debug -DQUARROW_TSAN=ON -DQUARROW_WERROR=ON -DQUARROW_BUILD_BENCH=OFF
cmake --build "$tsan" -j "$(nproc)" --target cli_tests quarrow-cli net_tests net_exchange_tests update_tests update_net_tests engine_tests
(cd "$tsan" && ctest --output-on-failure -j "$(nproc)" -L 'cli|net|update')
(cd "$tsan" && ctest --output-on-failure -j "$(nproc)" -R '^(WorkspaceCancel|ExportCancel)\.')

# The engine and the converter built for Windows and tested under Wine, and
# their output compared with the Linux converter's.
QUARROW_LINUX_BUILD="$build" "$root/scripts/test-windows.sh"
