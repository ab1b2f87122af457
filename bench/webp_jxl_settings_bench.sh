#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The WebP and JPEG XL writers' encoder options against the libraries' defaults (cwebp's
# and cjxl's):
#   --rate      quality per byte on four photographs (scikit-image's astronaut, coffee,
#               motorcycle_left and chelsea) at qualities 50, 70, 85, 95: size, PSNR and
#               SSIM of the luma, PSNR of the colours, BD-rate of the chosen options and of
#               the candidates against the defaults (lossy WebP and JPEG XL)
#   --lossless  sizes of lossless copies of the photographs and of three drawings (the
#               README's screenshot, a chart and a drawing made here), every copy checked
#               to give its picture back exactly
#   --speed     a 12-megapixel photo-like picture at quality 85: the writer's copy with the
#               chosen options and with the defaults, and the reference tool's, each a
#               whole process from the same PNG, in turn; medians of CPU and wall time
# With none of them, all three. Heavy: run it with nice on a shared machine. The memory
# of the chosen options is measured by encoder_memory.sh.
#
# Usage: bench/webp_jxl_settings_bench.sh [--rate] [--lossless] [--speed]
#        [--formats "webp jxl"] [--runs N] [--quality Q] [--pictures DIR] [--build DIR]
# The photographs come with Debian's python3-skimage; --pictures names another folder
# holding astronaut.png, coffee.png, motorcycle_left.png and chelsea.png.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build-bench"
PICTURES=/usr/lib/python3/dist-packages/skimage/data
FORMATS="webp jxl"
RUNS=3
QUALITY=85
PARTS=""

while [[ $# -gt 0 ]]; do
    case "$1" in
        --rate|--lossless|--speed) PARTS="$PARTS ${1#--}"; shift ;;
        --formats) FORMATS="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --quality) QUALITY="$2"; shift 2 ;;
        --pictures) PICTURES="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        -h|--help) sed -n '2,22p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done
PARTS="${PARTS:- rate lossless speed}"

for tool in convert cwebp cjxl cmake ninja /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
for photo in astronaut coffee motorcycle_left chelsea; do
    [[ -f "$PICTURES/$photo.png" ]] || {
        echo "missing $PICTURES/$photo.png: install python3-skimage or give --pictures" >&2
        exit 1
    }
done

if [[ -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -DVELLORAN_BUILD_BENCH=ON "$BUILD" >/dev/null
else
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DVELLORAN_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$BUILD" --target velloran_bench_webp_jxl_settings >/dev/null
TOOL="$BUILD/bench/velloran_bench_webp_jxl_settings"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$WORK"
PHOTOS=("$PICTURES/astronaut.png" "$PICTURES/coffee.png" "$PICTURES/motorcycle_left.png"
        "$PICTURES/chelsea.png")

# Flat colours, lines and text: what lossless copies mostly hold.
drawings() {
    convert -size 1200x800 xc:white -fill '#2060c0' -draw 'rectangle 50,50 600,400' \
        -fill '#e04020' -draw 'circle 800,400 950,550' -stroke black -strokewidth 3 \
        -draw 'line 0,0 1199,799' -stroke none -fill black -font Liberation-Sans -pointsize 40 \
        -annotate +100,700 'Drawing with text 123' "$WORK/drawing.png"
    convert -size 800x600 gradient:'#ffeecc-#3366aa' -fill none -stroke '#333333' \
        -strokewidth 2 -draw 'roundrectangle 40,40 760,560 30,30' \
        -draw 'polyline 60,500 200,300 350,420 500,150 700,250' -stroke none \
        -fill '#222222' -font Liberation-Sans -pointsize 22 -annotate +60,90 'Sales by month: Jan Feb Mar Apr May' \
        "$WORK/chart.png"
    echo "$ROOT/docs/screenshot.png" "$WORK/drawing.png" "$WORK/chart.png"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs a command under /usr/bin/time; appends "cpu wall" to the file $1.
timed() {
    local log="$1"; shift
    /usr/bin/time -f "%U %S %e" -o "$WORK/time" "$@" >/dev/null 2>&1
    awk '{ printf "%.2f %.2f\n", $1 + $2, $3 }' "$WORK/time" >>"$log"
}

for part in $PARTS; do
    for format in $FORMATS; do
        case "$part" in
        rate)
            echo "== $format: quality per byte against the library's defaults"
            if [[ "$format" == webp ]]; then
                candidates=("method=3" "method=2" "method=1" "method=2;segments=2"
                            "method=2;sns_strength=25")
            else
                candidates=("effort=6" "effort=5" "effort=4" "effort=7;patches=0;dots=0"
                            "effort=6;threads=0" "effort=7;decoding_speed=2")
            fi
            "$TOOL" rate "$format" 50,70,85,95 default chosen "${candidates[@]}" -- "${PHOTOS[@]}" |
                sed -n '/^BD-rate/,$p'
            ;;
        lossless)
            echo "== $format: lossless sizes against the library's defaults"
            if [[ "$format" == webp ]]; then
                candidates=("method=2" "lossless_quality=50" "method=4;lossless_quality=25"
                            "method=3;lossless_quality=25")
            else
                candidates=("effort=6" "effort=5")
            fi
            # shellcheck disable=SC2046
            "$TOOL" rate "$format-lossless" 100 default chosen "${candidates[@]}" -- \
                "${PHOTOS[@]}" $(drawings) >"$WORK/lossless.log"
            awk 'NR > 1 && NF { print $1, $2, $4 } /^Against/ { exit }' "$WORK/lossless.log" |
                grep -v '^Against' | column -t
            sed -n '/^Against/,$p' "$WORK/lossless.log"
            ;;
        speed)
            [[ -s "$WORK/photo.png" ]] || convert -size 4000x3000 plasma:fractal -blur 0x2 \
                -attenuate 0.3 +noise Gaussian -depth 8 -define png:exclude-chunks=gAMA,cHRM,sRGB \
                "$WORK/photo.png"
            : >"$WORK/chosen.log"; : >"$WORK/default.log"; : >"$WORK/reference.log"
            for ((run = 1; run <= RUNS; run++)); do
                timed "$WORK/chosen.log" "$TOOL" write "$format" "$WORK/photo.png" "$WORK/chosen.$format" "$QUALITY"
                timed "$WORK/default.log" "$TOOL" write "$format" "$WORK/photo.png" "$WORK/default.$format" "$QUALITY" default
                if [[ "$format" == webp ]]; then
                    timed "$WORK/reference.log" cwebp -quiet -q "$QUALITY" "$WORK/photo.png" -o "$WORK/reference.$format"
                else
                    timed "$WORK/reference.log" cjxl "$WORK/photo.png" "$WORK/reference.$format" -q "$QUALITY"
                fi
            done
            echo "== $format, 12 MP, quality $QUALITY, medians of $RUNS runs"
            for name in chosen default reference; do
                printf "%-10s %7.2f s CPU %7.2f s wall %9d bytes\n" "$name" \
                    "$(cut -d' ' -f1 "$WORK/$name.log" | median)" \
                    "$(cut -d' ' -f2 "$WORK/$name.log" | median)" "$(stat -c %s "$WORK/$name.$format")"
            done
            ;;
        esac
    done
done
