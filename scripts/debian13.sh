#!/usr/bin/env bash
# Builds the test preset and runs its whole suite against Debian 13's Qt 6.8 (Chromium 122 core),
# inside the Debian 13 root of scripts/lib/debian13.sh, on the sources as committed (HEAD), in a
# network of its own; its tests side by side as on Debian 12 (CTEST_PARALLEL_LEVEL).
#   scripts/debian13.sh [ctest arguments ...]
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@" # making and entering a root takes root
scripts/deps.sh
source scripts/lib/debian13.sh

debian13_make
debian13_sources
debian13_run "source scripts/lib/engine.sh; cmake --preset test >/dev/null; cmake --build --preset test
              CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(($(nproc) * 2))} ctest --preset test$(printf ' %q' "$@")"
