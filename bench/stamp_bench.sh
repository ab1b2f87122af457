#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# velloran-stamp against the floor (libjpeg-turbo's djpeg | cjpeg -quality 85, one picture
# after the other), measured in the same run: wall time on camera-sized JPEGs at --jobs 2,
# the time from start to exit for one small picture, and the peak resident memory in
# decoded pictures per job.
#
# Usage: bench/stamp_bench.sh [--pictures N] [--size WxH] [--runs R] [--build DIR] [--regenerate]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PICTURES=40
SIZE=4000x3000
RUNS=3
JOBS=2
BUILD="$ROOT/build-bench"
REGENERATE=0
while [[ $# -gt 0 ]]; do
    case "$1" in
        --pictures) PICTURES="$2"; shift 2 ;;
        --size) SIZE="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        --regenerate) REGENERATE=1; shift ;;
        -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done
WIDTH="${SIZE%x*}"
HEIGHT="${SIZE#*x}"

for tool in djpeg cjpeg cmake ninja; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (Debian package 'time')" >&2; exit 1; }

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" -DBUILD_TESTING=OFF \
    -DVELLORAN_BUILD_BENCH=ON >/dev/null
ninja -C "$BUILD" velloran_bench_jpeg velloran-stamp >/dev/null
HELPER="$BUILD/bench/velloran_bench_jpeg"
STAMP="$BUILD/tools/velloran-stamp/velloran-stamp"

# The corpus maker draws with Qt Gui.
export QT_QPA_PLATFORM=offscreen
CORPUS="$ROOT/bench/corpus/stamp"
OUT="$ROOT/bench/out/stamp"
recipe="$PICTURES x $SIZE"
if [[ $REGENERATE -eq 1 || ! -f "$CORPUS/recipe" || "$(cat "$CORPUS/recipe")" != "$recipe" ]]; then
    echo "Generating $recipe photo-like JPEGs in $CORPUS ..."
    rm -rf "$CORPUS"
    mkdir -p "$CORPUS/large" "$CORPUS/small"
    "$HELPER" generate "$CORPUS/large" photo "$PICTURES" "$WIDTH" "$HEIGHT"
    "$HELPER" generate "$CORPUS/small" photo 1 640 480
    echo "$recipe" >"$CORPUS/recipe"
fi

# The companion's own settings, temporary folder and home, so the machine's stored
# settings change nothing.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/config" "$scratch/temp" "$scratch/run"
chmod 0700 "$scratch/run"
export XDG_CONFIG_HOME="$scratch/config" TEMP="$scratch/temp" HOME="$scratch" XDG_RUNTIME_DIR="$scratch/run"
STAMP_ARGS=(-Q --no-settings -m datetime -p lower-right -q 85)

floor() {
    local file
    for file in "$CORPUS"/large/*.jpg; do
        djpeg "$file" | cjpeg -quality 85 >"$1/$(basename "$file")"
    done
}
export -f floor
export CORPUS

# "<wall s> <peak KB> <cpu s>" of one road into a fresh folder. CPU time (user + system,
# children included) is the steadier figure on a busy machine.
measure() {
    local road="$1" out="$OUT/$1" stats
    rm -rf "$out"
    mkdir -p "$out"
    stats="$(mktemp)"
    if [[ "$road" == stamp ]]; then
        /usr/bin/time -f '%e %M %U %S' -o "$stats" "$STAMP" "${STAMP_ARGS[@]}" -j "$JOBS" -o "$out" "$CORPUS/large"
    else
        /usr/bin/time -f '%e %M %U %S' -o "$stats" bash -c 'floor "$1"' _ "$out"
    fi
    awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$stats"
    rm -f "$stats"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
verdict() { awk -v a="$1" -v b="$2" -v lt="${3:-}" 'BEGIN { print ((lt ? a < b : a <= b) ? "met" : "NOT met") }'; }

floors="" stamps="" floor_cpus="" stamp_cpus="" peak=0
for ((run = 0; run < RUNS; run++)); do
    read -r wall _ cpu < <(measure floor)
    floors+="$wall"$'\n'
    floor_cpus+="$cpu"$'\n'
    read -r wall kb cpu < <(measure stamp)
    stamps+="$wall"$'\n'
    stamp_cpus+="$cpu"$'\n'
    ((kb > peak)) && peak=$kb
done
count="$(find "$OUT/stamp" -name '*.jpg' | wc -l)"
[[ "$count" -eq "$PICTURES" ]] || { echo "velloran-stamp wrote $count of $PICTURES copies" >&2; exit 1; }
floor_s="$(median <<<"$floors" | head -n1)"
stamp_s="$(median <<<"$stamps" | head -n1)"
floor_ms="$(awk -v s="$floor_s" -v n="$PICTURES" 'BEGIN { printf "%.1f", s * 1000 / n }')"
stamp_ms="$(awk -v s="$stamp_s" -v n="$PICTURES" 'BEGIN { printf "%.1f", s * 1000 / n }')"
per_picture() { awk -v s="$(median <<<"$1" | head -n1)" -v n="$PICTURES" 'BEGIN { printf "%.1f", s * 1000 / n }'; }
floor_cpu="$(per_picture "$floor_cpus")"
stamp_cpu="$(per_picture "$stamp_cpus")"
echo "$PICTURES x $SIZE JPEGs, medians of $RUNS runs, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
printf '  floor (djpeg | cjpeg -quality 85)  %8s ms/picture wall, %8s cpu\n' "$floor_ms" "$floor_cpu"
printf '  velloran-stamp --jobs %s            %8s ms/picture wall, %8s cpu\n' "$JOBS" "$stamp_ms" "$stamp_cpu"
printf '    = %s x floor wall (target <= 0.36: %s), %s x floor cpu\n' \
    "$(ratio "$stamp_ms" "$floor_ms")" "$(verdict "$(ratio "$stamp_ms" "$floor_ms")" 0.36)" \
    "$(ratio "$stamp_cpu" "$floor_cpu")"

decoded_kb=$((WIDTH * HEIGHT * 4 / 1024))
per_job="$(awk -v p="$peak" -v d="$decoded_kb" -v j="$JOBS" 'BEGIN { printf "%.2f", p / d / j }')"
printf '  peak memory %s MB = %s decoded pictures per job (target <= 3: %s)\n' \
    "$((peak / 1024))" "$per_job" "$(verdict "$per_job" 3)"

# Start-up and one small picture: process start to exit, median of 15.
small="$(find "$CORPUS/small" -name '*.jpg' | head -n1)"
times="" cpus=""
for ((i = 0; i < 15; i++)); do
    rm -rf "$OUT/small"
    mkdir -p "$OUT/small"
    /usr/bin/time -f '%e %U %S' -o "$OUT/one.time" "$STAMP" "${STAMP_ARGS[@]}" -o "$OUT/small" "$small"
    read -r wall user system <"$OUT/one.time"
    times+="$(awk -v s="$wall" 'BEGIN { printf "%.1f", s * 1000 }')"$'\n'
    cpus+="$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.1f", (u + s) * 1000 }')"$'\n'
done
one="$(median <<<"$times" | head -n1)"
printf '  start-up and one 640x480 picture    %8s ms wall (target < 60: %s), %s ms cpu\n' \
    "$one" "$(verdict "$one" 60 1)" "$(median <<<"$cpus" | head -n1)"
