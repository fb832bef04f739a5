#!/usr/bin/env bash
# Draws the small icons of the drive and folder lists, pixel by pixel, in the
# 16-colour manner of the lists they stand in for: a closed folder, an open
# folder and a fixed disk, each 16x16. Writes icons/*.png next to this script.
# Needs ImageMagick's convert.
#
# Colours: k black, d dark grey 808080, g grey C0C0C0, w white, y yellow FFFF00,
# o olive 808000, l light yellow FFFFC0 (lit edges), G green 00FF00; '.' is clear.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$here/icons"

# draw NAME ROW... : the 16 rows of 16 pixels each.
draw() {
    local name=$1; shift
    if [ $# -ne 16 ]; then
        echo "$name: $# rows instead of 16" >&2
        exit 1
    fi
    {
        echo '/* XPM */'
        echo "static char *$name[] = {"
        echo '"16 16 9 1",'
        echo '". c None", "k c #000000", "d c #808080", "g c #C0C0C0", "w c #FFFFFF",'
        echo '"y c #FFFF00", "o c #808000", "l c #FFFFC0", "G c #00FF00",'
        local row
        for row in "$@"; do
            if [ ${#row} -ne 16 ]; then
                echo "$name: row \"$row\" is ${#row} pixels wide" >&2
                exit 1
            fi
            echo "\"$row\","
        done
        echo '};'
    } >"$work/$name.xpm"
    # No time stamps, so that the file changes only when the drawing does.
    convert "$work/$name.xpm" -strip -define png:exclude-chunks=date,time \
        PNG32:"$here/icons/$name.png"
}

draw folder-closed \
    "................" \
    "................" \
    "..kkkkk........." \
    ".klllllk........" \
    "klyyyyyykkkkkk.." \
    "klllllllllllllk." \
    "klyyyyyyyyyyyyok" \
    "klyyyyyyyyyyyyok" \
    "klyyyyyyyyyyyyok" \
    "klyyyyyyyyyyyyok" \
    "klyyyyyyyyyyyyok" \
    "klyyyyyyyyyyyyok" \
    "klyyyyyyyyyyyyok" \
    "kooooooooooooook" \
    ".kkkkkkkkkkkkkk." \
    "................"

draw folder-open \
    "................" \
    "................" \
    "..kkkkk........." \
    ".klllllk........" \
    "klyyyyyykkkkkk.." \
    "klllllllllllllk." \
    "klyyyyyyyyyyyyk." \
    "klyyykkkkkkkkkkk" \
    "klyyklllllllllok" \
    "klykyyyyyyyyyok." \
    "klykyyyyyyyyyok." \
    "klkyyyyyyyyyok.." \
    "klkyyyyyyyyyok.." \
    "kooooooooooook.." \
    "kkkkkkkkkkkkkk.." \
    "................"

draw drive \
    "................" \
    "................" \
    "................" \
    "................" \
    "................" \
    ".kkkkkkkkkkkkkk." \
    "kwwwwwwwwwwwwwdk" \
    "kwggggggggggggdk" \
    "kwggggggggggggdk" \
    "kwgggggggggGGgdk" \
    "kwggggggggggggdk" \
    "kddddddddddddddk" \
    ".kkkkkkkkkkkkkk." \
    "................" \
    "................" \
    "................"

echo "wrote $here/icons/folder-closed.png, folder-open.png and drive.png"
