#!/usr/bin/env bash
# The whole test suite on a fresh Debian 12 machine: packages, a sanitizer
# build (ASan + UBSan, warnings as errors), every unit and corpus test, then
# each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

cmake --preset asan -DVESKAR_BUILD_VIEWER=ON
# The packages above include the viewer's; a build without it would leave its
# tests out without failing.
if ! grep -qx 'VESKAR_BUILD_VIEWER:BOOL=ON' build/asan/CMakeCache.txt; then
  echo "test.sh: the viewer is not configured (see the warning above); its tests would not run" >&2
  exit 1
fi
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

if [ -x fuzz/run_all.sh ]; then
  fuzz/run_all.sh "${VESKAR_FUZZ_SECONDS:-60}"
fi
