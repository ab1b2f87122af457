#!/bin/sh
# SPDX-License-Identifier: MIT
# Draws the sample images that ship beside the program in "Samples", one scene per
# image format the program stamps: JPEG (one carrying an EXIF orientation, one marked
# 300 DPI), PNG, GIF, BMP and TIFF. Everything is drawn here; nothing is downloaded.
# Needs ImageMagick's convert and the Liberation fonts. Run from anywhere.
set -eu
cd "$(dirname "$0")"
out=Samples
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
font=$(fc-match -f '%{file}' 'Liberation Sans:bold')
# -strip and the PNG date exclusion keep dates and software tags out, and a fixed
# noise seed keeps the grain the same: the same script gives the same files.

# Sunset over layered hills, 800 x 533.
convert -size 800x533 gradient:'#ffb25b'-'#6b3a8c' -rotate 180 \
    -fill '#fff2c4' -draw 'circle 520,330 520,290' \
    \( +clone -blur 0x18 \) -compose screen -composite \
    -fill '#5a3f7a' -draw 'path "M 0,360 C 180,300 300,330 420,350 S 650,300 800,330 L 800,533 L 0,533 Z"' \
    -fill '#3c2b5c' -draw 'path "M 0,420 C 150,380 260,400 380,430 S 620,380 800,410 L 800,533 L 0,533 Z"' \
    -fill '#231a3a' -draw 'path "M 0,480 C 200,440 330,470 470,490 S 690,450 800,470 L 800,533 L 0,533 Z"' \
    -seed 42 -attenuate 0.4 +noise Gaussian -blur 0x0.6 \
    -strip -quality 82 "$out/sunset-over-hills.jpg"

# A lighthouse on the coast, 450 x 600 upright, stored on its side with an EXIF
# orientation (6, "right-top") that tells viewers to turn it upright.
convert -size 450x600 gradient:'#8cc8f0'-'#e8f4fb' \
    -fill '#2f6f9f' -draw 'rectangle 0,430 450,600' \
    -fill '#4f8fbf' -draw 'rectangle 0,430 450,436' \
    -fill '#6e6a5e' -draw 'polygon 200,470 450,400 450,600 140,600' \
    -fill '#f4f1ea' -draw 'polygon 285,180 345,180 360,440 270,440' \
    -fill '#c8322d' -draw 'polygon 281,240 349,240 352,280 278,280' \
    -fill '#c8322d' -draw 'polygon 275,330 355,330 358,370 272,370' \
    -fill '#2b2b2b' -draw 'rectangle 278,150 352,182' \
    -fill '#ffe48a' -draw 'rectangle 290,156 340,176' \
    -fill '#2b2b2b' -draw 'polygon 272,150 358,150 315,118' \
    -fill '#ffffff' -draw 'ellipse 100,90 60,18 0,360' -draw 'ellipse 140,80 45,16 0,360' \
    -seed 42 -attenuate 0.3 +noise Gaussian \
    -rotate -90 -strip -quality 84 "$work/lighthouse.jpg"
# ImageMagick writes no EXIF here, so an APP1 segment with one IFD entry, Orientation
# (0x0112) = 6, goes right after the JFIF header.
if [ "$(od -An -tx1 -j2 -N4 "$work/lighthouse.jpg" | tr -d ' \n')" != "ffe00010" ]; then
    echo "make-samples: unexpected JPEG header" >&2
    exit 1
fi
{
    head -c 20 "$work/lighthouse.jpg"
    printf '\377\341\000\042Exif\000\000MM\000\052\000\000\000\010'
    printf '\000\001\001\022\000\003\000\000\000\001\000\006\000\000\000\000\000\000'
    tail -c +21 "$work/lighthouse.jpg"
} >"$out/lighthouse-exif-rotated.jpg"

# Harbour at dusk with lit windows and reflections, marked 300 DPI.
convert -size 900x600 gradient:'#1d2b53'-'#e07a5f' \
    -fill '#1b1f2e' \
    -draw 'rectangle 40,250 130,400' -draw 'rectangle 150,200 230,400' \
    -draw 'rectangle 250,280 340,400' -draw 'rectangle 360,170 430,400' \
    -draw 'rectangle 450,230 560,400' -draw 'rectangle 580,260 650,400' \
    -draw 'rectangle 670,190 760,400' -draw 'rectangle 780,240 860,400' \
    -fill '#ffd36e' \
    -draw 'rectangle 60,270 70,280' -draw 'rectangle 95,300 105,310' \
    -draw 'rectangle 170,220 180,230' -draw 'rectangle 200,260 210,270' \
    -draw 'rectangle 375,190 385,200' -draw 'rectangle 405,240 415,250' \
    -draw 'rectangle 470,250 480,260' -draw 'rectangle 520,300 530,310' \
    -draw 'rectangle 690,210 700,220' -draw 'rectangle 730,280 740,290' \
    -draw 'rectangle 800,260 810,270' -draw 'rectangle 270,300 280,310' \
    \( +clone -crop 900x200+0+200 +repage -flip -blur 0x3 \
       -fill '#10305a' -colorize 45% \) -geometry +0+400 -composite \
    -fill '#f2e3c6' -draw 'polygon 300,470 420,470 400,492 320,492' \
    -fill '#f2e3c6' -draw 'line 360,470 360,420' -draw 'polygon 362,422 362,466 392,466' \
    -seed 42 -attenuate 0.3 +noise Gaussian \
    -density 300 -units PixelsPerInch -strip -quality 84 "$out/harbour-300dpi.jpg"

