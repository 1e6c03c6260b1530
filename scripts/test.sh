#!/usr/bin/env bash
# Installs what is missing, checks the layout of the C++ sources, builds the
# Debug configuration with AddressSanitizer and UndefinedBehaviorSanitizer
# (warnings as errors) and runs every test; then builds the engine and the
# converter without Qt and runs their tests; then the threaded converter's
# tests under ThreadSanitizer; then the Windows build under Wine
# (scripts/test-windows.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/check-format.sh"
# Every configuration below (and the Windows one) compiles through ccache:
# the same sources are built several times over, and again on every run.
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
build="$root/build/debug-sanitize"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQUARROW_SANITIZE=ON -DQUARROW_WERROR=ON
cmake --build "$build" -j "$(nproc)"
(cd "$build" && ctest --output-on-failure -j "$(nproc)" "$@")

# The engine, the converter and the update check's core need no Qt: built
# with Qt out of reach, any use of it fails the configure or the build.
noqt="$root/build/no-qt"
cmake -S "$root" -B "$noqt" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Debug -DQUARROW_WERROR=ON \
  -DQUARROW_BUILD_BENCH=OFF -DQUARROW_BUILD_UI=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON
cmake --build "$noqt" -j "$(nproc)"
(cd "$noqt" && ctest --output-on-failure -j "$(nproc)" -LE db)

# The converter's reading, formatting and writing threads share queues and
# buffers, the update check hands its results to the window through a flag,
# and the window's loads and exports run on a worker it can stop while the
# window (the preview among it) keeps painting: those tests run once more
# under ThreadSanitizer.
tsan="$root/build/debug-tsan"
cmake -S "$root" -B "$tsan" -DCMAKE_BUILD_TYPE=Debug -DQUARROW_TSAN=ON -DQUARROW_WERROR=ON -DQUARROW_BUILD_BENCH=OFF
cmake --build "$tsan" -j "$(nproc)" --target cli_tests quarrow-cli net_tests net_exchange_tests update_tests update_net_tests engine_tests \
  ui_LongWorkTest
(cd "$tsan" && ctest --output-on-failure -j "$(nproc)" -L 'cli|net|update')
(cd "$tsan" && ctest --output-on-failure -j "$(nproc)" -R '^(WorkspaceCancel\.|ExportCancel\.|ui_LongWorkTest$)')

# The engine and the converter built for Windows and tested under Wine, and
# their output compared with the Linux converter's.
QUARROW_LINUX_BUILD="$build" "$root/scripts/test-windows.sh"
