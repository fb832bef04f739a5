#!/usr/bin/env bash
# Draws Quorvel's icon: a steel horseshoe, heels up, on a green turf field.
# Writes quorvel.png (32x32, 8-bit palette) and quorvel.ico (32x32, 256 colours)
# next to this script. Needs ImageMagick's convert and awk.
#
# The picture is drawn at 8x size (256x256) and scaled down so that the curves
# get smooth edges, then folded into a palette of at most 256 colours.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The shoe's band follows an ellipse around (CX, CY) with radii RX, RY.
CX=128 CY=124 RX=66 RY=74

# Points on that ellipse, grown by GROW: points GROW FROM TO STEP, angles in
# degrees counted anticlockwise from three o'clock, as on paper.
# Polylines instead of SVG arcs, because ImageMagick 6 gets arcs in paths wrong.
points() {
    awk -v cx=$CX -v cy=$CY -v rx=$((RX + $1)) -v ry=$((RY + $1)) \
        -v from="$2" -v to="$3" -v step="$4" 'BEGIN {
        for (a = from; (step > 0) ? a <= to : a >= to; a += step) {
            r = a * atan2(0, -1) / 180
            printf "%s%.1f,%.1f", (a == from) ? "" : " ", cx + rx * cos(r), cy - ry * sin(r)
        }
    }'
}

# Round joins: with mitred ones ImageMagick 6.9 closes an open polyline's
# outline and fills the gap between the heels.
line() { echo "stroke-linejoin round polyline $(points "$@")"; }

# The band runs from the left heel at 128 degrees round the toe to the right
# heel at 52 (412); its dark rim reaches a little further to close the heels.
rim=$(line 0 125 415 5)
band=$(line 0 128 412 4)
# Light along the outer left edge, as if lit from the upper left.
shine=$(line 11 145 245 5)
# Three nail holes on each branch.
nails=()
for point in $(points 0 20 20 1) $(points 0 -18 -18 1) $(points 0 -56 -56 1) \
             $(points 0 160 160 1) $(points 0 198 198 1) $(points 0 236 236 1); do
    x=${point%,*} y=${point#*,}
    nails+=(-draw "circle $x,$y $(awk -v x="$x" 'BEGIN { print x + 6.5 }'),$y")
done

convert -size 256x256 gradient:'#6ac653-#1d6424' \
    -fill none -stroke '#163216' -strokewidth 12 -draw "rectangle 0,0 255,255" \
    -stroke '#23272e' -strokewidth 54 -draw "$rim" \
    -stroke '#9ba3ad' -strokewidth 40 -draw "$band" \
    -stroke '#f0f3f7' -strokewidth 9 -draw "$shine" \
    -stroke none -fill '#23272e' "${nails[@]}" \
    "$work/big.png"

# Scale down, fold into a palette and leave out time stamps and other
# metadata so that the files change only when the drawing does.
convert "$work/big.png" -filter Triangle -resize 32x32 \
    -dither None -colors 256 -strip \
    -define png:exclude-chunks=date,time \
    PNG8:"$here/quorvel.png"

# An uncompressed 8-bit (256-colour) bitmap icon, which every Windows reads.
# No colour options here: asking for -colors again would quantise the palette
# anew and shift some pixels away from the PNG's.
convert "$here/quorvel.png" -compress None "$here/quorvel.ico"

echo "wrote $here/quorvel.png and $here/quorvel.ico"
