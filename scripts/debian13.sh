#!/usr/bin/env bash
# Builds the test preset and runs its whole suite against Debian 13's Qt 6.8 (Chromium 122 core),
# inside the Debian 13 root of scripts/lib/debian13.sh, on the sources as committed (HEAD), in a
# network of its own. A test that fails is run once more and counts as passed when it then
# passes; the first failure stays in the output. The two Qt 6.8 faults this was for are mended
# since (a page's first alert answered unseen: webpage.cpp; the header tests' process crashing
# at its end: tests/ui/ui_main.cpp); the second try stays for what the engine may still do on a
# busy machine.
#   scripts/debian13.sh [ctest arguments ...]
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@" # making and entering a root takes root
scripts/deps.sh
source scripts/lib/debian13.sh

debian13_make
debian13_sources
debian13_run --display "source scripts/lib/engine.sh; cmake --preset test >/dev/null; cmake --build --preset test
                        ctest --preset test --repeat until-pass:2$(printf ' %q' "$@")"
