#!/usr/bin/env bash
# The whole test suite on a fresh Debian 12 machine: packages, a sanitizer
# build (ASan + UBSan, warnings as errors), every unit and corpus test, then
# each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

if [ -x fuzz/run_all.sh ]; then
  fuzz/run_all.sh "${VESKAR_FUZZ_SECONDS:-60}"
fi
