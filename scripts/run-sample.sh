#!/usr/bin/env bash
# The main job on the bundled sample: packages, a release build, the sample
# character written into sample-out/, converted to mRef/mAni, and a look at
# what was written.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

bin=build/release/src
out=${1:-sample-out}
"$bin/veskar-sample" character "$out"
"$bin/veskar-convert" ref "$out/hero.smd" "$out/weapon.smd"
"$bin/veskar-convert" ani "$out/walk.smd"
echo
"$bin/veskar-convert" info "$out/hero.mRef" "$out/weapon.mRef" "$out/walk.mAni"
echo
echo "Sample written to $out/:"
ls -l "$out"
