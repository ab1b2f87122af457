#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times, per 12-megapixel photo, one stamped copy of each of today's formats (the batch's
# decode and encode: velloran_bench_modern_road) against the format's reference tools doing
# the same at the same quality through an uncompressed picture in between:
#   HEIC, AVIF  heif-convert (to Y4M) + heif-enc      WebP  dwebp -pam + cwebp
#   JPEG XL     djxl (to PPM) + cjxl                  WebP lossless  dwebp -pam + cwebp -lossless
# Each pair runs in turn under /usr/bin/time (or the timer given in TIMER, which must take
# "--vs 'B' -- A"); the medians and their ratio are what to quote. The copy is the writers'
# own, with their chosen encoder settings; the reference tools always run at their defaults,
# so the ratio shows what the choice saves.
#
# Usage: bench/modern_formats_bench.sh [--size WxH] [--quality Q] [--formats "heic avif webp
#        webp-lossless jxl"] [--runs N] [--build DIR]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SIZE=4000x3000
QUALITY=85
FORMATS="webp webp-lossless jxl heic avif"
RUNS=3
BUILD="$ROOT/build-bench"

while [[ $# -gt 0 ]]; do
    case "$1" in
        --size) SIZE="$2"; shift 2 ;;
        --quality) QUALITY="$2"; shift 2 ;;
        --formats) FORMATS="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done

for tool in convert heif-enc heif-convert cwebp dwebp cjxl djxl cmake ninja; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DVELLORAN_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD" --target velloran_bench_modern_road >/dev/null
ROAD="$BUILD/bench/velloran_bench_modern_road"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$WORK"

# A photo-like picture: soft colour fields with grain, which codecs find as hard as a photo;
# plain sRGB, as the reference tools' uncompressed picture in between cannot say otherwise.
convert -size "$SIZE" plasma:fractal -blur 0x2 -attenuate 0.3 +noise Gaussian \
    -depth 8 -define png:exclude-chunks=gAMA,cHRM,sRGB "$WORK/photo.png"

source_of() {
    case "$1" in
        heic) heif-enc -q 90 "$WORK/photo.png" -o "$WORK/photo.heic" >/dev/null; echo "$WORK/photo.heic" ;;
        avif) heif-enc -A -q 90 "$WORK/photo.png" -o "$WORK/photo.avif" >/dev/null; echo "$WORK/photo.avif" ;;
        webp) cwebp -quiet -q 90 "$WORK/photo.png" -o "$WORK/photo.webp"; echo "$WORK/photo.webp" ;;
        webp-lossless) cwebp -quiet -lossless "$WORK/photo.png" -o "$WORK/lossless.webp"; echo "$WORK/lossless.webp" ;;
        jxl) cjxl "$WORK/photo.png" "$WORK/photo.jxl" -q 90 2>/dev/null; echo "$WORK/photo.jxl" ;;
    esac
}

# The reference tools' decode and encode of the source, as one shell command.
reference_of() {
    local source="$1" copy="$2"
    case "$3" in
        heic) echo "heif-convert --quiet $source $WORK/ref.y4m && heif-enc -q $QUALITY $WORK/ref.y4m -o $copy" ;;
        avif) echo "heif-convert --quiet $source $WORK/ref.y4m && heif-enc -A -q $QUALITY $WORK/ref.y4m -o $copy" ;;
        webp) echo "dwebp -quiet $source -pam -o $WORK/ref.pam && cwebp -quiet -q $QUALITY $WORK/ref.pam -o $copy" ;;
        webp-lossless) echo "dwebp -quiet $source -pam -o $WORK/ref.pam && cwebp -quiet -lossless $WORK/ref.pam -o $copy" ;;
        jxl) echo "djxl $source $WORK/ref.ppm && cjxl $WORK/ref.ppm $copy -q $QUALITY" ;;
    esac
}

for format in $FORMATS; do
    source="$(source_of "$format")"
    extension="${source##*.}"
    ours="$ROAD $source $WORK/ours.$extension $QUALITY"
    reference="sh -c '$(reference_of "$source" "$WORK/reference.$extension" "$format") >/dev/null 2>&1'"
    echo "== $format ($SIZE, quality $QUALITY): ours against the reference tools"
    if [[ -n "${TIMER:-}" ]]; then
        eval "$TIMER -n $RUNS --warmup 0 --timeout 3600 --vs \"$reference\" -- $ours"
    else
        for ((run = 1; run <= RUNS; run++)); do
            /usr/bin/time -f "ours      %e s wall, %U s user, %M KB" $ours
            eval "/usr/bin/time -f 'reference %e s wall, %U s user, %M KB' $reference"
        done
    fi
    ls -l "$WORK/ours.$extension" "$WORK/reference.$extension" | awk '{print $5, $9}'
done
