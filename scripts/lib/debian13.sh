# Sourced by the scripts that build, test, package or measure on Debian 13's Qt 6.8 (Chromium 122
# core) beside the machine's Debian 12: one root made from Debian's packages with mmdebstrap, kept in
# build/debian13 and made again only when the package list below changes. Takes root, and the tools
# of scripts/deps.sh.

debian13_packages=(
    cmake ninja-build g++ pkg-config file
    qt6-base-dev qt6-webengine-dev libcpp-httplib-dev libgtest-dev libx11-dev libjpeg62-turbo-dev libcurl4-openssl-dev libglib2.0-dev libnss3-dev
    xvfb xauth x11-utils xdotool openbox wmctrl imagemagick fonts-dejavu-core fonts-liberation2 xdg-utils
    dpkg-dev desktop-file-utils appstream man-db openssl lintian qt6-translations-l10n
    dbus-daemon at-spi2-core python3-pyatspi
    squid libnss3-tools tesseract-ocr tesseract-ocr-nld gsettings-desktop-schemas krb5-kdc krb5-admin-server krb5-user softhsm2
)
debian13_home=build/debian13
debian13_root=$debian13_home/root

# Makes the root when it is missing or its package list changed (about 2 minutes and 2.2 GB).
debian13_make() {
    local wanted
    wanted=$(printf '%s\n' "${debian13_packages[@]}" | sort | sha256sum | cut -d' ' -f1)
    [ "$(cat "$debian13_home/packages.sha256" 2>/dev/null)" != "$wanted" ] || return 0
    rm -rf "$debian13_root" "$debian13_home/packages.sha256"
    mkdir -p "$debian13_home"
    echo "Making the Debian 13 root in $debian13_root (about 2 minutes, 2.2 GB)" >&2
    mmdebstrap --quiet --variant=apt --include="$(IFS=,; echo "${debian13_packages[*]}")" trixie "$debian13_root"
    echo "$wanted" >"$debian13_home/packages.sha256"
}

# Puts the committed sources (HEAD, as git has them) in a folder of the root, /work/src unless
# given; its build folder stays. Only the files that changed are written, and they get the time of
# the copy, so that the build there makes again what they touch and nothing else.
debian13_sources() {
    local dir=$debian13_root${1:-/work/src} head
    head=$(mktemp -d)
    git archive HEAD | tar -x -C "$head"
    mkdir -p "$dir"
    rsync --recursive --links --perms --checksum --delete --exclude=/build "$head/" "$dir/"
    rm -rf "$head"
}

# Runs a bash command in the root, in /work/src when there is one, with a clean environment, in
# mount and PID namespaces of its own, with a /tmp of its own and a network of its own with nothing
# but loopback, so that its stand-in ports and X displays never meet another run's. Options, before the command:
#   --display  an X server (Xvfb, 1920x1080) runs for the command, at DISPLAY=:99
#   --network  the machine's network instead (for apt-get), and no display
# xvfb-run waits for ever in such a root: started last in "bash -c", it becomes the namespace's
# first process, which never gets the SIGUSR1 that Xvfb sends when it is ready.
debian13_run() {
    local net=--net prelude=
    while [ $# -gt 1 ]; do
        case $1 in
        --network) net= ;;
        --display)
            prelude='Xvfb :99 -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 & export DISPLAY=:99
                     for i in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done;'
            ;;
        *) break ;;
        esac
        shift
    done
    unshare --mount $net --pid --fork bash -c '
        set -e
        root=$1
        [ -z "$3" ] || ip link set lo up
        mount --rbind /dev "$root/dev"
        mount -t proc proc "$root/proc"
        mount --rbind /sys "$root/sys"
        mount -t tmpfs shm "$root/dev/shm"
        mount -t tmpfs tmp "$root/tmp" # X displays lock and listen in /tmp: each run has its own
        [ -n "$3" ] || cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
        exec chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 \
            bash -c "set -e; cd /work/src 2>/dev/null || cd /; $2; exit 0"
    ' debian13 "$debian13_root" "$prelude$1" "$net"
}
