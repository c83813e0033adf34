#!/usr/bin/env bash
# Drives veskar-convert as a user would: exit codes, what goes to stdout and
# stderr, and which files exist afterwards.
# Usage: convert_tool_test.sh PATH_TO_VESKAR_CONVERT [PATH_TO_VESKAR_SAMPLE [RUNNER...]]
# (the sample tool makes the large file the interrupted runs convert; RUNNER
# runs the tool when it cannot run by itself, Wine for a Windows build)
set -u

tool=${1:?usage: $0 PATH_TO_VESKAR_CONVERT [PATH_TO_VESKAR_SAMPLE [RUNNER...]]}
case $tool in /*) ;; *) tool=$PWD/$tool ;; esac
sample=${2:-}
case $sample in /* | "") ;; *) sample=$PWD/$sample ;; esac
shift $(($# < 2 ? $# : 2))
runner=("$@")
# Only the Windows build comes with a runner; what POSIX alone has (modes,
# signals, file size limits, any byte but '/' in a name) is checked without one.
windows=0
[ ${#runner[@]} -gt 0 ] && windows=1
if [ ! -x "$tool" ]; then
    echo "not an executable: $tool" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/veskar-cli.XXXXXX") || exit 2
cleanup() {
    chmod -R u+rwx "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 2

passed=0
failed=0
ok() { passed=$((passed + 1)); }
fail() {
    failed=$((failed + 1))
    echo "FAIL: $current: $*"
}

# run ARGS...: runs the tool, leaving out, err and rc behind.
run() {
    "${runner[@]}" "$tool" "$@" >out.txt 2>err.txt
    rc=$?
}
expect_rc() { [ "$rc" -eq "$1" ] && ok || fail "exit status $rc, expected $1 (stderr: $(head -c 300 err.txt))"; }
expect_in() { grep -qF -- "$2" "$1" && ok || fail "$1 lacks '$2'; it holds: $(head -c 400 "$1")"; }
expect_not_in() { grep -qF -- "$2" "$1" && fail "$1 should not hold '$2'" || ok; }
expect_empty() { [ ! -s "$1" ] && ok || fail "$1 should be empty; it holds: $(head -c 300 "$1")"; }
expect_file() { [ -f "$1" ] && ok || fail "$1 was not written"; }
expect_no_file() { [ ! -e "$1" ] && ok || fail "$1 should not exist"; }
expect_no_temp() {
    local left
    left=$(find "$1" -name '*.tmp-*' -o -name '.vsk*' | head -n 1)
    [ -z "$left" ] && ok || fail "temporary file left behind: $left"
}
# expect_listing FOLDER NAMES...: the folder holds exactly these files.
expect_listing() {
    local folder=$1 got
    shift
    got=$(ls -A "$folder" | sort | tr '\n' ' ')
    [ "$got" = "$(printf '%s\n' "$@" | sort | tr '\n' ' ')" ] && ok || fail "$folder holds: $got; expected: $*"
}

# The two-node skeleton both files open with, its bind pose as frame 0.
skeleton_start() {
    cat <<'EOF'
version 1
nodes
0 "Bip01" -1
1 "Bip01 L Hand" 0
end
skeleton
time 0
0 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000
1 1.000000 0.000000 0.000000 0.000000 0.000000 0.000000
EOF
}

write_reference() {
    skeleton_start >"$1"
    cat >>"$1" <<'EOF'
end
triangles
skin.bmp
0 0.0 0.0 0.0 0.0 0.0 1.0 0.0 0.0 1 0 1.0
0 1.0 0.0 0.0 0.0 0.0 1.0 1.0 0.0 1 0 1.0
1 0.0 1.0 0.0 0.0 0.0 1.0 0.0 1.0 1 1 1.0
skin.bmp
0 1.0 0.0 0.0 0.0 0.0 1.0 1.0 0.0 1 0 1.0
1 1.0 1.0 0.0 0.0 0.0 1.0 1.0 1.0 1 1 1.0
1 0.0 1.0 0.0 0.0 0.0 1.0 0.0 1.0 1 1 1.0
end
EOF
}

write_animation() {
    skeleton_start >"$1"
    cat >>"$1" <<'EOF'
time 1
0 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000
1 1.000000 0.000000 0.000000 0.000000 0.000000 0.500000
time 2
0 0.000000 0.000000 2.000000 0.000000 0.000000 0.000000
1 1.000000 0.000000 0.000000 0.000000 0.000000 1.000000
end
EOF
}

# A bone line with five numbers on line 7.
write_broken() {
    printf 'version 1\nnodes\n0 "Bip01" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0\nend\n' >"$1"
}

current="help"
run --help
expect_rc 0
expect_in out.txt "usage: veskar-convert"
expect_in out.txt "veskar-convert info FILE..."
expect_empty err.txt

current="usage errors"
run
expect_rc 2
expect_in err.txt "usage: veskar-convert"
expect_empty out.txt
run frobnicate hero.smd
expect_rc 2
expect_in err.txt "usage: veskar-convert"
expect_empty out.txt
run ref
expect_rc 2
expect_in err.txt "usage: veskar-convert"

current="convert a reference"
mkdir models
write_reference models/hero.smd
cp models/hero.smd source-before.smd
run ref models/hero.smd
expect_rc 0
expect_file models/hero.mRef
expect_no_file hero.mRef
expect_in out.txt "[Ref] hero.mRef"
expect_in out.txt "[전 버텍스 개수] : 6"
expect_in out.txt "[후 버텍스 개수] : 4"
expect_in out.txt "[후 인덱스 개수] : 2"
expect_empty err.txt
# The progress lines come in this order, each on its own line.
[ "$(head -n 4 out.txt | tr '\n' '|')" = "[Ref] hero.mRef|[전 버텍스 개수] : 6|[후 버텍스 개수] : 4|[후 인덱스 개수] : 2|" ] && ok ||
    fail "progress lines out of order: $(head -n 5 out.txt | tr '\n' '|')"
cmp -s models/hero.smd source-before.smd && ok || fail "the source file was changed"
head -n 1 models/hero.mRef | grep -q '^version 1' && ok || fail "mRef does not start with 'version 1'"
expect_no_temp models

current="many materials warn which texture the mRef keeps"
# Runs skin, face, skin: two materials, counted once each.
write_reference models/two.smd.in
awk '/^triangles$/ {t = 1} /^skin.bmp$/ && ++n == 2 {print "face.bmp"; next}
    t && /^end$/ {print "skin.bmp"; for (i = 0; i < 3; i++) print "0 0 0 " i " 0 0 1 0 0 1 0 1"}
    {print}' models/two.smd.in >models/two.smd
run ref models/two.smd
expect_rc 0
expect_file models/two.mRef
expect_in err.txt "models/two.smd has 2 materials, but an mRef names one texture: two.mRef keeps skin.bmp"
expect_not_in out.txt "materials"

current="convert an animation"
write_animation models/walk.smd
run ani models/walk.smd
expect_rc 0
expect_file models/walk.mAni
expect_in out.txt "[Ani] walk.mAni"
expect_in out.txt "[Node] 2"
expect_in out.txt "[Time] 3"
expect_empty err.txt

current="refused file, next file still converts"
write_broken broken.smd
write_reference next.smd
run ref broken.smd next.smd
expect_rc 1
expect_in err.txt "broken.smd:7: a bone line needs a node number and six numbers"
# A file that is SMD but has a bad line is not called "not an SMD file".
expect_not_in err.txt "SMD 파일이 아닙니다"
expect_no_file broken.mRef
expect_file next.mRef
expect_in out.txt "[Ref] next.mRef"
expect_not_in out.txt "broken.smd:7"
expect_no_temp .

current="wrong kind of SMD"
run ani models/hero.smd
expect_rc 1
expect_in err.txt "Animation 파일이 아닙니다!!"
expect_no_file models/hero.mAni
run ref models/walk.smd
expect_rc 1
expect_in err.txt "Reference 파일이 아닙니다!!"
expect_no_file models/walk.mRef

current="missing file and folder given as the path"
run ref nowhere.smd
expect_rc 1
expect_in err.txt "nowhere.smd"
expect_no_file nowhere.mRef
mkdir folder.smd
run ref folder.smd
expect_rc 1
expect_in err.txt "folder.smd: cannot open: is a directory"
expect_no_file folder.mRef

current="info"
run info models/hero.smd models/walk.smd models/hero.mRef models/walk.mAni
expect_rc 0
expect_in out.txt "models/hero.smd: SMD reference"
expect_in out.txt "nodes 2, frames 1, triangles 2, materials 1"
expect_in out.txt "material skin.bmp"
expect_in out.txt "vertices 6 before welding"
expect_in out.txt "models/walk.smd: SMD animation"
expect_in out.txt "nodes 2, frames 3"
expect_in out.txt "models/hero.mRef: mRef"
expect_in out.txt "nodes 2, vertices 4, triangles 2, texture skin.bmp"
expect_in out.txt "root bone Bip01, hand bone Bip01 L Hand"
expect_in out.txt "models/walk.mAni: mAni"
# info only looks: no progress lines, no files written.
expect_not_in out.txt "[Node]"
expect_not_in out.txt "[Ref]"
expect_empty err.txt
expect_no_file models/hero.mAni
# info reads every line as a conversion does, but builds no model.
run info broken.smd
expect_rc 1
expect_in err.txt "broken.smd:7: a bone line needs a node number and six numbers"
printf 'hello\n' >notes.txt
run info notes.txt
expect_rc 1
expect_in err.txt "notes.txt:1: "

current="read-only output folder"
mkdir readonly
write_reference readonly/hero.smd
chmod 555 readonly
# Root writes into a mode 555 folder anyway; then the tool runs as nobody, when possible.
as_user=()
skip_reason="this user can write into a mode 555 folder"
if [ $windows = 1 ]; then
    # Windows lets anyone write into a folder marked read-only, and Wine
    # cannot be run as another user with this user's prefix.
    as_user=(skip)
    skip_reason="Windows lets anyone write into a folder marked read-only"
elif [ -w readonly ]; then
    if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null &&
        setpriv --reuid=65534 --regid=65534 --clear-groups test -x "$tool" 2>/dev/null; then
        chmod 755 "$work"
        as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    else
        as_user=(skip)
    fi
fi
if [ "${as_user[*]-}" = skip ]; then
    echo "SKIP: $current: $skip_reason; case not checked"
else
    "${as_user[@]}" "$tool" ref readonly/hero.smd >out.txt 2>err.txt
    rc=$?
    expect_rc 1
    expect_in err.txt "readonly/hero.mRef: "
    expect_no_file readonly/hero.mRef
    expect_no_temp readonly
fi
chmod 755 readonly

current="output that cannot be replaced"
# A folder where the output goes: the finished text cannot be renamed over it.
mkdir blocked
write_reference blocked/hero.smd
mkdir blocked/hero.mRef
run ref blocked/hero.smd
expect_rc 1
expect_in err.txt "blocked/hero.mRef: "
[ -d blocked/hero.mRef ] && ok || fail "the folder in the output's place was replaced"
expect_no_temp blocked

current="earlier output survives a failed conversion"
mkdir keep
write_reference keep/hero.smd
run ref keep/hero.smd
expect_rc 0
cp keep/hero.mRef keep-before.mRef
write_broken keep/hero.smd
run ref keep/hero.smd
expect_rc 1
cmp -s keep/hero.mRef keep-before.mRef && ok || fail "the earlier hero.mRef was changed"
expect_no_temp keep

current="many files at once keep their lines together and in order"
mkdir many
for n in 1 2 3 4 5; do write_reference many/m$n.smd; done
write_broken many/m3.smd
run -j 3 ref many/m1.smd many/m2.smd many/m3.smd many/m4.smd many/m5.smd
expect_rc 1
for n in 1 2 4 5; do expect_file many/m$n.mRef; done
expect_no_file many/m3.mRef
# Each file's block starts with its [Ref] line and ends with its "wrote" line.
order=$(grep -oE '^(\[Ref\] m[0-9]|wrote many/m[0-9])' out.txt | tr '\n' ' ')
[ "$order" = "[Ref] m1 wrote many/m1 [Ref] m2 wrote many/m2 [Ref] m3 [Ref] m4 wrote many/m4 [Ref] m5 wrote many/m5 " ] && ok || fail "lines out of order: $order"
expect_in err.txt "many/m3.smd"
run -j 0 ref many/m1.smd
expect_rc 2

current="endless lines and binary data are refused at once"
# 2 GB of zero bytes, sparse: refused from its first megabyte.
truncate -s 2G zero.smd
run ref zero.smd
expect_rc 1
expect_in err.txt "zero.smd:1: the line holds a zero byte"
expect_no_file zero.mRef
run info zero.smd
expect_rc 1
expect_in err.txt "zero.smd:1: the line holds a zero byte"
rm -f zero.smd
{ echo "version 1"; head -c 3000000 /dev/zero | tr '\0' 'x'; } >endless.smd
run ref endless.smd
expect_rc 1
expect_in err.txt "endless.smd:2: the line is longer than 1048576 bytes"
expect_no_file endless.mRef
run ani endless.smd
expect_in err.txt "endless.smd:2: the line is longer than 1048576 bytes"

current="old Mac line ends, a byte-order mark, and files that hold no model"
mkdir ends
write_reference ends/unix.smd
tr '\n' '\r' <ends/unix.smd >ends/mac.smd
{ printf '\357\273\277'; cat ends/unix.smd; } >ends/marked.smd
run ref ends/unix.smd ends/mac.smd ends/marked.smd
expect_rc 0
cmp -s ends/unix.mRef ends/mac.mRef && ok || fail "lines ended by a lone CR convert differently"
cmp -s ends/unix.mRef ends/marked.mRef && ok || fail "a byte-order mark changes the output"
printf 'version 1\nasdf ghjk\n' >ends/garbage.smd
run ref ends/garbage.smd
expect_rc 1
expect_in err.txt "garbage.smd: the file has no nodes"
expect_in err.txt "Error: SMD 파일이 아닙니다!!"
expect_no_file ends/garbage.mRef

current="two sources, one output"
mkdir twice
write_reference twice/a.smd
write_reference twice/a.SMD
run ref twice/a.smd twice/a.SMD
expect_rc 1
expect_in err.txt "twice/a.SMD: the output twice/a.mRef is also the output of twice/a.smd"
expect_file twice/a.mRef
[ "$(grep -c '^wrote' out.txt)" -eq 1 ] && ok || fail "an output was written twice: $(cat out.txt)"
# Names that differ only in case are one file where case is ignored.
write_reference twice/B.smd
write_reference twice/b.smd
run ref twice/B.smd twice/b.smd
expect_rc 1
expect_in err.txt "twice/b.smd: the output twice/b.mRef is also the output of twice/B.smd"
write_reference twice/hero.smd
cp twice/hero.smd twice/hero
run ref twice/hero.smd twice/hero
expect_rc 1
expect_in err.txt "twice/hero: the output twice/hero.mRef is also the output of twice/hero.smd"
# An output that is another source of the run is never written, whatever the order.
write_animation twice/c.mRef
cp twice/c.mRef c-before.smd
for order in "twice/c.smd twice/c.mRef" "twice/c.mRef twice/c.smd"; do
    write_reference twice/c.smd
    run ref $order
    expect_rc 1
    expect_in err.txt "twice/c.smd: the output twice/c.mRef would overwrite twice/c.mRef, a source of this run"
    cmp -s twice/c.mRef c-before.smd && ok || fail "the source c.mRef was written ($order)"
done
# The same file under another name: a hard link is found by its identity.
write_reference twice/e.smd
write_reference twice/f.smd
ln twice/f.smd twice/e.mRef
run ref twice/e.smd twice/f.smd
expect_rc 1
expect_in err.txt "twice/e.smd: the output twice/e.mRef would overwrite twice/f.smd, a source of this run"
expect_file twice/f.mRef
cmp -s twice/f.smd twice/hero.smd && ok || fail "the source f.smd was written through its link"
expect_no_temp twice

current="names as long as the file system allows, and the mode of a replaced output"
mkdir long
stem=$(printf 'n%.0s' $(seq 250))
write_reference "long/$stem.smd"
run ref "long/$stem.smd"
expect_rc 0
expect_file "long/$stem.mRef"
[ $windows = 0 ] && chmod 640 "long/$stem.mRef"
run ref "long/$stem.smd"
expect_rc 0
if [ $windows = 0 ]; then
    [ "$(stat -c %a "long/$stem.mRef")" = 640 ] && ok || fail "the replaced output's mode became $(stat -c %a "long/$stem.mRef")"
fi
expect_listing long "$stem.smd" "$stem.mRef"

current="failed writes"
mkdir full
write_reference full/hero.smd
"${runner[@]}" "$tool" ref full/hero.smd >/dev/full 2>err.txt
rc=$?
expect_rc 1
expect_in err.txt "veskar-convert: cannot write standard output: No space left on device"
if [ $windows = 1 ]; then
    echo "SKIP: $current: a file size limit (ulimit -f) is POSIX's; case not checked"
else
# A file size limit fails the write as a full disk does.
cp full/hero.mRef full-before.mRef
{ printf 'version 1\nnodes\n0 "root" -1\nend\nskeleton\ntime 0\n0 0 0 0 0 0 0\nend\ntriangles\n'
  for i in $(seq 400); do printf 'skin.bmp\n0 %d 0 0 0 0 1 0 0 1 0 1\n0 %d 1 0 0 0 1 1 0 1 0 1\n0 %d 0 1 0 0 1 0 1 1 0 1\n' $i $i $i; done
  echo end; } >full/hero.smd
(ulimit -f 8; trap '' XFSZ; exec "$tool" ref full/hero.smd) >out.txt 2>err.txt
rc=$?
expect_rc 1
expect_in err.txt "full/hero.mRef: cannot write: File too large"
expect_not_in out.txt "wrote"
cmp -s full/hero.mRef full-before.mRef && ok || fail "the earlier output was changed by a failed write"
expect_listing full hero.smd hero.mRef
fi

current="control characters in file names are escaped"
mkdir odd
write_reference "odd/two
lines.smd"
printf 'broken\n' >"odd/esc$(printf '\033')[31m.smd"
run ref "odd/two
lines.smd" "odd/esc$(printf '\033')[31m.smd"
expect_rc 1
if [ $windows = 1 ]; then
    # Windows names cannot hold control characters: the system refuses them,
    # and the refusals show them escaped.
    expect_in err.txt 'odd/two\nlines.smd: cannot open: Invalid argument'
    expect_in err.txt 'odd/esc\x1B[31m.smd: cannot open: Invalid argument'
    [ "$(grep -c . err.txt)" -eq 2 ] && ok || fail "a name broke the lines of standard error: $(cat err.txt)"
else
    expect_in out.txt 'wrote odd/two\nlines.mRef'
    expect_in out.txt '[Ref] two\nlines.mRef'
    expect_in err.txt 'odd/esc\x1B[31m.smd:1: '
    [ "$(grep -c . out.txt)" -eq 6 ] && ok || fail "a name broke the lines of standard output: $(cat out.txt)"
fi
expect_not_in out.txt "$(printf '\033')"
expect_not_in err.txt "$(printf '\033')"

current="interrupted runs leave no partial file"
# The tool is stopped while it writes, sent the signal, and let go; the folder
# then holds the source and the earlier output, unchanged. The tool runs at
# the lowest priority and its animation is large (about 25 MB out), so that
# on a loaded machine too the checks come often enough to catch it writing. Windows has no
# signals, but a program ended from outside (Task Manager, TerminateProcess)
# is what KILL is to the Windows program under Wine.
writing() { # writing PID: a file in the folder other than the source is open
    find "/proc/$1/fd" -lname "$work/signals/*" ! -lname "$work/signals/walk.smd" 2>/dev/null | grep -q .
}
interrupt() { # interrupt SIGNAL NAMED
    local pid caught=0 i attempt
    # A busy machine can let a conversion write between two looks; a run not
    # caught wrote the same bytes, so it is simply tried again.
    for attempt in 1 2 3 4 5; do
        env --default-signal=INT,TERM,HUP,PIPE ${2:+VESKAR_NAMED_TEMPORARIES=1} nice -n 19 "${runner[@]}" "$tool" ani signals/walk.smd >/dev/null 2>&1 &
        pid=$!
        for i in $(seq 6000); do
            kill -STOP "$pid" 2>/dev/null || break
            if writing "$pid"; then
                kill -"$1" "$pid"
                kill -CONT "$pid" 2>/dev/null
                caught=1
                break
            fi
            kill -CONT "$pid"
            sleep 0.005
        done
        { wait "$pid"; } 2>/dev/null
        rc=$?
        [ $caught = 1 ] && break
    done
    # Under Wine the server closes a killed program's handles, and so removes
    # its marked temporary file, a moment after the process is gone.
    if [ $windows = 1 ]; then
        for i in $(seq 50); do
            [ "$(ls -A signals | wc -l)" -le 2 ] && break
            sleep 0.1
        done
    fi
    [ $caught = 1 ] && ok || fail "$1${2:+ ($2)}: the conversion ended before it could be interrupted while writing"
    [ $rc -eq $((128 + $(kill -l "$1"))) ] && ok || fail "$1${2:+ ($2)}: exit status $rc, not the signal's"
    expect_listing signals walk.smd walk.mAni
    cmp -s signals/walk.mAni signals-before.mAni && ok || fail "$1${2:+ ($2)}: the earlier output was changed"
}
if [ -z "$sample" ]; then
    echo "SKIP: $current: no veskar-sample given to make a large file"
elif ! env --default-signal=INT true 2>/dev/null; then
    echo "SKIP: $current: env cannot reset signals to their default"
else
    mkdir signals
    "${runner[@]}" "$sample" large-ani signals/walk.smd --frames 8000 --bones 60 >/dev/null &&
        "${runner[@]}" "$tool" ani signals/walk.smd >/dev/null && cp signals/walk.mAni signals-before.mAni || fail "cannot make the large animation"
    if [ $windows = 1 ]; then
        interrupt KILL
    else
        for signal in INT TERM HUP PIPE KILL; do interrupt $signal; done
        for signal in INT TERM HUP PIPE; do interrupt $signal named; done
    fi
fi

current="glTF: a character with its animation and texture"
mkdir gltf
write_reference gltf/hero.smd
write_animation gltf/walk.smd
# A 2 x 2 BMP under another case than the material names it: found, and embedded as PNG.
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0' >gltf/SKIN.BMP
printf '\xff\0\0\0\xff\0\0\0\0\0\xff\0\xff\xff\xff\0' >>gltf/SKIN.BMP
cp gltf/hero.smd gltf-source-before.smd
run gltf gltf/hero.smd gltf/walk.smd
expect_rc 0
expect_file gltf/hero.glb
expect_in out.txt "[Gltf] hero.glb"
expect_in out.txt "wrote gltf/hero.glb"
expect_empty err.txt
[ "$(head -c 4 gltf/hero.glb)" = "glTF" ] && ok || fail "hero.glb does not start with the glTF magic"
expect_in gltf/hero.glb '"mimeType":"image/png"'
expect_in gltf/hero.glb '"name":"walk"'
cmp -s gltf/hero.smd gltf-source-before.smd && ok || fail "the source file was changed"
expect_no_temp gltf

current="glTF from mRef and mAni, to a named output, scaled"
run ref gltf/hero.smd
run ani gltf/walk.smd
run gltf gltf/hero.mRef gltf/walk.mAni -o gltf/engine.glb --scale 0.0254 --fps 24
expect_rc 0
expect_file gltf/engine.glb
expect_in out.txt "wrote gltf/engine.glb"

current="glTF usage errors"
for args in "gltf" "gltf gltf/hero.smd --fps 0" "gltf gltf/hero.smd --fps 1e-40" "gltf gltf/hero.smd --fps abc" "gltf gltf/hero.smd --scale -1" \
    "gltf gltf/hero.smd --bogus" "gltf gltf/hero.smd -o" "gltf gltf/hero.smd models/hero.smd -o one.glb"; do
    # shellcheck disable=SC2086
    run $args
    expect_rc 2
    expect_in err.txt "veskar-convert gltf: "
done
expect_no_file one.glb

current="glTF refusals"
write_broken broken-ref.smd
run gltf broken-ref.smd
expect_rc 1
expect_in err.txt "broken-ref.smd:7: "
expect_no_file broken-ref.glb
# An animation of another skeleton is left out; the character is written.
sed 's/"Bip01"/"Other"/; s/"Bip01 L Hand"/"Another"/' gltf/walk.smd >gltf/foreign.smd
run gltf gltf/hero.smd gltf/foreign.smd -o gltf/partial.glb
expect_rc 1
expect_in err.txt "gltf/foreign.smd: no node of the animation has the name of a joint"
expect_file gltf/partial.glb
# An extra bone in the animation is skipped and said once.
sed 's/^1 "Bip01 L Hand" 0$/1 "Bip01 L Hand" 0\n2 "Prop" 0/; s/^1 1.000000 0.000000 0.000000 0.000000 0.000000 \(.*\)$/&\n2 0 0 0 0 0 0/' gltf/walk.smd >gltf/prop.smd
run gltf gltf/hero.smd gltf/prop.smd -o gltf/prop.glb
expect_rc 0
expect_in err.txt '1 node that hero.smd does not have was skipped: "Prop"'
# An animation cut short, or one with nodes and no frames, is refused as itself,
# not taken for a second reference; the rest is written.
head -c 40 gltf/walk.smd >gltf/cut.smd
head -n 6 gltf/walk.smd >gltf/noframes.smd
echo end >>gltf/noframes.smd
for animation in cut noframes; do
    rm -f gltf/out.glb
    run gltf gltf/hero.smd gltf/$animation.smd -o gltf/out.glb
    expect_rc 1
    expect_in err.txt "gltf/$animation.smd:"
    expect_not_in err.txt "give it one reference"
    expect_file gltf/out.glb
done
expect_in err.txt "gltf/noframes.smd:6: the skeleton has no \"time\" line"
# Nothing that is not finite is written: a length that --scale takes beyond a
# float's range refuses its file at its line, and so does a bind pose whose
# translations add up beyond it.
awk 'NR == 13 {$2 = "3e38"} {print}' gltf/hero.smd >gltf/huge.smd
awk 'NR == 11 {$4 = "-3e38"} {print}' gltf/walk.smd >gltf/hugewalk.smd
awk 'NR == 8 || NR == 9 {$2 = "3e38"} {print}' gltf/hero.smd >gltf/chain.smd
run gltf gltf/huge.smd --scale 1e6
expect_rc 1
expect_in err.txt "gltf/huge.smd:13: a length times --scale 1e+06 is not a finite number"
expect_no_file gltf/huge.glb
run gltf gltf/hero.smd gltf/hugewalk.smd --scale 1e6 -o gltf/hugewalk.glb
expect_rc 1
expect_in err.txt "gltf/hugewalk.smd:11: a length times --scale 1e+06 is not a finite number"
expect_file gltf/hugewalk.glb
expect_not_in gltf/hugewalk.glb '"name":"hugewalk"'
run gltf gltf/chain.smd
expect_rc 1
expect_in err.txt "its parents' translations added, lies beyond a float's range"
expect_no_file gltf/chain.glb
# Never onto a texture the reference names (skin.bmp, found as SKIN.BMP),
# from SMD or mRef, under its own name or through another folder.
cp gltf/SKIN.BMP skin-before.bmp
mkdir -p gltf/sub
for args in "gltf/hero.smd gltf/walk.smd -o gltf/SKIN.BMP" "gltf/hero.mRef gltf/walk.mAni -o gltf/SKIN.BMP" \
    "gltf/hero.smd -o gltf/sub/../SKIN.BMP"; do
    # shellcheck disable=SC2086
    run gltf $args
    expect_rc 1
    # Named as found: SKIN.BMP, or skin.bmp where names ignore case.
    grep -qiF "would overwrite gltf/SKIN.BMP, a source of this run" err.txt && ok || fail "the texture is not named: $(cat err.txt)"
    expect_not_in out.txt "wrote"
    cmp -s gltf/SKIN.BMP skin-before.bmp && ok || fail "the texture was written ($args)"
done
# Never onto a source.
run gltf gltf/hero.smd gltf/walk.smd -o gltf/walk.smd
expect_rc 1
expect_in err.txt "would overwrite"
cmp -s gltf/hero.smd gltf-source-before.smd && ok || fail "the source file was changed"
head -n 1 gltf/walk.smd | grep -q '^version 1' && ok || fail "walk.smd was overwritten"
# A missing texture leaves its material untextured and says so.
write_reference notex.smd
run gltf notex.smd
expect_rc 0
expect_in err.txt 'texture "skin.bmp"'
expect_file notex.glb

current="glTF: textures that do not decode, or declare too large a picture, are left out with a line"
# A 1 x 1 PNG, whole; then cut in its pixels, cut to 30 bytes, declaring
# 16000 x 16000, and a JPEG header with garbage after it.
png() { printf '\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0%b\0\0%b\x08\x06\0\0\0\x1f\x15\xc4\x89\0\0\0\x0aIDATx\x9cc\0\x01\0\0\x05\0\x01\x0d\x0a\x2d\xb4\0\0\0\0IEND\xaeB`\x82' "$1" "$1"; }
mkdir textures
png '\0\x01' >textures/whole.png
head -c 50 textures/whole.png >textures/cut.png
head -c 30 textures/whole.png >textures/short.png
png '\x3e\x80' >textures/bomb.png
{ printf '\xff\xd8\xff\xe0'; head -c 300 /dev/zero | tr '\0' 'x'; } >textures/garbage.jpg
for texture in cut.png short.png bomb.png garbage.jpg; do
    sed "s/skin\.bmp/$texture/" gltf/hero.smd >textures/hero.smd
    run gltf textures/hero.smd -o textures/hero.glb
    expect_rc 0
    expect_in err.txt "texture \"$texture\""
    expect_in err.txt "its material is left untextured"
    expect_not_in textures/hero.glb '"images"'
done
expect_in err.txt "garbage.jpg): not an image that can be read"
run gltf textures/hero.smd -o textures/hero.glb
sed "s/skin\.bmp/bomb.png/" gltf/hero.smd >textures/hero.smd
run gltf textures/hero.smd -o textures/hero.glb
expect_in err.txt "16000 x 16000 pixels: 977 MiB decoded, more than the 256 MiB a texture may take"
# A DDS texture of one BC1 block goes in as PNG.
{ printf 'DDS \x7c\0\0\0\x07\x10\0\0\x04\0\0\0\x04\0\0\0'; head -c 56 /dev/zero; printf '\x20\0\0\0\x04\0\0\0DXT1'
  head -c 20 /dev/zero; printf '\0\x10\0\0'; head -c 16 /dev/zero; printf '\x00\xf8\x00\xf8\0\0\0\0'; } >textures/skin.dds
sed "s/skin\.bmp/SKIN.DDS/" gltf/hero.smd >textures/hero.smd
run gltf textures/hero.smd -o textures/hero.glb
expect_rc 0
expect_empty err.txt
expect_in textures/hero.glb '"mimeType":"image/png"'

current="glTF: a texture from outside the model's folder is embedded, said once, and named by its file name"
mkdir -p shared outside
png '\0\x01' >shared/skin.png
sed 's/skin\.bmp/..\\shared\\skin.png/' gltf/hero.smd >outside/hero.smd
run gltf outside/hero.smd
expect_rc 0
expect_in err.txt "outside/hero.smd: texture ../shared/skin.png is outside the model's folder"
[ "$(grep -c "outside the model's folder" err.txt)" -eq 1 ] && ok || fail "said $(grep -c "outside the model's folder" err.txt) times"
expect_in outside/hero.glb '"images":[{"bufferView":'
grep -ao '"images":\[[^]]*\]' outside/hero.glb | grep -aqF '"name":"skin.png"' && ok || fail "the image is not named skin.png"

current="glTF: -o NAME.gltf writes the text form, NAME.gltf and NAME.bin"
run gltf gltf/hero.smd gltf/walk.smd -o gltf/text.gltf
expect_rc 0
expect_in out.txt "wrote gltf/text.bin"
expect_in out.txt "wrote gltf/text.gltf"
[ "$(head -c 1 gltf/text.gltf)" = "{" ] && ok || fail "text.gltf is not JSON"
expect_in gltf/text.gltf '"uri": "text.bin"'
expect_in gltf/text.gltf "\"byteLength\": $(wc -c <gltf/text.bin | tr -d ' ')"
expect_not_in gltf/text.gltf 'data:'
expect_no_temp gltf
# The .bin is an output too: never a source of the run.
cp gltf/walk.smd gltf/walkbin.bin
run gltf gltf/hero.smd gltf/walkbin.bin -o gltf/walkbin.gltf
expect_rc 1
expect_in err.txt "the output gltf/walkbin.bin would overwrite"
expect_no_file gltf/walkbin.gltf
cmp -s gltf/walk.smd gltf/walkbin.bin && ok || fail "walkbin.bin was overwritten"

current="glTF of several references at once"
run -j 2 gltf many/m1.smd many/m2.smd gltf/hero.smd gltf/hero.mRef
expect_rc 1
expect_file many/m1.glb
expect_file many/m2.glb
order=$(grep -oE '^(\[Gltf\] [a-z0-9]+|wrote [a-z/0-9]+)' out.txt | tr '\n' ' ')
[ "$order" = "[Gltf] m1 wrote many/m1 [Gltf] m2 wrote many/m2 [Gltf] hero wrote gltf/hero " ] && ok || fail "lines out of order: $order"
# hero.smd and hero.mRef would both write hero.glb: the later one is refused.
expect_in err.txt "gltf/hero.mRef: the output gltf/hero.glb is also the output of gltf/hero.smd"

current="memory running short refuses the file, never the run"
# Under an address-space limit every command either finishes or refuses the
# file that needed more ("FILE: not enough memory ..."), exit status 1, and
# takes the next file; it never ends in an uncaught std::bad_alloc.
if [ $windows = 1 ]; then
    echo "SKIP: $current: a memory limit (ulimit -v) is POSIX's; case not checked"
elif [ -z "$sample" ]; then
    echo "SKIP: $current: no veskar-sample given to make a large file"
elif ! (ulimit -v 300000 && "$tool" --help >/dev/null 2>&1); then
    echo "SKIP: $current: the tool does not start under a memory limit (a sanitizer build); case not checked"
else
    mkdir memory
    "$sample" large-ref memory/big.smd --triangles 200000 --bones 30 >/dev/null || fail "cannot make the large reference"
    write_reference memory/small.smd
    for limit in 40000 55000 70000 85000 100000; do
        # Below what the program needs to start, the limit tells nothing.
        (ulimit -v $limit && "$tool" --help >/dev/null 2>&1) || continue
        for command in info ref gltf; do
            rm -f memory/*.mRef memory/*.glb
            (ulimit -v $limit && exec "$tool" -j 1 $command memory/big.smd memory/small.smd) >out.txt 2>err.txt
            rc=$?
            if [ $rc = 1 ]; then
                expect_in err.txt "memory/big.smd: not enough memory"
            else
                [ $rc = 0 ] && ok || fail "$command under ulimit -v $limit: exit status $rc ($(head -c 200 err.txt))"
            fi
            [ $command = info ] || expect_file memory/small.$([ $command = ref ] && echo mRef || echo glb)
        done
    done
fi

current="time blocks out of order mean the same animation"
# A bone a frame leaves out holds the frame before's pose, whichever order the
# blocks stand in: the shuffled file converts and exports to the same bytes.
mkdir -p blocks/ordered blocks/shuffled
write_reference blocks/hero.smd
head -n 6 gltf/walk.smd >blocks/head.txt
{ cat blocks/head.txt; printf 'time 0\n0 0 0 0 0 0 0\n1 1 0 0 0 0 0\ntime 1\n1 1 0 0 0 0 0.5\ntime 2\n0 0 0 2 0 0 0\nend\n'; } >blocks/ordered/walk.smd
{ cat blocks/head.txt; printf 'time 0\n0 0 0 0 0 0 0\n1 1 0 0 0 0 0\ntime 2\n0 0 0 2 0 0 0\ntime 1\n1 1 0 0 0 0 0.5\nend\n'; } >blocks/shuffled/walk.smd
run ani blocks/ordered/walk.smd blocks/shuffled/walk.smd
expect_rc 0
cmp -s blocks/ordered/walk.mAni blocks/shuffled/walk.mAni && ok || fail "the shuffled blocks give another mAni"
for order in ordered shuffled; do run gltf blocks/hero.smd blocks/$order/walk.smd -o blocks/$order.glb; done
expect_rc 0
cmp -s blocks/ordered.glb blocks/shuffled.glb && ok || fail "the shuffled blocks give another .glb"

current="SMD back from mRef and mAni, the same bytes converted again"
mkdir back
write_reference back/hero.smd
write_animation back/walk.smd
run ref back/hero.smd
run ani back/walk.smd
cp back/hero.smd hero-source.smd
cp back/hero.mRef hero-first.mRef
cp back/walk.mAni walk-first.mAni
# Beside the sources are the artist's SMD files: kept unless asked.
run smd back/hero.mRef back/walk.mAni
expect_rc 1
expect_in err.txt "back/hero.mRef: back/hero.smd already exists"
expect_in err.txt "only with --force"
cmp -s back/hero.smd hero-source.smd && ok || fail "an existing SMD was replaced without --force"
run smd back/hero.mRef -o back/hero2.smd
expect_rc 0
expect_in out.txt "wrote back/hero2.smd"
run smd --force back/walk.mAni
expect_rc 0
run ref back/hero2.smd
cmp -s back/hero2.mRef hero-first.mRef && ok || fail "mRef -> SMD -> mRef changed the mRef"
run ani back/walk.smd
cmp -s back/walk.mAni walk-first.mAni && ok || fail "mAni -> SMD -> mAni changed the mAni"
run smd back/hero2.smd back/hero.mRef -o x.smd
expect_rc 2
run smd back/hero2.smd -o x.smd
expect_rc 1
expect_in err.txt "an SMD file already"
expect_no_file x.smd

current="check against engine limits"
mkdir limits
write_reference limits/legal.smd
run check --target source limits/legal.smd
expect_rc 0
expect_empty out.txt
expect_empty err.txt
# Two corners of two links each: GoldSrc reads only the parent bone.
awk 'NR == 13 || NR == 19 {$10 = 2; $0 = $0 " 1 0.5"; sub(/ 1\.0 1 0\.5$/, " 0.5 1 0.5")} {print}' limits/legal.smd >limits/multi.smd
run check --target goldsrc limits/multi.smd limits/legal.smd
expect_rc 1
expect_in out.txt "limits/multi.smd:13: vertex has 2 links; GoldSrc's studiomdl reads only its parent bone 0"
expect_in out.txt "limits/multi.smd:19: vertex has 2 links"
expect_in out.txt "(s_vertex_t holds one bone, utils/studiomdl/studiomdl.h)"
expect_not_in out.txt "legal.smd"
[ "$(wc -l <out.txt)" -eq 2 ] && ok || fail "expected two findings: $(cat out.txt)"
run check --target source limits/multi.smd
expect_rc 0
# The default is this system's engine: an mRef names one texture.
sed 's/^skin\.bmp$/face.bmp/;t;b' limits/legal.smd | awk '/^face.bmp$/ && ++n == 1 {print "skin.bmp"; next} {print}' >limits/two.smd
run check limits/two.smd
expect_rc 1
expect_in out.txt 'limits/two.smd:16: material "face.bmp": an mRef names one texture and keeps the first, "skin.bmp"'
run check --target quake limits/legal.smd
expect_rc 2
expect_in err.txt "--target needs goldsrc, source or mref"
write_broken limits/broken.smd
run check limits/broken.smd
expect_rc 1
expect_in err.txt "limits/broken.smd:7:"

current="glTF in: the export back to mRef and mAni"
run gltf gltf/hero.smd gltf/walk.smd -o back.glb
run ref back.glb
expect_rc 0
expect_in out.txt "[Ref] back.mRef"
expect_in out.txt "[후 버텍스 개수] : 4"
expect_in out.txt "wrote back.mRef"
expect_empty err.txt
[ "$(sed -n '/^nodes/,/^end/p' back.mRef)" = "$(sed -n '/^nodes/,/^end/p' gltf/hero.mRef)" ] && ok || fail "the nodes differ from hero.mRef's"
run ani back.glb
expect_rc 0
expect_in out.txt "[Ani] back_walk.mAni"
expect_in out.txt "[Time] 3"
expect_file back_walk.mAni
# The text form of the export (.gltf with its .bin) reads as the binary one.
run gltf gltf/hero.smd gltf/walk.smd -o text.gltf
run ref text.gltf
expect_rc 0
cmp -s text.mRef back.mRef && ok || fail "text.mRef differs from back.mRef"
run info back.glb
expect_rc 0
expect_in out.txt "back.glb: glTF 2.0 (binary)"
expect_in out.txt "animation walk: 3 keys at 30 a second"
expect_in out.txt "vertices 6 before welding, 4 after"
# Lengths divided as the export multiplied them, keys at the rate asked for.
run ref gltf/engine.glb --scale 0.0254
expect_rc 0
awk 'FNR == 1 { f++ } /^vertices$/ { v = 1; next } /^end$/ { v = 0 } v && f == 1 { a[FNR] = $2 } v && f == 2 { if ((a[FNR] - $2) ^ 2 > 1e-8) bad = 1 } END { exit bad }' \
    gltf/hero.mRef gltf/engine.mRef && ok || fail "engine.mRef's positions are not hero.mRef's"
run ani gltf/engine.glb --fps 12
expect_in out.txt "[Time] 2"
run ref back.glb --scale 0
expect_rc 2
expect_in err.txt "--scale needs a number above 0"

current="glTF in: its .bin and images are sources"
# A .gltf whose buffer file has the name its mRef would get: never written over.
printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x80\x3f\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x80\x3f\0\0\0\0' >tri.mRef
cp tri.mRef tri-before.bin
printf '%s\n' '{"asset": {"version": "2.0"}, "scenes": [{"nodes": [0]}], "nodes": [{"name": "tri", "mesh": 0}],' \
    ' "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],' \
    ' "buffers": [{"uri": "tri.mRef", "byteLength": 36}], "bufferViews": [{"buffer": 0, "byteLength": 36}],' \
    ' "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"}]}' >tri.gltf
run ref tri.gltf
expect_rc 1
expect_in err.txt "tri.gltf: the output tri.mRef"
cmp -s tri.mRef tri-before.bin && ok || fail "the buffer file was written over"
cp tri-before.bin tri.bin
# Read from tri.bin, with a camera and a morph target: each ignored with one line.
sed 's/"tri.mRef"/"tri.bin"/; s/"POSITION": 0}}/"POSITION": 0}, "targets": [{"POSITION": 0}]}/; s/^{/{"cameras": [{"type": "perspective", "perspective": {"yfov": 1, "znear": 0.1}}], /' \
    tri.gltf >tri2.gltf
run ref tri2.gltf
expect_rc 0
expect_in out.txt "[후 인덱스 개수] : 1"
expect_in err.txt "tri2.gltf: 1 camera is ignored"
expect_in err.txt "tri2.gltf: 1 morph target is ignored"
# Several materials: one mRef with the first one's texture, and the warning SMD gives.
run gltf models/two.smd -o two.glb
run ref two.glb
expect_rc 0
expect_in err.txt "two.glb has 2 materials, but an mRef names one texture: two.mRef keeps skin.bmp"

current="glTF in: files written by others"
others=/usr/share/assimp/models/glTF2
if [ -d "$others" ]; then
    mkdir -p others
    for d in simple_skin BoxTextured-glTF BoxTextured-glTF-Embedded BoxTextured-glTF-Binary IndexOutOfRange BoxWithInfinites-glTF-Binary \
        RecursiveNodes wrongTypes MissingBin TestNoRootNode; do cp -r "$others/$d" others/; done
    run ref others/simple_skin/simple_skin.gltf others/BoxTextured-glTF/BoxTextured.gltf others/BoxTextured-glTF-Embedded/BoxTextured.gltf \
        others/BoxTextured-glTF-Binary/BoxTextured.glb
    expect_rc 0
    [ "$(sed -n 3p others/BoxTextured-glTF/BoxTextured.mRef)" = CesiumLogoFlat.png ] && ok || fail "the texture is not the image's file"
    expect_file others/BoxTextured-glTF-Binary/BoxTextured.mRef
    run ani others/simple_skin/simple_skin.gltf
    expect_rc 0
    expect_in out.txt "[Ani] simple_skin_animation0.mAni"
    expect_in out.txt "[Time] 166"
    # Each broken file is refused at its JSON place, and nothing is written.
    while IFS='|' read -r file place; do
        run ref "others/$file"
        expect_rc 1
        expect_in err.txt "others/$file: $place"
        expect_no_file "others/${file%.*}.mRef"
    done <<'ROWS'
IndexOutOfRange/IndexOutOfRange.gltf|/meshes/0/primitives/0/indices: index 255 beyond 24 vertices
IndexOutOfRange/AllIndicesOutOfRange.gltf|/meshes/0/primitives/0/indices: index 65535 beyond 24 vertices
BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb|/meshes/0/primitives/0/attributes/POSITION: accessor 2: element 0 holds a number that is not finite
RecursiveNodes/RecursiveNodes.gltf|/nodes/1/children/0: the children form a loop
wrongTypes/badArray.gltf|/meshes/0/primitives: must be an array
wrongTypes/badExtension.gltf|/materials/0/pbrMetallicRoughness/baseColorTexture/extensions/KHR_texture_transform: must be an object
wrongTypes/badNumber.gltf|/materials/0/normalTexture: needs "index"
wrongTypes/badObject.gltf|/materials/0/pbrMetallicRoughness: must be an object
wrongTypes/badString.gltf|/scenes/0/name: must be a string
wrongTypes/badUint.gltf|/materials/0/pbrMetallicRoughness/baseColorTexture/index: must be an index into textures
MissingBin/BoxTextured.gltf|/buffers/0/uri: cannot open
TestNoRootNode/NoScene.gltf|/scene: index 0 beyond 0 scenes
TestNoRootNode/SceneWithoutNodes.gltf|/scenes/0: the scene holds no nodes
ROWS
else
    echo "SKIP: $current: assimp-testmodels not installed at $others"
fi

current="SMD and check from glTF"
run gltf back/hero.smd back/walk.smd -o limits/char.glb
run ref limits/char.glb
run ani limits/char.glb
mkdir limits/again
run smd limits/char.glb -o limits/again/char.smd
expect_rc 0
expect_in out.txt "wrote limits/again/char.smd"
expect_in out.txt "wrote limits/again/char_walk.smd"
run ref limits/again/char.smd
cmp -s limits/again/char.mRef limits/char.mRef && ok || fail "glTF -> SMD -> mRef differs from glTF -> mRef"
run ani limits/again/char_walk.smd
cmp -s limits/again/char_walk.mAni limits/char_walk.mAni && ok || fail "glTF -> SMD -> mAni differs from glTF -> mAni"
run check --target goldsrc limits/char.glb
expect_rc 0
run gltf limits/multi.smd -o limits/multi.glb
run check --target goldsrc limits/multi.glb
expect_rc 1
expect_in out.txt "limits/multi.glb: triangle 0 corner 0: vertex has 2 links"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
