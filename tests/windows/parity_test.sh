#!/usr/bin/env bash
# The Windows programs, run through Wine, against the Linux ones: every corpus
# file converted both ways (ref, ani) and described (info), two generated
# large files (a 140 MB reference, a 2,000-frame animation), and glTF exports
# of a corpus character and of the textured sample, each with an animation,
# must give the same output files byte for byte, the same lines on standard
# output and standard error (UTF-8 through a pipe) and the same exit codes. Everything
# sits in a folder whose name has a space and Hangul, and some files have
# Korean names.
# Usage: parity_test.sh LINUX_BIN WINDOWS_BIN CORPUS_DIR RUNNER...
#   LINUX_BIN    folder holding the Linux veskar-convert and veskar-sample
#   WINDOWS_BIN  folder holding veskar-convert.exe
#   RUNNER       what runs a Windows program here (wine)
set -u

linux_bin=${1:?usage: $0 LINUX_BIN WINDOWS_BIN CORPUS_DIR RUNNER...}
windows_bin=${2:?}
corpus=${3:?}
shift 3
runner=("$@")
linux_bin=$(cd "$linux_bin" && pwd) && windows_bin=$(cd "$windows_bin" && pwd) || exit 2

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL - $1"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/veskar-parity.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
base="$work/변환 시험"
mkdir -p "$base/linux" "$base/windows"

timed() { # timed LABEL COMMAND...: runs it and prints how long it took
    local label=$1 start=$SECONDS
    shift
    "$@"
    echo "  $label: $((SECONDS - start)) s"
}

# The inputs, the same bytes in both folders. The Korean-named reference is
# the bundled sample's, so a clone without the corpus has it too.
if [ -d "$corpus" ]; then
    cp "$corpus"/*.[sS][mM][dD] "$base/linux/"
else
    echo "SKIP: no corpus at $corpus; only generated files are compared"
fi
"$linux_bin/veskar-sample" character "$work/sample" >/dev/null || exit 2
cp "$work/sample/hero.smd" "$base/linux/영웅 캐릭터.smd"
timed "generate the 140 MB reference" "$linux_bin/veskar-sample" large-ref "$base/linux/큰 참조.smd" --triangles 400000 >/dev/null || exit 2
timed "generate the animation" "$linux_bin/veskar-sample" large-ani "$base/linux/긴 동작.smd" --frames 2000 >/dev/null || exit 2
cp "$base/linux/"* "$base/windows/"

mapfile -t sources < <(cd "$base/linux" && ls | LC_ALL=C sort)

# run SIDE NAME ARGS...: the tool on that side, in its folder, leaving
# NAME.out, NAME.err and NAME.rc there.
run() {
    local side=$1 name=$2
    shift 2
    if [ "$side" = linux ]; then
        (cd "$base/linux" && "$linux_bin/veskar-convert" "$@" >"$name.out" 2>"$name.err"; echo $? >"$name.rc")
    else
        (cd "$base/windows" && "${runner[@]}" "$windows_bin/veskar-convert.exe" "$@" >"$name.out" 2>"$name.err"; echo $? >"$name.rc")
    fi
}

same() { # same FILE: the file in both folders holds the same bytes
    if cmp -s "$base/linux/$1" "$base/windows/$1"; then pass; else
        fail "$1 differs"
        diff <(head -c 2000 "$base/linux/$1") <(head -c 2000 "$base/windows/$1") | head -n 10
    fi
}

for command in ref ani; do
    timed "linux $command" run linux "$command" "$command" "${sources[@]}"
    timed "windows $command" run windows "$command" "$command" "${sources[@]}"
    for part in out err rc; do same "$command.$part"; done
done
# Both sides have written the same outputs, and nothing else.
outputs=$(cd "$base/linux" && ls | LC_ALL=C sort)
[ "$outputs" = "$(cd "$base/windows" && ls | LC_ALL=C sort)" ] && pass || fail "the folders hold different files"
while IFS= read -r file; do
    case $file in *.mRef | *.mAni) same "$file" ;; esac
done <<<"$outputs"
mapfile -t described < <(cd "$base/linux" && ls | grep -E '\.(smd|SMD|mRef|mAni)$' | LC_ALL=C sort)
timed "linux info" run linux info info "${described[@]}"
timed "windows info" run windows info info "${described[@]}"
for part in out err rc; do same "info.$part"; done

# glTF: the binary writer, and the sample's textures embedded from a folder
# with Hangul and a space in its name.
gltf() { # gltf OUT.glb INPUT...: exported on both sides, then compared
    local out=$1
    shift
    for side in linux windows; do timed "$side gltf $out" run "$side" "gltf-$out" gltf "$@" -o "$out"; done
    for part in out err rc; do same "gltf-$out.$part"; done
    same "$out"
}
if [ -f "$base/linux/hlu_player_idle.smd" ]; then
    gltf player.glb hlu_player_template_biped_barney.smd hlu_player_idle.smd
else
    echo "SKIP: no corpus: the corpus character's glTF export is not compared"
fi
for side in linux windows; do cp -r "$work/sample" "$base/$side/견본 모델"; done
gltf "견본.glb" "견본 모델/hero.smd" "견본 모델/walk.smd"

grep -q '^\[Ref\] 영웅 캐릭터.mRef$' "$base/windows/ref.out" && pass || fail "the Korean file's progress line is missing"
[ -s "$base/windows/영웅 캐릭터.mRef" ] && pass || fail "the Korean file's output was not written"
[ -s "$base/windows/큰 참조.mRef" ] && pass || fail "the large reference's output was not written"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
