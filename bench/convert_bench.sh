#!/usr/bin/env bash
# Times veskar-convert on large generated files: a reference of 200,000
# triangles on 50 bones and an animation of 50 bones x 2,000 frames.
# Prints best and median wall time and peak memory over RUNS runs.
#   bench/convert_bench.sh [RUNS]    (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target veskar-convert veskar-sample >/dev/null
bin=build/release/src
data=build/bench-data
mkdir -p "$data"
[ -f "$data/ref200k.smd" ] || "$bin/veskar-sample" large-ref "$data/ref200k.smd" --triangles 200000 --bones 50 >/dev/null
[ -f "$data/ani50x2000.smd" ] || "$bin/veskar-sample" large-ani "$data/ani50x2000.smd" --bones 50 --frames 2000 >/dev/null

measure() {  # label, command...
  local label=$1; shift
  local times=() mems=()
  for _ in $(seq "$runs"); do
    local out stats
    stats=$(mktemp)
    /usr/bin/time -o "$stats" -f "%e %M" "$@" >/dev/null 2>&1
    out=$(tail -n 1 "$stats")
    rm -f "$stats"
    times+=("${out% *}"); mems+=("${out#* }")
  done
  local sorted best median peak
  sorted=$(printf '%s\n' "${times[@]}" | sort -g)
  best=$(echo "$sorted" | head -n 1)
  median=$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")
  peak=$(printf '%s\n' "${mems[@]}" | sort -g | tail -n 1)
  printf '%-34s best %6.3f s   median %6.3f s   peak %6.1f MiB\n' "$label" "$best" "$median" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')"
}

echo "files: $(du -h "$data/ref200k.smd" | cut -f1) reference, $(du -h "$data/ani50x2000.smd" | cut -f1) animation; $runs runs each"
measure "veskar-convert ref (200k tris)" "$bin/veskar-convert" ref "$data/ref200k.smd"
measure "veskar-convert ani (50 x 2000)" "$bin/veskar-convert" ani "$data/ani50x2000.smd"
measure "cat reference > /dev/null" cat "$data/ref200k.smd"
