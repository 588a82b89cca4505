#!/usr/bin/env bash
# The Windows host layer: cross-built with mingw-w64 and run as Windows programs under Wine, in a
# fresh Wine prefix of its own, with every Wine process of that prefix ended afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/win
cmake -S tests/win -B "$build" --toolchain "$PWD/cmake/mingw-w64.cmake" -G Ninja >/dev/null
cmake --build "$build"

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/ostrel-wine.XXXXXX)
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
unset DISPLAY # no windows: the layer's tests need none
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
"$wine" "$build/ostrel_winhost_tests.exe"
