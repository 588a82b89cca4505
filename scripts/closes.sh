#!/usr/bin/env bash
# Starts the program against the stand-in portal and closes it as a window manager's close button
# does, COUNT times (default 50), each time once the window is on the screen and start-up has asked
# for the version-stamped page. Prints every exit code; fails unless each is 0 within 15 s.
#   scripts/closes.sh [COUNT]              the stand-in build on this machine
#   scripts/closes.sh --debian13 [COUNT]   the test build in the Debian 13 root (after scripts/debian13.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --debian13 ]; then
    shift
    [ "$(id -u)" -eq 0 ] || exec sudo "$0" --debian13 "$@"
    source scripts/lib/debian13.sh
    debian13_sources
    debian13_run "preset=test scripts/closes.sh $(printf ' %q' "$@")"
    exit
fi
count=${1:-50}
source scripts/lib/session.sh
unset DISPLAY # an X server and a window manager of its own
start_x
start_standin

failed=0
for round in $(seq "$count"); do
    : >"$log"
    "$build/src/ostrel-web" >"$build/closes.out" 2>&1 &
    program=$!
    window=
    for _ in $(seq 300); do
        started_up &&
            window=$(xdotool search --onlyvisible --pid "$program" --name '^Ostrel Web' 2>/dev/null | head -1) &&
            [ -n "$window" ] && break
        sleep 0.1
    done
    [ -z "$window" ] || wmctrl -i -c "$window" || true
    code=timeout
    for _ in $(seq 150); do
        kill -0 "$program" 2>/dev/null || { code=0; wait "$program" || code=$?; break; }
        sleep 0.1
    done
    [ "$code" != timeout ] || { kill -9 "$program"; wait "$program" 2>/dev/null; } || true
    echo "close $round: ${window:+window $window, }exit $code"
    if [ "$code" != 0 ]; then
        failed=$((failed + 1))
        sed 's/^/    /' "$build/closes.out"
    fi
done
echo "$((count - failed)) of $count closes ended with exit code 0"
[ "$failed" -eq 0 ]
