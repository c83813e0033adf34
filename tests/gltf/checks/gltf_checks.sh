#!/usr/bin/env bash
# Checks of `veskar-convert gltf` by tools nobody here wrote, in steps that
# ctest runs as fixtures and tests:
#   node WORK                      the npm packages (package-lock.json) in WORK, by npm ci when they changed
#   export WORK CONVERT SAMPLE CORPUS   the sample character and the corpus references exported into WORK
#   validator WORK                 the Khronos glTF-Validator: no error, no warning for any exported file
#                                  (binary .glb and the text form, .gltf with its .bin)
#   assimp WORK                    `assimp info -r` reads each file with the node, mesh, bone and animation
#                                  counts it holds, and the skin has a joint per node of the reference
#   three WORK POSECHECK CORPUS    three.js in headless Chromium poses the sample (both forms) and a corpus character;
#                                  POSECHECK compares with Veskar's skinning
set -u
here=$(cd "$(dirname "$0")" && pwd)
step=${1:?usage: gltf_checks.sh STEP WORK ...}
work=${2:?usage: gltf_checks.sh STEP WORK ...}
mkdir -p "$work" || exit 2

fail() {
    echo "FAIL: $*"
    exit 1
}

case $step in
node)
    for f in package.json package-lock.json page.html pose.js validate.mjs counts.mjs image.mjs three_check.mjs; do
        cp "$here/$f" "$work/$f" || exit 2
    done
    stamp=$(sha256sum "$here/package-lock.json" | cut -d' ' -f1)
    if [ "$(cat "$work/node_modules/.veskar-lock" 2>/dev/null)" != "$stamp" ]; then
        command -v npm >/dev/null || fail "npm is missing (scripts/install-deps.sh installs it)"
        (cd "$work" && npm ci --no-audit --no-fund --loglevel=error) || fail "npm ci"
        echo "$stamp" >"$work/node_modules/.veskar-lock"
    fi
    echo "node $(node --version), packages from package-lock.json in $work"
    ;;

