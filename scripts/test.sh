#!/usr/bin/env bash
# Builds everything and runs every test: unit tests, the end-to-end tests against the stand-in
# portal with the real browser engine (under Xvfb when there is no display), the unit tests again
# under AddressSanitizer + UndefinedBehaviorSanitizer, 30 s of libFuzzer on each fuzz target, the
# Windows host layer under Wine; then the whole suite again on Debian 13's engine (Qt 6.8) in a
# Debian 13 root, and the packages of both releases installed into fresh roots of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

source scripts/lib/engine.sh # the flags the engine needs as root

cmake --preset test >/dev/null
cmake --build --preset test
cmake --preset asan >/dev/null
cmake --build --preset asan --target ostrel_unit_tests

run_ctest() {
    if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a -s "-screen 0 1920x1080x24" ctest "$@"
    else
        ctest "$@"
    fi
}
run_ctest --preset asan
scripts/fuzz.sh 30
scripts/wine-tests.sh
run_ctest --preset test
scripts/debian13.sh
scripts/packages.sh
