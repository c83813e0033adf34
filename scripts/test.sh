#!/usr/bin/env bash
# The whole test suite on a fresh Debian 12 machine: packages, a sanitizer
# build (ASan + UBSan, warnings as errors), every unit and corpus test, each
# fuzz target for a bounded time, then the Windows build (mingw-w64) with its
# tests under Wine, compared with the Linux programs just built. Each part's
# time is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
times=()
timed() { # timed LABEL COMMAND...
    local label=$1 start=$SECONDS
    shift
    "$@"
    times+=("$(printf '%-22s %5d s' "$label" $((SECONDS - start)))")
}
report() {
    echo
    echo "Time per part:"
    printf '  %s\n' "${times[@]}"
}
trap report EXIT

timed "packages" scripts/install-deps.sh

timed "linux configure" cmake --preset asan -DVESKAR_BUILD_VIEWER=ON
# The packages above include the viewer's; a build without it would leave its
# tests out without failing.
if ! grep -qx 'VESKAR_BUILD_VIEWER:BOOL=ON' build/asan/CMakeCache.txt; then
  echo "test.sh: the viewer is not configured (see the warning above); its tests would not run" >&2
  exit 1
fi
timed "linux build" cmake --build --preset asan -j "$jobs"
timed "linux tests" ctest --preset asan -j "$jobs"

if [ -x fuzz/run_all.sh ]; then
    timed "fuzzing" fuzz/run_all.sh "${VESKAR_FUZZ_SECONDS:-60}"
fi

# Windows: the three programs and the core's tests cross-built, then the tests
# under Wine in a fresh prefix, with one wineserver kept for the whole run.
export WINEPREFIX=$PWD/build/windows-release/wine
timed "windows configure" cmake --preset windows-release -DVESKAR_BUILD_VIEWER=ON -DVESKAR_LINUX_BIN="$PWD/build/asan/src"
timed "windows build" cmake --build --preset windows-release -j "$jobs"
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
VESKAR_WINE_SERVER=stay timed "wine prefix" bash tests/windows/wine_run.sh "$WINEPREFIX"
trap 'wineserver -k 2>/dev/null || true; report' EXIT
timed "windows tests (wine)" ctest --preset windows-release -j "$jobs"
