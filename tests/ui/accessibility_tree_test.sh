#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs accessibility_tree_test.py against the given host program in a private X server
# and session bus, on which the AT-SPI bus and its registry start on demand. A missing
# piece fails the test: it is never skipped.
# Usage: accessibility_tree_test.sh <accessibility_host>
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
for tool in xvfb-run dbus-run-session /usr/bin/python3 /usr/libexec/at-spi-bus-launcher \
        /usr/libexec/at-spi2-registryd; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "accessibility test: $tool is missing; scripts/install-deps.sh installs it" >&2
        exit 1
    fi
done
# The accessibility bus puts its socket here; a fresh folder, not one another run shares.
XDG_RUNTIME_DIR="$(mktemp -d)"
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
status=0
xvfb-run -a -n 151 -s "-screen 0 1280x800x24" \
    dbus-run-session -- /usr/bin/python3 "$here/accessibility_tree_test.py" "$1" || status=$?
exit "$status"
