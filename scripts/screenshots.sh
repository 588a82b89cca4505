#!/usr/bin/env bash
# Screenshots of the window under Xvfb, for checking the header by eye: maximised on a 1920 x 1080
# screen, and restored (1259 x 841 inside the frame); normally and in compact mode ("light").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
source scripts/lib/session.sh

out="$build/screenshots"
mkdir -p "$out"
start_standin
start_x

shoot() { # name, then the program's arguments
    local name=$1
    shift
    : >"$log"
    start_program "$@"
    import -display "$DISPLAY" -window root "$out/$name-maximised.png"
    wmctrl -r "Ostrel Web" -b remove,maximized_vert,maximized_horz
    sleep 1
    import -display "$DISPLAY" -window root "$out/$name-restored.png"
    kill "$program"
    wait "$program" 2>/dev/null || true
}
shoot normal
shoot compact light
echo "Screenshots in $out:"
ls "$out"
