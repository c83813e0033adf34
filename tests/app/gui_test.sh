#!/usr/bin/env bash
# Drives the viewer in its own virtual X server the way a person would: keys,
# menu mnemonics, the Open dialog and the error box, then reads what reached
# the screen from screenshots.
# Usage: gui_test.sh VESKAR VESKAR_SAMPLE VESKAR_CONVERT   (run from the repository root)
set -u

veskar=${1:?path to veskar}
sample=${2:?path to veskar-sample}
convert_tool=${3:?path to veskar-convert}

. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
. "$(dirname "${BASH_SOURCE[0]}")/../lib/viewer_scripts.sh"
require_tools "packages: xvfb openbox xdotool x11-utils imagemagick" Xvfb openbox xdotool xwininfo import convert od

work=$(mktemp -d "${TMPDIR:-/tmp}/veskar-gui.XXXXXX")
chmod 700 "$work"
xvfb_pid=
wm_pid=
viewer_pid=
cleanup() {
    for pid in $viewer_pid $wm_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    # VESKAR_GUI_KEEP=1 keeps the screenshots and logs for a look.
    if [[ -n ${VESKAR_GUI_KEEP:-} ]]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# Settings, caches and the runtime folder of this run stay in the temp dir.
mkdir -m 700 "$work/run" "$work/config" "$work/cache"
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

started=$SECONDS
start_display 1024x768x24 "$work"
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
if command -v xprop >/dev/null 2>&1; then wait_until 20 wm_running; else sleep 1; fi

# The sample character, converted; side.mAni also gives "in place" a root to
# bring back.
data=$work/data
mkdir "$data"
make_sample "$sample" "$convert_tool" "$data" "$work/sample.log"
echo "This is a plain text file." >"$data/notes.smd"

# --- helpers on the running viewer -------------------------------------------

title_pattern='^\[Tavimor\] Veskar$'
main_window=
client_window=
log=

# start_viewer NAME ARGS...: starts the viewer and waits for its window and
# its client (the GL child window).
start_viewer() {
    log=$work/$1.log
    shift
    "$veskar" "$@" >"$log" 2>&1 &
    viewer_pid=$!
    main_window=
    client_window=
    find_main() { main_window=$(xdotool search --onlyvisible --name "$title_pattern" 2>/dev/null | head -n 1); [[ -n $main_window ]]; }
    if ! wait_until 30 find_main; then
        echo "  no window titled \"[Tavimor] Veskar\" appeared; viewer output:"
        sed 's/^/    /' "$log"
        return 1
    fi
    client_window=$(xwininfo -children -id "$main_window" | awk '/^ +0x[0-9a-f]+ / {print $1; exit}')
    [[ -n $client_window ]]
}

activate() { timeout 10 xdotool windowactivate --sync "$1" >/dev/null 2>&1; }

# keys ARGS...: xdotool key to the main window, activated first.
keys() {
    activate "$main_window"
    xdotool key "$@"
}

shot() { import -window "$client_window" "$1" 2>/dev/null; }

digest() { convert "$1" -crop "$2" +repage -depth 8 rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }

red='r >= 200 && g <= 60 && b <= 60'
green='g >= 200 && r <= 60 && b <= 60'
blue='b >= 200 && r <= 60 && g <= 60'
white='r >= 220 && g >= 220 && b >= 220'

# ends_with STATUS SECONDS: waits for the viewer to end; true when it ended
# within the time with that exit status.
ends_with() {
    local want=$1 seconds=$2 status
    gone() { ! kill -0 "$viewer_pid" 2>/dev/null; }
    if ! wait_until "$seconds" gone; then
        echo "  the viewer was still running after ${seconds}s; its windows:"
        for w in $(xdotool search --onlyvisible --pid "$viewer_pid" 2>/dev/null); do echo "    $(xdotool getwindowname "$w")"; done
        kill "$viewer_pid" 2>/dev/null
        wait "$viewer_pid" 2>/dev/null
        viewer_pid=
        return 1
    fi
    wait "$viewer_pid"
    status=$?
    viewer_pid=
    [[ $status == "$want" ]] || { echo "  exit status $status, expected $want"; sed 's/^/    /' "$log"; }
    [[ $status == "$want" ]]
}

# open_dialog_choose PATH: in the Open dialog the menu has just asked for,
# types PATH and accepts it. Return may first go to the file name completer's
# list, so it is pressed again while the dialog stays.
open_dialog_choose() {
    wait_until 10 has_window '^Open$' || { echo "  no Open dialog"; return 1; }
    local dialog
    dialog=$(window_named '^Open$')
    sleep 1
    activate "$dialog"
    xdotool type --delay 10 "$1"
    # A loaded machine can take seconds to complete the name and close.
    for _ in 1 2 3 4; do
        xdotool key Return
        wait_until 5 no_window '^Open$' && return 0
        activate "$dialog"
    done
    echo "  the Open dialog did not take $1"
    # Out of the way, so the steps after this one are not typed into it.
    xdotool key Escape
    wait_until 5 no_window '^Open$'
    return 1
}

window_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
has_window() { [[ -n $(window_named "$1") ]]; }
no_window() { [[ -z $(window_named "$1") ]]; }
close_error_box() { # Return on the "Error" box, which closes it
    local box
    box=$(window_named '^Error$')
    [[ -n $box ]] || return 0
    sleep 1
    activate "$box"
    xdotool key Return
    check "Return closes the error box" wait_until 10 no_window '^Error$'
}
alive() { kill -0 "$viewer_pid" 2>/dev/null && has_window "$title_pattern"; }

# The picture has settled on something other than the given digest of a box.
box_changed() { shot "$work/now.png" && [[ $(digest "$work/now.png" "$2") != "$1" ]]; }
box_is() { shot "$work/now.png" && [[ $(digest "$work/now.png" "$2") == "$1" ]]; }
# key_shows KEY DESCRIPTION box_changed|box_is DIGEST BOX: after KEY the box
# settles, within 5 s, away from or on the given digest.
key_shows() {
    keys "$1"
    check "$2" wait_until 5 "$3" "$4" "$5"
}

# A window not painted yet is all black or white: "not background" too.
painted() { (($(count "$1" 800x600+0+0 "$background") > 200000)); }
# stable BOX: two pictures a moment apart agree there.
stable() {
    shot "$work/s1.png" && sleep 0.4 && shot "$work/s2.png" && [[ $(digest "$work/s1.png" "$1") == $(digest "$work/s2.png" "$1") ]]
}

line2='450x19+0+31'  # the camera line of the overlay
camera_text='370x19+0+31'

# A closed dialog's pixels stay in the client window until the viewer draws
# again; nothing in the empty viewer's picture is light grey.
redrawn() { shot "$work/now.png" && (($(count "$work/now.png" 800x600+0+0 'r == g && g == b && r >= 200') == 0)); }

# --- the empty viewer: window, picture, camera keys, menus, dialogs --------------

echo "# empty viewer"
if start_viewer empty; then
    pass "a window titled \"[Tavimor] Veskar\" appears"
    size=$(xwininfo -id "$client_window" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
    check "the client area is 800x600 (got $size)" [ "$size" = 800x600 ]

    frame_drawn() { shot "$work/start.png" && (($(count "$work/start.png" 800x600+0+0 "$background") > 200000)); }
    check "the first frame shows, mostly in the clear colour 0,64,64" wait_until 10 frame_drawn
    img=$work/start.png
    check "the screenshot of the client is 800x600" [ "$(identify -format %wx%h "$img" 2>/dev/null)" = 800x600 ]
    check "the y axis is a green vertical line through the middle" \
        [ "$(count "$img" 3x260+399+300 "$green")" -ge 250 ]
    check "the grid, seen edge-on, is a grey horizontal line at mid-height" \
        [ "$(count "$img" 800x3+0+299 'r == g && g == b && r >= 80 && r <= 170')" -ge 700 ]
    lines_ok=1
    for i in 0 1 2 3 4 5 6; do
        n=$(count "$img" "120x18+0+$((12 + 20 * i))" "$cyan")
        ((n >= 40)) || { lines_ok=0; echo "  overlay line $((i + 1)): $n cyan pixels"; }
    done
    check "seven cyan overlay lines from the top-left, 20 pixels apart" [ $lines_ok = 1 ]
    check "nothing cyan below the seventh line" [ "$(count "$img" 800x440+0+155 "$cyan")" -eq 0 ]
    check "the overlay starts at the left edge" [ "$(count "$img" 4x140+0+10 "$cyan")" -ge 50 ]

    # The camera line; the first line (frames per second) changes by itself.
    shot "$work/steady.png"
    steady=$(digest "$work/steady.png" $line2)
    # Left of where a character framed in the middle could reach up into it.
    start_camera=$(digest "$work/steady.png" $camera_text)
    sleep 0.3
    shot "$work/again.png"
    check "the camera line stays as it is without keys" [ "$(digest "$work/again.png" $line2)" = "$steady" ]
    key_shows w "W changes the camera line" box_changed "$steady" $line2
    key_shows s "S walks back: the camera line is as before" box_is "$steady" $line2

    # From above the grid the x and z axes leave the grid's line.
    keys --delay 30 r r r r r d d d
    above_grid() { shot "$work/above.png" && (($(count "$work/above.png" 800x300+0+300 "$red") >= 300)); }
    check "R and D lift and shift the camera: the red x axis shows below the horizon" wait_until 5 above_grid
    check "the blue z axis shows, running towards the viewer" \
        [ "$(count "$work/above.png" 800x300+0+300 "$blue")" -ge 100 ]
    check "the green y axis has moved left of the middle" \
        [ "$(count "$work/above.png" 60x150+300+150 "$green")" -ge 100 -a "$(count "$work/above.png" 3x150+399+150 "$green")" -eq 0 ]

    # Open > SMD > Ref through its mnemonics, then cancelled.
    keys --delay 150 alt+o s r
    check "Alt+O, S, R brings up the Open dialog" wait_until 10 has_window '^Open$'
    dialog=$(window_named '^Open$')
    if [[ -n $dialog ]]; then
        sleep 1
        activate "$dialog"
        xdotool key Escape
        check "Escape cancels the dialog" wait_until 10 no_window '^Open$'
    fi
    wait_until 10 redrawn
    before=$(digest "$work/now.png" $line2)
    key_shows f "the viewer goes on after the dialog: F moves the camera" box_changed "$before" $line2

    # Open > SMD > Ref with a file that is no SMD: the error box.
    keys --delay 150 alt+o s r
    if open_dialog_choose "$data/notes.smd"; then
        check "a text file chosen as SMD reference brings up the \"Error\" box" wait_until 10 has_window '^Error$'
        close_error_box
        check "the viewer is still there after the error" alive
        wait_until 10 redrawn
        before=$(digest "$work/now.png" $line2)
        key_shows r "the viewer goes on after the error: R moves the camera" box_changed "$before" $line2
    else
        fail "a text file can be chosen in the Open dialog"
    fi

    keys --delay 150 alt+f x
    check "File > Exit ends the viewer with status 0" ends_with 0 20
else
    fail "a window titled \"[Tavimor] Veskar\" appears"
    [[ -n $viewer_pid ]] && kill "$viewer_pid" 2>/dev/null && wait "$viewer_pid" 2>/dev/null
    viewer_pid=
fi

# --- two characters playing, a weapon in the first one's hand -----------------------

echo "# characters"
if start_viewer characters --open-kovr1-mref "$data/hero.mRef" --open-kovr1-mani "$data/walk.mAni" \
    --open-kovr2-mref "$data/hero.mRef" --open-kovr2-mani "$data/side.mAni" \
    --open-weapon-mref "$data/weapon.mRef"; then
    activate "$main_window"
    # The first character opened is framed; the second walks 40 units to
    # the side and the first one joins it there, left of the middle.
    left=200x100+150+300
    # Model pixels whose eight neighbours are model too: solid faces are made
    # of them, one-pixel wireframe lines hardly have any.
    inner() {
        convert "$1" -crop "$2" +repage -fill black +opaque '#004040' -fill white -opaque '#004040' \
            -morphology Dilate Square:1 -format '%[fx:round(w*h*(1-mean))]' info: 2>/dev/null
    }
    model_pixels() { inner "$1" $left; }
    both_shown() { shot "$work/solid.png" && painted "$work/solid.png" && (($(count "$work/solid.png" $left "!($background)") > 3000)); }
    check "the characters show together, left of the middle" wait_until 20 both_shown
    solid=$(model_pixels "$work/solid.png")
    keys space
    thinner() { shot "$work/wire.png" && (($(model_pixels "$work/wire.png") * 4 < solid)); }
    check "Space turns the characters to wireframe" wait_until 5 thinner
    echo "  inner model pixels: solid $solid, wireframe $(model_pixels "$work/wire.png")"
    # In wireframe the root markers show inside the bodies too: the first
    # character's at its own root key in the middle, the second one's at the
    # side.
    markers() {
        shot "$work/markers.png" &&
            (($(count "$work/markers.png" 30x30+385+295 "$white") >= 4 && $(count "$work/markers.png" 30x30+257+295 "$white") >= 4))
    }
    check "the two root markers show as white squares at the two root keys" wait_until 5 markers

    # The SMD model, opened through the dialog, stands in the middle and
    # keeps its own fill mode.
    middle=100x90+350+310
    keys --delay 150 alt+o s r
    if open_dialog_choose "$data/hero.smd"; then
        # Polling on both sides also waits out the closed dialog's pixels.
        smd_shown() {
            shot "$work/smd.png" && (($(inner "$work/smd.png" $middle) > 2000 && $(model_pixels "$work/smd.png") * 4 < solid))
        }
        check "Open > SMD > Ref with hero.smd shows the SMD model solid while the characters stay wireframe" \
            wait_until 20 smd_shown
        smd=$(inner "$work/smd.png" $middle)
    else
        fail "hero.smd can be chosen in the Open dialog"
        smd=0
    fi
    keys space
    thicker() { shot "$work/solid2.png" && (($(model_pixels "$work/solid2.png") * 10 > solid * 7)); }
    check "Space again turns the characters solid" wait_until 5 thicker
    check "the SMD model stays as it was" [ $(($(inner "$work/solid2.png" $middle) * 10)) -gt $((smd * 7)) ]
    # Leaving the menu with Esc twice hands the keyboard back: F flies
    # instead of opening File, and Esc quits. The File menu would show as
    # light grey at the top-left.
    no_menu() { shot "$work/now.png" && (($(count "$work/now.png" 150x60+0+0 'r == g && g == b && r >= 200') < 50)); }
    keys --delay 150 alt+f Escape Escape
    wait_until 5 no_menu
    before=$(digest "$work/now.png" $line2)
    keys f
    flown() { box_changed "$before" $line2 && no_menu; }
    check "after a menu is left with Esc, F moves the camera and opens no menu" wait_until 5 flown
    keys Escape
    check "Esc ends the viewer with status 0" ends_with 0 20
else
    fail "the viewer starts with the sample characters"
fi

# --- the viewer's controls on one character walking to the side --------------------

echo "# controls"
own=$work/own   # a copy whose texture F5 will find gone
mkdir "$own" "$work/shots"
cp "$data/hero.mRef" "$data/hero_body.png" "$data/side.mAni" "$data/weapon.mRef" "$data/weapon.png" "$own/"
if start_viewer controls --screenshot-dir "$work/shots" --open-kovr1-mref "$own/hero.mRef" --open-kovr1-mani "$own/side.mAni" \
    --open-weapon-mref "$own/weapon.mRef"; then
    activate "$main_window"
    # Framed over its walk on opening, the character walks in the middle; in
    # place it stands over the origin, 40 units to the right.
    walks=200x100+300+300
    origin=100x90+470+310
    keyline=300x18+0+152   # the playback line after the seven
    shown_walking() { shot "$work/c.png" && painted "$work/c.png" && (($(count "$work/c.png" $walks "!($background)") > 3000)); }
    check "framed over its walk on opening, the character walks in the middle" wait_until 20 shown_walking
    framed=$(digest "$work/c.png" $line2)
    moving() { ! stable $walks; }
    check "it walks: the picture changes by itself" moving
    keys p
    check "P pauses: the picture holds still" wait_until 5 stable $walks
    held=$(digest "$work/s2.png" $walks)
    key_shows period ". steps one key forward" box_changed "$held" $walks
    on_key=$(digest "$work/now.png" $walks)
    key_shows period ". again: the next key" box_changed "$on_key" $walks
    key_shows comma ", steps back to the same pose" box_is "$on_key" $walks
    paused_line=$(digest "$work/now.png" $keyline)
    keys F1
    no_overlay() { shot "$work/now.png" && (($(count "$work/now.png" 600x200+0+0 "$cyan") == 0)); }
    check "F1 hides the overlay" wait_until 5 no_overlay
    key_shows F1 "F1 shows it again" box_is "$paused_line" $keyline
    keys b
    yellow='r >= 250 && g >= 250 && b <= 30'
    bones() { shot "$work/now.png" && (($(count "$work/now.png" $walks "$yellow") >= 100)); }
    check "B draws the skeleton over the character" wait_until 5 bones
    no_bones() { shot "$work/now.png" && (($(count "$work/now.png" 800x600+0+0 "$yellow") == 0)); }
    keys b
    check "B again takes it away" wait_until 5 no_bones
    keys i
    in_place() { shot "$work/now.png" && (($(count "$work/now.png" $origin "!($background) && !(r == 0 && g == 255 && b == 0) && !(r == g && g == b)") > 2000)); }
    check "I keeps the root over the origin: the character steps to the right" wait_until 5 in_place

    keys F12
    shots_taken() { compgen -G "$work/shots/veskar-*.png" >/dev/null; }
    if wait_until 10 shots_taken; then
        picture=$(compgen -G "$work/shots/veskar-*.png" | head -n 1)
        named() { [[ $(basename "$picture") =~ ^veskar-[0-9]{8}-[0-9]{6}\.png$ ]]; }
        check "F12 writes veskar-YYYYMMDD-HHMMSS.png into the --screenshot-dir" named
        check "an 800x600 picture of the frame, the character over the origin" \
            [ "$(identify -format %wx%h "$picture" 2>/dev/null)" = 800x600 -a "$(count "$picture" $origin "!($background)")" -ge 2000 ]
        check "its path printed on the console" grep -qF "[Screenshot] $picture" "$log"
    else
        fail "F12 writes a picture"
    fi

    # Re-exported without its texture: F5 reads every file again.
    rm "$own/hero_body.png"
    keys F5
    grey_now() { shot "$work/now.png" && (($(count "$work/now.png" $origin 'r == g && g == b && r >= 90') > 1500)); }
    check "F5 reloads: the character is grey now its texture is gone" wait_until 20 grey_now
    check "and the console says which texture was not found" grep -qF "[Texture] not found: $own/hero_body.png" "$log"

    key_shows BackSpace "Backspace returns to the start camera" box_is "$start_camera" $camera_text
    key_shows Home "Home frames the character again" box_changed "$start_camera" $camera_text
    homed=$(digest "$work/now.png" $line2)
    xdotool mousemove --window "$client_window" 400 300 mousedown 1 mousemove --window "$client_window" 460 320 \
        mousemove --window "$client_window" 520 340 mouseup 1
    check "a left drag orbits the camera" wait_until 5 box_changed "$homed" $line2
    orbited=$(digest "$work/now.png" $line2)
    xdotool mousemove --window "$client_window" 400 300 click 4 click 4
    check "the wheel moves it nearer" wait_until 5 box_changed "$orbited" $line2

    # The window can be resized; the picture fills the new size (where it
    # does not, the window shows white or black there).
    xdotool windowsize "$main_window" 1000 760
    grown() {
        shot "$work/big.png" && [[ $(identify -format %w "$work/big.png") -gt 900 ]] &&
            (($(count "$work/big.png" 60x60+$(($(identify -format %w "$work/big.png") - 60))+$(($(identify -format %h "$work/big.png") - 60)) "(r == 0 && g == 0 && b == 0) || (r == 255 && g == 255 && b == 255)") == 0))
    }
    check "resized, the picture fills the larger window" wait_until 10 grown
    keys Escape
    check "Esc ends the viewer with status 0" ends_with 0 20
else
    fail "the viewer starts with a character walking to the side"
fi

# --- settings that are not a file ---------------------------------------------------

echo "# a FIFO where the settings file goes"
# Reading it would wait for a writer for ever; it is left alone instead.
mkdir -p "$work/fifo-config/Veskar"
mkfifo "$work/fifo-config/Veskar/veskar.conf"
if XDG_CONFIG_HOME=$work/fifo-config start_viewer fifo; then
    pass "the window appears"
    check "one line says the settings file is left alone: $(head -c 200 "$log")" \
        [ "$(grep -c 'veskar.conf: not a regular file, so the settings are neither read from it nor kept' "$log")" -eq 1 ]
    keys Escape
    check "Esc ends the viewer with status 0" ends_with 0 20
    check "and the FIFO is still there" [ -p "$work/fifo-config/Veskar/veskar.conf" ]
else
    fail "the window appears"
    [[ -n $viewer_pid ]] && kill "$viewer_pid" 2>/dev/null && wait "$viewer_pid" 2>/dev/null
    viewer_pid=
fi

# --- the timeline strip, the lists, names, weights and views ---------------------------

echo "# workbench"
if start_viewer workbench --open-kovr1-mref "$data/hero.mRef" --open-kovr1-mani "$data/walk.mAni" --open-kovr1-mani "$data/side.mAni"; then
    activate "$main_window"
    left=200x100+150+300
    middle=100x90+350+310
    keyline=300x18+0+152   # the playback line after the seven
    below=800x420+0+180    # the picture under the overlay
    shown_left() { shot "$work/c.png" && painted "$work/c.png" && (($(count "$work/c.png" $left "!($background)") > 3000)); }
    check "the animation opened last (the walk to the side) plays" wait_until 20 shown_left
    # The strip is the band of the main window under the client area; its
    # controls from the left: play, slider, key, animations, speed, bones.
    geometry() { xwininfo -id "$1" | awk -v k="$2" '$0 ~ k {print $NF}'; }
    strip_y=$(($(geometry "$client_window" "Absolute upper-left Y") - $(geometry "$main_window" "Absolute upper-left Y") + 600 +
        ($(geometry "$main_window" "Height:") - 600 - $(geometry "$client_window" "Absolute upper-left Y") + $(geometry "$main_window" "Absolute upper-left Y")) / 2))
    on_strip() { xdotool mousemove --window "$main_window" "$1" "$strip_y" "${@:2}"; }
    on_strip 90 click 1
    check "a click on the slider stands the animation on a key, paused" wait_until 5 stable $below
    keys End
    check "End on the slider goes to the last key" wait_until 5 stable $keyline
    last=$(digest "$work/s2.png" $keyline)
    key_shows Home "Home on the slider to the first" box_changed "$last" $keyline
    first=$(digest "$work/now.png" $keyline)
    on_strip 80 mousedown 1
    on_strip 200
    on_strip 300 mouseup 1
    check "dragging the slider scrubs" wait_until 5 box_changed "$first" $keyline
    scrubbed=$(digest "$work/now.png" $keyline)
    on_strip 495 click 1
    sleep 1
    xdotool key Up Return
    walking_here() { shot "$work/now.png" && (($(count "$work/now.png" $middle "!($background) && !(r == 0 && g == 255 && b == 0)") > 2000)); }
    check "the animations' list picks the walk in place" wait_until 5 walking_here
    check "and the playback line names it" box_changed "$scrubbed" $keyline
    plain=$(digest "$work/now.png" $below)
    key_shows n "N writes the bones' names at their joints" box_changed "$plain" $below
    key_shows n "N again takes them away" box_is "$plain" $below
    on_strip 720 click 1
    sleep 1
    xdotool key Down Down Return
    check "a bone picked in the list paints its weights" wait_until 5 box_changed "$plain" $below
    on_strip 720 click 1
    sleep 1
    xdotool key Home Return
    check "(no weights) takes them away" wait_until 5 box_is "$plain" $below
    # A click on the picture takes the keyboard back from the slider; there
    # Home frames the pose shown from the front.
    xdotool mousemove --window "$client_window" 400 300 click 1
    keys Home
    wait_until 5 stable $camera_text
    front=$(digest "$work/s2.png" $camera_text)
    key_shows KP_3 "keypad 3 looks from the right" box_changed "$front" $camera_text
    key_shows KP_1 "keypad 1 from the front, as Home does" box_is "$front" $camera_text
    wait_until 5 stable $below
    framed=$(digest "$work/s2.png" $below)
    key_shows KP_5 "keypad 5 turns the picture orthographic" box_changed "$framed" $below
    key_shows KP_5 "and back" box_is "$framed" $below
    keys Escape
    check "Esc ends the viewer with status 0" ends_with 0 20
else
    fail "the viewer starts with a character and two animations"
fi

# --- a bad file given on the command line ---------------------------------------------

echo "# bad file at start-up"
if start_viewer badfile --open-smd-ref "$data/notes.smd"; then
    check "a text file given as SMD reference brings up the \"Error\" box" wait_until 20 has_window '^Error$'
    close_error_box
    check "the viewer is still there after the error" alive
    # Closing through the window manager (its Alt+F4) is the close button's way.
    activate "$main_window"
    xdotool key alt+F4
    check "closing the window ends the viewer with status 0" ends_with 0 20
else
    fail "the viewer starts with a bad file on the command line"
fi

echo "took $((SECONDS - started))s"
echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