export)
    convert=${3:?} sample=${4:?} corpus=${5:?}
    rm -rf "$work/sample" "$work/corpus"
    mkdir -p "$work/sample" "$work/corpus"
    "$sample" character "$work/sample" >/dev/null || fail "veskar-sample character"
    : >"$work/files.txt"
    # export NAME EXPECTED_STATUS OUT FILES...: one .glb, or a .gltf with its .bin; every exported file is
    # listed for the later steps.
    export_one() {
        local name=$1 expected=$2 out=$3
        shift 3
        "$convert" gltf "$@" -o "$out" >"$work/$name.out" 2>"$work/$name.err"
        local rc=$?
        if [ "$rc" -ne "$expected" ]; then
            cat "$work/$name.out" "$work/$name.err"
            fail "$name: exit status $rc, expected $expected"
        fi
        if [ "$rc" -eq 0 ]; then
            [ -s "$out" ] || fail "$name: $out was not written"
            case $out in *.gltf) [ -s "${out%.gltf}.bin" ] || fail "$name: ${out%.gltf}.bin was not written" ;; esac
            # The skin has one joint per node of the reference.
            local nodes
            nodes=$("$convert" info "$1" | awk '/^  nodes / { sub(",", "", $2); print $2; exit }')
            echo "$out $nodes" >>"$work/files.txt"
        else
            [ ! -e "$out" ] || fail "$name: a refused export left $out"
        fi
        if [ "$rc" -eq 0 ]; then
            printf '%-36s %9d bytes\n' "$name" "$(wc -c <"$out")"
        else
            printf '%-36s refused: %s\n' "$name" "$(head -n 1 "$work/$name.err")"
        fi
    }
    s=$work/sample
    export_one "sample hero + walk" 0 "$s/hero.glb" "$s/hero.smd" "$s/walk.smd"
    export_one "sample weapon" 0 "$s/weapon.glb" "$s/weapon.smd"
    "$convert" ref "$s/hero.smd" >/dev/null && "$convert" ani "$s/walk.smd" >/dev/null || fail "converting the sample to mRef and mAni"
    export_one "sample hero.mRef + walk.mAni" 0 "$s/engine.glb" "$s/hero.mRef" "$s/walk.mAni"
    # Textures as BMP and TGA, named in another case than on disk: found, and converted to PNG.
    b=$work/sample-bmp
    rm -rf "$b" && mkdir -p "$b" || exit 2
    convert "$s/hero_body.png" "BMP3:$b/hero_body.bmp" && convert "$s/hero_head.png" "$b/hero_head.tga" || fail "ImageMagick's convert"
    sed 's/hero_body\.png/HERO_BODY.BMP/; s/hero_head\.png/Hero_Head.TGA/' "$s/hero.smd" >"$b/hero.smd"
    export_one "sample with BMP and TGA textures" 0 "$b/hero.glb" "$b/hero.smd"
    [ ! -s "$work/sample with BMP and TGA textures.err" ] || fail "textures not found: $(cat "$work/sample with BMP and TGA textures.err")"
    [ "$(grep -ao '"mimeType":"image/png"' "$b/hero.glb" | wc -l)" -eq 2 ] || fail "the BMP and TGA textures were not embedded as PNG"
    # The text form: the same character in hero-text.gltf and hero-text.bin.
    export_one "sample hero + walk, text form" 0 "$s/hero-text.gltf" "$s/hero.smd" "$s/walk.smd"
    # DDS textures written by ImageMagick (BC3; BC1 with mip levels), a texture from the sample's folder, and
    # a PNG cut short, which is left out: each file still validates.
    d=$work/sample-dds
    rm -rf "$d" && mkdir -p "$d" || exit 2
    convert "$s/hero_body.png" -define dds:compression=dxt5 -define dds:mipmaps=0 "$d/HERO_BODY.DDS" &&
        convert "$s/weapon.png" -define dds:compression=dxt1 -define dds:mipmaps=3 "$d/weapon.dds" || fail "ImageMagick's convert to DDS"
    sed 's/hero_body\.png/hero_body.dds/; s/hero_head\.png/..\\sample\\hero_head.png/' "$s/hero.smd" >"$d/hero.smd"
    export_one "sample with DDS and outside textures" 0 "$d/hero.gltf" "$d/hero.smd" "$s/walk.smd"
    [ "$(cat "$work/sample with DDS and outside textures.err")" = "$d/hero.smd: texture ../sample/hero_head.png is outside the model's folder" ] ||
        fail "standard error: $(cat "$work/sample with DDS and outside textures.err")"
    # The DDS's pixels as ImageMagick decodes them, to within one level in 255.
    (cd "$work" && node image.mjs "$d/hero.gltf" 0 "$d/body-veskar.png") && convert "$d/HERO_BODY.DDS" "$d/body-imagemagick.png" ||
        fail "the DDS texture's image"
    differ=$(compare -metric AE -fuzz 0.5% "$d/body-veskar.png" "$d/body-imagemagick.png" null: 2>&1)
    [ "$differ" = 0 ] || fail "the DDS texture decodes to other pixels than ImageMagick's: $differ differ"
    sed 's/weapon\.png/weapon.dds/' "$s/weapon.smd" >"$d/weapon.smd"
    export_one "sample weapon with a BC1 DDS" 0 "$d/weapon.glb" "$d/weapon.smd"
    head -c 5000 "$s/hero_body.png" >"$d/cut.png"
    sed 's/hero_body\.png/cut.png/' "$s/hero.smd" >"$d/cut.smd"
    export_one "sample with a PNG cut short" 0 "$d/cut.glb" "$d/cut.smd"
    grep -q 'texture "cut.png" .*the image does not decode' "$work/sample with a PNG cut short.err" || fail "the cut PNG was not said"
    # The corpus, each reference with the animations MANIFEST.md pairs with it.
    if [ -d "$corpus" ]; then
        c=$corpus o=$work/corpus
        export_one assimp_holy_grailref 0 "$o/grail.glb" "$c/assimp_holy_grailref.smd"
        export_one assimp_triangle 0 "$o/triangle.glb" "$c/assimp_triangle.smd"
        export_one "bst_cube + actionfilter" 0 "$o/cube.glb" "$c/bst_cube_goldsource_crlf.smd" "$c/bst_actionfilter_x_axis.smd"
        export_one "hlu_barney + block_gate" 0 "$o/barney.glb" "$c/hlu_barney_hd_reference.smd" "$c/hlu_barney_hd_block_gate.smd"
        export_one hlu_hgrunt 0 "$o/hgrunt.glb" "$c/hlu_hgrunt_hd_dc_soldier_reference.smd"
        export_one "hlu_player + idle" 0 "$o/player.glb" "$c/hlu_player_template_biped_barney.smd" "$c/hlu_player_idle.smd"
        export_one hlu_w_crossbow 0 "$o/crossbow.glb" "$c/hlu_w_crossbow_hd_reference.smd"
        export_one "kbat_bate_sparse_ids + idle" 0 "$o/kbat.glb" "$c/kbat_bate_sparse_ids.smd" "$c/kbat_idle.smd"
        export_one "pathos_motorbike + idle" 0 "$o/motorbike.glb" "$c/pathos_motorbike_reference_messy_ids.smd" "$c/pathos_motorbike_idle.smd"
        export_one pathos_replica_torso 0 "$o/torso.glb" "$c/pathos_replica_torso_reference.smd"
        export_one "punt_box + idle" 0 "$o/box.glb" "$c/punt_box_ref.SMD" "$c/punt_idle.SMD"
    else
        echo "SKIP: corpus not found at $corpus: only the sample is exported"
    fi
    ;;

