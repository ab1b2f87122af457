#!/bin/sh
# SPDX-License-Identifier: MIT
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
libimagequant-dev
libpng-dev
libtiff-dev
libjpeg62-turbo-dev
libexiv2-dev
zlib1g-dev
libheif-dev
libwebp-dev
libjxl-dev
libheif-examples
webp
libjxl-tools
libimage-exiftool-perl
fonts-liberation
xvfb
xauth
parallel
bash-completion
x11-apps
dbus-daemon
at-spi2-core
python3-pyatspi
imagemagick
libjpeg-turbo-progs
util-linux
clang-14
libclang-rt-14-dev
llvm-14
"

packaging=0
if [ "${1:-}" = "--packaging" ]; then
    packaging=1
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

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

# Another apt run (unattended upgrades on a fresh machine, a second build) may hold the
# locks for a while: wait up to ten minutes rather than fail at once.
apt_get() {
    $SUDO env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}
# "apt-get update" ignores that timeout for the package lists' own lock, so it is tried
# again while only that lock stands in its way.
update_lists() {
    log="$(mktemp)"
    waited=0
    while ! apt_get update -qq 2>"$log"; do
        if ! grep -Eq "Could not get lock|Unable to lock" "$log" || [ "$waited" -ge 600 ]; then
            cat "$log" >&2
            rm -f "$log"
            return 1
        fi
        echo "install-deps: waiting for another apt run to finish"
        sleep 5
        waited=$((waited + 5))
    done
    cat "$log" >&2
    rm -f "$log"
}

if [ -z "$missing" ]; then
    echo "install-deps: all packages present"
else
    echo "install-deps: installing$missing"
    update_lists
    # shellcheck disable=SC2086
    apt_get install -y -qq --no-install-recommends $missing
fi

# The package's Build-Depends (debian/control) may name more than the list above.
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "$packaging" -eq 1 ] && ! (cd "$root" && dpkg-checkbuilddeps >/dev/null 2>&1); then
    echo "install-deps: installing the package's build dependencies"
    update_lists
    apt_get build-dep -y -qq --no-install-recommends "$root"
fi
