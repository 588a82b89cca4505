#!/usr/bin/env bash
# Builds everything and runs every test: unit tests (again under AddressSanitizer +
# UndefinedBehaviorSanitizer), the header on Qt's offscreen platform, the end-to-end tests against the
# stand-in portal with the real browser engine, 30 s of libFuzzer on each fuzz target and the Windows
# host layer under Wine; beside them the whole suite on Debian 13's engine (Qt 6.8) in a Debian 13
# root; then the packages of both releases, installed into fresh roots of their own.
# Tests run side by side: each end-to-end test process has a network and an X display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
source scripts/lib/engine.sh # the flags the engine needs as root
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(($(nproc) * 2))}

# Debian 13 waits for nothing of Debian 12's: its root, its build and its suite run beside ours.
mkdir -p build
scripts/debian13.sh >build/debian13.log 2>&1 &
debian13=$!
trap 'kill "$debian13" 2>/dev/null || true' EXIT

cmake --preset test >/dev/null
cmake --build --preset test
cmake --preset asan >/dev/null
cmake --build --preset asan --target ostrel_unit_tests
ctest --preset asan
ctest --preset test

echo "== Debian 13 (build/debian13.log)"
if ! wait "$debian13"; then
    cat build/debian13.log
    exit 1
fi
trap - EXIT
grep -E '^(100% tests passed|[0-9]+% tests passed|Total Test time)' build/debian13.log
scripts/packages.sh
