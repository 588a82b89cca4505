#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a temporary root and checks what
# an administrator gets: the files in their places, the desktop entry and the AppStream metadata
# valid, the manual readable without warnings, and dependencies computed from the program.
#   check_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/ostrel-web_*.deb)
echo "package: $(basename "$deb")"
root=$work/root
dpkg-deb -x "$deb" "$root"

for file in usr/bin/ostrel-web usr/share/applications/ostrel-web.desktop \
    usr/share/metainfo/nl.ostrel.ostrelweb.metainfo.xml usr/share/man/man1/ostrel-web.1.gz; do
    [ -f "$root/$file" ] || fail "missing /$file"
done
for size in 16 24 32 48 64 128 256; do
    [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/ostrel-web.png" ] || fail "missing the ${size}px icon"
done

readelf -S "$root/usr/bin/ostrel-web" | grep -q '\.debug_info' && fail "the program is not stripped"
desktop-file-validate "$root/usr/share/applications/ostrel-web.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/nl.ostrel.ostrelweb.metainfo.xml" ||
    fail "appstreamcli validate"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/ostrel-web.1.gz" 2>&1 >/dev/null || true)
[ -z "$warnings" ] || fail "man -l: $warnings"
LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/ostrel-web.1.gz" | grep -q 'HKEY_CURRENT_USER.reg' ||
    fail "the manual does not name the registry store"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6webenginecore6 libqt6widgets6 libcurl libjpeg libqt6webenginecore6-bin qt6-qpa-plugins; do
    [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed"
done
exit $failed
