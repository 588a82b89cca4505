#!/usr/bin/env bash
# Screenshots of the window under Xvfb, for checking the header by eye: maximised on a 1920 x 1080
# screen, and restored (1259 x 841 inside the frame); normally and in compact mode ("light"); and
# normally on screens scaled to 125, 150 and 200 % (QT_SCALE_FACTOR), and at 200 % on 1920 x 1080.
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
# On screens scaled to 125, 150 and 200 %, each as large as 1920 x 1080 at that scale.
for scale in 1.25 1.5 2; do
    start_x "$(python3 -c "print(f'{round(1920 * $scale)}x{round(1080 * $scale)}')")"
    QT_SCALE_FACTOR=$scale shoot "scale-$scale"
done
# And at 200 % on a screen of 1920 x 1080: the header takes two rows.
start_x
QT_SCALE_FACTOR=2 shoot scale-2-on-1920
echo "Screenshots in $out:"
ls "$out"
