#!/usr/bin/env bash
# The main job on the bundled sample: packages, a release build, the sample
# character written into sample-out/, converted to mRef/mAni and exported to
# glTF (hero.glb, weapon.glb), then the viewer with all of it loaded (the SMD
# model and its walk, two characters playing, the sword in the primary's hand).
# Without a display it renders the same scene headless and prints the path of
# the picture.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release -DVESKAR_BUILD_VIEWER=ON >/dev/null
cmake --build --preset release -j "$(nproc)" --target veskar veskar-convert veskar-sample

bin=build/release/src
out=${1:-sample-out}
"$bin/veskar-sample" character "$out"
"$bin/veskar-convert" ref "$out/hero.smd" "$out/weapon.smd"
"$bin/veskar-convert" ani "$out/walk.smd"
"$bin/veskar-convert" gltf "$out/hero.smd" "$out/walk.smd"
"$bin/veskar-convert" gltf "$out/weapon.smd"
echo
"$bin/veskar-convert" info "$out/hero.mRef" "$out/weapon.mRef" "$out/walk.mAni"
echo
echo "Sample written to $out/:"
ls -l "$out"

viewer=(
  "$bin/veskar"
  --open-smd-ref "$out/hero.smd" --open-smd-ani "$out/walk.smd"
  --open-kovr1-mref "$out/hero.mRef" --open-kovr1-mani "$out/walk.mAni"
  --open-kovr2-mref "$out/hero.mRef" --open-kovr2-mani "$out/walk.mAni"
  --open-weapon-mref "$out/weapon.mRef"
)
echo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the viewer (Esc quits; keys are listed in its overlay)"
  exec "${viewer[@]}"
else
  echo "No display: rendering the scene headless"
  "${viewer[@]}" --headless --frames 60 --screenshot "$out/veskar.png"
fi
