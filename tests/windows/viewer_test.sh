#!/usr/bin/env bash
# The Windows viewer under Wine, in a virtual X server of its own: the
# headless picture of the sample against the Linux viewer's, then the window
# (title, client size), Space, the Open dialog with a Korean file name, and
# Esc. Models are read from a folder whose name has a space and Hangul.
# Usage: viewer_test.sh WINDOWS_BIN LINUX_BIN RUNNER...   (run from the repository root)
#   WINDOWS_BIN  folder holding veskar.exe
#   LINUX_BIN    folder holding the Linux veskar, veskar-sample and veskar-convert
#   RUNNER       what runs a Windows program here (wine)
set -u

windows_bin=${1:?usage: $0 WINDOWS_BIN LINUX_BIN RUNNER...}
linux_bin=${2:?}
shift 2
runner=("$@")

. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
. "$(dirname "${BASH_SOURCE[0]}")/../lib/viewer_scripts.sh"
require_tools "packages: xvfb openbox xdotool imagemagick" Xvfb openbox xdotool import convert od

work=$(mktemp -d "${TMPDIR:-/tmp}/veskar-win32.XXXXXX")
xvfb_pid=
wm_pid=
viewer_pid=
copies=()
cleanup() {
    for pid in $viewer_pid $wm_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    for copy in "${copies[@]}"; do
        WINEPREFIX=$copy wineserver -k 2>/dev/null
        rm -rf "$copy" "$copy.lock"
    done
    if [[ -n ${VESKAR_GUI_KEEP:-} ]]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# Room for the window at 150 %.
start_display 1600x1200x24 "$work"
sleep 1

# The sample, made and converted by the Linux programs, in a folder with a
# space and Hangul in its name; the Open dialog gets a Korean file name in a
# folder it can be typed into.
data="$work/내 모델"
dialog="$work/my models"
mkdir -p "$data" "$dialog"
make_sample "$linux_bin/veskar-sample" "$linux_bin/veskar-convert" "$data" "$work/sample.log"
cp "$data/hero.smd" "$dialog/영웅 캐릭터.smd"
cp "$data/"*.png "$dialog/"
windows_name() { local p=$1; echo "Z:${p//\//\\}"; }  # Wine's Z: is the root folder

# right_edge IMAGE GEOMETRY: one past the rightmost cyan pixel of the box.
right_edge() {
    local width=${2%%x*}
    convert "$1" -crop "$2" +repage -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w3 |
        awk -v w="$width" "{r = \$1; g = \$2; b = \$3} $cyan {x = (NR - 1) % w; if (x + 1 > m) m = x + 1} END {print m + 0}"
}
near() { # near A B PERCENT: A within PERCENT of B
    awk -v a="$1" -v b="$2" -v p="$3" 'BEGIN {d = a - b; if (d < 0) d = -d; exit !(b > 0 && d * 100 <= p * b)}'
}

echo "# headless: the same picture as the Linux viewer's"
scene=(--open-kovr1-mref "$data/hero.mRef" --open-weapon-mref "$data/weapon.mRef")
start=$SECONDS
"${runner[@]}" "$windows_bin/veskar.exe" --headless --frames 30 --screenshot "$work/windows.png" "${scene[@]}" >"$work/windows-headless.log" 2>&1
status=$?
echo "  ($((SECONDS - start)) s)"
"$linux_bin/veskar" --headless --frames 30 --screenshot "$work/linux.png" "${scene[@]}" >"$work/linux-headless.log" 2>&1
if [[ $status == 0 && -s $work/windows.png && -s $work/linux.png ]]; then
    pass "headless mode writes the picture (exit status 0)"
    differing=$(compare -metric AE -fuzz 4% -crop 800x440+0+160 "$work/windows.png" "$work/linux.png" null: 2>&1 | tr -dc '0-9')
    check "below the overlay the pixels are the Linux viewer's (${differing:-?} of 352000 differ)" [ "${differing:-999999}" -le 1000 ]
    check "the sword and the character are there" [ "$(count "$work/windows.png" 100x140+350+155 "!($background)")" -ge 2000 ]
    # The FPS line (the first) depends on the machine's speed. Glyphs come
    # from stb_truetype on Windows and FreeType here, so each line is
    # compared by its ink and its length, not pixel by pixel.
    for i in 1 2 3 4 5 6; do
        box=800x18+0+$((12 + 20 * i))
        w=$(count "$work/windows.png" "$box" "$cyan") l=$(count "$work/linux.png" "$box" "$cyan")
        we=$(right_edge "$work/windows.png" "$box") le=$(right_edge "$work/linux.png" "$box")
        check "overlay line $((i + 1)): ink $w against $l, ends at $we against $le" \
            eval 'near "$w" "$l" 25 && [ $((we - le)) -le 6 ] && [ $((le - we)) -le 6 ]'
    done
else
    fail "headless mode writes the picture (exit status $status)"
    sed 's/^/    /' "$work/windows-headless.log"
fi

# copy_prefix: a copy of the runner's prefix in $copy (hard links; the
# registry copied, as Wine rewrites it), run with "${copy_runner[@]}"; false
# when the runner is not wine_run.sh with a prefix of its own.
prefix=${runner[2]:-}
copy_prefix() {
    [[ ${runner[1]:-} == */wine_run.sh && -f $prefix/.veskar-ready ]] || return 1
    copy=$(mktemp -d "$prefix.copy.XXXXXX") && rmdir "$copy" || return 1
    copies+=("$copy")
    cp -al "$prefix" "$copy" 2>/dev/null || return 1
    for file in "$prefix"/*.reg "$prefix"/.update-timestamp; do cp --remove-destination "$file" "$copy/"; done
    copy_runner=(bash "${runner[1]}" "$copy")
}

echo "# a prefix whose fonts folder is empty, as a fresh one is"
# Wine's own folder may still have Tahoma (fonts-wine); without it there is
# no font at all.
if copy_prefix; then
    rm -f "$copy/drive_c/windows/Fonts/"*
    "${copy_runner[@]}" "$windows_bin/veskar.exe" --headless --frames 5 --screenshot "$work/bare.png" "${scene[@]}" >"$work/bare.log" 2>&1
    status=$?
    check "the viewer runs and writes its picture (exit status $status)" [ $status -eq 0 -a -s "$work/bare.png" ]
    lines=$(count "$work/bare.png" 600x140+0+12 "$cyan")
    if compgen -G '/usr/share/wine/fonts/*.ttf' >/dev/null; then
        check "its overlay is drawn in a font of Wine's own folder ($lines cyan pixels)" [ "$lines" -ge 2000 ]
        check "and nothing is said about fonts" [ "$(grep -c 'font' "$work/bare.log")" -eq 0 ]
    else
        check "without any font it draws no overlay ($lines cyan pixels)" [ "$lines" -eq 0 ]
        check "and says so once" [ "$(grep -c '^veskar: no font for the overlay text' "$work/bare.log")" -eq 1 ]
    fi
    check "the character is drawn" [ "$(count "$work/bare.png" 100x140+350+155 "!($background)")" -ge 2000 ]
else
    echo "SKIP: the runner is not wine_run.sh with a prefix of its own, or the prefix cannot be linked"
fi

echo "# the command line"
"${runner[@]}" "$windows_bin/veskar.exe" --bogus >"$work/bogus.out" 2>"$work/bogus.err"
status=$?
check "an unknown option exits with 2 and is named" eval '[ $status -eq 2 ] && grep -q -- --bogus "$work/bogus.err"'
"${runner[@]}" "$windows_bin/veskar.exe" --help >"$work/help-windows.out" 2>&1
status=$?
"$linux_bin/veskar" --help >"$work/help-linux.out" 2>&1
check "--help exits with 0 and says what the Linux viewer says" eval '[ $status -eq 0 ] && cmp -s "$work/help-windows.out" "$work/help-linux.out"'

echo "# the window"
main_window=
launch=("${runner[@]}")
start_viewer() { # start_viewer ARGS...: starts it through "${launch[@]}" and waits for its window
    "${launch[@]}" "$windows_bin/veskar.exe" "$@" >"$work/window.log" 2>&1 &
    viewer_pid=$!
    find_main() { main_window=$(xdotool search --onlyvisible --name '^\[Tavimor\] Veskar$' 2>/dev/null | head -n 1); [[ -n $main_window ]]; }
    wait_until 60 find_main
}
# The main window as the screen shows it: the picture is a window of its own
# kept over the main window's client area.
shot() {
    local geometry
    geometry=$(xwininfo -id "$main_window" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
        /Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h "+" x "+" y}')
    import -window root png:- 2>/dev/null | convert - -crop "$geometry" +repage "$work/$1.png" 2>/dev/null
}
keys() {
    timeout 10 xdotool windowactivate --sync "$main_window" >/dev/null 2>&1
    xdotool key --delay 80 "$@"
}
# The client area is the one teal rectangle of the window.
client_box() { convert "$work/$1.png" -fill black +opaque 'rgb(0,64,64)' -fill white -opaque 'rgb(0,64,64)' -trim -format '%wx%h' info: 2>/dev/null; }
client_geometry() { convert "$work/$1.png" -fill black +opaque 'rgb(0,64,64)' -fill white -opaque 'rgb(0,64,64)' -trim -format '%@' info: 2>/dev/null; }
# ink_extent NAME: one past the rightmost and the lowest cyan pixel of the
# overlay's corner of the client area.
ink_extent() {
    convert "$work/$1.png" -crop "$(client_geometry "$1")" +repage -crop 1000x400+0+0 +repage -depth 8 txt:- 2>/dev/null |
        awk -F'[,: ()]+' 'NR > 1 {x = $1; y = $2; r = $3; g = $4; b = $5; if (r <= 60 && g >= 150 && b >= 150 && g - b < 30) {if (x + 1 > mx) mx = x + 1; if (y + 1 > my) my = y + 1}} END {print mx + 0, my + 0}'
}
middle=160x300+320+150

if start_viewer --open-kovr1-mref "$data/hero.mRef"; then
    pass "a window titled \"[Tavimor] Veskar\" appears"
    sleep 2
    shot solid
    check "its client area is 800x600 ($(client_box solid))" [ "$(client_box solid)" = 800x600 ]
    read -r ink_right ink_bottom < <(ink_extent solid)
    solid=$(count "$work/solid.png" $middle "!($background)")
    check "the character named on the command line (Hangul, a space) is drawn ($solid pixels)" [ "$solid" -ge 3000 ]

    keys space
    sleep 1
    shot wire
    wire=$(count "$work/wire.png" $middle "!($background)")
    check "Space draws it as a wireframe ($wire of $solid pixels left)" [ "$wire" -lt $((solid * 7 / 10)) ]

    keys alt+f c
    sleep 1
    shot clean
    check "File > Clean empties the scene" [ "$(count "$work/clean.png" 40x200+330+150 "!($background) && !(r == 0 && g == 255 && b == 0)")" -le 50 ]

    keys alt+o s r
    find_dialog() { xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1; }
    if wait_until 20 find_dialog; then
        pass "Open > SMD > Ref opens the Open dialog"
        dialog_window=$(xdotool search --onlyvisible --name '^Open$' | head -n 1)
        timeout 10 xdotool windowactivate --sync "$dialog_window" >/dev/null 2>&1
        # Into the folder, then from the list (Hangul cannot be typed here)
        # its one file: the Korean name goes through the dialog as UTF-16.
        xdotool type --delay 20 "$(windows_name "$dialog")"
        xdotool key --delay 300 Return shift+Tab Home space Return
        gone() { ! find_dialog; }
        wait_until 20 gone && pass "the dialog closes on the chosen file" || fail "the dialog closes on the chosen file"
        sleep 2
        shot opened
        check "the Korean-named SMD reference is drawn" [ "$(count "$work/opened.png" $middle "!($background)")" -ge 3000 ]
    else
        fail "Open > SMD > Ref opens the Open dialog"
    fi

    keys Escape
    exited() { ! kill -0 "$viewer_pid" 2>/dev/null; }
    if wait_until 20 exited; then
        wait "$viewer_pid"
        status=$?
        viewer_pid=
        check "Esc ends the program with status 0 (got $status)" [ "$status" -eq 0 ]
    else
        fail "Esc ends the program"
    fi
else
    fail "a window titled \"[Tavimor] Veskar\" appears"
    sed 's/^/    /' "$work/window.log"
fi

echo "# the timeline strip: the trackbar and the animations' list"
digest() { convert "$work/$1.png" -crop "$2" +repage -depth 8 rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }
if start_viewer --open-kovr1-mref "$data/hero.mRef" --open-kovr1-mani "$data/walk.mAni" --open-kovr1-mani "$data/side.mAni"; then
    sleep 3
    # The window: the menu bar, the 800x600 picture, the strip; the picture's
    # boxes counted from the window's top.
    height=$(xwininfo -id "$main_window" | awk '/Height:/ {print $2}')
    top=$((height - 630))
    strip_y=$((height - 15))
    keyline=300x18+0+$((top + 152))   # the overlay's playback line
    below=800x420+0+$((top + 180))
    on_strip() { xdotool mousemove --window "$main_window" "$1" "$strip_y" "${@:2}"; }
    timeout 10 xdotool windowactivate --sync "$main_window" >/dev/null 2>&1
    on_strip 90 click 1
    sleep 1
    shot held1
    sleep 0.5
    shot held2
    check "a click on the trackbar pauses on a key" [ "$(digest held1 "$below")" = "$(digest held2 "$below")" ]
    xdotool key End
    sleep 1
    shot last
    check "End on the trackbar goes to the last key" [ "$(digest last "$keyline")" != "$(digest held2 "$keyline")" ]
    xdotool key Home
    sleep 1
    shot first
    check "Home to the first" [ "$(digest first "$keyline")" != "$(digest last "$keyline")" ]
    on_strip 495 click 1
    sleep 1
    xdotool key Up Return
    sleep 1
    shot walk
    check "the animations' list picks the walk in place: the character is in the middle" \
        [ "$(count "$work/walk.png" 100x90+350+$((top + 310)) "!($background) && !(r == 0 && g == 255 && b == 0)")" -ge 2000 ]
    check "and the playback line names it" [ "$(digest walk "$keyline")" != "$(digest first "$keyline")" ]
    keys Escape
    exited() { ! kill -0 "$viewer_pid" 2>/dev/null; }
    if wait_until 20 exited; then
        wait "$viewer_pid"
        viewer_pid=
    else
        fail "Esc ends the program"
    fi
else
    fail "the viewer starts with a character and two animations"
fi

echo "# at 150 % (144 DPI): the window and its overlay keep their physical size"
if copy_prefix && "${copy_runner[@]}" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 &&
    WINEPREFIX=$copy wineserver -k 2>/dev/null; then
    launch=("${copy_runner[@]}")
    if start_viewer --open-kovr1-mref "$data/hero.mRef"; then
        sleep 2
        shot scaled
        check "the client area is 1200x900 ($(client_box scaled))" [ "$(client_box scaled)" = 1200x900 ]
        read -r right bottom < <(ink_extent scaled)
        check "the overlay is half as large again: it reaches $right x $bottom against $ink_right x $ink_bottom" \
            eval 'near "$right" $((ink_right * 3 / 2)) 6 && near "$bottom" $((ink_bottom * 3 / 2)) 6'
        keys Escape
        exited() { ! kill -0 "$viewer_pid" 2>/dev/null; }
        wait_until 20 exited && wait "$viewer_pid"
        check "Esc ends it with status 0" [ $? -eq 0 ]
        viewer_pid=
    else
        fail "a window appears at 150 %"
        sed 's/^/    /' "$work/window.log"
    fi
else
    echo "SKIP: the runner is not wine_run.sh with a prefix of its own, or the prefix cannot be linked"
fi

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
