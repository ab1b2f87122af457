#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the fuzzers' seed corpus: small pictures of every kind each reader takes, in the
# shapes that reach its less common paths (progressive, CMYK, EXIF-turned and restart-marked
# JPEGs; transparent and interlaced GIFs; BMPs of every depth, RLE and bit fields; icons;
# 16-bit, palette, interlaced and text-carrying PNGs; tiled and 16-bit TIFFs; pictures with
# EXIF, XMP and IPTC). Needs ImageMagick and libjpeg-turbo's cjpeg; exiftool adds XMP and
# IPTC seeds when it is there.
#
# Usage: fuzz/make-corpus.sh [folder]   (default fuzz/corpus; one subfolder per target)
set -euo pipefail

out="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/corpus}"
for tool in convert cjpeg; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
loader="$out/picture_loader"
input="$out/converter_input"
meta="$out/photo_metadata"
modern="$out/modern_picture"
words="$out/command_words"
mkdir -p "$loader" "$input" "$meta" "$modern" "$words"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A small picture with edges and gradients, so every codec has something to code.
src="$work/source.ppm"
convert -size 48x32 gradient:red-blue \( -size 48x32 pattern:checkerboard \) \
    -compose multiply -composite -depth 8 "$src"

# An EXIF block holding Orientation 6 (little-endian TIFF, one tag), as a JPEG APP1 marker.
exif_app1() {
    printf '\xff\xe1\x00\x22Exif\x00\x00II*\x00\x08\x00\x00\x00\x01\x00'
    printf '\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00\x00'
}
with_exif() {
    { head -c 2 "$1"; exif_app1; tail -c +3 "$1"; } >"$2"
}

# ---- JPEG ----
cjpeg -quality 80 "$src" >"$loader/baseline.jpg"
cjpeg -quality 80 -progressive "$src" >"$loader/progressive.jpg"
cjpeg -quality 80 -grayscale "$src" >"$loader/gray.jpg"
cjpeg -quality 80 -restart 1 -optimize "$src" >"$loader/restart.jpg"
cjpeg -quality 80 -sample 1x1 -arithmetic "$src" >"$loader/arithmetic.jpg" 2>/dev/null ||
    rm -f "$loader/arithmetic.jpg"
convert "$src" -colorspace CMYK -interlace JPEG "$loader/cmyk-progressive.jpg"
with_exif "$loader/baseline.jpg" "$loader/exif-orientation-6.jpg"

# ---- GIF ----
convert "$src" -colors 16 "$loader/plain.gif"
convert "$src" -colors 16 -transparent blue -interlace GIF "$loader/transparent-interlaced.gif"
convert -size 20x20 xc:white \( "$src" -crop 10x10+4+4 \) -geometry +5+5 -composite \
    -colors 4 -page 30x30+3+3 "$loader/offset-frame.gif"

# ---- BMP and icons ----
convert "$src" BMP3:"$loader/rgb24.bmp"
convert "$src" -colors 200 -type Palette BMP3:"$loader/palette8.bmp"
convert "$src" -colors 200 -type Palette -compress RLE BMP3:"$loader/rle8.bmp"
convert "$src" -colors 12 -type Palette -depth 4 BMP3:"$loader/palette4.bmp"
convert "$src" -monochrome BMP3:"$loader/mono1.bmp"
convert "$src" -alpha on BMP:"$loader/bitfields32.bmp"
convert "$src" BMP2:"$loader/core-header.bmp"
convert "$src" -resize 32x32! "$loader/icon.ico"
convert "$src" -resize 16x16! -colors 16 -type Palette BMP3:"$work/small.bmp"
convert "$work/small.bmp" "$loader/palette-icon.ico"

# ---- PNG and TIFF: the converter's own sources; it reads the others too ----
convert "$src" "$input/rgb.png"
convert "$src" -depth 16 "$input/rgb16.png"
convert "$src" -colors 16 PNG8:"$input/palette.png"
convert "$src" -colorspace Gray -alpha on "$input/gray-alpha.png"
convert "$src" -interlace PNG "$input/interlaced.png"
convert "$src" -set comment "a text chunk long enough to be compressed, compressed, compressed" \
    -define png:compression-level=9 "$input/text.png"