validator)
    [ -s "$work/files.txt" ] || fail "nothing exported"
    # shellcheck disable=SC2046
    (cd "$work" && node validate.mjs $(cut -d' ' -f1 files.txt)) || fail "the validator found errors or warnings"
    ;;

assimp)
    [ -s "$work/files.txt" ] || fail "nothing exported"
    command -v assimp >/dev/null || fail "assimp is missing (scripts/install-deps.sh installs assimp-utils)"
    # shellcheck disable=SC2046
    (cd "$work" && node counts.mjs $(cut -d' ' -f1 files.txt)) >"$work/counts.txt" || fail "counts.mjs"
    bad=0
    while read -r glb nodes && read -r _ expected <&3; do
        got=$(assimp info "$glb" -r 2>&1 | awk '
            /^Nodes:/ { n = $2 } /^Meshes:/ && m == "" { m = $2 } /^Bones:/ { b = $2 }
            /^Animations:/ { a = $2 } /^Animation Channels:/ { c = $3 }
            END { printf "nodes %s meshes %s bones %s animations %s channels %s", n, m, b, a, c }')
        if [ "${expected% joints *}" != "$got" ]; then
            echo "  $glb: assimp says \"$got\", the file holds \"${expected% joints *}\""
            bad=1
        elif [ "${expected##* joints }" != "$nodes" ]; then
            echo "  $glb: ${expected##* joints } joints for the reference's $nodes nodes"
            bad=1
        else
            echo "  $glb: $got, joints ${expected##* joints }"
        fi
    done <"$work/files.txt" 3<"$work/counts.txt"
    [ "$bad" -eq 0 ] || fail "the counts differ (see above)"
    ;;

three)
    check=${3:?} corpus=${4:-}
    s=$work/sample
    [ -s "$s/hero.glb" ] || fail "the sample was not exported"
    # pose NAME GLB REFERENCE ANIMATION KEYS...: three.js poses the file at
    # those keys of 30 fps; Veskar's skinning of the SMD files must agree.
    pose() {
        local name=$1 glb=$2 reference=$3 animation=$4
        shift 4
        local times
        times=$(for k in "$@"; do echo "$k / 30" | bc -l; done | paste -sd, -)
        (cd "$work" && node three_check.mjs --glb "$glb" --times "$times" --json "$work/$name.json" --png "$work/$name.png" \
            --shot "$(echo "$2 / 30" | bc -l)") || fail "three.js on $name"
        "$check" "$reference" "$animation" "$work/$name.json" 30 1 || fail "three.js and Veskar pose $name differently"
        echo "picture: $work/$name.png"
    }
    # The sample walk turns its bones about two axes; the corpus player's idle about all three.
    pose sample "$s/hero.glb" "$s/hero.smd" "$s/walk.smd" 0 11 23
    pose sample-text "$s/hero-text.gltf" "$s/hero.smd" "$s/walk.smd" 0 11 23
    if [ -s "$work/corpus/player.glb" ] && [ -d "$corpus" ]; then
        pose player "$work/corpus/player.glb" "$corpus/hlu_player_template_biped_barney.smd" "$corpus/hlu_player_idle.smd" 0 13 27
    else
        echo "SKIP: no corpus at $corpus: the corpus character is not posed"
    fi
    ;;

*)
    echo "unknown step $step" >&2
    exit 2
    ;;
esac
