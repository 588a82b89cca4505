#!/usr/bin/env bash
# Installs what building, running and testing need, from Debian 12's packages. Quick when all is
# there already: apt-get runs only for what is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-webengine-dev libcpp-httplib-dev libgtest-dev libx11-dev libjpeg62-turbo-dev libcurl4-openssl-dev libglib2.0-dev libnss3-dev
    g++-mingw-w64-x86-64-posix wine64
    clang clang-tidy libclang-rt-14-dev
    xvfb xauth x11-utils xdotool openbox wmctrl imagemagick fonts-dejavu-core fonts-liberation2 xdg-utils
    dpkg-dev desktop-file-utils appstream man-db
    dbus-daemon at-spi2-core python3-pyatspi
    mmdebstrap rsync lintian qt6-translations-l10n
    squid libnss3-tools openssl tesseract-ocr tesseract-ocr-nld gsettings-desktop-schemas krb5-kdc krb5-admin-server krb5-user softhsm2
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
# The tests start squid themselves; the package must not start the machine's own.
if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee /usr/sbin/policy-rc.d >/dev/null
    "${sudo[@]}" chmod 755 /usr/sbin/policy-rc.d
    trap '"${sudo[@]}" rm -f /usr/sbin/policy-rc.d' EXIT
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
