#!/usr/bin/env bash
# The viewer without a window: renders the sample scene off screen and the
# checks read the picture it writes; also its command-line errors.
# Usage: headless_test.sh VESKAR VESKAR_SAMPLE VESKAR_CONVERT [CORPUS]   (run from the repository root)
set -u

veskar=${1:?path to veskar}
case $veskar in /*) ;; *) veskar=$PWD/$veskar ;; esac
sample=${2:?path to veskar-sample}
convert_tool=${3:?path to veskar-convert}
corpus=${4:-../shared/corpus}

. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
. "$(dirname "${BASH_SOURCE[0]}")/../lib/viewer_scripts.sh"
require_tools "package: imagemagick" convert identify compare od

work=$(mktemp -d "${TMPDIR:-/tmp}/veskar-headless.XXXXXX")
trap 'rm -rf "$work"' EXIT

data=$work/data
mkdir "$data"
make_sample "$sample" "$convert_tool" "$data" "$work/sample.log"

# differing IMAGE1 IMAGE2 GEOMETRY: pixels of the box that differ.
differing() {
    convert "$1" "$2" -alpha off -compose difference -composite -crop "$3" +repage -depth 8 rgb:- 2>/dev/null |
        od -An -v -tu1 -w3 | awk '$1 + $2 + $3 > 0 {n++} END {print n + 0}'
}

white='r >= 220 && g >= 220 && b >= 220'
gold='r >= 170 && g >= 120 && b <= 100 && r > g'   # the sword's guard and pommel

# render NAME ARGS...: renders 60 frames (FRAMES if set) to NAME.png; true
# when the viewer ended with 0 and the picture is an 800x600 PNG.
render() {
    local name=$1
    shift
    "$veskar" --headless --frames "${FRAMES:-60}" --screenshot "$work/$name.png" "$@" >"$work/$name.log" 2>&1
    local status=$?
    if [[ $status != 0 ]]; then
        echo "  exit status $status:"
        sed 's/^/    /' "$work/$name.log"
        return 1
    fi
    [[ $(identify -format '%m %wx%h' "$work/$name.png" 2>/dev/null) == "PNG 800x600" ]]
}

overlay_lines() { # overlay_lines IMAGE N: N cyan lines 20 pixels apart from the top-left, nothing cyan below
    local i n ok=0
    for ((i = 0; i < $2; i++)); do
        n=$(count "$1" "120x18+0+$((12 + 20 * i))" "$cyan")
        ((n >= 40)) || { ok=1; echo "  overlay line $((i + 1)): $n cyan pixels"; }
    done
    ((ok == 0)) && (($(count "$1" "800x$((445 - 20 * ($2 - 7)))+0+$((155 + 20 * ($2 - 7)))" "$cyan") == 0))
}
seven_lines() { overlay_lines "$1" 7; }

characters=(--open-kovr1-mref "$data/hero.mRef" --open-kovr1-mani "$data/walk.mAni"
    --open-kovr2-mref "$data/hero.mRef" --open-kovr2-mani "$data/walk.mAni")
# The first model opened is framed: the camera looks at the hero from the
# front, his legs below the middle and his sword to the left.
hand=60x200+290+150  # the primary's left hand, where the sword hangs
legs=100x70+350+330
axis='r == 0 && g == 255 && b == 0'

echo "# the sample: two characters walking in one place, the sword in the first one's hand"
if render full "${characters[@]}" --open-weapon-mref "$data/weapon.mRef"; then
    pass "renders 60 frames to an 800x600 PNG"
    img=$work/full.png
    check "the background is the clear colour 0,64,64" [ "$(count "$img" 800x600+0+0 "$background")" -ge 250000 ]
    check "the characters, framed, fill the middle above the grid" \
        [ "$(count "$img" $legs "!($background) && !($axis)")" -ge 3000 ]
    check "the overlay's seven cyan lines and one for each playing character" overlay_lines "$img" 9
    check "gold of the sword's guard and pommel at the first character's left hand" \
        [ "$(count "$img" $hand "$gold")" -ge 30 ]
    if render noweapon "${characters[@]}"; then
        check "without the sword there is no gold at the hand" [ "$(count "$work/noweapon.png" $hand "$gold")" -eq 0 ]
        inside=$(differing "$img" "$work/noweapon.png" $hand)
        # The FPS line is left out: its value depends on how fast the machine drew.
        fpsline=$(differing "$img" "$work/noweapon.png" 250x20+0+10)
        everywhere=$(($(differing "$img" "$work/noweapon.png" 800x600+0+0) - fpsline))
        check "the sword changes the picture at the hand only ($inside of $everywhere pixels there)" \
            [ "$inside" -ge 100 -a "$inside" -eq "$everywhere" ]
    else
        fail "renders the characters without the sword"
    fi
else
    fail "renders 60 frames to an 800x600 PNG"
fi

echo "# the second character's root key 40 units to the side: the first one joins it"
# In both the first character's first animation is the walk: the view is
# framed over it, so the two pictures are framed alike.
if render together "${characters[@]:0:6}" --open-kovr2-mani "$data/side.mAni" --open-weapon-mref "$data/weapon.mRef" &&
    render bothside "${characters[@]:0:4}" --open-kovr1-mani "$data/side.mAni" "${characters[@]:4:2}" \
        --open-kovr2-mani "$data/side.mAni" --open-weapon-mref "$data/weapon.mRef"; then
    img=$work/together.png
    check "the characters stand left of the middle" [ "$(count "$img" 200x100+150+300 "!($background)")" -ge 3000 ]
    # A hand of the walk swings to the middle's left edge.
    check "nobody in the middle any more" [ "$(count "$img" 80x70+360+330 "!($background) && !($axis) && !(r == g && g == b)")" -le 30 ]
    check "the sword went along with the first character" [ "$(count "$img" 60x100+160+270 "$gold")" -ge 30 ]
    # The first character is moved onto the second one's root key, so the
    # picture is the one of both walking sideways; only its root marker,
    # drawn at its own key, stays behind in the open.
    marker=16x16+392+302
    check "the first character's root marker: a small white square at its root key" [ "$(count "$img" $marker "$white")" -ge 10 ]
    check "nothing else white but a highlight" [ $(($(count "$img" 800x600+0+0 "$white") - $(count "$img" $marker "$white"))) -le 5 ]
    others=$(($(differing "$img" "$work/bothside.png" 800x405+0+195) - $(differing "$img" "$work/bothside.png" $marker)))
    check "the first character stands where the second does ($others pixels differ)" [ "$others" -le 30 ]
else
    fail "renders the characters together"
fi

echo "# animations that carry a model away from where it was framed"
# A first-person weapon's idle holds it 200 units aside, 150 deep and 100 up
# from where it was modelled, bobbing; a walk that travels 8 units a key
# (250 over its 32). Each is framed over its animation, wherever the 60th
# frame finds it.
awk 'BEGIN {
    print "version 1\nnodes\n0 \"Weapon\" -1\nend\nskeleton"
    for (f = 0; f < 30; f++)
        printf "time %d\n0 %f %f %f 0 0 %f\n", f, 222.717937, 150 + 3 * sin(f / 30 * 6.283), 151.407253, 0.3 * sin(f / 30 * 6.283)
    print "end" }' >"$data/idle.smd"
awk '/^time/ {t = $2} /^skeleton/ {s = 1} /^end/ {s = 0} s && $1 == "0" && NF == 7 {$2 = sprintf("%f", $2 + 8 * t)} {print}' \
    "$data/walk.smd" >"$data/travel.smd"
"$convert_tool" ani "$data/idle.smd" "$data/travel.smd" >"$work/away.log" 2>&1 || { fail "the animations convert"; sed 's/^/    /' "$work/away.log"; }
# Model pixels: neither background nor grid (grey) nor an axis (r 0, or pure red).
model='r >= 20 && !(r == g && g == b) && !(r == 255 && g == 0 && b == 0)'
for case in "the weapon's idle as SMD|--open-smd-ref $data/weapon.smd --open-smd-ani $data/idle.smd|3000" \
    "the weapon's idle converted|--open-kovr1-mref $data/weapon.mRef --open-kovr1-mani $data/idle.mAni|3000" \
    "the travelling walk as SMD|--open-smd-ref $data/hero.smd --open-smd-ani $data/travel.smd|4000" \
    "the travelling walk converted|--open-kovr1-mref $data/hero.mRef --open-kovr1-mani $data/travel.mAni|4000"; do
    IFS='|' read -r label args least <<<"$case"
    # shellcheck disable=SC2086 # the arguments are split on purpose
    if render away $args; then
        n=$(count "$work/away.png" 800x440+0+160 "$model")
        check "$label: the model is in the picture ($n pixels)" [ "$n" -ge "$least" ]
    else
        fail "renders $label"
    fi
done

echo "# playback goes by the clock: 1/60 s a frame"
if FRAMES=30 render thirty "${characters[@]}"; then
    line8=250x18+0+152
    check "30 and 60 frames show different keys" [ "$(differing "$work/thirty.png" "$work/noweapon.png" $line8)" -ge 20 ]
    check "and the characters in different poses" [ "$(differing "$work/thirty.png" "$work/noweapon.png" $legs)" -ge 300 ]
    grep -q '^\[Texture\] .*hero_body.png$' "$work/thirty.log"
    check "a texture that loads is named on the console" [ $? -eq 0 ]
else
    fail "renders 30 frames"
fi

# without_texture NAME LINE ONCE SAYS MODEL: the sample's mRef in folder NAME,
# its texture unusable, is drawn light grey, not black; LINE is on the
# console and ONCE (a pattern) there once. SAYS and MODEL name the checks.
without_texture() {
    if render "$1" --open-kovr1-mref "$work/$1/hero.mRef"; then
        grep -qF "$2" "$work/$1.log"
        check "$4" [ $? -eq 0 -a "$(grep -c "$3" "$work/$1.log")" -eq 1 ]
        check "and drawn light grey, not black" [ "$(count "$work/$1.png" $legs 'r == g && g == b && r >= 90')" -ge 2000 ]
    else
        fail "renders a model $5"
    fi
}

echo "# a model whose texture is missing"
mkdir "$work/bare" && cp "$data/hero.mRef" "$work/bare/"
without_texture bare "[Texture] not found: $work/bare/hero_body.png" 'not found' \
    "is named once on the console as not found" "without its texture"

echo "# a texture declaring 16000 x 16000 pixels in a file of 67 bytes"
mkdir "$work/bomb" && cp "$data/hero.mRef" "$work/bomb/"
printf '\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x3e\x80\0\0\x3e\x80\x08\x06\0\0\0\x1f\x15\xc4\x89\0\0\0\x0aIDATx\x9cc\0\x01\0\0\x05\0\x01\x0d\x0a\x2d\xb4\0\0\0\0IEND\xaeB`\x82' \
    >"$work/bomb/hero_body.png"
without_texture bomb \
    "[Texture] refused: $work/bomb/hero_body.png: 16000 x 16000 pixels: 977 MiB decoded, more than the 256 MiB a texture may take" \
    hero_body "is refused for its size, once, on the console" "whose texture is too large"

echo "# a DDS texture (BC1, with mip levels, as ImageMagick writes it)"
mkdir "$work/dds" && sed '3s/hero_body\.png/hero_body.dds/' "$data/hero.mRef" >"$work/dds/hero.mRef"
convert "$data/hero_body.png" -define dds:compression=dxt1 -define dds:mipmaps=4 "$work/dds/hero_body.dds"
if render dds --open-kovr1-mref "$work/dds/hero.mRef" && render png --open-kovr1-mref "$data/hero.mRef"; then
    grep -q '^\[Texture\] .*hero_body.dds$' "$work/dds.log"
    check "is loaded" [ $? -eq 0 ]
    for f in dds png; do convert "$work/$f.png" -crop $legs +repage "$work/$f-legs.png"; done
    apart=$(compare -metric AE -fuzz 8% "$work/dds-legs.png" "$work/png-legs.png" null: 2>&1)
    check "and draws as the PNG it was made from ($apart pixels apart)" [ "$apart" -le 150 ]
else
    fail "renders a model with a DDS texture"
fi

echo "# no files"
if render empty; then
    img=$work/empty.png
    check "the y axis is a green vertical line through the middle" [ "$(count "$img" 3x600+399+0 'r == 0 && g == 255 && b == 0')" -ge 550 ]
    check "the grid, seen edge-on, is a grey horizontal line" \
        [ "$(count "$img" 800x3+0+299 'r == g && g == b && r >= 80 && r <= 170')" -ge 700 ]
    check "the overlay's seven cyan lines are at the top-left" seven_lines "$img"
    # Cyan text blended into the background keeps r at 0 and g equal to b;
    # blended into the green axis, r at 0 and g at 255.
    others=$(count "$img" 800x600+0+0 "!($background) && !(r == g && g == b && r >= 80 && r <= 170) && !(r == 0 && (g == 255 || g == b))")
    check "nothing but background, axes, grid and overlay ($others other pixels)" [ "$others" -eq 0 ]
else
    fail "renders without files"
fi

echo "# no font at all: the picture without its overlay, said once"
mkdir "$work/fccache"
printf '<?xml version="1.0"?>\n<fontconfig><cachedir>%s</cachedir></fontconfig>\n' "$work/fccache" >"$work/nofonts.conf"
if FONTCONFIG_FILE=$work/nofonts.conf render nofont "${characters[@]:0:4}"; then
    check "one line says the overlay has no font" [ "$(grep -c '^veskar: no font for the overlay text' "$work/nofont.log")" -eq 1 ]
    check "no overlay text" [ "$(count "$work/nofont.png" 800x600+0+0 "$cyan")" -eq 0 ]
    check "and the character is drawn" [ "$(count "$work/nofont.png" $legs "!($background) && !($axis)")" -ge 3000 ]
else
    fail "renders without a font"
fi

echo "# real exports: an animation onto a model with another node list finds its bones by name"
if [[ -d $corpus ]]; then
    pairs=$work/pairs
    mkdir "$pairs"
    for f in kbat_bate_sparse_ids kbat_idle pathos_motorbike_reference_messy_ids pathos_motorbike_idle; do cp "$corpus/$f.smd" "$pairs/"; done
    "$convert_tool" ref "$pairs/kbat_bate_sparse_ids.smd" "$pairs/pathos_motorbike_reference_messy_ids.smd" >"$work/pairs.log" 2>&1 &&
        "$convert_tool" ani "$pairs/kbat_idle.smd" "$pairs/pathos_motorbike_idle.smd" >>"$work/pairs.log" 2>&1 ||
        { fail "the corpus pairs convert"; sed 's/^/    /' "$work/pairs.log"; }
    # poses NAME LEAST WHAT MODEL_OPTION MODEL ANIMATION_OPTION ANIMATION: the
    # animation is matched by name and moves at least LEAST pixels below the
    # overlay away from the bind pose. Pictures NAME-bind.png and NAME.png.
    poses() {
        local name=$1 least=$2 what=$3 n
        if render "$name-bind" "$4" "$5" && render "$name" "$4" "$5" "$6" "$7"; then
            n=$(differing "$work/$name-bind.png" "$work/$name.png" 800x440+0+160)
            check "$what: matched by name and posed away from the bind pose ($n pixels)" \
                [ "$n" -ge "$least" -a "$(grep -c '^\[Match\]' "$work/$name.log")" -eq 1 ]
        else
            fail "renders $what"
        fi
    }
    # pair MODEL ANIMATION LEAST: as SMD and converted, the animation poses the model.
    pair() {
        local ref=$pairs/$1 ani=$pairs/$2
        poses "$1-smd" "$3" "$2 on $1 as SMD" --open-smd-ref "$ref.smd" --open-smd-ani "$ani.smd"
        poses "$1-mref" "$3" "$2 on $1 converted" --open-kovr1-mref "$ref.mRef" --open-kovr1-mani "$ani.mAni"
    }
    pair kbat_bate_sparse_ids kbat_idle 20
    pair pathos_motorbike_reference_messy_ids pathos_motorbike_idle 500
    # The models still draw; the two refused animations fail the run.
    "$veskar" --headless --frames 60 --screenshot "$work/foreign.png" --open-smd-ref "$pairs/pathos_motorbike_reference_messy_ids.smd" \
        --open-smd-ani "$pairs/kbat_idle.smd" --open-kovr1-mref "$pairs/pathos_motorbike_reference_messy_ids.mRef" \
        --open-kovr1-mani "$pairs/kbat_idle.mAni" >"$work/foreign.log" 2>&1
    status=$?
    check "an animation of another skeleton is refused, both ways, with how many nodes matched (exit status $status)" \
        [ $status -eq 1 -a "$(grep -c 'Node 개수가 다릅니다!!' "$work/foreign.log")" -eq 2 \
        -a "$(grep -c "^veskar: .*only 0 of the model's 56 nodes have a node of the same name" "$work/foreign.log")" -eq 2 \
        -a "$(identify -format '%m %wx%h' "$work/foreign.png" 2>/dev/null)" = "PNG 800x600" ]
else
    echo "SKIP: no corpus at $corpus"
fi

echo "# the workbench: keys, animations, what is drawn, views and pictures"
# still NAME ARGS...: one frame (the overlay's FPS line reads 0, so equal
# scenes give equal files).
still() { FRAMES=1 render "$@"; }
same_file() { cmp -s "$work/$1.png" "$work/$2.png"; }
# paused_on_keys NAME WHO A B LEAST ARGS...: ARGS paused on key A twice give
# the same picture, on key B one with LEAST pixels or more apart below the
# overlay. Pictures NAME<key>.png; WHO names the checks.
paused_on_keys() {
    local name=$1 who=$2 a=$3 b=$4 least=$5 apart
    shift 5
    if still "$name$a" "$@" --key "$a" && still "$name${a}again" "$@" --key "$a" && still "$name$b" "$@" --key "$b"; then
        check "$who: the same --key twice gives the same picture" same_file "$name$a" "$name${a}again"
        apart=$(differing "$work/$name$a.png" "$work/$name$b.png" 800x440+0+160)
        check "$who: another key another ($apart pixels differ below the overlay)" [ "$apart" -ge "$least" ]
    else
        fail "renders $who paused on keys $a and $b"
    fi
}
walks=(--open-kovr1-mref "$data/hero.mRef" --open-kovr1-mani "$data/walk.mAni")
paused_on_keys key "the walk" 5 20 500 "${walks[@]}"
two=("${walks[@]}" --open-kovr1-mani "$data/side.mAni")
# Framed the same way (over the animation that plays), so that only the
# animation can make the pictures differ.
if still play2 "${two[@]}" --play 2 --key 10 --view front && still sideonly "${walks[@]:0:2}" --open-kovr1-mani "$data/side.mAni" --key 10 --view front &&
    still play1 "${two[@]}" --play 1 --key 10 --view front; then
    check "--play 2 of two animations gives the second's picture" same_file play2 sideonly
    check "and --play 1 the first's, another" [ "$(differing "$work/play2.png" "$work/play1.png" 800x440+0+160)" -ge 500 ]
else
    fail "renders --play 1 and 2 of two animations"
fi
if still transparent "${walks[@]}" --key 5 --background transparent --size 400x300 --show none; then
    fail "a 400x300 picture is refused as 800x600"
elif [[ $(identify -format '%m %wx%h %[channels]' "$work/transparent.png" 2>/dev/null) == "PNG 400x300 srgba" ]]; then
    alphas() { convert "$work/transparent.png" -crop "$1" +repage -depth 8 rgba:- | od -An -v -tu1 -w4 | awk "$2 {n++} END {print n + 0}"; }
    corners=$(($(alphas 8x8+0+0 '$4 == 0') + $(alphas 8x8+392+0 '$4 == 0') + $(alphas 8x8+0+292 '$4 == 0') + $(alphas 8x8+392+292 '$4 == 0')))
    check "--background transparent --size 400x300: an RGBA PNG of 400x300 with transparent corners ($corners of 256)" [ "$corners" -eq 256 ]
    check "and opaque model pixels" [ "$(alphas 60x120+170+90 '$4 == 255')" -ge 1000 ]
else
    fail "--background transparent --size 400x300 writes a 400x300 RGBA PNG ($(identify -format '%m %wx%h %[channels]' "$work/transparent.png" 2>/dev/null))"
fi
if [[ -d $corpus ]]; then
    torso=(--open-smd-ref "$corpus/pathos_replica_torso_reference.smd")
    barney=(--open-smd-ref "$corpus/hlu_player_template_biped_barney.smd" --open-smd-ani "$corpus/hlu_player_idle.smd")
    paused_on_keys idle "a corpus character" 3 30 20 "${barney[@]}"
    if still plain "${torso[@]}" --show none && still normals "${torso[@]}" --show normals && still weights "${torso[@]}" --show none --weights "bip01 SPINE1" &&
        still side "${torso[@]}" --show none --view left; then
        check "--show normals draws them as light blue lines" \
            [ "$(count "$work/normals.png" 800x600+0+0 'r == 64 && g == 160 && b == 255')" -ge 500 -a "$(count "$work/plain.png" 800x600+0+0 'r == 64 && g == 160 && b == 255')" -eq 0 ]
        hues=$(convert "$work/weights.png" -depth 8 rgb:- | od -An -v -tu1 -w3 | awk '{r = $1; g = $2; b = $3; m = r; if (g > m) m = g; if (b > m) m = b
            if (m < 60 || (r == 0 && g == 64 && b == 64)) next
            if (b == m && r < m / 2 && g < m / 2) h["blue"]++; else if (r == m && g < m / 2 && b < m / 2) h["red"]++
            else if (g == m && r < m / 2 && b < m / 2) h["green"]++; else if (r > b && g > b) h["yellow"]++; else if (g > r && b > r) h["cyan"]++}
            END {for (k in h) if (h[k] >= 100) n++; print n + 0}')
        check "--weights (a bone's name in any case) paints the heat ramp: $hues hues of at least 100 pixels" [ "$hues" -ge 3 ]
        check "--view left differs from the front" [ "$(differing "$work/plain.png" "$work/side.png" 800x600+0+0)" -ge 2000 ]
    else
        fail "renders the corpus torso with normals, weights and from the left"
    fi
else
    echo "SKIP: no corpus at $corpus (the workbench's corpus pictures)"
fi
"$veskar" --headless "${two[@]}" --play 3 >/dev/null 2>"$work/badplay.err"
status=$?
check "--play 3 of two animations fails the run ($status) and says so" eval '[ $status -eq 1 ] && grep -q -- "--play 3: no model has that many animations" "$work/badplay.err"'
"$veskar" --headless "${walks[@]}" --weights nosuchbone >/dev/null 2>"$work/badbone.err"
status=$?
check "--weights of a bone no model has fails the run ($status) and says so" eval '[ $status -eq 1 ] && grep -q -- "--weights nosuchbone: no model has a bone" "$work/badbone.err"'

echo "# glTF: opened with its animations, drawn and animated as an SMD model is"
# Pixels below the overlay (and its line for the SMD model) that differ between two pictures.
below_overlay() { differing "$1" "$2" 800x420+0+180; }
skin=/usr/share/assimp/models/glTF2/simple_skin/simple_skin.gltf
if [[ -f $skin ]]; then
    if FRAMES=1 render gltf-bind --open-gltf "$skin" && render gltf-skin --open-gltf "$skin"; then
        n=$(below_overlay "$work/gltf-bind.png" "$work/gltf-skin.png")
        check "simple_skin.gltf (written by others) bends away from its bind pose ($n pixels)" [ "$n" -ge 500 ]
    else
        fail "renders simple_skin.gltf"
    fi
else
    echo "SKIP: assimp-testmodels not installed"
fi
if "$convert_tool" gltf "$data/hero.smd" "$data/walk.smd" -o "$data/hero.glb" >"$work/glb.log" 2>&1 &&
    render glb --open-gltf "$data/hero.glb" && render smd --open-smd-ref "$data/hero.smd" --open-smd-ani "$data/walk.smd"; then
    n=$(below_overlay "$work/glb.png" "$work/smd.png")
    check "the sample's export shows the picture its SMD files show ($n pixels differ)" [ "$n" -le 50 ]
else
    fail "renders the sample's export"
fi

echo "# the command line"
"$veskar" --bogus >"$work/bogus.out" 2>"$work/bogus.err"
status=$?
check "an unknown option exits with 2" [ $status -eq 2 ]
check "and names it on standard error" grep -q -- '--bogus' "$work/bogus.err"
"$veskar" --headless --frames 0 >/dev/null 2>&1
check "--frames 0 exits with 2" [ $? -eq 2 ]
"$veskar" --headless --open-kovr1-mref >/dev/null 2>&1
check "an option missing its file exits with 2" [ $? -eq 2 ]
"$veskar" --screenshot "$work/x.png" >/dev/null 2>&1
check "--screenshot without --headless exits with 2 and writes nothing" [ $? -eq 2 -a ! -e "$work/x.png" ]
for bad in "--play 0" "--key -1" "--view sideways" "--show grid,bones" "--size 0x300" "--size 9000x10" "--background red" "--weights"; do
    # shellcheck disable=SC2086 # the option and its value are split on purpose
    "$veskar" --headless $bad >/dev/null 2>"$work/bad.err"
    status=$?
    check "$bad exits with 2 ($status) and names the option" eval '[ $status -eq 2 ] && grep -q -- "${bad%% *}" "$work/bad.err"'
done
"$veskar" --help >"$work/help.out" 2>&1
status=$?
missing=
for option in --open-kovr1-mref --open-kovr1-mani --open-kovr2-mref --open-kovr2-mani --open-weapon-mref \
    --open-smd-ref --open-smd-ani --open-gltf --headless --frames --screenshot --screenshot-dir --play --key --weights --view --ortho \
    --show --background --size; do
    grep -q -- "$option" "$work/help.out" || missing="$missing $option"
done
check "--help exits with 0 and lists every option${missing:+ (missing:$missing)}" [ $status -eq 0 -a -z "$missing" ]

# viewer STATUS_VAR NAME ARGS...: runs the viewer, leaving NAME.out and NAME.err.
viewer() {
    local name=$1
    shift
    "$veskar" "$@" >"$work/$name.out" 2>"$work/$name.err"
}
no_wrote_line() { ! grep -q '^wrote' "$1"; }
one_line() { [ "$(wc -l <"$1")" -eq 1 ] && grep -q -- "$2" "$1"; }

echo "# a failed graphics start-up: one line saying what is missing, exit status 1"
env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:7919 timeout 60 "$veskar" >"$work/nox.out" 2>"$work/nox.err"
status=$?
check "a DISPLAY naming no X server exits with 1, not an abort (status $status)" [ $status -eq 1 ]
check "and says so on one line: $(head -c 200 "$work/nox.err")" one_line "$work/nox.err" 'no X server answers at DISPLAY=:7919.*--headless'
__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json timeout 60 "$veskar" --headless >"$work/noegl.out" 2>"$work/noegl.err"
status=$?
check "no EGL driver exits with 1 (status $status)" [ $status -eq 1 ]
check "and names the package to install: $(head -c 200 "$work/noegl.err")" one_line "$work/noegl.err" 'install libegl-mesa0'
MESA_GL_VERSION_OVERRIDE=3.0 timeout 60 "$veskar" --headless >"$work/gl30.out" 2>"$work/gl30.err"
status=$?
check "no OpenGL 3.3 exits with 1 (status $status)" [ $status -eq 1 ]
check "and says so on one line: $(head -c 200 "$work/gl30.err")" one_line "$work/gl30.err" 'OpenGL 3.3'

echo "# command-line commands that fail are reported with their file, and fail a headless run"
printf 'version 1\nnot a model\n' >"$work/garbage.smd"
# A number that is no finite float, in each reader's file: refused at its line, not drawn as nothing.
awk '/^triangles/ {t = 1} t && NF >= 9 && !done {$2 = "nan"; done = 1} {print}' "$data/hero.smd" >"$work/nan.smd"
awk '/^skeleton/ {s = 1} s && NF == 7 && !done {$4 = "-inf"; done = 1} {print}' "$data/walk.smd" >"$work/inf.smd"
awk '/^skeleton/ {s = 1} s && NF == 7 && $1 == "1" && !done {$2 = "1e39"; done = 1} {print}' "$data/hero.mRef" >"$work/big.mRef"
awk '/^skeleton/ {s = 1} s && NF == 7 && !done {$3 = "inf"; done = 1} {print}' "$data/walk.mAni" >"$work/inf.mAni"
for case in "--open-kovr1-mref $work/missing.mRef|missing.mRef: cannot open" \
    "--open-smd-ref $work/nan.smd|nan.smd:[0-9]*: not a finite number" \
    "--open-smd-ref $data/hero.smd --open-smd-ani $work/inf.smd|inf.smd:[0-9]*: not a finite number" \
    "--open-kovr1-mref $work/big.mRef|big.mRef:[0-9]*: not a finite number" \
    "--open-kovr1-mref $data/hero.mRef --open-kovr1-mani $work/inf.mAni|inf.mAni:[0-9]*: not a finite number" \
    "--open-kovr1-mref $data/walk.smd|walk.smd:2: " \
    "--open-kovr1-mani $data/walk.mAni|walk.mAni: no character is loaded" \
    "--convert-ref $work/garbage.smd|garbage.smd: the file has no nodes" \
    "--open-smd-ref $work/garbage.smd|garbage.smd: the file has no nodes" \
    "--open-gltf $work/garbage.smd|garbage.smd: the JSON does not parse"; do
    args=${case%%|*}
    # shellcheck disable=SC2086 # the arguments are split on purpose
    viewer failing --headless $args
    status=$?
    check "$args: exit status 1 ($status)" [ $status -eq 1 ]
    check "$args: reported on standard error" grep -q -- "veskar: .*${case#*|}" "$work/failing.err"
done
(cd "$work" && "$veskar" --headless --open-kovr1-mref "$data/hero.mRef" >"$work/noeffect.out" 2>"$work/noeffect.err")
status=$?
check "a model opened without its effect file fails the run ($status)" [ $status -eq 1 ]
check "and says so" grep -q "hero.mRef: opened without the effect" "$work/noeffect.err"

echo "# screenshots: written whole or not at all, never over a file of the run"
viewer full-device --headless --screenshot /dev/full
status=$?
check "--screenshot /dev/full exits with 1 ($status)" [ $status -eq 1 ]
check "without a wrote line" no_wrote_line "$work/full-device.out"
check "and /dev/full is still a device" [ -c /dev/full ]
cp "$data/hero.mRef" "$work/hero-before.mRef"
cp "$data/hero_body.png" "$work/body-before.png"
for target in "$data/hero.mRef" "$data/hero_body.png" "$data/walk.mAni"; do
    # A million frames would take minutes: the refusal comes before the first.
    timeout 60 "$veskar" --headless --frames 1000000 --screenshot "$target" "${characters[@]:0:4}" >"$work/self.out" 2>"$work/self.err"
    status=$?
    check "--screenshot $(basename "$target"), a file the run reads, is refused before drawing ($status)" [ $status -eq 1 ]
    check "with a message naming it" grep -q -- "--screenshot .*$(basename "$target"): this run reads or writes that file" "$work/self.err"
    check "and without a wrote line" no_wrote_line "$work/self.out"
done
check "the model is unchanged" cmp -s "$data/hero.mRef" "$work/hero-before.mRef"
check "the texture is unchanged" cmp -s "$data/hero_body.png" "$work/body-before.png"
viewer first --headless --screenshot "$work/shot.png"
cp "$work/shot.png" "$work/shot-before.png"
(ulimit -f 4; trap '' XFSZ; exec "$veskar" --headless --screenshot "$work/shot.png" "${characters[@]}") >"$work/limited.out" 2>"$work/limited.err"
status=$?
check "a write that fails (file size limit) exits with 1 ($status)" [ $status -eq 1 ]
check "says why: $(head -c 200 "$work/limited.err")" grep -q "cannot write .*shot.png: cannot write: File too large" "$work/limited.err"
check "prints no wrote line" no_wrote_line "$work/limited.out"
check "and leaves the earlier picture as it was" cmp -s "$work/shot.png" "$work/shot-before.png"
check "and no other file" [ "$(find "$work" -maxdepth 1 -name '.vsk*' | wc -l)" -eq 0 ]

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
