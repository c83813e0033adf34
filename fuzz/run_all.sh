#!/usr/bin/env bash
# Builds the fuzz targets, makes their seeds and runs each for SECONDS
# (default 60), as many at a time as there are cores. Prints executions and
# coverage per target; exits non-zero when any target found a crash, a leak,
# a timeout or ran out of memory (the input is kept under build/fuzz/artifacts).
#
# usage: fuzz/run_all.sh [SECONDS]
# Environment: FUZZ_JOBS (parallel targets, default: cores), FUZZ_MAX_LEN
# (default 200000), FUZZ_BUILD (build folder, default build/fuzz), CXX/CC.
set -uo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD:-$root/build/fuzz}"
jobs="${FUZZ_JOBS:-$(nproc)}"
max_len="${FUZZ_MAX_LEN:-200000}"
targets=(smd_reference_fuzzer smd_animation_fuzzer mref_fuzzer mani_fuzzer gltf_fuzzer dds_fuzzer)
seed_of() { case "$1" in smd_reference_fuzzer) echo smd_reference ;; smd_animation_fuzzer) echo smd_animation ;; mref_fuzzer) echo mref ;; mani_fuzzer) echo mani ;; gltf_fuzzer) echo gltf ;; dds_fuzzer) echo dds ;; esac; }
dict_of() { case "$1" in gltf_fuzzer) echo gltf.dict ;; dds_fuzzer) echo dds.dict ;; *) echo smd.dict ;; esac; }

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
# A folder configured from fuzz/ alone (as it once was) is configured again
# from the project; its corpus and artifacts stay.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVESKAR_BUILD_FUZZERS=ON -DVESKAR_BUILD_VIEWER=OFF -DVESKAR_BUILD_TESTS=OFF \
        -DCMAKE_CXX_COMPILER="${CXX:-clang++}" -DCMAKE_C_COMPILER="${CC:-clang}" >/dev/null || exit 2
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" veskar-convert >"$build/build.log" 2>&1 ||
    { tail -40 "$build/build.log"; echo "run_all: build failed" >&2; exit 2; }

"$root/fuzz/make_seeds.sh" "$build/seeds" "$build/src/veskar-convert" || exit 2

export VESKAR_FUZZ_TMP
VESKAR_FUZZ_TMP="$(mktemp -d)"
trap 'rm -rf "$VESKAR_FUZZ_TMP"' EXIT
mkdir -p "$build/artifacts" "$build/logs"

run_one() {
    local target="$1"
    local corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    "$build/fuzz/$target" "$corpus" "$build/seeds/$(seed_of "$target")" \
        -dict="$root/fuzz/$(dict_of "$target")" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        >"$build/logs/$target.log" 2>&1
}

declare -A pid_of
start=$(date +%s)
running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
    run_one "$target" &
    pid_of[$target]=$!
    running=$((running + 1))
done

failed=0
for target in "${targets[@]}"; do
    wait "${pid_of[$target]}"
    status=$?
    log="$build/logs/$target.log"
    execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | awk '{print $2}')
    final=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[^ ]+' || true)
    if [ "$status" -eq 0 ]; then
        printf '%-22s ok      execs %-10s %s\n' "$target" "${execs:-?}" "$final"
    else
        failed=1
        printf '%-22s FAILED  execs %-10s %s (exit %d)\n' "$target" "${execs:-?}" "$final" "$status"
        grep -E 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer)|runtime error|broken promise|Test unit written|SUMMARY' "$log" | head -8 | sed 's/^/    /'
    fi
done
echo "run_all: ${seconds}s a target, $(( $(date +%s) - start ))s in all; logs in $build/logs"
exit "$failed"
