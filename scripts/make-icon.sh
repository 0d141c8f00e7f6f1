#!/usr/bin/env bash
# Draws the program icon (a memory module under a magnifier) at 256, 48, 32 and 16 pixels
# and packs them into res/brindlecrest.ico. Needs ImageMagick. Run by hand when the icon changes.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

draw_module() {  # size
    local s=$1
    convert -size 256x256 xc:none \
        -fill '#1f7a3a' -stroke '#0d3d1c' -strokewidth 6 -draw 'roundrectangle 14,70 242,178 10,10' \
        -stroke none -fill '#d9a520' \
        -draw 'rectangle 28,160 40,176' -draw 'rectangle 48,160 60,176' -draw 'rectangle 68,160 80,176' \
        -draw 'rectangle 88,160 100,176' -draw 'rectangle 108,160 120,176' \
        -draw 'rectangle 144,160 156,176' -draw 'rectangle 164,160 176,176' -draw 'rectangle 184,160 196,176' \
        -draw 'rectangle 204,160 216,176' -draw 'rectangle 224,160 232,176' \
        -fill '#1b1b1f' \
        -draw 'roundrectangle 30,86 72,146 4,4' -draw 'roundrectangle 84,86 126,146 4,4' \
        -draw 'roundrectangle 138,86 180,146 4,4' -draw 'roundrectangle 192,86 230,146 4,4' \
        -fill '#f2f2f2' -draw 'rectangle 124,168 132,178' \
        -fill none -stroke '#0b4f8a' -strokewidth 18 -draw 'circle 168,150 168,202' \
        -stroke '#0b4f8a' -strokewidth 26 -draw 'line 206,190 240,228' \
        -stroke none -fill '#9fd3ff80' -draw 'circle 168,150 168,194' \
        -fill '#ffffffb0' -draw 'ellipse 154,134 14,8 200,290' \
        -resize "${s}x${s}" "$tmp/$s.png"
}

draw_small() {  # 16 px: the module alone reads better than a shrunken magnifier
    convert -size 16x16 xc:none \
        -fill '#1f7a3a' -draw 'rectangle 0,4 15,11' \
        -fill '#1b1b1f' -draw 'rectangle 2,5 4,8' -draw 'rectangle 6,5 8,8' -draw 'rectangle 10,5 12,8' \
        -fill '#d9a520' -draw 'point 1,10' -draw 'point 3,10' -draw 'point 5,10' -draw 'point 7,10' \
        -draw 'point 9,10' -draw 'point 11,10' -draw 'point 13,10' \
        -fill '#0b4f8a' -draw 'rectangle 12,9 15,15' -fill '#9fd3ff' -draw 'rectangle 13,10 14,13' \
        "$tmp/16.png"
}

for s in 256 48 32; do draw_module "$s"; done
draw_small
# 256 as PNG inside the icon, the small sizes as classic bitmaps with alpha.
convert "$tmp/16.png" "$tmp/32.png" "$tmp/48.png" "$tmp/256.png" -define icon:format=png:256 res/brindlecrest.ico
identify res/brindlecrest.ico
