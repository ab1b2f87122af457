#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A styled stamp (--size 3% --outline --color auto) against the plain stamp, in the same run
# and the same process, on camera-sized JPEGs through the engine's whole road (load, stamp,
# write with metadata). Target: the styled road costs at most 5 % more CPU than the plain.
# A second run stamps each picture's own file name, so every styled text is drawn afresh.
#
# Usage: bench/styled_stamp_bench.sh [--pictures N] [--size WxH] [--build DIR] [--regenerate]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PICTURES=40
SIZE=4000x3000
BUILD="$ROOT/build-bench"
REGENERATE=0
while [[ $# -gt 0 ]]; do
    case "$1" in
        --pictures) PICTURES="$2"; shift 2 ;;
        --size) SIZE="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        --regenerate) REGENERATE=1; shift ;;
        -h|--help) sed -n '2,7p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done
WIDTH="${SIZE%x*}"
HEIGHT="${SIZE#*x}"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DVELLORAN_BUILD_BENCH=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
ninja -C "$BUILD" -j2 velloran_bench_jpeg velloran_bench_styled_stamp >/dev/null

export QT_QPA_PLATFORM=offscreen
CORPUS="$ROOT/bench/corpus/styled"
OUT="$ROOT/bench/out/styled"
recipe="$PICTURES x $SIZE"
if [[ $REGENERATE -eq 1 || ! -f "$CORPUS/recipe" || "$(cat "$CORPUS/recipe")" != "$recipe" ]]; then
    echo "Generating $recipe photo-like JPEGs in $CORPUS ..."
    rm -rf "$CORPUS"
    mkdir -p "$CORPUS"
    "$BUILD/bench/velloran_bench_jpeg" generate "$CORPUS" photo "$PICTURES" "$WIDTH" "$HEIGHT"
    echo "$recipe" >"$CORPUS/recipe"
fi

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
chmod 0700 "$scratch"
rm -rf "$OUT"
report() {
    local result ratio
    result="$("$BUILD/bench/velloran_bench_styled_stamp" "$CORPUS" "$OUT" "$scratch/temp" "$@")"
    ratio="$(awk '/^styled_over_plain_total/ { print $2 }' <<<"$result")"
    awk '/_median/ { printf "  %-22s %8s ms cpu per picture\n", $1, $2 }' <<<"$result"
    awk -v r="$ratio" -v t="${TARGET:-}" 'BEGIN { printf "  styled / plain cpu     %8.3f%s\n", r, (t ? " (target <= 1.05: " (r <= 1.05 ? "met" : "NOT met") ")" : "") }'
}
echo "$PICTURES x $SIZE JPEGs, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
echo " one date on every picture, --size 3% --outline --color auto:"
TARGET=1 report
echo " each picture's own name (no text drawn twice):"
report names