# A tiled pattern of soft coloured rounded squares.
convert -size 80x80 xc:'#f6f1e7' \
    -fill '#e76f51' -draw 'roundrectangle 8,8 36,36 8,8' \
    -fill '#2a9d8f' -draw 'roundrectangle 44,8 72,36 8,8' \
    -fill '#e9c46a' -draw 'roundrectangle 8,44 36,72 8,8' \
    -fill '#264653' -draw 'roundrectangle 44,44 72,72 8,8' \
    "$work/tile.png"
convert -size 640x480 tile:"$work/tile.png" -colors 32 -strip \
    -define png:exclude-chunks=date,time "PNG8:$out/tiles-pattern.png"

# A bar chart of the year's sunny days.
convert -size 600x400 xc:white -font "$font" -pointsize 14 -fill '#333333' \
    -draw 'line 60,340 570,340' -draw 'line 60,40 60,340' \
    -fill '#dddddd' -draw 'line 61,90 570,90' -draw 'line 61,165 570,165' \
    -draw 'line 61,240 570,240' \
    -fill '#3d7ab8' \
    -draw 'rectangle 80,250 110,340' -draw 'rectangle 122,230 152,340' \
    -draw 'rectangle 164,190 194,340' -draw 'rectangle 206,150 236,340' \
    -draw 'rectangle 248,110 278,340' -draw 'rectangle 290,80 320,340' \
    -draw 'rectangle 332,70 362,340' -draw 'rectangle 374,95 404,340' \
    -draw 'rectangle 416,140 446,340' -draw 'rectangle 458,200 488,340' \
    -draw 'rectangle 500,240 530,340' -draw 'rectangle 542,260 565,340' \
    -fill '#333333' -pointsize 12 \
    -draw 'text 86,358 "Jan"' -draw 'text 128,358 "Feb"' -draw 'text 170,358 "Mar"' \
    -draw 'text 212,358 "Apr"' -draw 'text 252,358 "May"' -draw 'text 296,358 "Jun"' \
    -draw 'text 340,358 "Jul"' -draw 'text 380,358 "Aug"' -draw 'text 422,358 "Sep"' \
    -draw 'text 464,358 "Oct"' -draw 'text 504,358 "Nov"' -draw 'text 542,358 "Dec"' \
    -draw 'text 30,344 "0"' -draw 'text 24,244 "10"' -draw 'text 24,169 "20"' \
    -draw 'text 24,94 "30"' \
    -pointsize 18 -draw 'text 170,28 "Sunny days per month"' \
    -strip "$out/sunny-days-chart.gif"

# A meadow with flowers under a blue sky, as a small 8-bit bitmap.
convert -size 320x240 gradient:'#5aa0e6'-'#cfe8fb' \
    -fill '#6dbb4a' -draw 'path "M 0,150 C 80,130 200,140 320,125 L 320,240 L 0,240 Z"' \
    -fill '#4c9a36' -draw 'path "M 0,190 C 100,170 220,185 320,170 L 320,240 L 0,240 Z"' \
    -fill '#ffffff' -draw 'ellipse 70,50 30,10 0,360' -draw 'ellipse 95,44 22,9 0,360' \
    -fill '#f6d743' -draw 'circle 40,200 40,204' -draw 'circle 120,215 120,219' \
    -draw 'circle 250,205 250,209' \
    -fill '#e5484d' -draw 'circle 80,225 80,229' -draw 'circle 190,200 190,204' \
    -draw 'circle 290,228 290,232' \
    -fill '#ffffff' -draw 'circle 160,230 160,234' -draw 'circle 220,222 220,226' \
    -colors 64 -type Palette -compress none -units PixelsPerInch -density 96 \
    -strip "BMP3:$out/meadow.bmp"

# A mountain lake in flat poster colours, LZW-compressed TIFF.
convert -size 640x427 xc:'#f3d9b1' \
    -fill '#f7e7c8' -draw 'rectangle 0,0 640,90' \
    -fill '#9bb7d4' -draw 'polygon 0,260 110,120 190,200 300,70 420,210 500,140 640,250 640,260' \
    -fill '#ffffff' -draw 'polygon 272,103 300,70 330,108 312,100 298,112' \
    -fill '#6f8fb0' -draw 'polygon 0,260 90,190 170,240 260,170 380,250 640,230 640,260' \
    -fill '#3e6d5a' -draw 'rectangle 0,255 640,275' \
    -fill '#7fb2d6' -draw 'rectangle 0,275 640,427' \
    -fill '#a9cbe4' -draw 'polygon 0,275 110,400 190,330 300,427 420,340 500,390 640,285 640,275' \
    -fill '#c9dfee' -draw 'rectangle 60,300 200,303' -draw 'rectangle 360,340 560,343' \
    -alpha off -colors 48 -strip -compress lzw "TIFF:$out/mountain-lake.tif"

ls -l "$out"
