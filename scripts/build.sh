#!/bin/sh
# Configures and builds Velloran. Usage: scripts/build.sh [--sanitize]
# The normal build goes to build/, the sanitizer build to build-asan/.
set -eu
cd "$(dirname "$0")/.."

dir=build
extra=""
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    extra="-DVELLORAN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"
fi

# shellcheck disable=SC2086
cmake -S . -B "$dir" -G Ninja $extra >/dev/null
cmake --build "$dir"
