#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs what Velloran needs, builds it and runs every test.
# Usage: scripts/test.sh [--sanitize]
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh "$@"
dir=build
[ "${1:-}" = "--sanitize" ] && dir=build-asan
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir "$dir" --output-on-failure -j2
