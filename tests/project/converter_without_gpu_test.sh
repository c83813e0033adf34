#!/usr/bin/env bash
# veskar-convert reads into plain records and writes from them: it links no
# GPU, window or font library, and no device code at all, so it cannot make
# a device. Checked on the built program: the libraries it needs, and the
# symbols it holds.
# Usage: converter_without_gpu_test.sh VESKAR_CONVERT
set -u

program=${1:?usage: converter_without_gpu_test.sh VESKAR_CONVERT}
. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

needed=$(readelf -d "$program" 2>/dev/null | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p')
check "the program's needed libraries can be read" [ -n "$needed" ]
for lib in libGL libEGL libOpenGL libepoxy libQt6 libfreetype libfontconfig libxcb libX11; do
    check "it needs no $lib" eval '! grep -q "^$lib" <<<"$needed"'
done
symbols=$(nm -C "$program" 2>/dev/null)
check "its symbols can be read" [ -n "$symbols" ]
for type in Device MemoryDevice GlDevice Effect TextDrawer SmdModel EngineModel; do
    check "it holds no veskar::$type code" eval '! grep -qE "veskar::$type::" <<<"$symbols"'
done

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
