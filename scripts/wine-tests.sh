#!/usr/bin/env bash
# The Windows host layer: cross-built with mingw-w64 and run as Windows programs under Wine, in a
# fresh Wine prefix of its own, with every Wine process of that prefix ended afterwards. The stand-in
# portal and the store's reader come from the test build.
#   scripts/wine-tests.sh [TEST_BUILD_DIR]   (default build/test; the test suite's Wine test)
set -euo pipefail
tests=${1:+$(realpath "$1")}
cd "$(dirname "$0")/.."
tests=${tests:-$PWD/build/test}

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
source scripts/lib/standin.sh
standin_start "$tests" "$log" --status gateway1=hang portal=http://127.0.0.1:47301 gateway1=http://127.0.0.1:47302
export OSTREL_PROBE_BASE=http://127.0.0.1:47301 OSTREL_PROBE_HANG=http://127.0.0.1:47302/vpn/index.html
export OSTREL_PROBE_LOG="Z:${log//\//\\}"
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
"$wine" "$build/ostrel_winhost_tests.exe"

# The registry store against Wine's regedit: each file of tests/regedit is imported by regedit and
# exported again; what the store reads from the file must be what it reads from the export.
regdump=$tests/tests/ostrel_regdump
key='HKEY_CURRENT_USER\Software\OstrelTest'
winpath() { echo "Z:$(realpath "$1" | sed 's|/|\\|g')"; }
differ=0 files=0
for file in tests/regedit/*.reg; do
    files=$((files + 1))
    "$wine" reg delete 'HKCU\Software\OstrelTest' /f >/dev/null 2>&1 || true
    # Said, not swallowed: an import that fails (once seen on a machine busy with both suites) is
    # a difference with its reason.
    status=0
    imported=$("$wine" regedit /s "$(winpath "$file")" 2>&1) || status=$?
    if [ "$status" -ne 0 ]; then
        differ=$((differ + 1))
        echo "Wine's regedit did not import $file (status $status): $imported"
        continue
    fi
    exported="$WINEPREFIX/export.reg"
    rm -f "$exported"
    "$wine" regedit /e "$(winpath "$WINEPREFIX")\\export.reg" "$key" >/dev/null 2>&1 || true
    ours=$("$regdump" "$file" 'Software\OstrelTest' || true)
    theirs=$([ -f "$exported" ] && "$regdump" "$exported" 'Software\OstrelTest' || true)
    if [ "$ours" != "$theirs" ]; then
        differ=$((differ + 1))
        echo "The store reads $file otherwise than Wine's regedit imports it:"
        diff <(echo "$ours") <(echo "$theirs") | sed 's/^/    /' || true
    fi
done
echo "$((files - differ)) of $files .reg files read as Wine's regedit imports them"
[ "$differ" -eq 0 ]
