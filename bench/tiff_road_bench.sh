#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times the TIFF road: velloran-stamp stamping N LZW TIFFs (the converter to the intermediate
# JPEG, the stamp, the converter back to TIFF) against ImageMagick's `convert` putting the same
# text on the same pictures and writing LZW TIFFs, alternating in the same run. Prints the
# milliseconds per picture (CPU with children, and wall; medians) and the ratio of each.
# --stamp times another velloran-stamp instead of the one built; --also times a second one
# (an earlier build, say) in the same alternation, with its own row.
#
# Usage: bench/tiff_road_bench.sh [--pictures N] [--runs R] [--size WxH] [--build DIR]
#                                 [--stamp PROGRAM] [--also PROGRAM]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PICTURES=5
RUNS=5
SIZE=1920x1080
BUILD="$ROOT/build-bench"
STAMP=""
ALSO=""

while [[ $# -gt 0 ]]; do
    case "$1" in
        --pictures) PICTURES="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --size) SIZE="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        --stamp) STAMP="$2"; shift 2 ;;
        --also) ALSO="$2"; shift 2 ;;
        -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done

# ImageMagick's own program: a `convert` on the PATH may be a wrapper that costs CPU of its own.
IM="$(command -v convert-im6.q16 || command -v convert || true)"
for tool in "$IM" djpeg cmake ninja; do
    command -v "$tool" >/dev/null || { echo "missing tool: ${tool:-convert}" >&2; exit 1; }
done
export QT_QPA_PLATFORM=offscreen
if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
    XDG_RUNTIME_DIR="$(mktemp -d)"
    export XDG_RUNTIME_DIR
fi

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" -DBUILD_TESTING=OFF \
    -DVELLORAN_BUILD_BENCH=ON >/dev/null
targets=(velloran_bench_jpeg)
[[ -z "$STAMP" ]] && targets+=(velloran-stamp)
ninja -C "$BUILD" "${targets[@]}" >/dev/null
HELPER="$BUILD/bench/velloran_bench_jpeg"
STAMP="${STAMP:-$BUILD/tools/velloran-stamp/velloran-stamp}"

# ---- Pictures: photo-like JPEGs made into LZW TIFFs as ImageMagick writes them ----
CORPUS="$ROOT/bench/corpus/tiff-road-$SIZE-$PICTURES"
if [[ ! -f "$CORPUS/done" ]]; then
    echo "Generating $PICTURES pictures of $SIZE in $CORPUS ..."
    rm -rf "$CORPUS"
    mkdir -p "$CORPUS"
    "$HELPER" generate "$CORPUS" photo "$PICTURES" "${SIZE%x*}" "${SIZE#*x}"
    for jpeg in "$CORPUS"/*.jpg; do
        djpeg -pnm "$jpeg" >"${jpeg%.jpg}.ppm"
        "$IM" "${jpeg%.jpg}.ppm" -compress lzw "${jpeg%.jpg}.tif"
        rm -f "$jpeg" "${jpeg%.jpg}.ppm"
    done
    touch "$CORPUS/done"
fi
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"; [[ "$XDG_RUNTIME_DIR" == /tmp/tmp.* ]] && rm -rf "$XDG_RUNTIME_DIR"' EXIT

# Runs a command; prints "<wall ms> <cpu ms>". The CPU time comes from the shell's `times`
# (children's user and system time, converter runs included).
measure() {
    local start="$EPOCHREALTIME" cpu
    cpu="$(
        "$@" >/dev/null 2>"$WORK/errors" || { echo "failed: $*" >&2; cat "$WORK/errors" >&2; exit 1; }
        times
    )" || exit 1
    cpu="${cpu##*$'\n'}"
    awk -v t="$cpu" -v a="$start" -v b="$EPOCHREALTIME" '
        function seconds(s,   m) { m = s; sub(/m.*/, "", m); sub(/^[0-9]+m/, "", s); sub(/s$/, "", s); return m * 60 + s }
        BEGIN { split(t, f, " "); printf "%.1f %.1f\n", (b - a) * 1000, (seconds(f[1]) + seconds(f[2])) * 1000 }'
}
median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

TEXT='Hello 2026'
ours_cpu="" ours_wall="" im_cpu="" im_wall="" also_cpu="" also_wall=""
for ((run = 0; run < RUNS; run++)); do
    for source in "$CORPUS"/*.tif; do
        # A finished copy would be skipped: every run writes into an empty folder.
        rm -rf "$WORK/out" && mkdir "$WORK/out"
        read -r wall cpu < <(measure nice "$STAMP" -Q --no-settings -t "$TEXT" -o "$WORK/out" "$source")
        [[ -s "$WORK/out/$(basename "$source")" ]] || { echo "no copy of $source" >&2; exit 1; }
        ours_wall+="$wall " ours_cpu+="$cpu "
        if [[ -n "$ALSO" ]]; then
            rm -rf "$WORK/out" && mkdir "$WORK/out"
            read -r wall cpu < <(measure nice "$ALSO" -Q --no-settings -t "$TEXT" -o "$WORK/out" "$source")
            also_wall+="$wall " also_cpu+="$cpu "
        fi
        read -r wall cpu < <(measure nice "$IM" "$source" -font DejaVu-Sans -fill white \
            -pointsize 20 -gravity southeast -annotate +5+5 "$TEXT" -compress lzw "$WORK/out/im.tif")
        im_wall+="$wall " im_cpu+="$cpu "
    done
done

oc="$(median <<<"$ours_cpu")" ow="$(median <<<"$ours_wall")"
ic="$(median <<<"$im_cpu")" iw="$(median <<<"$im_wall")"
echo "Machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $PICTURES TIFFs of $SIZE, $RUNS runs"
printf '%-14s %9s %9s\n' '' 'CPU ms' 'wall ms'
printf '%-14s %9s %9s\n' velloran-stamp "$oc" "$ow"
printf '%-14s %9s %9s\n' ImageMagick "$ic" "$iw"
printf '%-14s %9s %9s\n' ratio "$(ratio "$oc" "$ic")" "$(ratio "$ow" "$iw")"
if [[ -n "$ALSO" ]]; then
    ac="$(median <<<"$also_cpu")" aw="$(median <<<"$also_wall")"
    printf '%-14s %9s %9s\n' also "$ac" "$aw"
    printf '%-14s %9s %9s\n' 'also ratio' "$(ratio "$ac" "$ic")" "$(ratio "$aw" "$iw")"
fi
