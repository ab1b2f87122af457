#!/bin/sh
# Installs every Debian package that building, running and testing Velloran need.
# With --packaging also the tools that build and check the Debian package (CI uses it).
# Safe to run again: apt-get skips what is already installed.
set -eu

PACKAGES="
build-essential
cmake
ninja-build
pkg-config
qt6-base-dev
qt6-base-dev-tools
qt6-image-formats-plugins
qt6-qpa-plugins
qt6-translations-l10n
libgl-dev
libgif-dev
libpng-dev
libturbojpeg0-dev
libjpeg62-turbo-dev
fonts-liberation
xvfb
xauth
x11-apps
imagemagick
libjpeg-turbo-progs
util-linux
"

if [ "${1:-}" = "--packaging" ]; then
    PACKAGES="$PACKAGES
debhelper
lintian
appstream
desktop-file-utils
"
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    echo "install-deps: all packages present"
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi

echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
