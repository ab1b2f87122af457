#!/bin/sh
# SPDX-License-Identifier: MIT
# Draws the two pointer files that sit beside the program: the hand shown over push
# buttons ("HAND-M.CUR", a 32 x 32 cursor whose hot spot is the index fingertip) and
# the pointer shown while list entries are dragged ("drag.ico").
# Needs ImageMagick's convert. Run from anywhere; writes next to this script.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes an XPM from rows on stdin: "." transparent, "X" black, "o" white, "g" grey.
# Rows shorter than 32 are padded with ".".
xpm() {
    {
        echo '/* XPM */'
        echo 'static char *cursor[] = {'
        echo '"32 32 4 1",'
        echo '". c None",'
        echo '"X c #000000",'
        echo '"o c #FFFFFF",'
        echo '"g c #8C8C8C",'
        n=0
        while IFS= read -r row; do
            n=$((n + 1))
            printf '"%s",\n' "$(printf '%-32s' "$row" | tr ' ' '.')"
        done
        while [ "$n" -lt 32 ]; do
            n=$((n + 1))
            printf '"%s",\n' "................................"
        done
        echo '};'
    } >"$1"
}

# poke16 FILE VALUE OFFSET: puts a little-endian 16-bit value at a byte offset.
poke16() {
    lo=$(($2 % 256))
    hi=$(($2 / 256))
    printf '%b' "\\0$(printf '%03o' "$lo")\\0$(printf '%03o' "$hi")" |
        dd of="$1" bs=1 seek="$3" conv=notrunc status=none
}


xpm "$work/hand.xpm" <<'ROWS'
................................
..........XX
.........XooX
.........XooX
.........XooX
.........XooX
.........XooXXX
.........XooXooXXX
.........XooXooXooX
.........XooXooXooXXX
....XX...XooXooXooXooX
...XooX..XooXooXooXooX
...XoooX.XoooooooooooX
....XoooXXoooooooooooX
.....XooooooooooooooX
.....XoooooooooooooX
......XooooooooooooX
......XoooooooooooX
.......XooooooooooX
........XoooooooooX
........XoooooooooX
........XoooooooooX
........XXXXXXXXXXX
ROWS

# An icon has no hot spot of its own and points with its centre, so the dragged page
# with its up-and-down arrow is centred on (16, 16).
xpm "$work/drag.xpm" <<'ROWS'




........XXXXXXXXXXXX
........XooooooooooXX
........XooooooooooXoX
........XooooooooooXooX
........XooooooooooXXXXX
........XooooooXXooooooX
........XoooooXXXXoooooX
........XooooXXXXXXooooX
........XoggXXXXXXXXggoX
........XooooooXXooooooX
........XooooooXXooooooX
........XogggggXXgggggoX
........XooooooXXooooooX
........XooooooXXooooooX
........XogggggXXgggggoX
........XooooooXXooooooX
........XoooXXXXXXXXoooX
........XogggXXXXXXgggoX
........XoooooXXXXoooooX
........XooooooXXooooooX
........XoggggggggggggoX
........XooooooooooooooX
........XooooooooooooooX
........XXXXXXXXXXXXXXXX
ROWS

convert "$work/hand.xpm" -type TrueColorAlpha "ICO:HAND-M.CUR"
poke16 HAND-M.CUR 2 2    # resource type: cursor
poke16 HAND-M.CUR 10 10  # hot spot x: the index fingertip
poke16 HAND-M.CUR 1 12   # hot spot y

convert "$work/drag.xpm" -type TrueColorAlpha "ICO:drag.ico"
