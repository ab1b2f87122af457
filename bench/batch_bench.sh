#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times the JPEG stamping roads on a generated corpus of photo-like JPEGs and prints,
# for each road and picture size, milliseconds per picture (wall and CPU), the ratio to the floor
# (libjpeg-turbo's djpeg | cjpeg -quality 85) and the peak resident memory. The road "batch" is
# the real "Start Stamping" handler on an offscreen window with every core (pictures decoded
# ahead on the spare ones), "batch1" the same held to one thread (VELLORAN_THREADS=1); both
# together print their ratio and whether their files are identical. With "batch" come the PNG road (--png:
# the batch on PNG copies of the small pictures, with the converter's share per file) and, on
# request, a long run (--flat) showing whether memory stays flat over many files.
#
# Usage: bench/batch_bench.sh [--large N] [--small N] [--png N] [--flat N] [--runs R]
#                             [--modes "floor ours ..."] [--build DIR] [--regenerate]
# --png N makes PNG copies of the first N small pictures (0: no PNG road); --flat N runs one
# batch over N generated 1920x1080 pictures (default 0: none). Both need the road "batch".
#
# Each road is a shell function mode_<name> taking a file holding the list of input
# pictures and an empty output folder; add one and name it in --modes (or MODES below).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
LARGE=20
SMALL=20
RUNS=3
PNGS=20
FLAT=0
MODES="floor ours planes qt magick batch1 batch"
BUILD="$ROOT/build-bench"
REGENERATE=0
STAMP_TEXT="12/6/2026 3:04:05 PM"
STAMP_FONT=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf

while [[ $# -gt 0 ]]; do
    case "$1" in
        --large) LARGE="$2"; shift 2 ;;
        --small) SMALL="$2"; shift 2 ;;
        --png) PNGS="$2"; shift 2 ;;
        --flat) FLAT="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --modes) MODES="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        --regenerate) REGENERATE=1; shift ;;
        -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done

CORPUS="$ROOT/bench/corpus"
OUT="$ROOT/bench/out"
export QT_QPA_PLATFORM=offscreen
# Without a runtime folder every Qt program warns on start; give them a private one.
if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
    XDG_RUNTIME_DIR="$(mktemp -d)"
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

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
        -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" -DBUILD_TESTING=OFF -DVELLORAN_BUILD_BENCH=ON >/dev/null
    ninja -C "$BUILD" velloran_bench_jpeg velloran_bench_batch_run velloran_bench_png_road \
        velloran-convert >/dev/null
    HELPER="$BUILD/bench/velloran_bench_jpeg"
    BATCH_HELPER="$BUILD/bench/velloran_bench_batch_run"
    PNG_HELPER="$BUILD/bench/velloran_bench_png_road"
    CONVERTER="$BUILD/tools/velloran-convert/velloran-convert"
    for program in "$HELPER" "$BATCH_HELPER" "$PNG_HELPER" "$CONVERTER"; do
        [[ -x "$program" ]] || { echo "$program was not built" >&2; exit 1; }
    done
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

# PNG copies of the first small pictures, made by the converter (lossless, so they decode
# to the very pixels of their JPEG sources).
make_png_set() {
    local count="$1" folder="$CORPUS/png" file name
    local recipe="png=$count from small=$SMALL"
    if [[ -f "$folder/recipe" && "$(cat "$folder/recipe")" == "$recipe" ]]; then
        return
    fi
    echo "Making $count PNG pictures in $folder ..."
    rm -rf "$folder"
    mkdir -p "$folder"
    find "$CORPUS/small" -name '*.jpg' | sort | head -n "$count" | while IFS= read -r file; do
        name="$(basename "$file" .jpg).png"
        cp "$file" "$folder/$name"
        "$CONVERTER" -out png "$folder/$name"
    done
    echo "$recipe" >"$folder/recipe"
}

