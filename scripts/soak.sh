#!/usr/bin/env bash
# Soak: a user's day in minutes. Presses the five function keys and clicks every header button,
# ACTIONS times in all (default 1000), against the stand-in portal whose gateways change every
# 100 actions between answering, failing and the primary hanging; answers every message the
# program shows. Prints the memory (PSS) of the program's process tree after a warm-up of 50
# actions and at the end, the messages seen, and whether the window still answers.
#   scripts/soak.sh [ACTIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
actions=${1:-1000}
scripts/deps.sh
source scripts/lib/session.sh
unset DISPLAY # a display of its own: the soak moves the pointer
start_x
start_standin
start_program

window=$(xdotool search --name '^Ostrel Web 6.9$' | head -1)
declare -A at
while read -r name x y; do at[$name]="$x $y"; done < <(header_controls "$window")
buttons=("${!at[@]}")
keys=(F2 F4 F5 F11 F12)

phase() {
    case $(( ($1 / 100) % 3 )) in
    0) echo "answering" ;;
    1) echo "failing" ;;
    2) echo "primary hanging" ;;
    esac
}
restart_standin_for() {
    kill "$standin" 2>/dev/null || true
    wait "$standin" 2>/dev/null || true
    case "$(phase "$1")" in
    answering) keep_log=1 start_standin ;;
    failing) keep_log=1 start_standin --status gateway1=503 --status gateway2=500 ;;
    "primary hanging") keep_log=1 start_standin --status gateway1=hang ;;
    esac
}

# The message an action must bring, if any: the connection problem for the gateway choice while
# both gateways fail, the emptied cache for Refresh.
expected_message() {
    case "$1" in
    F2 | BtnOWS) [ "$2" = failing ] && echo connection ;;
    JvTransparentButton1) echo cache ;;
    esac
    return 0
}

start=$(date +%s)
warm=0
declare -A seen=([connection]=0 [cache]=0 [unexpected]=0 [missing]=0)
for ((i = 0; i < actions; i++)); do
    ((i % 100 == 0)) && restart_standin_for "$i"
    if ((i % 3 == 0)); then
        action=${keys[$((i / 3 % ${#keys[@]}))]}
        xdotool windowfocus --sync "$window" key "$action" 2>/dev/null || true
    else
        action=${buttons[$((i % ${#buttons[@]}))]}
        read -r x y <<<"${at[$action]}"
        xdotool mousemove "$x" "$y" click 1 2>/dev/null || true
    fi
    want=$(expected_message "$action" "$(phase "$i")")
    # A message comes at once, or after the gateways' time when the primary hangs.
    got=0
    limit=3
    [ -n "$want" ] && limit=120
    for ((wait = 0; wait < limit; wait++)); do
        # Only shown windows count (X keeps unmapped ones of the same name); the newest is on top.
        box=$(xdotool search --onlyvisible --name '^Ostrel Web$' 2>/dev/null | tail -1 || true)
        if [ -n "$box" ]; then
            got=1
            while [ -n "$box" ]; do
                xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
                sleep 0.2
                box=$(xdotool search --onlyvisible --name '^Ostrel Web$' 2>/dev/null | tail -1 || true)
            done
            break
        fi
        sleep 0.25
    done 2>/dev/null
    if ((got)) && [ -n "$want" ]; then
        seen[$want]=$((seen[$want] + 1))
    elif ((got)); then
        seen[unexpected]=$((seen[unexpected] + 1))
        echo "unexpected message after $action (action $i)"
    elif [ -n "$want" ]; then
        seen[missing]=$((seen[missing] + 1))
        echo "no message after $action (action $i)"
    fi
    if ((i == 49)); then
        sleep 3
        warm=$(pss_tree "$program")
        echo "after 50 actions: PSS of the program's process tree $((warm / 1024)) MB"
    fi
done
sleep 3
end=$(pss_tree "$program")
growth=$(awk -v a="$warm" -v b="$end" 'BEGIN { if (a > 0) printf "%+.1f %%", (b - a) * 100 / a; else print "n/a (fewer than 50 actions)" }')
echo "after $actions actions ($(($(date +%s) - start)) s): PSS $((end / 1024)) MB, growth since the warm-up $growth"
echo "messages: connection problem ${seen[connection]}, cache emptied ${seen[cache]}, unexpected ${seen[unexpected]}, missing ${seen[missing]}"

# Still there and still answering: F5 reaches the portal.
before=$(grep -c '"target":"/?version=6.9"' "$log" || true)
xdotool windowfocus --sync "$window" key F5
for _ in $(seq 100); do
    [ "$(grep -c '"target":"/?version=6.9"' "$log" || true)" -gt "$before" ] && break
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null && [ "$(grep -c '"target":"/?version=6.9"' "$log" || true)" -gt "$before" ]; then
    echo "the window still answers: F5 reached the portal"
else
    echo "the window no longer answers" >&2
    exit 1
fi
