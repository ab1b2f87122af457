#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times "Add All File(s) In Folder" with "*" through the real handler on an offscreen
# window, on a generated tree of 100,000 files in 5,000 folders, and prints the files
# added per second and the longest gap between two turns of the event loop.
# Targets: at least 50,000 files per second and no gap over 100 ms.
#
# Usage: bench/scan_bench.sh [--tree DIR] [--runs N] [--build DIR]
#   --tree   where the tree is built (once; kept for later runs), default /tmp/velloran-scan-tree
#   --runs   clicks to time, each on a fresh window, default 3
#   --build  build folder, default build-bench in the checkout
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TREE=/tmp/velloran-scan-tree
RUNS=3
BUILD="$ROOT/build-bench"

while [[ $# -gt 0 ]]; do
    case "$1" in
        --tree) TREE="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --build) BUILD="$2"; shift 2 ;;
        -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done

for tool in cmake ninja; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF -DVELLORAN_BUILD_BENCH=ON >/dev/null
if ! ninja -C "$BUILD" velloran_bench_scan >/dev/null; then
    echo "velloran_bench_scan was not built (is bench/scan added to bench/CMakeLists.txt?)" >&2
    exit 1
fi
HELPER="$BUILD/bench/scan/velloran_bench_scan"
[[ -x "$HELPER" ]] || { echo "missing $HELPER" >&2; exit 1; }

echo "Machine: $(nproc) cores, $(uname -sr)"
QT_QPA_PLATFORM=offscreen "$HELPER" "$TREE" "$RUNS"