make_flat_set() {
    local count="$1" folder="$CORPUS/flat"
    local recipe="flat=$count"
    if [[ -f "$folder/recipe" && "$(cat "$folder/recipe")" == "$recipe" ]]; then
        return
    fi
    echo "Generating $count pictures of 1920x1080 in $folder ..."
    rm -rf "$folder"
    mkdir -p "$folder"
    "$HELPER" generate "$folder" flat "$count" 1920 1080
    echo "$recipe" >"$folder/recipe"
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

# The JPEG road in the source's own colour planes (the road a JPEG copy of a JPEG takes).
mode_planes() {
    local list="$1" out="$2"
    mapfile -t files <"$list"
    "$HELPER" planes "$out" "${files[@]}" >/dev/null
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

# The handler's own figures (time inside the click, peak memory, event-loop gaps) go to
# $OUT/batch.report; the table shows the whole process like the other roads.
mode_batch() {
    local list="$1" out="$2"
    "$BATCH_HELPER" "$out" "$list" >"$OUT/batch.report" 2>"$OUT/batch.errors"
}

# The same handler held to the window's thread alone: no picture is decoded ahead.
mode_batch1() {
    VELLORAN_THREADS=1 mode_batch "$@"
}

export -f mode_floor mode_ours mode_planes mode_qt mode_magick mode_batch mode_batch1
export HELPER BATCH_HELPER OUT STAMP_TEXT STAMP_FONT

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
# A value of a helper's report ("key value..." lines).
field() { awk -v k="$2" '$1 == k { $1 = ""; sub(/^ /, ""); print; exit }' "$1"; }
per_picture() { awk -v s="$1" -v n="$2" 'BEGIN { printf "%.1f", s * 1000 / n }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b ? "met" : "NOT met") }'; }
larger() { awk -v a="$1" -v b="$2" 'BEGIN { print (b > a ? b : a) }'; }
median_of() { tr ' ' '\n' <<<"$1" | grep . | median; }

# Milliseconds one command takes, wall clock; its output is dropped and its peak resident
# memory (KB) left in $OUT/last.peak.
ms_of() {
    local start="$EPOCHREALTIME"
    /usr/bin/time -f %M -o "$OUT/last.peak" "$@" >/dev/null
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", (b - a) * 1000 }'
}

# Keeps the report of the batch road's last run as $OUT/batch-<name>.report. A run that
# showed anything but "Done." or left a picture unwritten is shown and ends the benchmark.
keep_batch_report() {
    local report="$OUT/batch.report"
    if [[ "$(field "$report" messages)" != "1 (unexpected 0)" ||
        "$(field "$report" written)" != "$(field "$report" pictures)" ]]; then
        echo "the batch run failed:" >&2
        cat "$report" "$OUT/batch.errors" >&2
        exit 1
    fi
    cp "$report" "$OUT/batch-$1.report"
}

# The handler's memory and responsiveness from one run's report.
print_batch_memory() {
    local report="$1"
    printf '  peak %s MB = %s x the largest decoded picture (%s MB); %s MB before the run,\n' \
        "$(field "$report" peak_rss_mb)" "$(field "$report" peak_over_largest)" \
        "$(field "$report" largest_decoded_mb)" "$(field "$report" rss_before_run_mb)"
    printf '  so the run added %s x; resident MB by tenth of the run: %s\n' \
        "$(field "$report" run_growth_over_largest)" "$(field "$report" rss_by_tenth_mb)"
    printf '  longest gap between event-loop turns %s ms over %s turns\n' \
        "$(field "$report" longest_gap_ms)" "$(field "$report" event_loop_turns)"
}

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
    declare -A clicks=() click_cpus=() window_cpus=()
    for ((run = 0; run < RUNS; run++)); do
        for mode in $MODES; do
            read -r wall cpu kb < <(time_mode "$mode" "$list")
            if [[ "$mode" == batch* ]]; then
                keep_batch_report "$set${mode#batch}"
                clicks[$mode]+="$(field "$OUT/batch-$set${mode#batch}.report" ms_per_picture) "
                click_cpus[$mode]+="$(field "$OUT/batch-$set${mode#batch}.report" \
                    cpu_ms_per_picture) "
                window_cpus[$mode]+="$(field "$OUT/batch-$set${mode#batch}.report" \
                    window_cpu_ms_per_picture) "
            fi
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
        if [[ "$mode" == batch* ]]; then
            click="$(median_of "${clicks[$mode]}")"
            click_cpu="$(median_of "${click_cpus[$mode]}")"
            printf '  inside the click: wall %s ms/picture = %s x floor, cpu %s = %s x floor\n' \
                "$click" "$(ratio "$click" "${floor_wall:-0}")" \
                "$click_cpu" "$(ratio "$click_cpu" "${floor_cpu:-0}")"
            window_cpu="$(median_of "${window_cpus[$mode]}")"
            printf "  the window's thread alone: cpu %s ms/picture = %s x floor wall\n" \
                "$window_cpu" "$(ratio "$window_cpu" "${floor_wall:-0}")"
            if [[ "$mode" == batch ]]; then
                printf '  (target <= 0.36 x floor on all cores, wall: %s)\n' \
                    "$(verdict "$(ratio "$click" "${floor_wall:-0}")" 0.36)"
            fi
            print_batch_memory "$OUT/batch-$set${mode#batch}.report"
        fi
    done
    # One thread against all cores, inside the click, and whether their files are the same.
    if [[ -n "${clicks[batch]:-}" && -n "${clicks[batch1]:-}" ]]; then
        one="$(median_of "${clicks[batch1]}")"
        all="$(median_of "${clicks[batch]}")"
        same=yes
        diff -rq "$OUT/batch" "$OUT/batch1" >/dev/null || same=NO
        printf 'JPEG road %s: one thread %s ms, all cores (%s) %s ms per picture = %s x; ' \
            "$size" "$one" "$(nproc)" "$all" "$(ratio "$all" "$one")"
        printf 'files identical: %s\n' "$same"
    fi
    unset walls cpus peaks clicks click_cpus window_cpus
    rm -f "$list"
done

[[ " $MODES " == *" batch "* ]] || exit 0

# ---- PNG road ----
# The same pictures through the batch as PNG files and as JPEG files; the difference is
# what the converter's two passes cost the run. The converter's command lines are then
# timed alone on the same pictures, the output pass on the very bitmap the batch hands it,
# and its BMP output on that bitmap gives the read-and-write baseline that PNG writing adds
# to. The JPEG cost is the batch's own JPEG save of the decoded picture.
if ((PNGS > 0)); then
    make_png_set "$PNGS"
    png_list="$(mktemp)"
    jpeg_list="$(mktemp)"
    find "$CORPUS/png" -name '*.png' | sort >"$png_list"
    sed -e "s|^$CORPUS/png/|$CORPUS/small/|" -e 's|\.png$|.jpg|' "$png_list" >"$jpeg_list"
    count="$(wc -l <"$png_list")"
    size="$(head -n1 "$png_list" | xargs identify -format '%wx%h')"
    png_clicks="" jpeg_clicks="" png_walls="" png_cpus=""
    for ((run = 0; run < RUNS; run++)); do
        read -r wall cpu _ < <(time_mode batch "$png_list")
        png_walls+="$wall " png_cpus+="$cpu "
        keep_batch_report png
        png_clicks+="$(field "$OUT/batch-png.report" ms_per_picture) "
        time_mode batch "$jpeg_list" >/dev/null
        keep_batch_report png-as-jpeg
        jpeg_clicks+="$(field "$OUT/batch-png-as-jpeg.report" ms_per_picture) "
    done
    png_ms="$(median_of "$png_clicks")"
    jpeg_ms="$(median_of "$jpeg_clicks")"

    work="$OUT/png-road"
    rm -rf "$work"
    mkdir -p "$work/bitmaps"
    mapfile -t pngs <"$png_list"
    mapfile -t jpegs <"$jpeg_list"
    "$PNG_HELPER" "$work/bitmaps" "${jpegs[@]}" >"$work/writers.report" 2>"$work/writers.errors" ||
        { cat "$work/writers.errors" >&2; exit 1; }
    ins="" outs="" bmps="" in_peak=0 out_peak=0
    for file in "${pngs[@]}"; do
        name="$(basename "$file")"
        ins+="$(ms_of "$CONVERTER" -out jpeg -o "$work/StampTmp.jpg" "$file") "
        in_peak="$(larger "$in_peak" "$(cat "$OUT/last.peak")")"
        cp "$work/bitmaps/$name" "$work/copy.png"
        outs+="$(ms_of "$CONVERTER" -out png "$work/copy.png") "
        out_peak="$(larger "$out_peak" "$(cat "$OUT/last.peak")")"
        cp "$work/bitmaps/$name" "$work/copy.bmp"
        bmps+="$(ms_of "$CONVERTER" -out bmp "$work/copy.bmp") "
    done
    conv_in="$(median_of "$ins")"
    conv_out="$(median_of "$outs")"
    conv_bmp="$(median_of "$bmps")"
    jpeg_save="$(field "$work/writers.report" jpeg_save_ms)"
    png_write="$(awk -v a="$conv_out" -v b="$conv_bmp" 'BEGIN { printf "%.1f", a - b }')"
    overhead="$(awk -v a="$png_ms" -v b="$jpeg_ms" 'BEGIN { printf "%.1f", a - b }')"
    waits="$(awk -v o="$overhead" -v i="$conv_in" -v u="$conv_out" \
        'BEGIN { printf "%.1f", o - i - u }')"

    echo
    echo "PNG road, $count x $size, ms per picture (medians; batch runs: $RUNS)"
    printf '  %-60s %8s\n' \
        "batch, PNG sources and copies (inside the click)" "$png_ms" \
        "  whole process wall / cpu incl. converter" \
        "$(per_picture "$(median_of "$png_walls")" "$count") / $(per_picture \
            "$(median_of "$png_cpus")" "$count")" \
        "batch, the same pictures as JPEG (inside the click)" "$jpeg_ms" \
        "converter's share of the batch (PNG - JPEG)" "$overhead" \
        "  input:  velloran-convert -out jpeg -o tmp.jpg src.png" "$conv_in" \
        "  output: velloran-convert -out png file.png (bitmap in)" "$conv_out" \
        "  the rest: waits for the next 100 ms poll, bitmap, temp files" "$waits" \
        "velloran-convert -out bmp on the same bitmap (baseline)" "$conv_bmp" \
        "PNG writing (output pass - baseline)" "$png_write" \
        "the batch's JPEG save at quality 85, same picture" "$jpeg_save" \
        "the batch's bitmap save, same picture" "$(field "$work/writers.report" bitmap_save_ms)" \
        "the batch's JPEG loading, same picture" "$(field "$work/writers.report" load_ms)"
    printf '  PNG writing / JPEG save = %s (target <= 2: %s); output pass / JPEG save = %s;\n' \
        "$(ratio "$png_write" "$jpeg_save")" \
        "$(verdict "$(ratio "$png_write" "$jpeg_save")" 2)" "$(ratio "$conv_out" "$jpeg_save")"
    printf '  PNG batch / JPEG batch = %s\n' "$(ratio "$png_ms" "$jpeg_ms")"
    print_batch_memory "$OUT/batch-png.report"
    printf '  converter peak: input pass %s MB, output pass %s MB\n' \
        "$(awk -v k="$in_peak" 'BEGIN { printf "%.0f", k / 1024 }')" \
        "$(awk -v k="$out_peak" 'BEGIN { printf "%.0f", k / 1024 }')"
    rm -f "$png_list" "$jpeg_list"
fi

# ---- Memory over a long run ----
if ((FLAT > 0)); then
    make_flat_set "$FLAT"
    list="$(mktemp)"
    find "$CORPUS/flat" -name '*.jpg' | sort >"$list"
    count="$(wc -l <"$list")"
    time_mode batch "$list" >/dev/null
    keep_batch_report flat
    echo
    echo "Long run: $count x 1920x1080 in one batch"
    printf '  %s ms/picture inside the click\n' "$(field "$OUT/batch-flat.report" ms_per_picture)"
    print_batch_memory "$OUT/batch-flat.report"
    rm -f "$list"
fi
