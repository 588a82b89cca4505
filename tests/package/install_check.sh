#!/usr/bin/env bash
# Installs a package of the program with apt-get into a fresh minimal root of its Debian release
# (mmdebstrap --variant=apt, nothing else installed) and starts the installed program there against
# the stand-in portal of a build made with the same addresses: the start-up's POST and GET must
# arrive. This proves that the package's dependency list is complete on a machine that has never
# seen the project. The X server and the stand-in run from this machine, in a network of the
# check's own; only the program runs in the root. Takes root and apt's network.
#   install_check.sh RELEASE PACKAGE STANDIN_BUILD_DIR
set -euo pipefail
release=$1
deb=$(realpath "$2")
standin_build=$(realpath "$3")
cd "$(dirname "$0")/../.."

# The minimal root is made once (about 30 s) and unpacked afresh for every check.
clean=build/clean-roots/$release.tar
if [ ! -s "$clean" ]; then
    mkdir -p build/clean-roots
    mmdebstrap --quiet --variant=apt "$release" "${clean%.tar}.part.tar"
    mv "${clean%.tar}.part.tar" "$clean"
fi
work=$(mktemp -d build/clean-roots/check.XXXXXX)
trap 'rm -rf "$work"' EXIT
root=$work/root
mkdir "$root"
tar -xf "$clean" -C "$root"
cp "$deb" "$root/tmp/"

echo "== $release: apt-get install ./$(basename "$deb")"
unshare --mount bash -c '
    root=$1
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
        bash -c "apt-get update -qq && apt-get install -y -qq /tmp/$2 >/tmp/apt.log 2>&1 || { tail -20 /tmp/apt.log; exit 1; }"
' check "$root" "$(basename "$deb")"
echo "installed: $(chroot "$root" dpkg-query -W -f='${Package} ${Version}' ostrel-web)"
echo "version: $(chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen /usr/bin/ostrel-web --version | tr '\n' ' ')"

log=$work/requests.jsonl
unshare --mount --net --pid --fork bash -c '
    set -e
    root=$1 standin_build=$2 log=$3
    ip link set lo up
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs shm "$root/dev/shm"
    # A display number that no X server of this machine holds (their locks are in the shared
    # /tmp); the program reaches it from the root through the abstract socket of this network.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$log.display" >/dev/null 2>&1 &
    mapfile -t roles <"$standin_build/standin-args.txt"
    source scripts/lib/standin.sh
    standin_start "$standin_build" "$log" "${roles[@]}"
    for _ in $(seq 100); do [ -s "$log.display" ] && break; sleep 0.1; done
    display=:$(head -n 1 "$log.display")
    chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY=$display \
        QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-zygote" \
        /usr/bin/ostrel-web >"$root/tmp/program.log" 2>&1 &
    for _ in $(seq 600); do
        grep -q "\"method\":\"GET\",\"path\":\"/\",\"query\":\"version=" "$log" 2>/dev/null && break
        sleep 0.1
    done
    sleep 1
' check "$root" "$standin_build" "$log"

post=$(grep -c '"method":"POST"' "$log" || true)
get=$(grep -c '"method":"GET","path":"/","query":"version=' "$log" || true)
echo "stand-in: $post POST, $get GET of the version-stamped page"
if [ "$post" -ge 1 ] && [ "$get" -ge 1 ]; then
    echo "== $release: OK"
else
    echo "== $release: FAIL; the program said:"
    tail -20 "$root/tmp/program.log"
    exit 1
fi
