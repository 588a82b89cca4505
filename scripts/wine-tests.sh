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
    [ -z "${standin:-}" ] || kill "$standin" 2>/dev/null || true
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

# Loopback servers for the probe: the stand-in portal (built by the main build), one role that
# answers and one that accepts and never answers.
log="$WINEPREFIX/standin.jsonl"
build/test/tools/standin-portal/ostrel-standin --log "$log" --status gateway1=hang \
    portal=http://127.0.0.1:47301 gateway1=http://127.0.0.1:47302 >"$WINEPREFIX/standin.out" &
standin=$!
for _ in $(seq 100); do grep -q ready "$WINEPREFIX/standin.out" && break; sleep 0.1; done
export OSTREL_PROBE_BASE=http://127.0.0.1:47301 OSTREL_PROBE_HANG=http://127.0.0.1:47302/vpn/index.html
export OSTREL_PROBE_LOG="Z:${log//\//\\}"
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
"$wine" "$build/ostrel_winhost_tests.exe"
