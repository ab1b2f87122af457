#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A folder of phone-sized HEIC photos (4032x3024) stamped by velloran-stamp with every core
# against heif-enc alone re-encoding the same pictures at its defaults, one after another,
# from pictures decoded beforehand (the decode is not timed for heif-enc, and is for us).
# Prints wall and CPU seconds of both and their ratios: the folder's time, as a
# photographer waits for it.
#
# Usage: bench/heic_folder_bench.sh [--photos N] [--quality Q] [--jobs J] [--build DIR]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PHOTOS=6
QUALITY=85
JOBS="$(nproc)"
BUILD="$ROOT/build-bench"

while [[ $# -gt 0 ]]; do
    case "$1" in
        --photos) PHOTOS="$2"; shift 2 ;;
        --quality) QUALITY="$2"; shift 2 ;;
        --jobs) JOBS="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done

for tool in convert heif-enc heif-convert cmake ninja /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$BUILD" --target velloran-stamp >/dev/null
STAMP="$BUILD/tools/velloran-stamp/velloran-stamp"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$WORK"
mkdir -p "$WORK/photos" "$WORK/decoded" "$WORK/ours" "$WORK/reference"

# Photo-like pictures, each its own: soft colour fields with sensor grain. The sources are
# coded quickly; how they were coded does not change what a copy costs.
echo "making $PHOTOS photos ..."
for ((i = 1; i <= PHOTOS; i++)); do
    name="$(printf 'IMG_%04d' "$i")"
    convert -seed "$i" -size 4032x3024 plasma:fractal -blur 0x2 -attenuate 0.3 +noise Gaussian \
        -depth 8 -define png:exclude-chunks=gAMA,cHRM,sRGB "$WORK/$name.png"
    heif-enc -q 90 -p preset=ultrafast "$WORK/$name.png" -o "$WORK/photos/$name.heic" >/dev/null
    heif-convert --quiet "$WORK/photos/$name.heic" "$WORK/decoded/$name.png" >/dev/null
    rm -f "$WORK/$name.png"
done

seconds() { /usr/bin/time -f "%e %U %S" -o "$WORK/time" "$@" >/dev/null 2>&1; awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$WORK/time"; }

read -r ours_wall ours_cpu < <(seconds "$STAMP" --jobs "$JOBS" -q "$QUALITY" -o "$WORK/ours" \
    -t "2026-12-08 10:00" --ext heic "$WORK/photos")
read -r ref_wall ref_cpu < <(seconds sh -c "for f in '$WORK'/decoded/*.png; do
    heif-enc -q $QUALITY \"\$f\" -o '$WORK/reference/'\"\$(basename \"\$f\" .png)\".heic || exit 1; done")
[[ "$(ls "$WORK/ours" | wc -l)" -eq "$PHOTOS" ]] || { echo "not every copy was written" >&2; exit 1; }

echo "== $PHOTOS HEIC photos 4032x3024, quality $QUALITY"
printf "velloran-stamp --jobs %s  %8.2f s wall %8.2f s CPU %10d bytes\n" "$JOBS" "$ours_wall" \
    "$ours_cpu" "$(cat "$WORK"/ours/* | wc -c)"
printf "heif-enc alone            %8.2f s wall %8.2f s CPU %10d bytes\n" "$ref_wall" "$ref_cpu" \
    "$(cat "$WORK"/reference/* | wc -c)"
awk -v a="$ours_wall" -v b="$ref_wall" -v c="$ours_cpu" -v d="$ref_cpu" \
    'BEGIN { printf "ratio                     %8.2f x wall %7.2f x CPU (target: under 0.33 x)\n", a / b, c / d }'
