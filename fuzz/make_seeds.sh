#!/usr/bin/env bash
# Builds the seed folders of the fuzz targets:
#   OUT/smd_reference  OUT/smd_animation  OUT/mref  OUT/mani  OUT/gltf  OUT/dds
# from the SMD corpus beside the project (../shared/corpus from the repository
# root, skipped when absent), from small hand-made files, from the mRef, mAni
# and .glb files the project's own converter writes from both, and from the
# glTF test files of assimp-testmodels that hold all they need in one file;
# the DDS seeds are small files of each form the image decoding test reads.
#
# usage: fuzz/make_seeds.sh [OUT] [VESKAR_CONVERT]
#   OUT             default build/fuzz/seeds
#   VESKAR_CONVERT  default build/fuzz/src/veskar-convert (no converter: no mRef/mAni seeds made by it)
# MAX_SEED_BYTES (default 200000): larger files are left out, as libFuzzer
# would cut them short and the readers would refuse every cut file early.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/fuzz/seeds}"
convert="${2:-$root/build/fuzz/src/veskar-convert}"
corpus="${VESKAR_CORPUS_DIR:-$root/../shared/corpus}"
max_bytes="${MAX_SEED_BYTES:-200000}"

rm -rf "$out"
mkdir -p "$out/smd_reference" "$out/smd_animation" "$out/mref" "$out/mani" "$out/gltf" "$out/dds"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ref" "$work/ani"

small() { [ "$(stat -c %s "$1")" -le "$max_bytes" ]; }

# Hand-made files: the smallest shapes each reader takes, and near misses.
cat >"$work/ref/tri.smd" <<'SMD'
version 1
nodes
  0 "root" -1
  1 "child" 0
end
skeleton
time 0
  0 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000
  1 0.000000 0.000000 10.000000 0.000000 0.000000 1.570796
end
triangles
skin.bmp
0 0.0 0.0 0.0 0.0 0.0 1.0 0.0 0.0 2 0 0.25 1 0.75
1 1.0 0.0 0.0 0.0 0.0 1.0 1.0 0.0 1 1 1.0
0 0.0 1.0 0.0 0.0 0.0 1.0 0.0 1.0
skin.bmp
0 0.0 0.0 0.0 0.0 0.0 1.0 0.0 0.0 2 0 0.25 1 0.75
0 0.0 1.0 0.0 0.0 0.0 1.0 0.0 1.0 0
1 1.0 1.0 0.0 0.0 0.0 1.0 1.0 1.0 1 1 1.0
other.tga
1 2.0 1.0 0.0 0.0 0.0 1.0 1.0 1.0 1 1 1.0
1 2.0 2.0 0.0 0.0 0.0 1.0 1.0 1.0 1 1 1.0
1 2.0 3.0 0.0 0.0 0.0 1.0 1.0 1.0 1 1 1.0
end
SMD
printf '// exported\r\n\r\nVERSION 1\r\nNODES\r\n0 "a b" -1\r\nEND\r\nSKELETON\r\n0 1 2 3 0.1 0.2 0.3\r\nEND\r\nTRIANGLES\r\nm\r\n0 1 2 3 0 0 1 0.5 0.5\r\n0 1 2 4 0 0 1 0.5 0.5\r\n0 1 2 5 0 0 1 0.5 0.5\r\nEND\r\n' >"$work/ref/crlf.smd"
printf 'version 1\nnodes\n0 "root" -1\nend\nskeleton\ntime 0\n0 nan inf -inf 0 0 0\nend\ntriangles\nm\n0 nan 0 0 0 0 1 0 0 1 0 nan\n0 inf 0 0 0 0 1 0 0 1 0 1\n0 0 0 0 0 0 1 0 0 16 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1\nend\n' >"$work/ref/nan.smd"
cat >"$work/ani/walk.smd" <<'SMD'
version 1
nodes
  0 "root" -1
  1 "child" 0
  2 "leaf" 1
end
skeleton
time 0
  0 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000
  1 0.000000 0.000000 10.000000 0.000000 0.000000 0.000000
  2 1.000000 0.000000 0.000000 0.000000 0.500000 0.000000
time 1
  0 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000
  2 1.000000 0.000000 0.000000 0.000000 0.600000 0.000000
time 2
  1 0.000000 0.000000 10.000000 0.100000 0.000000 0.000000
end
SMD
printf 'version 1\nnodes\n0 "root" -1\n1 "child" 0\nend\nskeleton\ntime 5\n0 0 0 0 0 0 0\n1 0 0 1 0 0 0\ntime 9\n1 0 0 2 0 0 0\ntime 20\n0 1 0 0 0 0 0\nend\n' >"$work/ani/renumbered.smd"
printf 'version 1\nnodes\n0 "root" -1\nend\nskeleton\ntime 1\n0 0 0 0 0 0 0\ntime 0\n0 1 1 1 0 0 0\nend\ntriangles\nm\n0 0 0 0 0 0 1 0 0\n0 0 0 0 0 0 1 0 0\n0 0 0 0 0 0 1 0 0\nend\n' >"$work/ani/backwards.smd"

