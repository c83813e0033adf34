#!/usr/bin/env bash
# The core without any GUI library: configures the project in a fresh folder
# where Qt 6 cannot be found and pkg-config knows no package (so no libepoxy,
# EGL, FreeType or fontconfig), then builds and runs one of the core's tests.
# The viewer must be turned off with a message naming what is missing, and the
# converter, the sample generator and the core's tests must still be there.
# Usage: core_only_test.sh CMAKE SOURCE_DIR [COMPILER_LAUNCHER]
set -u

cmake=${1:?path to cmake}
source=${2:?source folder}
launcher=${3:-}

. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/veskar-core.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/no-packages"
build=$work/build

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
options=(-DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DVESKAR_WERROR=ON)
[[ -n $launcher ]] && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" -DCMAKE_C_COMPILER_LAUNCHER="$launcher")
PKG_CONFIG_LIBDIR=$work/no-packages PKG_CONFIG_PATH='' \
    "$cmake" -S "$source" -B "$build" "${generator[@]}" "${options[@]}" >"$work/configure.log" 2>&1
status=$?
check "configuring succeeds" [ $status -eq 0 ]
if [[ $status != 0 ]]; then
    sed 's/^/    /' "$work/configure.log"
    echo "$passed passed, $failed failed"
    exit 1
fi
check "the viewer is turned off with a message" grep -q "The viewer is not built: missing" "$work/configure.log"
for what in "Qt 6" "libepoxy and EGL" "FreeType and fontconfig"; do
    check "which names $what" grep -q "$what" "$work/configure.log"
done
check "and stays off in the cache" grep -q '^VESKAR_BUILD_VIEWER:BOOL=OFF$' "$build/CMakeCache.txt"

"$cmake" --build "$build" --target help >"$work/targets.txt" 2>&1
has() { grep -qE "(^|[ .:])$1(:| |$)" "$work/targets.txt"; }
for target in veskar-convert veskar-sample veskar_convert base_math_test convert_corpus_test malformed_input_test; do
    check "$target is there" has "$target"
done
for target in veskar veskar_gpu_gl veskar_host veskar_render veskar_app render_tests; do
    check "$target is not" eval '! has "$target"'
done

# One small core test, built and run: the core's compile and link lines need
# nothing that was hidden.
if "$cmake" --build "$build" --target base_math_test >"$work/build.log" 2>&1; then
    pass "base_math_test builds"
    (cd "$source" && "$build/tests/base/base_math_test" >"$work/test.log" 2>&1)
    check "and passes" [ $? -eq 0 ]
else
    fail "base_math_test builds"
    tail -30 "$work/build.log" | sed 's/^/    /'
fi

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
