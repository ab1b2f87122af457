#!/usr/bin/env bash
# Times the JPEG stamping roads on a generated corpus of photo-like JPEGs and prints,
# for each road and picture size, milliseconds per picture (wall and CPU), the ratio to the floor
# (libjpeg-turbo's djpeg | cjpeg -quality 85) and the peak resident memory.
#
# Usage: bench/batch_bench.sh [--large N] [--small N] [--runs R] [--modes "floor ours ..."]
#                             [--build DIR] [--regenerate]
#
# Each road is a shell function mode_<name> taking a file holding the list of input
# pictures and an empty output folder; add one and name it in --modes (or MODES below).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
LARGE=20
SMALL=20
RUNS=3
MODES="floor ours qt magick"
BUILD="$ROOT/build-bench"
REGENERATE=0
STAMP_TEXT="12/6/2026 3:04:05 PM"
STAMP_FONT=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf

while [[ $# -gt 0 ]]; do
    case "$1" in
        --large) LARGE="$2"; shift 2 ;;
        --small) SMALL="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --modes) MODES="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        --regenerate) REGENERATE=1; shift ;;
        -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done

CORPUS="$ROOT/bench/corpus"
OUT="$ROOT/bench/out"
export QT_QPA_PLATFORM=offscreen

for tool in djpeg cjpeg mogrify cmake ninja; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
if [[ ! -x /usr/bin/time ]]; then
    echo "missing /usr/bin/time (Debian package 'time')" >&2
    exit 1
fi

# ---- Build the helper ----
build_helper() {
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVELLORAN_BUILD_TESTS=OFF -DVELLORAN_BUILD_BENCH=ON >/dev/null
    ninja -C "$BUILD" velloran_bench_jpeg >/dev/null
    HELPER="$BUILD/bench/velloran_bench_jpeg"
    [[ -x "$HELPER" ]] || { echo "the helper was not built" >&2; exit 1; }
}

# ---- Corpus ----
make_corpus() {
    local recipe="large=$LARGE small=$SMALL"
    if [[ $REGENERATE -eq 0 && -f "$CORPUS/recipe" && "$(cat "$CORPUS/recipe")" == "$recipe" ]]; then
        return
    fi
    echo "Generating the corpus in $CORPUS ..."
    rm -rf "$CORPUS"
    mkdir -p "$CORPUS/large" "$CORPUS/small"
    "$HELPER" generate "$CORPUS/large" photo "$LARGE" 4000 3000
    "$HELPER" generate "$CORPUS/small" photo "$SMALL" 1920 1080
    echo "$recipe" >"$CORPUS/recipe"
}

# ---- Roads ----
mode_floor() {
    local list="$1" out="$2" file
    while IFS= read -r file; do
        djpeg "$file" | cjpeg -quality 85 >"$out/$(basename "$file")"
    done <"$list"
}

mode_ours() {
    local list="$1" out="$2"
    mapfile -t files <"$list"
    "$HELPER" ours "$out" "${files[@]}" >/dev/null
}

mode_qt() {
    local list="$1" out="$2"
    mapfile -t files <"$list"
    "$HELPER" qt "$out" "${files[@]}" >/dev/null
}

mode_magick() {
    local list="$1" out="$2"
    mapfile -t files <"$list"
    mogrify -path "$out" -quality 85 -font "$STAMP_FONT" -pointsize 32 -fill white -gravity SouthEast \
        -annotate +10+10 "$STAMP_TEXT" "${files[@]}"
}

export -f mode_floor mode_ours mode_qt mode_magick
export HELPER STAMP_TEXT STAMP_FONT

# Runs one road over one list; prints "<wall s> <cpu s> <peak KB>".
time_mode() {
    local mode="$1" list="$2" out="$OUT/$1" stats
    rm -rf "$out"
    mkdir -p "$out"
    stats="$(mktemp)"
    /usr/bin/time -f '%e %U %S %M' -o "$stats" bash -c 'mode_'"$mode"' "$1" "$2"' _ "$list" "$out"
    awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$stats"
    rm -f "$stats"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
per_picture() { awk -v s="$1" -v n="$2" 'BEGIN { printf "%.1f", s * 1000 / n }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

for mode in $MODES; do
    declare -F "mode_$mode" >/dev/null || { echo "no road named $mode" >&2; exit 2; }
done

build_helper
make_corpus

# The roads take turns within each run, so a slow spell of the machine hits them alike.
# Wall and CPU time are medians over the runs; CPU time (user + system, children
# included) is the steadier figure on a busy machine.
printf '%-8s %-16s %10s %8s %10s %8s %8s\n' road pictures 'wall ms' 'x floor' 'cpu ms' \
    'x floor' 'peak MB'
for set in large small; do
    list="$(mktemp)"
    find "$CORPUS/$set" -name '*.jpg' | sort >"$list"
    count="$(wc -l <"$list")"
    if [[ "$count" -eq 0 ]]; then
        rm -f "$list"
        continue
    fi
    size="$(head -n1 "$list" | xargs identify -format '%wx%h')"
    declare -A walls=() cpus=() peaks=()
    for ((run = 0; run < RUNS; run++)); do
        for mode in $MODES; do
            read -r wall cpu kb < <(time_mode "$mode" "$list")
            walls[$mode]+="$wall "
            cpus[$mode]+="$cpu "
            ((kb > ${peaks[$mode]:-0})) && peaks[$mode]=$kb
        done
    done
    floor_wall="" floor_cpu=""
    for mode in $MODES; do
        wall="$(per_picture "$(tr ' ' '\n' <<<"${walls[$mode]}" | grep . | median)" "$count")"
        cpu="$(per_picture "$(tr ' ' '\n' <<<"${cpus[$mode]}" | grep . | median)" "$count")"
        if [[ "$mode" == floor ]]; then
            floor_wall="$wall" floor_cpu="$cpu"
        fi
        printf '%-8s %-16s %10s %8s %10s %8s %8s\n' "$mode" "$count x $size" \
            "$wall" "$(ratio "$wall" "${floor_wall:-0}")" \
            "$cpu" "$(ratio "$cpu" "${floor_cpu:-0}")" \
            "$(awk -v k="${peaks[$mode]}" 'BEGIN { printf "%.0f", k / 1024 }')"
    done
    unset walls cpus peaks
    rm -f "$list"
done
