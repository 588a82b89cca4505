#!/usr/bin/env bash
# Builds the test preset and runs its whole suite against Debian 13's Qt 6.8 (Chromium 122 core),
# inside a Debian 13 root made from Debian's packages with mmdebstrap. The root is kept in
# build/debian13 and made again only when the package list below changes; the sources are copied
# in as git has them (HEAD). The suite runs in a network namespace of its own, so that its stand-in
# ports never meet another run's.
#   scripts/debian13.sh [ctest arguments ...]
# Not yet part of scripts/test.sh: on Qt 6.8 tests still fail, and xvfb-run once hung in the root.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@" # making and entering a root takes root

packages=(
    cmake ninja-build g++ pkg-config file
    qt6-base-dev qt6-webengine-dev libcpp-httplib-dev libgtest-dev libx11-dev libjpeg62-turbo-dev libcurl4-openssl-dev
    xvfb xauth x11-utils xdotool openbox wmctrl imagemagick fonts-dejavu-core fonts-liberation2 xdg-utils
    dpkg-dev desktop-file-utils appstream man-db openssl
    dbus-daemon at-spi2-core python3-pyatspi
)
home=build/debian13
root=$home/root
wanted=$(printf '%s\n' "${packages[@]}" | sort | sha256sum | cut -d' ' -f1)
if [ "$(cat "$home/packages.sha256" 2>/dev/null)" != "$wanted" ]; then
    command -v mmdebstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq mmdebstrap >/dev/null
    rm -rf "$root"
    mkdir -p "$home"
    echo "Making the Debian 13 root in $root (about a minute, 2.1 GB)"
    mmdebstrap --quiet --variant=apt --include="$(IFS=,; echo "${packages[*]}")" trixie "$root"
    echo "$wanted" >"$home/packages.sha256"
fi

# The sources as committed; the build folder inside is kept between runs.
mkdir -p "$root/work/src"
find "$root/work/src" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
git archive HEAD | tar -x -C "$root/work/src"

quoted=$(printf ' %q' "$@")
exec unshare --mount --net --pid --fork bash -c '
    set -e
    root=$1
    shift
    ip link set lo up
    mount --rbind /dev "$root/dev"
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount -t tmpfs shm "$root/dev/shm"
    exec chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 \
        bash -c "set -e; cd /work/src; source scripts/lib/engine.sh; cmake --preset test >/dev/null
                 cmake --build --preset test
                 xvfb-run -a -s \"-screen 0 1920x1080x24\" ctest --preset test $*"
' debian13 "$root" "$quoted"
