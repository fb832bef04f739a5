#!/usr/bin/env bash
# Draws the 32x32 icons of the message boxes in the manner of the classic desktop: the
# exclamation mark on a yellow triangle and the blue "i" in a white speech balloon, each
# with its grey shadow, in hard-edged pixels. Writes icons/warning.png and
# icons/information.png next to this script. Needs ImageMagick's convert.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$here/icons"
# No time stamps, so that the files change only when the drawings do.
png=(-strip -define png:exclude-chunks=date,time)

convert -size 32x32 xc:none +antialias \
    -stroke none -fill '#808080' -draw "polygon 17,3 31,30 3,30" \
    -stroke black -fill '#FFFF00' -draw "polygon 15,1 29,28 1,28" \
    -stroke none -fill black -draw "rectangle 14,9 16,20" -draw "rectangle 14,23 16,25" \
    "${png[@]}" PNG32:"$here/icons/warning.png"

convert -size 32x32 xc:none +antialias \
    -stroke none -fill '#808080' -draw "circle 17,15 17,2" -draw "polygon 10,24 8,31 18,26" \
    -stroke black -fill white -draw "circle 15,13 15,1" \
    -draw "polygon 8,22 6,29 14,24" \
    -stroke none -fill white -draw "polygon 9,21 7,27 14,23" \
    -fill '#0000FF' -draw "rectangle 14,5 17,8" -draw "rectangle 12,11 17,12" \
    -draw "rectangle 14,13 17,20" -draw "rectangle 12,21 19,22" \
    "${png[@]}" PNG32:"$here/icons/information.png"

echo "wrote $here/icons/warning.png and information.png"
