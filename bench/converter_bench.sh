#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times velloran-convert on each road the batch run sends through it (PNG and TIFF sources to
# the JPEG the loader reads; stamped bitmaps to GIF, PNG, TIFF and ICO), and ImageMagick's
# `convert` on the same conversion of the same pictures in the same run. Prints per road the
# milliseconds per picture (wall and CPU, medians), the ratio to ImageMagick, the peak resident
# memory of each and the size of our file against ImageMagick's; then each program's start-up.
#
# Usage: bench/converter_bench.sh [--pictures N] [--runs R] [--size WxH] [--build DIR]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PICTURES=5
RUNS=3
SIZE=1920x1080
BUILD="$ROOT/build-bench"

while [[ $# -gt 0 ]]; do
    case "$1" in
        --pictures) PICTURES="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --size) SIZE="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done

for tool in convert djpeg cmake ninja; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (Debian package 'time')" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen
# Without a runtime folder every Qt program warns on start; give them a private one.
if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
    XDG_RUNTIME_DIR="$(mktemp -d)"
    export XDG_RUNTIME_DIR
fi

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" -DBUILD_TESTING=OFF \
    -DVELLORAN_BUILD_BENCH=ON >/dev/null
ninja -C "$BUILD" velloran_bench_jpeg velloran-convert >/dev/null
HELPER="$BUILD/bench/velloran_bench_jpeg"
CONVERTER="$BUILD/tools/velloran-convert/velloran-convert"

# ---- Pictures: photo-like JPEGs, and from them the bitmaps the batch hands the converter
# and the PNG and TIFF sources it reads ----
CORPUS="$ROOT/bench/corpus/convert-$SIZE-$PICTURES"
if [[ ! -f "$CORPUS/done" ]]; then
    echo "Generating $PICTURES pictures of $SIZE in $CORPUS ..."
    rm -rf "$CORPUS"
    mkdir -p "$CORPUS"
    "$HELPER" generate "$CORPUS" photo "$PICTURES" "${SIZE%x*}" "${SIZE#*x}"
    for jpeg in "$CORPUS"/*.jpg; do
        base="${jpeg%.jpg}"
        djpeg -bmp "$jpeg" >"$base.bmp"
        convert "$base.bmp" "$base.png"
        convert "$base.bmp" -compress lzw "$base.tif"
    done
    touch "$CORPUS/done"
fi
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"; [[ "$XDG_RUNTIME_DIR" == /tmp/tmp.* ]] && rm -rf "$XDG_RUNTIME_DIR"' EXIT

# Runs a command; prints "<wall ms> <cpu ms> <peak KB>". The CPU time comes from the shell's
# `times` (children's user and system time to the millisecond; /usr/bin/time rounds to 10 ms).
measure() {
    local cpu
    cpu="$(
        /usr/bin/time -f '%M' -o "$WORK/peak" "$@" >/dev/null 2>"$WORK/errors" ||
            { echo "failed: $*" >&2; cat "$WORK/errors" >&2; exit 1; }
        times
    )" || exit 1
    cpu="${cpu##*$'\n'}"
    awk -v t="$cpu" -v k="$(cat "$WORK/peak")" -v a="$START" -v b="$EPOCHREALTIME" '
        function seconds(s,   m) { m = s; sub(/m.*/, "", m); sub(/^[0-9]+m/, "", s); sub(/s$/, "", s); return m * 60 + s }
        BEGIN { split(t, f, " "); printf "%.1f %.1f %d\n", (b - a) * 1000, (seconds(f[1]) + seconds(f[2])) * 1000, k }'
}
median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

