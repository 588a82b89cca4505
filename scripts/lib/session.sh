# Shared by the run and screenshot scripts: build the stand-in build, start the stand-in portal,
# and, without a display, an X server with a window manager. Everything started is ended on exit.

build=build/standin
cmake --preset standin >/dev/null
cmake --build --preset standin

# Qt WebEngine will not start as root with its sandbox on. With the sandbox off, a renderer started
# after two pages have been deleted never comes up ("Failed to send Reap message to zygote"):
# --no-zygote starts each renderer directly.
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
    export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu --no-zygote}"
fi
export QT_LOGGING_RULES="${QT_LOGGING_RULES:-qt.webenginecontext.info=false}"

pids=()
# The program first, the X server last.
cleanup() { for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done; }
trap cleanup EXIT

# Options for the stand-in (--status ROLE=CODE ...) may be given; standin holds its PID.
start_standin() {
    log="$build/standin-requests.jsonl"
    [ -e "$log" ] && [ -n "${keep_log:-}" ] || : >"$log"
    mapfile -t roles <"$build/standin-args.txt"
    : >"$build/standin.out"
    "$build/tools/standin-portal/ostrel-standin" --log "$log" "$@" "${roles[@]}" >"$build/standin.out" &
    standin=$!
    pids+=($standin)
    for _ in $(seq 100); do grep -q ready "$build/standin.out" && break; sleep 0.1; done
    grep -q ready "$build/standin.out" || { echo "The stand-in portal did not start." >&2; exit 1; }
    echo "Stand-in portal: ${roles[0]#*=} (requests logged to $log)"
}

start_x() {
    display=":$((90 + RANDOM % 100))"
    Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY="$display"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    # A window manager, so that the window can come up maximised; Qt asks it only if it runs first.
    openbox >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q '#' && break; sleep 0.1; done
}

# Runs the program in the background and waits until start-up has asked for the portal page.
start_program() {
    "$build/src/ostrel-web" "$@" &
    program=$!
    pids+=("$program")
    for _ in $(seq 300); do grep -q '"method":"GET","path":"/","query":"version=' "$log" && break; sleep 0.1; done
    sleep 3 # time to draw the page
}

print_requests() {
    echo "The stand-in portal received (time in ms, method, target, body):"
    sed -n 's/^{"t_ms":\([0-9]*\),.*"method":"\([A-Z]*\)",.*"target":"\([^"]*\)",.*"body":"\(.*\)"}$/  \1 \2 \3 \4/p' "$log"
}
