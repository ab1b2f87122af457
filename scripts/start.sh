#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs what Velloran needs, builds the program (not the tests) and starts it.
# Without a display the window opens on a virtual one (Xvfb).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh velloran
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec ./build/src/velloran
fi
echo "No display found: starting Velloran on a virtual display (Xvfb)."
exec xvfb-run -a -s "-screen 0 1280x800x24" ./build/src/velloran
