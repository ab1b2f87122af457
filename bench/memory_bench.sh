#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Peak memory of "Start Stamping" over lists of large pictures, against the bound the
# program holds to: a list's peak stays within the peak of its most demanding file run
# alone plus each worker's budget (256 MB, decoder buffers included). Also the cost of a
# picture that the limit refuses (at most 64 MB).
#
# For each list and for 0, 1 and 3 workers (VELLORAN_THREADS 1, 2 and 4) it prints the
# resident peak of the real handler on an offscreen window (getrusage of the process; the
# converter is a process of its own and not counted), each file's own peak, and the bound.
#
# Usage: bench/memory_bench.sh [--build DIR] [--work DIR] [--workers "0 1 3"]
# The pictures (a transparent 16000^2 GIF, a 10300^2 progressive JPEG, an 8192^2 CMYK
# progressive JPEG and a refused 20000^2 progressive JPEG) are generated into the work
# folder (default bench/out/memory) on the first run.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build-bench"
WORK="$ROOT/bench/out/memory"
WORKERS="0 1 3"
WORKER_BUDGET_MB=256
REFUSED_LIMIT_MB=64

while [[ $# -gt 0 ]]; do
    case "$1" in
        --build) BUILD="$2"; shift 2 ;;
        --work) WORK="$2"; shift 2 ;;
        --workers) WORKERS="$2"; shift 2 ;;
        -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done

export QT_QPA_PLATFORM=offscreen
if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
    XDG_RUNTIME_DIR="$(mktemp -d)"
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

# A build folder of its own by default; an existing one (--build build) keeps its settings.
if [[ -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -DVELLORAN_BUILD_BENCH=ON "$BUILD" >/dev/null
else
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" -DBUILD_TESTING=OFF \
        -DVELLORAN_BUILD_BENCH=ON >/dev/null
fi
ninja -C "$BUILD" velloran_bench_batch_run velloran_bench_memory_pictures >/dev/null
BATCH="$BUILD/bench/velloran_bench_batch_run"
MAKER="$BUILD/bench/velloran_bench_memory_pictures"

PICTURES="$WORK/pictures"
mkdir -p "$PICTURES"
make_picture() {
    local kind="$1" side="$2" name="$3"
    if [[ ! -s "$PICTURES/$name" ]]; then
        echo "Generating $name ..." >&2
        "$MAKER" "$kind" "$side" "$PICTURES/$name"
    fi
}
make_picture gif 16000 transparent-16000.gif
make_picture jpeg 10300 progressive-10300.jpg
make_picture cmyk 8192 cmyk-progressive-8192.jpg
make_picture jpeg 20000 refused-20000.jpg
make_picture jpeg 64 tiny-64.jpg

# Runs the handler over the given pictures with `threads` threads; prints the peak in MB.
# A run that shows an unexpected message fails the benchmark unless `refused` is set.
peak_of() {
    local threads="$1" refused="$2"
    shift 2
    local list="$WORK/list" out="$WORK/out" report="$WORK/report"
    printf '%s\n' "$@" >"$list"
    rm -rf "$out"
    mkdir -p "$out"
    if ! VELLORAN_THREADS="$threads" "$BATCH" "$out" "$list" >"$report" 2>"$WORK/errors" &&
        [[ "$refused" != yes ]]; then
        echo "the run over $* failed:" >&2
        cat "$report" "$WORK/errors" >&2
        exit 1
    fi
    awk '$1 == "peak_rss_mb" { printf "%.0f", $2 }' "$report"
}

# Within the bound, give or take 1% for the noise of a resident-memory figure.
verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b * 1.01 ? "within" : "ABOVE") }'; }

GIF="$PICTURES/transparent-16000.gif"
PROGRESSIVE="$PICTURES/progressive-10300.jpg"
CMYK="$PICTURES/cmyk-progressive-8192.jpg"
REFUSED="$PICTURES/refused-20000.jpg"
TINY="$PICTURES/tiny-64.jpg"
# The same picture in a 300 MB file (the rest a hole after its end): it must be refused by
# its header, not after the whole file is read.
LARGE_REFUSED="$WORK/refused-20000-in-300mb.jpg"
cp "$REFUSED" "$LARGE_REFUSED"
truncate -s 300M "$LARGE_REFUSED"

# Each file alone, on the window's thread alone: a list of one decodes nothing ahead.
declare -A single=()
for file in "$GIF" "$PROGRESSIVE" "$CMYK"; do
    single[$file]="$(peak_of 1 no "$file")"
done
worst=0
for file in "${!single[@]}"; do
    ((single[$file] > worst)) && worst="${single[$file]}"
done
echo "Single-file peaks (MB):"
for file in "$GIF" "$PROGRESSIVE" "$CMYK"; do
    printf '  %-28s %6s\n' "$(basename "$file")" "${single[$file]}"
done

echo
printf '%-44s %8s %8s %8s %8s\n' list workers 'peak MB' 'bound' verdict
lists=(
    "gif, progressive, cmyk|$GIF $PROGRESSIVE $CMYK"
    "cmyk, progressive, gif|$CMYK $PROGRESSIVE $GIF"
)
for entry in "${lists[@]}"; do
    name="${entry%%|*}"
    read -r -a files <<<"${entry#*|}"
    for workers in $WORKERS; do
        peak="$(peak_of $((workers + 1)) no "${files[@]}")"
        bound=$((worst + workers * WORKER_BUDGET_MB))
        printf '%-44s %8s %8s %8s %8s\n' "$name" "$workers" "$peak" "$bound" \
            "$(verdict "$peak" "$bound")"
    done
done

# A refused picture costs what its run needs beyond a run over a tiny picture.
echo
base="$(peak_of 1 no "$TINY")"
for workers in $WORKERS; do
    for entry in "20000^2 JPEG|$REFUSED" "20000^2 JPEG in a 300 MB file|$LARGE_REFUSED"; do
        refused="$(peak_of $((workers + 1)) yes "$TINY" "${entry#*|}" "$TINY")"
        cost=$((refused - base))
        printf 'refused %s between two tiny ones, %s workers: %s MB over a tiny run (%s MB); at most %s: %s\n' \
            "${entry%%|*}" "$workers" "$cost" "$base" "$REFUSED_LIMIT_MB" \
            "$(verdict "$cost" "$REFUSED_LIMIT_MB")"
    done
done
