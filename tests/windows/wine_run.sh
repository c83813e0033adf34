#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix of the build's own; the
# Windows build's tests use it as their emulator.
#   wine_run.sh PREFIX [PROGRAM [ARGS...]]
# The first run makes the prefix (half a minute or so; later runs wait for it)
# and puts in its fonts folder what a Windows machine has in Arial's and Malgun
# Gothic's place: Liberation Sans, Arial's metric twin, and NanumGothic.
# One wineserver serves every run. It stays half a minute after the last
# program ends, or for good with VESKAR_WINE_SERVER=stay (scripts/test.sh
# does so for the whole run and stops it at the end: wineserver -k). Without a
# PROGRAM the prefix and the server are made ready, and nothing is run.
set -euo pipefail

export WINEPREFIX=${1:?usage: $0 PREFIX [PROGRAM [ARGS...]]}
shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# Test programs print only what failed: every line written through Wine costs.
export GTEST_BRIEF=${GTEST_BRIEF:-1}

mkdir -p "$(dirname "$WINEPREFIX")"
{
    flock 9
    if [ ! -f "$WINEPREFIX/.veskar-ready" ]; then
        rm -rf "$WINEPREFIX"
        started=$SECONDS
        # No window while Wine sets the prefix up.
        DISPLAY= wineboot -i </dev/null >/dev/null 2>&1
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
    # A server that is already running refuses to start again (status 2).
    if [ "${VESKAR_WINE_SERVER:-}" = stay ]; then persist=-p; else persist=-p30; fi
    if wineserver "$persist" </dev/null >/dev/null 2>&1 9>&-; then
        # Wine's own services start with the first program and live as long
        # as the server; started from a test, they would hold its output open
        # and the test would not end until the server does. They keep the
        # caller's display: the desktop they make without one has no display
        # driver, and until it goes every window fails ("the off-screen
        # window could not be created").
        wine wineboot </dev/null >/dev/null 2>&1 9>&-
    fi
} 9>"$WINEPREFIX.lock"

[ $# -gt 0 ] || exit 0
exec wine "$@"
