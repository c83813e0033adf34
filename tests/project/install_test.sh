#!/usr/bin/env bash
# The installed programs work from any folder: installs the build into a
# temporary prefix, then runs the viewer headless from an unrelated folder and
# checks that it found its effect (no "ERROR", the character drawn); the same
# with the effect beside a copied executable, and without any, where the box
# must name every place looked in.
# Usage: install_test.sh CMAKE BUILD_DIR
set -u

cmake=${1:?path to cmake}
build=${2:?build folder}

for tool in convert od; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (package: imagemagick)"
        exit 0
    fi
done

. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
lacks() { ! grep -q "$2" "$1"; } # lacks FILE PATTERN

work=$(mktemp -d "${TMPDIR:-/tmp}/veskar-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

if ! "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    echo "cmake --install failed:"
    cat "$work/install.log"
    exit 1
fi
installed=$(cd "$prefix" && find . -type f | sort | tr '\n' ' ')
check "the programs go to bin/ and the effect to share/veskar/Shaders ($installed)" \
    [ "$installed" = "./bin/veskar ./bin/veskar-convert ./bin/veskar-sample ./share/veskar/Shaders/Phong.fx " ]

# Everything below runs from a folder that holds nothing of the project's.
elsewhere=$work/elsewhere
mkdir -p "$elsewhere"
cd "$elsewhere" || exit 1
if ! { "$prefix/bin/veskar-sample" character data && "$prefix/bin/veskar-convert" ref data/hero.smd; } >"$work/sample.log" 2>&1; then
    echo "the installed sample generator and converter failed:"
    cat "$work/sample.log"
    exit 1
fi

# Pixels of the picture's middle that are not the clear colour: the character.
drawn() {
    convert "$1" -crop 100x140+350+155 +repage -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w3 |
        awk '!($1 == 0 && $2 == 64 && $3 == 64) {n++} END {print n + 0}'
}
# view VESKAR NAME: renders the sample character headless into NAME.png, the
# viewer's output in NAME.log; true when it ended with 0.
view() {
    "$1" --headless --frames 2 --screenshot "$work/$2.png" --open-kovr1-mref data/hero.mRef >"$work/$2.log" 2>&1
}

echo "# installed: the effect from <prefix>/share/veskar"
view "$prefix/bin/veskar" installed
check "the viewer ends with 0" [ $? -eq 0 ]
check "and reports no error" lacks "$work/installed.log" ERROR
check "and draws the character ($(drawn "$work/installed.png") pixels)" [ "$(drawn "$work/installed.png")" -ge 2000 ]

echo "# copied elsewhere with Shaders/ beside it"
mkdir -p "$work/portable"
cp "$prefix/bin/veskar" "$work/portable/"
cp -r "$prefix/share/veskar/Shaders" "$work/portable/"
view "$work/portable/veskar" portable
check "the viewer finds the effect beside itself" lacks "$work/portable.log" ERROR
check "and draws the character" [ "$(drawn "$work/portable.png")" -ge 2000 ]

echo "# copied elsewhere alone"
mkdir -p "$work/bare/bin"
cp "$prefix/bin/veskar" "$work/bare/bin/"
view "$work/bare/bin/veskar" bare
status=$?
# The character was asked for on the command line and cannot be drawn: the
# run draws what it can and then fails, saying why.
check "without an effect the viewer draws on, then ends with 1" [ $status -eq 1 ]
check "and says the character was opened without it" grep -q "hero.mRef: opened without the effect Shaders/Phong.fx" "$work/bare.log"
missing=
for place in ./Shaders/Phong.fx "$work/bare/bin/Shaders/Phong.fx" "$work/bare/share/veskar/Shaders/Phong.fx"; do
    grep -qF -- "$place" "$work/bare.log" || missing="$missing $place"
done
names_all() { [ -z "$missing" ] && grep -q ERROR "$work/bare.log"; }
check "its ERROR names every place looked in${missing:+ (missing:$missing)}" names_all
[ -z "$missing" ] || sed 's/^/    /' "$work/bare.log"
# Only the green axis crosses that part of the picture then.
check "and draws no character ($(drawn "$work/bare.png") pixels)" [ "$(drawn "$work/bare.png")" -lt 1000 ]

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
