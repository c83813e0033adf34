# What the scripts that run the viewer share: the sample made and converted,
# a virtual X server with a window manager, and pixels counted in a picture.
# Source it after checks.sh; it only defines.

# make_sample SAMPLE CONVERT FOLDER LOG: the sample character in FOLDER,
# converted; side.mAni is its walk with the root key moved 40 units sideways,
# so that a second character's root marker has a place of its own. Exits
# with the programs' output when anything fails.
make_sample() {
    local sample=$1 convert_tool=$2 data=$3 log=$4
    if ! { "$sample" character "$data" && "$convert_tool" ref "$data/hero.smd" "$data/weapon.smd" &&
        awk '/^skeleton/ {s = 1} /^end/ {s = 0} s && $1 == "0" && NF == 7 {$2 = sprintf("%f", $2 + 40)} {print}' \
            "$data/walk.smd" >"$data/side.smd" &&
        "$convert_tool" ani "$data/walk.smd" "$data/side.smd"; } >"$log" 2>&1; then
        echo "could not make the sample:"
        cat "$log"
        exit 1
    fi
}

# wait_until SECONDS COMMAND...: polls every 0.1 s; status of the last try.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS >= deadline)) && return 1
        sleep 0.1
    done
}

# start_display SCREEN WORK: Xvfb with one screen of SCREEN (as 1024x768x24)
# and openbox on it, their logs in WORK; sets DISPLAY, xvfb_pid and wm_pid for the
# caller's cleanup. Exits when Xvfb does not start.
start_display() {
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$2/display" >"$2/xvfb.log" 2>&1 &
    xvfb_pid=$!
    if ! wait_until 20 grep -q '[0-9]' "$2/display"; then
        echo "Xvfb did not start:"
        cat "$2/xvfb.log"
        exit 1
    fi
    export DISPLAY=:$(tr -dc '0-9' <"$2/display")
    openbox --sm-disable >"$2/openbox.log" 2>&1 &
    wm_pid=$!
}

# count IMAGE GEOMETRY CONDITION: pixels of the box whose r, g, b satisfy the
# awk condition.
count() {
    convert "$1" -crop "$2" +repage -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w3 |
        awk "{r = \$1; g = \$2; b = \$3} $3 {n++} END {print n + 0}"
}

# The viewer's background and its overlay's text.
background='r == 0 && g == 64 && b == 64'
cyan='r <= 60 && g >= 150 && b >= 150 && g - b < 30'
