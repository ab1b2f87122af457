#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The HEIC and AVIF writer's encoder settings against libheif's defaults (heif-enc's):
#   --rate    quality per byte on three photographs (scikit-image's astronaut, coffee and
#             motorcycle_left) at qualities 50, 70, 85, 95: size, PSNR and SSIM of the luma,
#             BD-rate of the chosen settings and of the candidates against the defaults
#   --speed   a 12-megapixel photo (motorcycle_left enlarged, with a little sensor-like grain)
#             at quality 85: the writer's copy against heif-enc's, each a whole process from
#             the same PNG, in turn; medians of CPU (user + system) and wall time, and ratios
#   --memory  peak resident memory of a copy of a 12 and a 59 MP picture at the chosen
#             settings, as bytes per pixel (the picture handed to the writer included)
# With none of them, all three. Heavy: run it with nice on a shared machine.
#
# Usage: bench/heif_settings_bench.sh [--rate] [--speed] [--memory] [--formats "heic avif"]
#        [--runs N] [--quality Q] [--pictures DIR] [--build DIR]
# The photographs come with Debian's python3-skimage; --pictures names another folder
# holding astronaut.png, coffee.png and motorcycle_left.png.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build-bench"
PICTURES=/usr/lib/python3/dist-packages/skimage/data
FORMATS="heic avif"
RUNS=3
QUALITY=85
PARTS=""

while [[ $# -gt 0 ]]; do
    case "$1" in
        --rate|--speed|--memory) PARTS="$PARTS ${1#--}"; shift ;;
        --formats) FORMATS="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --quality) QUALITY="$2"; shift 2 ;;
        --pictures) PICTURES="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done
PARTS="${PARTS:- rate speed memory}"

for tool in convert heif-enc cmake ninja /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
for photo in astronaut coffee motorcycle_left; do
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
cmake --build "$BUILD" --target velloran_bench_heif_settings >/dev/null
TOOL="$BUILD/bench/velloran_bench_heif_settings"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$WORK"
PHOTOS=("$PICTURES/astronaut.png" "$PICTURES/coffee.png" "$PICTURES/motorcycle_left.png")

# A photo of about 12 (or more) megapixels: enlarged, then a little grain as a sensor leaves.
large_photo() {
    local size="$1" out="$2"
    [[ -s "$out" ]] || convert "$PICTURES/motorcycle_left.png" -filter Lanczos -resize "$size^" \
        -gravity center -extent "$size" -attenuate 0.15 +noise Gaussian -depth 8 "$out"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs a command under /usr/bin/time; appends "cpu wall peak-kB" to the file $1.
timed() {
    local log="$1"; shift
    /usr/bin/time -f "%U %S %e %M" -o "$WORK/time" "$@" >/dev/null 2>&1
    awk '{ printf "%.2f %.2f %d\n", $1 + $2, $3, $4 }' "$WORK/time" >>"$log"
}

for part in $PARTS; do
    for format in $FORMATS; do
        case "$part" in
        rate)
            echo "== $format: quality per byte against libheif's defaults"
            if [[ "$format" == heic ]]; then
                candidates=("preset=veryfast" "preset=veryfast;x265:ctu=32;tu-intra-depth=1"
                            "chosen;x265:signhide=0"
                            "preset=superfast" "preset=ultrafast")
            else
                candidates=("speed=7" "speed=9" "speed=8;tune=psnr")
            fi
            "$TOOL" rate "$format" 50,70,85,95 default chosen "${candidates[@]}" -- "${PHOTOS[@]}" |
                sed -n '/^BD-rate/,$p'
            ;;
        speed)
            large_photo 4000x3000 "$WORK/photo-12mp.png"
            flag=""; [[ "$format" == avif ]] && flag="-A"
            : >"$WORK/ours.log"; : >"$WORK/reference.log"
            for ((run = 1; run <= RUNS; run++)); do
                timed "$WORK/ours.log" "$TOOL" write "$WORK/photo-12mp.png" "$WORK/ours.$format" "$QUALITY"
                timed "$WORK/reference.log" heif-enc $flag -q "$QUALITY" "$WORK/photo-12mp.png" -o "$WORK/reference.$format"
            done
            ours_cpu=$(cut -d' ' -f1 "$WORK/ours.log" | median); ours_wall=$(cut -d' ' -f2 "$WORK/ours.log" | median)
            ref_cpu=$(cut -d' ' -f1 "$WORK/reference.log" | median); ref_wall=$(cut -d' ' -f2 "$WORK/reference.log" | median)
            echo "== $format, 12 MP, quality $QUALITY, medians of $RUNS runs"
            printf "ours        %7.2f s CPU %7.2f s wall %9d bytes\n" "$ours_cpu" "$ours_wall" "$(stat -c %s "$WORK/ours.$format")"
            printf "heif-enc    %7.2f s CPU %7.2f s wall %9d bytes\n" "$ref_cpu" "$ref_wall" "$(stat -c %s "$WORK/reference.$format")"
            awk -v a="$ours_cpu" -v b="$ref_cpu" -v c="$ours_wall" -v d="$ref_wall" \
                'BEGIN { printf "ratio       %7.2f x CPU %7.2f x wall\n", a / b, c / d }'
            ;;
        memory)
            # The chosen settings given by name: the writer itself refuses a copy whose
            # estimate passes the bound (1324 MB), and that refusal is what this measures.
            echo "== $format: peak memory of a copy at the chosen settings, quality $QUALITY"
            for size in 4000x3000 8868x6652; do
                large_photo "$size" "$WORK/photo-$size.png"
                : >"$WORK/memory.log"
                timed "$WORK/memory.log" "$TOOL" write "$WORK/photo-$size.png" "$WORK/memory.$format" "$QUALITY" chosen
                read -r cpu wall peak <"$WORK/memory.log"
                awk -v s="$size" -v k="$peak" -v c="$cpu" 'BEGIN { split(s, d, "x"); p = d[1] * d[2];
                    printf "%-10s %6.1f MP  peak %6.0f MB  %5.1f bytes per pixel  %6.1f s CPU\n",
                           s, p / 1e6, k / 1024, k * 1024 / p, c }'
            done
            ;;
        esac
    done
done
