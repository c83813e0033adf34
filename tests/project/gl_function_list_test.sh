#!/usr/bin/env bash
# The Windows GL loader fetches exactly the OpenGL functions the device and
# the off-screen context call: every function named in
# src/gpu/gl/win32/GlFunctionList.h is called, and every one called is
# named there. Runs on Linux, where a call added to the device would
# otherwise break only the Windows build.
# Usage: gl_function_list_test.sh SRC_DIR
set -u

src=${1:?usage: gl_function_list_test.sh SRC_DIR}
list=$src/gpu/gl/win32/GlFunctionList.h
# The sources that call OpenGL: those including the entry points' header, and
# the Windows half itself.
mapfile -t sources < <(grep -rlE '#include "gpu/gl/(win32/)?GlFunctions.h"' "$src/gpu" "$src/host" --include='*.cpp')

listed=$(sed -nE 's/^VESKAR_GL\([^,]+, *([A-Za-z0-9_]+),.*/\1/p' "$list" | sort -u)
# Functions of the sources' own whose names start with gl (glMode, ...) are no GL calls.
own=$(grep -hoE '^[A-Za-z].*\bgl[A-Z][A-Za-z0-9]*\(' "${sources[@]}" | grep -oE '\bgl[A-Z][A-Za-z0-9]*\($' | tr -d '(' | sort -u)
called=$(grep -hoE '\bgl[A-Z][A-Za-z0-9]*\(' "${sources[@]}" | tr -d '(' | sort -u | comm -23 - <(echo "$own"))

failed=0
unlisted=$(comm -23 <(echo "$called") <(echo "$listed"))
unused=$(comm -13 <(echo "$called") <(echo "$listed"))
if [ -n "$unlisted" ]; then
    echo "FAIL - called but not in $list (the Windows build cannot call them):" $unlisted
    failed=1
fi
if [ -n "$unused" ]; then
    echo "FAIL - in $list but called nowhere:" $unused
    failed=1
fi
[ $failed -eq 0 ] && echo "ok   - the $(echo "$listed" | wc -l) functions listed are the ones called (${#sources[@]} files)"
exit $failed
