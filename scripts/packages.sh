#!/usr/bin/env bash
# The Debian package of the test build for Debian 12 (this machine) and for Debian 13 (the root of
# scripts/lib/debian13.sh, built there by scripts/debian13.sh), each checked by lintian of its own
# release and installed into a fresh minimal root of its release, where the installed program must
# start against the stand-in portal (tests/package/install_check.sh). The packages stay in
# build/packages/debian12 and build/packages/debian13.
#   scripts/packages.sh   (after the test build and scripts/debian13.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@" # making and entering roots takes root
scripts/deps.sh
source scripts/lib/debian13.sh

out=build/packages
rm -rf "$out"
mkdir -p "$out/debian12" "$out/debian13"
(cd "$out/debian12" && cpack -G DEB --config ../../test/CPackConfig.cmake -B . >cpack.log 2>&1) ||
    { cat "$out/debian12/cpack.log"; exit 1; }
debian13_run "cpack -G DEB --config build/test/CPackConfig.cmake -B build/packages >build/packages.log 2>&1 ||
              { cat build/packages.log; exit 1; }
              lintian build/packages/ostrel-web_*.deb >build/packages/lintian.txt 2>&1 || true"
cp "$debian13_root"/work/src/build/packages/ostrel-web_*.deb "$debian13_root/work/src/build/packages/lintian.txt" \
    "$out/debian13/"
lintian "$out"/debian12/ostrel-web_*.deb >"$out/debian12/lintian.txt" 2>&1 || true

failed=0
for release in debian12 debian13; do
    deb=$(ls "$out/$release"/ostrel-web_*.deb)
    echo "== $release: $(basename "$deb")"
    echo "Depends: $(dpkg-deb -f "$deb" Depends)"
    findings=$(grep -v 'running with root privileges' "$out/$release/lintian.txt" || true)
    echo "lintian: ${findings:-nothing to report}"
    if grep -q '^E:' <<<"$findings"; then
        echo "FAIL: lintian reports errors"
        failed=1
    fi
done
# Both fresh roots at once: each waits mostly on apt.
tests/package/install_check.sh bookworm "$(ls "$out"/debian12/ostrel-web_*.deb)" build/test \
    >"$out/debian12/install.log" 2>&1 &
bookworm=$!
tests/package/install_check.sh trixie "$(ls "$out"/debian13/ostrel-web_*.deb)" build/test \
    >"$out/debian13/install.log" 2>&1 &
trixie=$!
wait "$bookworm" || failed=1
wait "$trixie" || failed=1
cat "$out/debian12/install.log" "$out/debian13/install.log"
exit $failed
