#!/usr/bin/env bash
# Runs a Windows program under Wine the way the tests want it: a prefix of
# the build's own (WINEPREFIX, else build/windows-release/wine beside this
# script's checkout), no debug chatter, and no offer to install Mono or Gecko.
# CMake uses it as the cross-compiling emulator; any command works:
#   scripts/wine-exec.sh build/windows-release/src/veskar-convert.exe --help
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/windows-release/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64
exec wine "$@"
