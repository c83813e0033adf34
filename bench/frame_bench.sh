#!/usr/bin/env bash
# Frame time of the viewer rendering headless (EGL; Mesa's llvmpipe on machines
# without a GPU) at 800 x 600, every vertex skinned on the CPU each frame:
#   sample  the bundled scene: the SMD hero walking, two engine characters
#           walking, the sword in the primary's left hand;
#   100k    one engine character of about 100,000 vertices with 4 links each
#           (200,000 triangles), playing a 50-bone animation;
# each also with every overlay on (skeleton, bone names, normals, wireframe
# over solid, one bone's weights).
# The viewer is run for 1 frame and for 1 + FRAMES frames; the difference
# divided by FRAMES leaves start-up and loading out. Median of RUNS pairs, in
# wall time and in processor time (the viewer's threads and llvmpipe's,
# user + system): on a machine other work shares, only the processor time
# says anything.
#   bench/frame_bench.sh [FRAMES] [RUNS]     (defaults 200 and 3)
# VESKAR_BENCH_BIN=FOLDER times the veskar in FOLDER instead of building one
# (VESKAR_BENCH_OVERLAYS=0 leaves out the rows with overlays, for a viewer
# that has none).
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-200}
runs=${2:-3}

if [ -n "${VESKAR_BENCH_BIN:-}" ]; then
  bin=$VESKAR_BENCH_BIN
  tools=build/release/src
else
  scripts/install-deps.sh
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(nproc)" --target veskar veskar-convert veskar-sample >/dev/null
  bin=build/release/src
  tools=$bin
fi
data=build/bench-data
mkdir -p "$data"
[ -f "$data/sample/hero.mRef" ] || {
  "$tools/veskar-sample" character "$data/sample" >/dev/null
  "$tools/veskar-convert" ref "$data/sample/hero.smd" "$data/sample/weapon.smd" >/dev/null
  "$tools/veskar-convert" ani "$data/sample/walk.smd" >/dev/null
}
[ -f "$data/char100k.mRef" ] || {
  "$tools/veskar-sample" large-ref "$data/char100k.smd" --triangles 200000 --bones 50 --links 4 >/dev/null
  "$tools/veskar-convert" ref "$data/char100k.smd" >/dev/null
}
[ -f "$data/ani50x2000.mAni" ] || {
  [ -f "$data/ani50x2000.smd" ] || "$tools/veskar-sample" large-ani "$data/ani50x2000.smd" --bones 50 --frames 2000 >/dev/null
  "$tools/veskar-convert" ani "$data/ani50x2000.smd" >/dev/null
}

s=$data/sample
sample=(--open-smd-ref "$s/hero.smd" --open-smd-ani "$s/walk.smd"
        --open-kovr1-mref "$s/hero.mRef" --open-kovr1-mani "$s/walk.mAni"
        --open-kovr2-mref "$s/hero.mRef" --open-kovr2-mani "$s/walk.mAni"
        --open-weapon-mref "$s/weapon.mRef")
large=(--open-kovr1-mref "$data/char100k.mRef" --open-kovr1-mani "$data/ani50x2000.mAni")

overlays=(--show grid,overlay,skeleton,names,normals,wireframe)

times_of() {  # frames, viewer arguments... -> "wall-us cpu-us"
  local n=$1; shift
  local out
  out=$(mktemp)
  /usr/bin/time -f '%e %U %S' -o "$out" "$bin/veskar" "$@" --headless --frames "$n" >/dev/null 2>&1
  awk '{ printf "%d %d\n", $1 * 1e6, ($2 + $3) * 1e6 }' "$out"
  rm -f "$out"
}
median() { sort -g | sed -n "$(( (runs + 1) / 2 ))p"; }
frame_ms() {  # label, viewer arguments...
  local label=$1; shift
  local wall=() cpu=()
  for _ in $(seq "$runs"); do
    local one many
    one=$(times_of 1 "$@")
    many=$(times_of $((frames + 1)) "$@")
    wall+=("$(awk -v a="${one% *}" -v b="${many% *}" -v n="$frames" 'BEGIN { printf "%.2f", (b - a) / n / 1000 }')")
    cpu+=("$(awk -v a="${one#* }" -v b="${many#* }" -v n="$frames" 'BEGIN { printf "%.2f", (b - a) / n / 1000 }')")
  done
  local w c
  w=$(printf '%s\n' "${wall[@]}" | median)
  c=$(printf '%s\n' "${cpu[@]}" | median)
  printf '| %-52s | %8s ms | %8s ms |\n' "$label" "$w" "$c"
}

vertices=$("$tools/veskar-convert" info "$data/char100k.mRef" | grep -oE 'vertices [0-9]+' | head -n 1 | awk '{ print $2 " vertices" }' || true)
echo "Headless 800 x 600, $frames frames a run, median of $runs runs; GL renderer: ${GALLIUM_DRIVER:-default (llvmpipe without a GPU)}"
echo
echo "| scene                                                | wall a frame | processor a frame |"
echo "|------------------------------------------------------|-------------|-------------|"
frame_ms "sample (SMD hero, two characters, sword)" "${sample[@]}"
[ "${VESKAR_BENCH_OVERLAYS:-1}" = 0 ] || frame_ms "sample, every overlay on" "${sample[@]}" "${overlays[@]}" --weights "Bip01 Spine"
frame_ms "one character, ${vertices:-100k vertices}, 4 links each" "${large[@]}"
[ "${VESKAR_BENCH_OVERLAYS:-1}" = 0 ] || frame_ms "the same, every overlay on" "${large[@]}" "${overlays[@]}" --weights Bone025
