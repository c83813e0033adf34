#!/usr/bin/env bash
# The Debian package: packages, a release build of the three programs alone
# (no tests, no benchmarks) in build/package, then CPack's .deb beside it.
# The package installs into /usr; its Depends come from the libraries the
# programs link plus the drivers and fonts they load.
# Extra arguments go to the configure step (e.g. the compiler launcher).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
build=build/package
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DVESKAR_WERROR=ON \
  -DVESKAR_BUILD_VIEWER=ON -DVESKAR_BUILD_TESTS=OFF -DVESKAR_BUILD_BENCH=OFF "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack)
ls -l "$build"/*.deb
