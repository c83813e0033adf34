#!/usr/bin/env bash
# The Wine prefix the Windows tests run in, under the build folder.
#   wine_prefix.sh start PREFIX   a fresh prefix with fonts, and one wineserver
#                                 kept running until stop, so that every test
#                                 does not pay for starting one
#   wine_prefix.sh stop PREFIX    ends that wineserver
# The fonts folder gets what a Windows machine has in Arial's and Malgun
# Gothic's place: Liberation Sans (Arial's metric twin) and NanumGothic.
set -euo pipefail

action=${1:?usage: $0 start|stop PREFIX}
export WINEPREFIX=${2:?usage: $0 start|stop PREFIX}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# Wine opens no window while it sets the prefix up.
unset DISPLAY

case $action in
start)
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    started=$SECONDS
    wineboot -i >/dev/null 2>&1
    wineserver -w
    fonts=$WINEPREFIX/drive_c/windows/Fonts
    mkdir -p "$fonts"
    for font in /usr/share/fonts/truetype/liberation2/LiberationSans-{Regular,Bold}.ttf \
        /usr/share/fonts/truetype/nanum/NanumGothic{,Bold}.ttf; do
        if [ -f "$font" ]; then cp "$font" "$fonts/"; else echo "missing $font (fonts-liberation2, fonts-nanum)" >&2; fi
    done
    wineserver -p
    echo "Wine prefix ready in $((SECONDS - started)) s: $WINEPREFIX"
    ;;
stop)
    wineserver -k 2>/dev/null || true
    ;;
*)
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
    ;;
esac