# Engine files straight from the hand, for shapes the converter never writes.
printf 'version 1\nref\nskin.bmp\nnode 2\nvertex 3\nindex 1\nnodes\n0 "Bip01" -1\n1 "Bip01 L Hand" 0\nend\nskeleton\ntime 0\n  0 0 0 0 0 0 0\n  1 0 0 10 0 0 0\nend\nvertices\n0 0 0 0 0 0 1 0 0 1 0 1\n1 1 0 0 0 0 1 1 0 2 0 0.5 1 0.5\n1 1 1 0 0 0 1 1 1 0\nend\nindices\n0 1 2\nend\n' >"$out/mref/hand.mRef"
printf 'version 1\nani\nnode 2\ntime 2\nnodes\n0 "Bip01" -1\n1 "Bip01 L Hand" 0\nend\nskeleton\ntime 1\n  0 0 0 0 0 0 0\n  1 0 0 10 0 0 0\ntime 0\n  0 0 0 1 0 0 0\n  1 0 0 10 0 1 0\nend\n' >"$out/mani/hand.mAni"

# DDS files as tests/base/DdsTestFiles.h lays them out.
le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)))"; }
# dds NAME WIDTH HEIGHT MIPS FORMAT_FLAGS FOURCC BITS R G B A PIXEL_BYTES [DXGI_FORMAT]
dds() {
    local i
    {
        printf 'DDS '
        le32 124; le32 $((0x1007 | ($4 > 0 ? 0x20000 : 0))); le32 "$3"; le32 "$2"; le32 0; le32 0; le32 "$4"
        for i in $(seq 11); do le32 0; done
        le32 32; le32 "$5"; printf '%s' "$6"; le32 "$7"; le32 "$8"; le32 "$9"; le32 "${10}"; le32 "${11}"
        le32 0x1000; for i in 1 2 3 4; do le32 0; done
        if [ "$6" = DX10 ]; then le32 "${13}"; le32 3; le32 0; le32 1; le32 0; fi
        local fill=0123456789abcdefghij
        while [ ${#fill} -lt "${12}" ]; do fill=$fill$fill; done
        printf '%s' "${fill:0:${12}}"
    } >"$out/dds/$1.dds"
}
dds bc1_4x4 4 4 0 4 DXT1 0 0 0 0 0 8
dds bc2_5x3 5 3 0 4 DXT3 0 0 0 0 0 32
dds bc3_8x8_mips 8 8 4 4 DXT5 0 0 0 0 0 112
dds bgr24_3x2 3 2 0 0x40 '    ' 24 0xFF0000 0xFF00 0xFF 0 18
dds argb32_2x2 2 2 0 0x41 '    ' 32 0xFF0000 0xFF00 0xFF 0xFF000000 16
dds rgb565_2x2 2 2 0 0x40 '    ' 16 0xF800 0x7E0 0x1F 0 8
dds dx10_bc1_4x4 4 4 0 4 DX10 0 0 0 0 0 8 71
dds dx10_rgba_2x1 2 1 0 4 DX10 0 0 0 0 0 8 28

if [ -d "$corpus" ]; then
    for f in "$corpus"/*.smd "$corpus"/*.SMD; do
        [ -f "$f" ] && small "$f" || continue
        # Corpus files say what they are only by what they hold: try both ways.
        cp "$f" "$work/ref/corpus_$(basename "$f")"
        cp "$f" "$work/ani/corpus_$(basename "$f")"
    done
else
    echo "make_seeds: no corpus at $corpus; hand-made seeds only" >&2
fi

cp "$work"/ref/* "$out/smd_reference/"
cp "$work"/ani/* "$out/smd_animation/"

if [ -x "$convert" ]; then
    # The converter refuses the files of the other kind; that is expected here.
    "$convert" ref "$work"/ref/* >/dev/null 2>&1 || true
    "$convert" ani "$work"/ani/* >/dev/null 2>&1 || true
    for f in "$work"/ref/*.mRef; do [ -f "$f" ] && small "$f" && cp "$f" "$out/mref/"; done
    for f in "$work"/ani/*.mAni; do [ -f "$f" ] && small "$f" && cp "$f" "$out/mani/"; done
    # Each reference exported with the hand-made walk, as far as they fit.
    for f in "$work"/ref/*.smd "$work"/ref/*.SMD; do
        [ -f "$f" ] || continue
        glb="$out/gltf/$(basename "${f%.*}").glb"
        "$convert" gltf "$f" "$work/ani/walk.smd" -o "$glb" >/dev/null 2>&1 || true
        [ -f "$glb" ] && ! small "$glb" && rm -f "$glb"
    done
else
    echo "make_seeds: no converter at $convert; no converted seeds" >&2
fi

others=/usr/share/assimp/models/glTF2
if [ -d "$others" ]; then
    cp "$others/simple_skin/simple_skin.gltf" "$out/gltf/"
    cp "$others/BoxTextured-glTF-Embedded/BoxTextured.gltf" "$out/gltf/BoxTexturedEmbedded.gltf"
    cp "$others/BoxTextured-glTF-Binary/BoxTextured.glb" "$others/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb" "$out/gltf/"
else
    echo "make_seeds: no assimp-testmodels at $others; glTF seeds from our own exports only" >&2
fi

chmod -R u+w "$out"
for d in smd_reference smd_animation mref mani gltf dds; do
    echo "make_seeds: $d: $(ls "$out/$d" | wc -l) files"
done
