#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with clang's libFuzzer, address and undefined-behaviour
# sanitizers (into build-fuzz/), makes the seed corpus, replays every regression file of
# fuzz/regressions/<target>/ and then fuzzes each target for a while.
#
# Usage: fuzz/run.sh [seconds per target, default 30] [target...]
# Findings are written to build-fuzz/findings/; the corpus grows in fuzz/corpus/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-30}"
shift || true
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    targets=(picture_loader converter_input photo_metadata modern_picture command_words)
fi
build="$root/build-fuzz"
cxx="${CXX_FUZZ:-clang++-14}"
command -v "$cxx" >/dev/null || { echo "missing $cxx (Debian package clang-14)" >&2; exit 1; }

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CXX="$cxx" cmake -S "$root" -B "$build" -G Ninja -DVELLORAN_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzzer}"
"$root/fuzz/make-corpus.sh" "$root/fuzz/corpus"

export QT_QPA_PLATFORM=offscreen
# Leaks of the libraries' caches at exit are not findings; every other report is.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
    program="$build/fuzz/${target}_fuzzer"
    regressions="$root/fuzz/regressions/$target"
    if [[ -d "$regressions" ]] && [[ -n "$(ls -A "$regressions")" ]]; then
        echo "== $target: replaying $(ls "$regressions" | wc -l) regression files"
        "$program" -rss_limit_mb=4096 "$regressions"/* 2>&1 | tail -n 3
    fi
    echo "== $target: fuzzing for $seconds s"
    rm -f "$build/findings/$target-"*
    "$program" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=25 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
        "$root/fuzz/corpus/$target" 2>&1 | grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|==|SUMMARY|INFO: Seed)' || true
    # A finding makes libFuzzer leave a crash-, leak-, oom- or timeout- file.
    if compgen -G "$build/findings/$target-*" >/dev/null; then
        echo "$target: finding(s) in $build/findings:" >&2
        ls "$build/findings/$target-"* >&2
        exit 1
    fi
done