# One road: our command and ImageMagick's, each on a fresh copy of its input; %IN is the
# input, %OUT the file written.
road() {
    local name="$1" input_ext="$2" ours="$3" theirs="$4"
    local our_walls="" our_cpus="" their_walls="" their_cpus="" our_peak=0 their_peak=0
    local our_bytes=0 their_bytes=0 source ext wall cpu peak command
    for ((run = 0; run < RUNS; run++)); do
        for source in "$CORPUS"/*."$input_ext"; do
            for who in ours theirs; do
                command="${!who}"
                ext="${name##*>}"
                rm -f "$WORK"/out.*
                # Our output roads rewrite the bitmap in place, under the output's name.
                if [[ "$who" == ours && "$input_ext" == bmp ]]; then
                    cp "$source" "$WORK/out.$ext"
                fi
                command="${command//%IN/$source}"
                command="${command//%OUT/$WORK/out.$ext}"
                START="$EPOCHREALTIME"
                # shellcheck disable=SC2086
                read -r wall cpu peak < <(measure $command)
                if [[ "$who" == ours ]]; then
                    our_walls+="$wall " our_cpus+="$cpu "
                    ((peak > our_peak)) && our_peak=$peak
                    our_bytes=$((our_bytes + $(stat -c %s "$WORK/out.$ext")))
                else
                    their_walls+="$wall " their_cpus+="$cpu "
                    ((peak > their_peak)) && their_peak=$peak
                    their_bytes=$((their_bytes + $(stat -c %s "$WORK/out.$ext")))
                fi
            done
        done
    done
    local ow ow_cpu tw tw_cpu
    ow="$(median <<<"$our_walls")" ow_cpu="$(median <<<"$our_cpus")"
    tw="$(median <<<"$their_walls")" tw_cpu="$(median <<<"$their_cpus")"
    printf '%-9s %8s %8s %6s %8s %8s %6s %6d %6d %6s\n' "$name" "$ow" "$tw" "$(ratio "$ow" "$tw")" \
        "$ow_cpu" "$tw_cpu" "$(ratio "$ow_cpu" "$tw_cpu")" "$((our_peak / 1024))" \
        "$((their_peak / 1024))" "$(ratio "$our_bytes" "$their_bytes")"
}

echo "Machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $PICTURES pictures of $SIZE, $RUNS runs"
printf '%-9s %8s %8s %6s %8s %8s %6s %6s %6s %6s\n' road 'ours ms' 'IM ms' ratio 'ours cpu' \
    'IM cpu' ratio 'our MB' 'IM MB' 'size'
C="$CONVERTER"
# The same conversions as far as ImageMagick has them: a 4:4:4 JPEG at quality 100; GIF with
# 256 colours and ImageMagick's own dither; PNG at its default setting; TIFF with LZW and the
# horizontal predictor; an icon of at most 256 x 256.
road 'png>jpg' png "$C -out jpeg -o %OUT %IN" \
    "convert %IN -quality 100 -sampling-factor 1x1 %OUT"
road 'tif>jpg' tif "$C -out jpeg -o %OUT %IN" \
    "convert %IN -quality 100 -sampling-factor 1x1 %OUT"
road 'bmp>gif' bmp "$C -out gif -dither -colors 256 %OUT" "convert %IN -colors 256 %OUT"
road 'bmp>png' bmp "$C -out png %OUT" "convert %IN %OUT"
road 'bmp>tif' bmp "$C -out tiff %OUT" \
    "convert %IN -compress lzw -define tiff:predictor=2 %OUT"
road 'bmp>ico' bmp "$C -out ico %OUT" "convert %IN -resize 256x256> %OUT"

# Start-up alone: a call that reads and writes nothing.
ours="" theirs=""
for ((k = 0; k < 10; k++)); do
    START="$EPOCHREALTIME"
    ours+="$(measure "$C" --help | cut -d' ' -f1) "
    START="$EPOCHREALTIME"
    theirs+="$(measure convert -version | cut -d' ' -f1) "
done
printf 'start-up: ours %s ms, ImageMagick %s ms (medians of 10)\n' "$(median <<<"$ours")" \
    "$(median <<<"$theirs")"
