#!/bin/sh
# SPDX-License-Identifier: MIT
# Renders the scalable icon resources/velloran.svg into the PNG sizes that the desktop's
# icon theme and the window use: resources/icons/<size>/velloran.png. Run it after
# changing the SVG and commit the PNGs (each is a few KB). Needs rsvg-convert
# (Debian: librsvg2-bin).
set -eu
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
    mkdir -p "icons/$size"
    rsvg-convert --width "$size" --height "$size" --output "icons/$size/velloran.png" velloran.svg
done
