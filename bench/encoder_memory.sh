#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Bytes per pixel that each encoder of today's formats holds beside the picture it is
# given (velloran_bench_encoder_memory), over picture sizes, so that the writers' bounds
# (the JPEG XL writer's bands, the WebP writer's largest picture) rest on measurements.
# The per-pixel figure of the whole-frame coding is the slope between the two smaller
# sizes; the largest size shows what a copy of that size holds as the writer codes it.
#
# Usage: bench/encoder_memory.sh [--build DIR] [--formats "jxl jxl-lossless webp webp-lossless"]
#        [--sizes "2000x1500 3000x3000 6000x6000"]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build-bench"
FORMATS="jxl jxl-lossless webp webp-lossless"
SIZES="2000x1500 3000x2000 6000x6000"

while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) BUILD="$2"; shift 2 ;;
        --formats) FORMATS="$2"; shift 2 ;;
        --sizes) SIZES="$2"; shift 2 ;;
        -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done

if [[ -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -DVELLORAN_BUILD_BENCH=ON "$BUILD" >/dev/null
else
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DVELLORAN_BUILD_BENCH=ON >/dev/null
fi
ninja -C "$BUILD" velloran_bench_encoder_memory >/dev/null
export QT_QPA_PLATFORM=offscreen

for format in $FORMATS; do
    for size in $SIZES; do
        "$BUILD/bench/velloran_bench_encoder_memory" "$format" "${size%x*}" "${size#*x}"
    done
done
