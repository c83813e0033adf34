#!/usr/bin/env bash
# Makes veskar-windows-x64.zip: the three programs cross-built for 64-bit
# Windows, Shaders/, the sample character (made and converted by the Windows
# programs themselves, under Wine) and README-windows.txt.
# Usage: scripts/package-windows.sh [OUT.zip]   (default build/veskar-windows-x64.zip)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${1:-build/veskar-windows-x64.zip}
case $out in /*) ;; *) out=$root/$out ;; esac

scripts/install-deps.sh
build=build/windows-package
cmake --preset windows-release -B "$build" -DVESKAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target veskar veskar-convert veskar-sample

name=veskar-windows-x64
stage=$build/$name
rm -rf "$stage"
mkdir -p "$stage/sample"
for program in veskar veskar-convert veskar-sample; do
    find "$build" -name "$program.exe" -not -path "*/$name/*" -exec cp {} "$stage/" \; -quit
    x86_64-w64-mingw32-strip "$stage/$program.exe"
done
cp -r Shaders "$stage/"
run=(bash "$root/tests/windows/wine_run.sh" "$root/$build/wine")
(
    cd "$stage"
    "${run[@]}" veskar-sample.exe character sample >/dev/null
    "${run[@]}" veskar-convert.exe ref sample/hero.smd sample/weapon.smd >/dev/null
    "${run[@]}" veskar-convert.exe ani sample/walk.smd >/dev/null
)
WINEPREFIX=$root/$build/wine wineserver -k 2>/dev/null || true
# Notepad before Windows 10 shows a text file whole only with CRLF.
sed 's/$/\r/' scripts/README-windows.txt >"$stage/README-windows.txt"

rm -f "$out"
(cd "$build" && cmake -E tar cf "$out" --format=zip "$name")
echo "wrote $out"
