#!/usr/bin/env bash
# Builds the program pointed at the stand-in portal, starts the stand-in on 127.0.0.1 and runs the
# program. Without a display it runs under Xvfb and saves a screenshot of the window after start-up.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
source scripts/lib/session.sh

start_standin
if [ -n "${DISPLAY:-}" ]; then
    "$build/src/ostrel-web" "$@"
    exit $?
fi

echo "No display: running under Xvfb, and saving a screenshot of the window after start-up."
start_x
start_program "$@"
shot="$build/screenshot.png"
import -display "$DISPLAY" -window root "$shot"
echo "Screenshot: $shot"
print_requests