convert "$src" -compress LZW "$input/strips-lzw.tif"
convert "$src" -compress Zip -define tiff:tile-geometry=16x16 "$input/tiled.tif"
convert "$src" -depth 16 "$input/rgb16.tif"
convert "$src" -colorspace Gray -compress None "$input/gray.tif"
cp "$loader/baseline.jpg" "$loader/progressive.jpg" "$loader/plain.gif" "$loader/rgb24.bmp" \
    "$input/"

# ---- Metadata ----
cp "$loader/exif-orientation-6.jpg" "$meta/exif.jpg"
convert "$src" -set comment "note" "$meta/comment.png"
convert "$src" -compress LZW "$meta/plain.tif"
if command -v exiftool >/dev/null; then
    # exiftool will not write over a file: a second run replaces them.
    rm -f "$meta/xmp-iptc.jpg" "$meta/exif.png" "$meta/exif.tif"
    exiftool -q -o "$meta/xmp-iptc.jpg" -XMP-dc:Title=Seed -IPTC:Keywords=seed \
        -EXIF:Artist=Seed -EXIF:Orientation#=8 "$loader/baseline.jpg"
    exiftool -q -m -o "$meta/exif.png" -EXIF:Artist=Seed -XMP-dc:Title=Seed "$input/rgb.png"
    exiftool -q -o "$meta/exif.tif" -EXIF:Artist=Seed -IPTC:Keywords=seed "$input/strips-lzw.tif"
fi

# ---- Today's formats: the first byte picks the reader (0 HEIC, 1 HEIF, 2 AVIF, 3 WebP,
# 4 JPEG XL), the rest is the file ----
with_reader() {
    { printf "\\$(printf '%03o' "$1")"; cat "$2"; } >"$3"
}
convert "$src" "$work/source.png"
if command -v heif-enc >/dev/null; then
    heif-enc -q 50 -o "$work/seed.heic" "$work/source.png" >/dev/null 2>&1 &&
        with_reader 0 "$work/seed.heic" "$modern/hevc.heic" &&
        with_reader 1 "$work/seed.heic" "$modern/hevc.heif"
    heif-enc -A -q 50 -o "$work/seed.avif" "$work/source.png" >/dev/null 2>&1 &&
        with_reader 2 "$work/seed.avif" "$modern/av1.avif"
fi
if command -v cwebp >/dev/null; then
    cwebp -quiet -q 70 "$work/source.png" -o "$work/lossy.webp" &&
        with_reader 3 "$work/lossy.webp" "$modern/lossy.webp"
    cwebp -quiet -lossless "$work/source.png" -o "$work/lossless.webp" &&
        with_reader 3 "$work/lossless.webp" "$modern/lossless.webp"
fi
if command -v cjxl >/dev/null; then
    cjxl -q 80 "$work/source.png" "$work/lossy.jxl" >/dev/null 2>&1 &&
        with_reader 4 "$work/lossy.jxl" "$modern/lossy.jxl"
fi

# ---- The companion's command lines (words separated by NUL) and templates ("T" first) ----
command_line() {
    local name="$1"
    shift
    printf '%s\0' "$@" | head -c -1 >"$words/$name"
}
command_line plain -t 'Hello' -p center -o /tmp/out a.jpg
command_line styled --size 4% --margin 1em --outline --shadow '2px,#00000080' --box \
    -c 'auto:#FFFFFF,#000000' -f 'DejaVu Sans,24,bold,italic' -q 85 -o out dir
command_line modes --mode datetime --no-settings --print-settings -j 2 --shard 1/3
command_line run --ext pictures,jxl --keep-time=taken --mirror --skip-existing --json -n -Q -0 -
command_line template --template '{n}: {stem} {taken:yyyy-MM-dd} {exif:Model} {{x}}' -o o f
printf 'T%s' '{name} {ext} {path} {folder} {date} {time} {taken} {taken:%Y-%m-%d %H} {exif:FNumber}' \
    >"$words/template-all"
printf 'T%s' 'unclosed {taken:yyyy' >"$words/template-broken"

for folder in "$loader" "$input" "$meta" "$modern" "$words"; do
    echo "$(basename "$folder"): $(find "$folder" -type f | wc -l) seeds in $folder"
done
