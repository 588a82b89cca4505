# Shared by the run, screenshot, soak, closes and bench scripts: build the stand-in build (or the
# build of the preset in $preset), start the stand-in portal, and, without a display, an X server
# with a window manager. Everything started is ended on exit.

preset=${preset:-standin}
build=build/$preset
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

source scripts/lib/engine.sh # the flags the engine needs as root
source scripts/lib/standin.sh
export QT_LOGGING_RULES="${QT_LOGGING_RULES:-qt.webenginecontext.info=false}"

pids=()
# The program first, the X server last.
cleanup() { for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done; }
trap cleanup EXIT

# Options for the stand-in (--status ROLE=CODE ...) may be given; standin holds its PID. A role
# named in $without_role is left out, so that its port refuses connections.
start_standin() {
    log="$build/standin-requests.jsonl"
    [ -e "$log" ] && [ -n "${keep_log:-}" ] || : >"$log"
    mapfile -t roles < <(grep -v "^${without_role:-}=" "$build/standin-args.txt")
    standin_start "$build" "$log" "$@" "${roles[@]}" || exit 1
    pids+=($standin)
    echo "Stand-in portal: ${roles[0]#*=} (requests logged to $log)"
}

start_x() { # [WIDTHxHEIGHT], 1920x1080 unless given
    display=":$((90 + RANDOM % 100))"
    Xvfb "$display" -screen 0 "${1:-1920x1080}x24" -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY="$display"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    # A window manager, so that the window can come up maximised; Qt asks it only if it runs first.
    openbox >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q '#' && break; sleep 0.1; done
}

# True once start-up has asked the stand-in for the version-stamped portal page.
started_up() { grep -q '"method":"GET","path":"/","query":"version=' "$log"; }

# Runs the program in the background and waits until start-up has asked for the portal page.
start_program() {
    "$build/src/ostrel-web" "$@" &
    program=$!
    pids+=("$program")
    for _ in $(seq 300); do started_up && break; sleep 0.1; done
    sleep 3 # time to draw the page
}

# Proportional set size of a process and all its descendants, in kB.
pss_tree() {
    local total=0 p
    for p in $(process_tree "$1"); do
        # A process that has just ended reads as nothing.
        total=$((total + $(awk '/^Pss:/ {kb += $2} END {print kb + 0}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)))
    done
    echo "$total"
}
process_tree() {
    local child
    echo "$1"
    for child in $(pgrep -P "$1"); do process_tree "$child"; done
}

# Where each visible header button and image of the window is on the screen, one "NAME X Y" a line,
# from the program's layout table (right-anchored ones follow the window's right edge).
header_controls() {
    local origin_x origin_y width
    origin_x=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $4}')
    origin_y=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $4}')
    width=$(xwininfo -id "$1" | awk '/Width:/ {print $2}')
    "$build/tools/header-controls/ostrel-header-controls" "$width" | awk -v ox="$origin_x" -v oy="$origin_y" '{print $1, ox + $2, oy + $3}'
}

print_requests() {
    echo "The stand-in portal received (time in ms, method, target, body):"
    sed -n 's/^{"t_ms":\([0-9]*\),.*"method":"\([A-Z]*\)",.*"target":"\([^"]*\)",.*"body":"\(.*\)"}$/  \1 \2 \3 \4/p' "$log"
}
