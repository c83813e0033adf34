#!/usr/bin/env bash
# Wraps a square PNG of at most 256 pixels into an icon file (Windows Vista
# and later read PNG icons): the header, one directory entry, the PNG.
# Usage: ico-from-png.sh IN.png OUT.ico
set -euo pipefail
png=$1
ico=$2
size=$(stat -c %s "$png")
# Width and height sit big-endian at bytes 16..23 of the PNG's IHDR chunk.
width=$(od -An -tu1 -j19 -N1 "$png" | tr -d ' ')
height=$(od -An -tu1 -j23 -N1 "$png" | tr -d ' ')
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
{
    printf '\x00\x00\x01\x00\x01\x00'
    printf "\\x$(printf %02x $((width % 256)))\\x$(printf %02x $((height % 256)))\\x00\\x00\\x01\\x00\\x20\\x00"
    printf "$(le32 "$size")$(le32 22)"
    cat "$png"
} >"$ico.tmp"
mv "$ico.tmp" "$ico"
