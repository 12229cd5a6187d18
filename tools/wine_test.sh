#!/usr/bin/env bash
# The Windows build's tests under Wine: a fresh prefix under the build
# directory, the tests through ctest (which starts each executable under the
# emulator the toolchain names), and the prefix's server stopped at the end.
# Called by `make win` with the build directory.
set -euo pipefail
build_dir="$(cd "${1:-build/win64}" && pwd)"
wine_dir="${WINE_DIR:-/usr/lib/wine}"
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
# Wine gives Windows the zone of TZ; the tests of local time expect UTC.
export TZ=UTC
rm -rf "$WINEPREFIX"
trap '"$wine_dir/wineserver64" -k 2>/dev/null || true' EXIT
# Made once before the tests start in parallel, each of which would make it.
"$wine_dir/wine64" wineboot --init >/dev/null 2>&1
"$wine_dir/wineserver64" -w
# One executable at a time (the preset's one job): Wine keeps every event,
# semaphore and mutex in its server, so two busy test processes slow each
# other's every wait, and a soak run's exit by tens of seconds.
ctest --preset win64 "${@:2}"
