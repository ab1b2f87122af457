#!/bin/sh
# SPDX-License-Identifier: MIT
# Configures and builds Velloran. Usage: scripts/build.sh [--sanitize] [target...]
# The normal build goes to build/, the sanitizer build to build-asan/. Without a target
# everything is built (program, converter and tests); scripts/start.sh builds only the
# target "velloran", the program with the files beside it.
set -eu
cd "$(dirname "$0")/.."

dir=build
extra=""
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    extra="-DVELLORAN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"
    shift
fi

# shellcheck disable=SC2086
cmake -S . -B "$dir" -G Ninja $extra >/dev/null
if [ "$#" -eq 0 ]; then
    cmake --build "$dir"
else
    cmake --build "$dir" --target "$@"
fi
