#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix of the build's own; the
# Windows build's tests use it as their emulator.
#   wine_run.sh PREFIX PROGRAM [ARGS...]
# The first run makes the prefix (a minute or so; later runs wait for it) and
# puts in its fonts folder what a Windows machine has in Arial's and Malgun
# Gothic's place: Liberation Sans, Arial's metric twin, and NanumGothic. One
# wineserver serves every run and ends half a minute after the last one.
# scripts/test.sh removes the prefix first, so that each run starts fresh.
set -euo pipefail

export WINEPREFIX=${1:?usage: $0 PREFIX PROGRAM [ARGS...]}
shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# Test programs print only what failed: every line written through Wine costs.
export GTEST_BRIEF=${GTEST_BRIEF:-1}

if [ ! -f "$WINEPREFIX/.veskar-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.veskar-ready" ]; then
            rm -rf "$WINEPREFIX"
            started=$SECONDS
            # No window while Wine sets the prefix up.
            DISPLAY= wineboot -i >/dev/null 2>&1
            wineserver -w
            fonts=$WINEPREFIX/drive_c/windows/Fonts
            mkdir -p "$fonts"
            for font in /usr/share/fonts/truetype/liberation2/LiberationSans-{Regular,Bold}.ttf \
                /usr/share/fonts/truetype/nanum/NanumGothic{,Bold}.ttf; do
                if [ -f "$font" ]; then cp "$font" "$fonts/"; else echo "wine_run.sh: missing $font (fonts-liberation2, fonts-nanum)" >&2; fi
            done
            touch "$WINEPREFIX/.veskar-ready"
            echo "wine_run.sh: made the Wine prefix in $((SECONDS - started)) s: $WINEPREFIX" >&2
        fi
    ) 9>"$WINEPREFIX.lock"
fi
# Starts the shared server unless it runs already (then this returns at once).
wineserver -p30 2>/dev/null || true
exec wine "$@"
