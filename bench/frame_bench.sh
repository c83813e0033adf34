#!/usr/bin/env bash
# Frame time of the viewer rendering headless (EGL; Mesa's llvmpipe on machines
# without a GPU) at 800 x 600, every vertex skinned on the CPU each frame:
#   sample  the bundled scene: the SMD hero walking, two engine characters
#           walking, the sword in the primary's left hand;
#   100k    one engine character of about 100,000 vertices with 4 links each
#           (200,000 triangles), playing a 50-bone animation.
# The viewer is run for 1 frame and for 1 + FRAMES frames; the difference
# divided by FRAMES leaves start-up and loading out. Median of RUNS pairs.
#   bench/frame_bench.sh [FRAMES] [RUNS]     (defaults 200 and 3)
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-200}
runs=${2:-3}

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target veskar veskar-convert veskar-sample >/dev/null
bin=build/release/src
data=build/bench-data
mkdir -p "$data"
[ -f "$data/sample/hero.mRef" ] || {
  "$bin/veskar-sample" character "$data/sample" >/dev/null
  "$bin/veskar-convert" ref "$data/sample/hero.smd" "$data/sample/weapon.smd" >/dev/null
  "$bin/veskar-convert" ani "$data/sample/walk.smd" >/dev/null
}
[ -f "$data/char100k.mRef" ] || {
  "$bin/veskar-sample" large-ref "$data/char100k.smd" --triangles 200000 --bones 50 --links 4 >/dev/null
  "$bin/veskar-convert" ref "$data/char100k.smd" >/dev/null
}
[ -f "$data/ani50x2000.mAni" ] || {
  [ -f "$data/ani50x2000.smd" ] || "$bin/veskar-sample" large-ani "$data/ani50x2000.smd" --bones 50 --frames 2000 >/dev/null
  "$bin/veskar-convert" ani "$data/ani50x2000.smd" >/dev/null
}

s=$data/sample
sample=(--open-smd-ref "$s/hero.smd" --open-smd-ani "$s/walk.smd"
        --open-kovr1-mref "$s/hero.mRef" --open-kovr1-mani "$s/walk.mAni"
        --open-kovr2-mref "$s/hero.mRef" --open-kovr2-mani "$s/walk.mAni"
        --open-weapon-mref "$s/weapon.mRef")
large=(--open-kovr1-mref "$data/char100k.mRef" --open-kovr1-mani "$data/ani50x2000.mAni")

elapsed() {  # frames, viewer arguments... -> microseconds
  local n=$1; shift
  local start end
  start=$(date +%s%N)
  "$bin/veskar" "$@" --headless --frames "$n" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(( (end - start) / 1000 ))
}
frame_ms() {  # label, viewer arguments...
  local label=$1; shift
  local per=()
  for _ in $(seq "$runs"); do
    local one many
    one=$(elapsed 1 "$@")
    many=$(elapsed $((frames + 1)) "$@")
    per+=("$(awk -v a="$one" -v b="$many" -v n="$frames" 'BEGIN { printf "%.2f", (b - a) / n / 1000 }')")
  done
  local median
  median=$(printf '%s\n' "${per[@]}" | sort -g | sed -n "$(( (runs + 1) / 2 ))p")
  printf '| %-44s | %8s ms | %7.0f |\n' "$label" "$median" "$(awk -v m="$median" 'BEGIN { print (m > 0 ? 1000 / m : 0) }')"
}

vertices=$("$bin/veskar-convert" info "$data/char100k.mRef" | grep -oE 'vertices [0-9]+' | head -n 1 | awk '{ print $2 " vertices" }' || true)
echo "Headless 800 x 600, $frames frames a run, median of $runs runs; GL renderer: ${GALLIUM_DRIVER:-default (llvmpipe without a GPU)}"
echo
echo "| scene                                        | frame time  |   FPS   |"
echo "|----------------------------------------------|-------------|---------|"
frame_ms "sample (SMD hero, two characters, sword)" "${sample[@]}"
frame_ms "one character, ${vertices:-100k vertices}, 4 links each" "${large[@]}"
