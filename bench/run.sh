#!/usr/bin/env bash
# Benchmark: the program against a bare QWebEngineView (the engine's floor) and Chromium, on two
# engines: this machine's Debian 12 (Qt 6.4, Chromium 102 core) against Debian 12's chromium, then
# Debian 13's Qt 6.8 (Chromium 122 core) inside the Debian 13 root of scripts/lib/debian13.sh against
# Debian 13's chromium. Each program opens the stand-in portal's bench page under one Xvfb with
# openbox. Measured:
# - start-up to the page's image (for the program: to its version-stamped page less its 2000 ms
#   pause, and to the first page, the answer to its POST) and the memory of the whole process tree
#   3 s after, for all three; for the program and the bare view, the memory again 10 s after;
# - the morning's start: the start-up to the first page's image right after the page cache was
#   dropped (sync, then 3 to /proc/sys/vm/drop_caches), so that the program, its libraries and the
#   engine's files come from the disk as at the first start after the machine booted; the X
#   server, the window manager and the stand-in run on and stay in memory, as the desktop does;
# - for the program alone, how long F2, F5 and the Refresh button take to do their work, then its
#   memory growth over 200 reloads and 50 popups (100 and 25 on Debian 13, to keep the run short);
# - for the program alone, its own process's memory on its page, with a page of 10,000 frames and
#   10 s after Home left it, and how soon Home's POST goes while that page loads and once it has;
# - start-up and memory of the program with the page's accessibility off
#   (QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY=0) and while a screen reader listens over AT-SPI on a
#   session bus of the bench's own.
# A figure is the median of ROUNDS rounds (default 7) taken in turn (program, page accessibility off,
# screen reader, bare, Chromium, program, ...) after a warm-up round that is not counted; then
# ROUNDS rounds of the morning's start (program, bare, Chromium, program, ...).
# Debian 12 measures build/standin, built from the working tree; Debian 13 the committed sources
# (HEAD), copied to /work/bench in the root and built there. Takes root (the page cache, the root).
# Then bench/crosscheck.py takes start-up and memory again, another way, to check these figures.
# The tables go to stdout and to build/bench/results.txt; progress goes to stderr.
#   bench/run.sh [ROUNDS]
# Only the engine of the system it runs on (what runs inside the root), its samples and notes in
# build/bench/{samples,about}.txt and its table on stdout; RELOADS and POPUPS default to 200 and 50:
#   bench/run.sh --here [ROUNDS [RELOADS POPUPS]]
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo bench/run.sh "$@"
here=
[ "${1:-}" != --here ] || { here=1; shift; }
rounds=${1:-7} reloads=${2:-200} popups=${3:-50}
if ! [[ $rounds =~ ^[1-9][0-9]*$ && $reloads =~ ^[0-9]+$ && $popups =~ ^[0-9]+$ ]] || { [ -z "$here" ] && (($# > 1)); }; then
    echo "usage: $0 [ROUNDS] | --here [ROUNDS [RELOADS POPUPS]]" >&2
    exit 2
fi
((rounds >= 7)) || echo "Only $rounds rounds: medians of fewer than 7 are a check of the harness, not figures." >&2
out=build/bench
exec 3>&1 1>&2 # stdout is for the tables alone

# Both engines: this machine's, then the root's, each by this script with --here; then the tables.
if [ -z "$here" ]; then
    began=$SECONDS
    scripts/deps.sh
    # tcpdump: bench/crosscheck.py's clock.
    for package in chromium tcpdump; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' && continue
        echo "Installing Debian's $package"
        DEBIAN_FRONTEND=noninteractive apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package" >/dev/null
    done
    rm -rf "$out/debian12" "$out/debian13"
    mkdir -p "$out/debian12" "$out/debian13"

    echo "== Debian 12: this machine's Qt WebEngine"
    rm -f "$out/samples.txt" "$out/about.txt"
    bench/run.sh --here "$rounds" >/dev/null
    mv "$out/samples.txt" "$out/about.txt" "$out/debian12/"

    echo "== Debian 13: Qt WebEngine in the root"
    source scripts/lib/debian13.sh
    debian13_make
    if [ ! -x "$debian13_root/usr/bin/chromium" ]; then
        echo "Installing Debian 13's chromium in the root"
        debian13_run --network "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends chromium >/dev/null"
    fi
    # Another engineer's scripts build and test in the root's /work/src: the bench has its own folder.
    src=$debian13_root/work/bench
    debian13_sources /work/bench
    rm -f "$src/$out/samples.txt" "$src/$out/about.txt"
    # The machine's /proc goes to build/host-proc, where the bench sees the processes outside its
    # PID namespace that hold the same engine (see engine_sharers), in a mount namespace of this
    # run's own that ends with it.
    mkdir -p "$src/build/host-proc"
    # shellcheck disable=SC2016 # expanded by the inner bash
    unshare --mount --propagation private bash -c '
        set -e
        mount --bind /proc "$1/build/host-proc"
        source scripts/lib/debian13.sh
        debian13_run "$2"
    ' bench "$src" "cd /work/bench; BENCH_HOST_PROC=/work/bench/build/host-proc bench/run.sh --here $rounds 100 25 >/dev/null"
    cp "$src/$out/samples.txt" "$src/$out/about.txt" "$out/debian13/"

    echo "== Both engines under one X server, measured the second way (bench/crosscheck.py)"
    python3 bench/crosscheck.py "$rounds" >/dev/null
    {
        echo "bench/run.sh $rounds, both engines, took $(((SECONDS - began + 30) / 60)) min in all (building included)"
        python3 bench/table.py "$out/debian12" "$out/debian13"
        echo
        cat "$out/crosscheck/results.txt"
    } | tee "$out/results.txt" >&3
    exit 0
fi

command -v chromium >/dev/null || { echo "No chromium here: bench/run.sh without --here installs it." >&2; exit 1; }
began=$SECONDS
source scripts/lib/session.sh # builds the program; starts, and on exit ends, the stand-in and X
cmake -S bench -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out"
ours=$build/src/ostrel-web
bare=$out/bare/bench-bare
# The engine's floor takes the path the program takes on this machine: without a graphics device,
# Qt Quick's software renderer and no OpenGL at all.
bare_cmd=("$bare")
if ! compgen -G '/dev/dri/card*' >/dev/null && ! compgen -G '/dev/dri/renderD*' >/dev/null && [ ! -e /dev/nvidia0 ]; then
    bare_cmd=(env QT_QUICK_BACKEND=software QT_XCB_GL_INTEGRATION=none "$bare")
fi
xwait=$out/xwait/bench-xwait
page='http://127.0.0.1:47101/?version=6.9'
samples=$out/samples.txt
: >"$samples"
rm -rf "$out/logs"
mkdir -p "$out/logs"

pid= # the program being measured
home=
helper= # a bench-xwait waiting for a window
a11y_runtime= # the accessibility bus's folder
finish() {
    [ -z "$helper" ] || kill "$helper" 2>/dev/null || true
    stop_run
    cleanup
    [ -z "$a11y_runtime" ] || rm -rf "$a11y_runtime"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

unset DISPLAY # a display of our own
for attempt in 1 2 3; do
    start_x
    # start_x takes a display number at random, which another X server may hold already.
    kill -0 "${pids[-2]}" 2>/dev/null && kill -0 "${pids[-1]}" 2>/dev/null && break
    ((attempt < 3)) || { echo "No X server with a window manager could be started." >&2; exit 1; }
done
echo "Xvfb and openbox on $DISPLAY"
# Without the primary gateway its port refuses connections: F2 falls back on the secondary.
without_role=gateway1 start_standin --bench-page
exec 4<"$log" # the stand-in's log, read as the requests arrive
# One xdotool for the timed keys and clicks, reading its commands as they come: a new xdotool per
# key would put its own start (some 20 ms on a busy machine) into every figure.
rm -f "$out/input"
mkfifo "$out/input"
xdotool - <"$out/input" &
pids+=($!)
exec 5>"$out/input"

# What a blind user's desktop runs, for the program's screen-reader runs alone: a session bus of the
# bench's own with the accessibility bus on it, and a screen reader's ears registered on that
# (tests/e2e/atspi_listener.py). Sets a11y_session, the session bus's address. Every process is
# ended by its PID on exit.
start_screen_reader() {
    local reply registry _
    {
        read -r a11y_session
        read -r reply
    } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    pids+=("$reply")
    a11y_runtime=$(mktemp -d)
    # The launcher's socket is $XDG_RUNTIME_DIR/at-spi/bus, shared with every other launcher of the
    # user's; and with DISPLAY it publishes the bus on the root window (AT_SPI_BUS), where Chromium
    # and the engine's floor would find it: neither is given to it.
    env -u DISPLAY XDG_RUNTIME_DIR="$a11y_runtime" DBUS_SESSION_BUS_ADDRESS="$a11y_session" \
        /usr/libexec/at-spi-bus-launcher --launch-immediately >"$out/logs/at-spi-bus-launcher.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        reply=$(DBUS_SESSION_BUS_ADDRESS=$a11y_session dbus-send --session --print-reply --dest=org.a11y.Bus \
            /org/a11y/bus org.a11y.Bus.GetAddress 2>/dev/null) && break
        sleep 0.1
    done
    local bus children
    bus=$(sed -n 's/^ *string "\(.*\)"$/\1/p' <<<"$reply")
    [ -n "$bus" ] ||
        { echo "The accessibility bus did not come up (see $out/logs/at-spi-bus-launcher.log)." >&2; exit 1; }
    # The accessibility bus is the launcher's child.
    mapfile -t children < <(pgrep -P "${pids[-1]}")
    pids+=("${children[@]}")
    # /usr/bin's: the PATH's python3 may be one without pyatspi.
    DBUS_SESSION_BUS_ADDRESS=$a11y_session /usr/bin/python3 tests/e2e/atspi_listener.py \
        "$out/logs/screen-reader-keys.log" >"$out/logs/screen-reader.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do grep -q listening "$out/logs/screen-reader.log" && break; sleep 0.1; done
    grep -q listening "$out/logs/screen-reader.log" ||
        { echo "The screen reader did not register (see $out/logs/screen-reader.log)." >&2; exit 1; }
    # The registry is started by D-Bus for the reader and is no one's child: it outlives both buses.
    registry=$(dbus-send --bus="$bus" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:org.a11y.atspi.Registry | awk '/uint32/ {print $2}' ||
        true)
    [ -n "$registry" ] || { echo "No AT-SPI registry on the accessibility bus." >&2; exit 1; }
    pids+=("$registry")
    echo "Screen reader listening on the session bus $a11y_session"
}
start_screen_reader

# REPLY: the Unix time in ms.
now_ms() {
    local t=${EPOCHREALTIME/[.,]/}
    REPLY=$((t / 1000))
}

# A pause of $1 s that starts no process: the waits below run while a program starts, and a sleep
# forked 50 times a second would take CPU from it.
exec {pause_fd}<> <(:) # a pipe no one writes to
pause() { read -r -t "$1" -u "$pause_fd" || true; }

# Forgets the requests logged so far.
skip_requests() {
    while IFS= read -r _ <&4; do :; done
}

# Waits for the next request whose log line contains $1 (or $3, when given), until the Unix time $2
# (ms); t_ms is then the time the stand-in logged for it, and matched 1 or 3: the pattern it
# matched. Requests before it are passed over.
next_request() {
    local line partial=""
    while :; do
        if IFS= read -r line <&4; then
            line=$partial$line
            partial=""
            matched=1
            [[ $line == *"$1"* ]] || { [ -n "${3:-}" ] && [[ $line == *"$3"* ]] && matched=3; } || continue
            t_ms=${line#'{"t_ms":'}
            t_ms=${t_ms%%,*}
            return 0
        else
            partial+=$line # the stand-in is still writing this line
            now_ms
            ((REPLY < $2)) || return 1
            pause 0.02
        fi
    done
}

sleep_until() {
    now_ms
    local left=$(($1 - REPLY))
    ((left <= 0)) || sleep "$((left / 1000)).$(printf %03d $((left % 1000)))"
}

# One measurement: round, figure, program, value (or "failed").
sample() { echo "$*" >>"$samples"; }

# A new folder for the next program's home and XDG folders (and Chromium's profile).
fresh_home() {
    home=$(mktemp -d)
    mkdir -m 700 "$home"/{home,config,cache,data,runtime}
}

# Starts a program in the folders of fresh_home, logging its output to $out/logs/$1.log. Sets pid,
# and started: the Unix time in ms just before the program's exec.
launch() {
    local name=$1
    shift
    (
        export HOME=$home/home XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache \
            XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/runtime
        exec {pause_fd}<&- 4<&- 5>&-
        echo "${EPOCHREALTIME/[.,]/}" >"$home/exec-us"
        exec "$@"
    ) >"$out/logs/$name.log" 2>&1 &
    pid=$!
    until [ -s "$home/exec-us" ]; do pause 0.01; done
    started=$(($(cat "$home/exec-us") / 1000))
}

# Ends the program and every process it started, then removes its folders. The program is asked
# first, so that it ends its own helpers; what is left after 5 s is ended too.
stop_run() {
    [ -n "$pid" ] || return 0
    local tree signal
    tree=$(process_tree "$pid")
    kill "$pid" 2>/dev/null || true
    for signal in TERM KILL; do
        for _ in $(seq 50); do
            # shellcheck disable=SC2086 # one PID a word
            kill -0 $tree 2>/dev/null || break 2
            sleep 0.1
        done
        # shellcheck disable=SC2086
        kill -"$signal" $tree 2>/dev/null || true
    done
    wait "$pid" 2>/dev/null || true
    rm -rf "$home"
    # What the program wrote goes to the disk now, not during the next one's start.
    sync
    pid=
}

# Starts bench-xwait with the arguments after $1, its output going to $1, and waits until it
# listens. helper holds its PID.
start_waiter() {
    local output=$1
    shift
    : >"$output"
    "$xwait" "$@" >"$output" &
    helper=$!
    until grep -q ready "$output" || ! kill -0 "$helper" 2>/dev/null; do sleep 0.01; done
}

# The program's own messages ("Ostrel Web"), answered with Return, the newest first.
close_messages() {
    local box
    while box=$(xdotool search --onlyvisible --name '^Ostrel Web$' 2>/dev/null | tail -1) && [ -n "$box" ]; do
        xdotool windowactivate --sync "$box" key Return 2>/dev/null || true
        sleep 0.2
    done
}

# Presses and releases a key, or with "mouse" the left mouse button, in the window; pressed is the
# Unix time in ms just before the release.
press() {
    local down="keydown $2" up="keyup $2"
    [ "$2" != mouse ] || { down="mousedown 1"; up="mouseup 1"; }
    xdotool windowactivate --sync "$1" 2>/dev/null || true
    echo "$down" >&5
    sleep 0.1
    now_ms
    pressed=$REPLY
    echo "$up" >&5
}

# A click on the window's header control $2, and how long the request that matches $3 took to reach
# the stand-in after it: the sample "$4 $5 ours MS".
click_and_time() { # window control pattern round figure
    local x y
    read -r x y < <(header_controls "$1" | awk -v control="$2" '$1 == control {print $2, $3}')
    xdotool mousemove "$x" "$y"
    skip_requests
    press "$1" mouse
    if next_request "$3" $((pressed + 30000)); then
        sample "$4 $5 ours $((t_ms - pressed))"
    else
        sample "$4 $5 ours failed"
    fi
}

# The file of the engine the program links, as /proc/PID/maps names it: "MAJOR:MINOR INODE" (the
# path would not do: a process of another mount namespace shows the root's files by their path on
# the machine). Debian 12's and Debian 13's engines are different files, shared by no process of
# the other.
engine_lib=$(readlink -f "$(ldd "$ours" | awk '$1 ~ /^libQt6WebEngineCore/ {print $3}')")
engine_file=$(stat -L -c '%Hd %Ld %i' "$engine_lib" | { read -r major minor inode; printf '%02x:%02x %s' "$major" "$minor" "$inode"; })
# The machine's processes: inside the Debian 13 root, /proc shows the bench's PID namespace alone,
# and the run mounts the machine's /proc at BENCH_HOST_PROC.
proc=${BENCH_HOST_PROC:-/proc}
own_namespace=$(readlink /proc/self/ns/pid)

# The processes that map this engine outside the tree of the PID given (all of them without one),
# one PID a line: this bench's own, or another program's on the machine, such as a test (by its PID
# on the machine when it is outside the bench's PID namespace).
engine_sharers() { # [PID]
    local tree map p
    tree=" $([ -z "${1:-}" ] || process_tree "$1" | tr '\n' ' ') "
    { grep -lF " $engine_file " "$proc"/[0-9]*/maps 2>/dev/null || true; } | while read -r map; do
        p=${map%/maps}
        p=${p##*/}
        if [ "$proc" != /proc ]; then
            if [ "$(readlink "$proc/$p/ns/pid" 2>/dev/null)" != "$own_namespace" ]; then
                echo "$p (machine)"
                continue
            fi
            p=$(awk '$1 == "NSpid:" {print $NF}' "$proc/$p/status" 2>/dev/null) || continue
        fi
        [[ $tree == *" $p "* ]] || echo "$p"
    done
}

# PSS divides a shared page among every process on the machine that maps it: while another Qt
# WebEngine program runs, a Qt WebEngine tree reads some 65 MB low; and the engine's files it maps
# stay in the page cache. Waits up to 60 s for the others to end.
wait_engine_alone() {
    [ -n "$(engine_sharers)" ] || return 0
    echo "  waiting for other processes of this Qt WebEngine to end: $(engine_sharers | tr '\n' ' ')"
    now_ms
    local deadline=$((REPLY + 60000))
    while [ -n "$(engine_sharers)" ]; do
        now_ms
        ((REPLY < deadline)) || { echo "  still running after 60 s: $(engine_sharers | tr '\n' ' ')"; return 0; }
        sleep 0.5
    done
}

# Start-up until the page has asked for its image, 30 s at most; then the memory 3 s after that.
# For the program (ours, ours_noa11y, ours_at), the image of the version-stamped page that follows
# the start-up's POST and its 2000 ms pause, which is taken off ("startup"), and the image of the
# POST's answer, the first page on the screen ("first"; for the others the same as "startup"):
# taking the pause off also takes off what the engine does meanwhile, such as starting the page's
# renderer. For ours_at the screen reader then reads the page's tree once: with no heading in it
# the engine built none, and the sample fails. A memory taken while another process of this engine
# ran is "memory_shared", not "memory".
measure_start() { # round, name, command...
    local round=$1 name=$2 startup first='' memory memory_figure=memory sharers headings
    shift 2
    wait_engine_alone
    skip_requests
    launch "$name-$round" "$@"
    local deadline=$((started + 30000))
    if [[ $name == ours* ]] &&
        next_request '"path":"/bench/image.png"' "$deadline" '"target":"/?version=6.9"' && ((matched == 1)); then
        first=$((t_ms - started))
        next_request '"target":"/?version=6.9"' "$deadline" || true
    fi
    if ! next_request '"path":"/bench/image.png"' "$deadline"; then
        echo "  $name did not load the page within 30 s (output: $out/logs/$name-$round.log)"
        sample "$round startup $name failed"
        sample "$round first $name failed"
        sample "$round memory $name failed"
        return 1
    fi
    if [[ $name == ours* ]]; then
        startup=$((t_ms - started - 2000))
    else
        startup=$((t_ms - started))
        first=$startup
    fi
    sleep_until $((t_ms + 3000))
    memory=$(pss_tree "$pid")
    sharers=
    ! grep -qF " $engine_file " "/proc/$pid/maps" 2>/dev/null || sharers=$(engine_sharers "$pid" | tr '\n' ' ')
    if [ -n "$sharers" ]; then
        echo "  memory shared with other processes of this Qt WebEngine ($sharers): left out of the median"
        memory_figure=memory_shared
    fi
    if [ "$name" = ours_at ]; then
        headings=$(DBUS_SESSION_BUS_ADDRESS=$a11y_session timeout 60 /usr/bin/python3 tests/e2e/atspi_tree.py \
            tree ostrel-web 2>>"$out/logs/$name-$round.log" | grep -c '"role": "heading"' || true)
        echo "  the screen reader found ${headings:-0} heading(s) in the program's tree"
        sample "$round headings $name ${headings:-0}"
        if ((${headings:-0} == 0)); then
            echo "  !!! NO HEADING: the engine built no tree for the screen reader; round $round of $name failed"
            sample "$round startup $name failed"
            sample "$round first $name failed"
            sample "$round memory $name failed"
            return 1
        fi
    fi
    sample "$round startup $name $startup"
    sample "$round first $name ${first:-failed}"
    sample "$round $memory_figure $name $memory"
    # Again 10 s after, for the program and its floor: the engine keeps the raster tiles of the
    # program's first page, which its second replaced at about 2.1 s, for 5 s.
    if [ "$name" = ours ] || [ "$name" = bare ]; then
        sleep_until $((t_ms + 10000))
        sample "$round ${memory_figure/memory/memory10} $name $(pss_tree "$pid")"
    fi
}

# The morning's start: the start-up to the first page's image ("first" of measure_start; 60 s at
# most) right after the page cache was dropped, without the memory. A start while another process
# of this engine ran, which holds the engine's files in the cache, is "morning_shared", not "morning".
measure_morning() { # round, name, command...
    local round=$1 name=$2 figure=morning before sharers=
    shift 2
    wait_engine_alone
    skip_requests
    sync
    echo 3 >/proc/sys/vm/drop_caches
    before=$(engine_sharers | tr '\n' ' ')
    launch "$name-morning-$round" "$@"
    if ! next_request '"path":"/bench/image.png"' $((started + 60000)); then
        echo "  $name did not load the page within 60 s (output: $out/logs/$name-morning-$round.log)"
        sample "$round morning $name failed"
        return 1
    fi
    ! grep -qF " $engine_file " "/proc/$pid/maps" 2>/dev/null || sharers=$before$(engine_sharers "$pid" | tr '\n' ' ')
    if [ -n "$sharers" ]; then
        echo "  the engine's files were in use by other processes ($sharers): left out of the median"
        figure=morning_shared
    fi
    sample "$round $figure $name $((t_ms - started))"
}

# Chromium's command in the folders of fresh_home, in the array chromium. As root Chromium refuses to
# start with its sandbox. It runs under Xvfb without --disable-gpu. Its "[: N: unexpected operator"
# comes from Debian's launcher (/etc/chromium.d/dev-shm) where /dev/shm is mounted twice: harmless.
chromium_command() {
    chromium=(chromium --app="$page" --no-first-run --disable-background-networking --disable-component-update
        --disable-sync --user-data-dir="$home/chromium" --no-sandbox)
}

# F2, F5 and the Refresh button in the program's window, timed from the release of the key or the
# mouse button to what the stand-in (or the screen) sees of their work.
measure_freezes() { # round
    local round=$1 window x y soon
    window=$(xdotool search --onlyvisible --name '^Ostrel Web 6.9$' | head -1)

    skip_requests
    press "$window" F2
    soon=$((pressed + 30000))
    if next_request '"port":47111,"roles":["gateway2"],"method":"GET","path":"/vpn/index.html","query":"",' "$soon"; then
        sample "$round f2_probe ours $((t_ms - pressed))"
        if next_request '"path":"/vpn/index.html","query":"version=' "$soon"; then
            sample "$round f2_page ours $((t_ms - pressed))"
        else
            sample "$round f2_page ours failed"
        fi
    else
        sample "$round f2_probe ours failed"
        sample "$round f2_page ours failed"
    fi
    close_messages

    skip_requests
    press "$window" F5
    soon=$((pressed + 30000))
    if next_request '"target":"/?version=6.9"' "$soon"; then
        sample "$round f5_page ours $((t_ms - pressed))"
        if next_request '"target":"/?version=6.9"' "$soon"; then
            sample "$round f5_reload ours $((t_ms - pressed - 1000))"
        else
            sample "$round f5_reload ours failed"
        fi
    else
        sample "$round f5_page ours failed"
        sample "$round f5_reload ours failed"
    fi
    next_request '"path":"/bench/image.png"' "$soon" || true

    read -r x y < <(header_controls "$window" | awk '$1 == "JvTransparentButton1" {print $2, $3}')
    xdotool mousemove "$x" "$y"
    # Listening to the window manager before the click, to note when the message arrives.
    start_waiter "$out/message" new 'Ostrel Web' 30000
    press "$window" mouse
    if wait "$helper"; then
        sample "$round refresh ours $(($(tail -1 "$out/message") - pressed))"
    else
        sample "$round refresh ours failed"
    fi
    close_messages

    # The page's script never ends ("h" in the bench page, typed into it once it is back after
    # the Refresh): Formulieren must still get through.
    now_ms
    next_request '"path":"/bench/image.png"' $((REPLY + 10000)) || true
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool windowactivate --sync "$window" mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1 key h
    sleep 0.5
    click_and_time "$window" BtnFormulieren '"path":"/download/download.asp"' "$round" hung_forms
}

load_start=$(cut -d' ' -f1-3 /proc/loadavg) # the machine may be busy with more than this
date_start=$(date -u '+%Y-%m-%d %H:%M UTC')
# How fast the disk under the morning's start is: Chromium's program file (no process maps it now),
# read right after the page cache was dropped. A virtual machine's disk may come from its host's
# cache and read much faster than a desktop's.
disk_file=$(readlink -f /usr/lib/chromium/chromium)
sync
echo 3 >/proc/sys/vm/drop_caches
now_ms
disk_ms=$REPLY
cat "$disk_file" >/dev/null
now_ms
disk_ms=$((REPLY - disk_ms))
disk_mb=$(($(stat -c %s "$disk_file") / 1048576))
echo "After a drop of the page cache, $disk_mb MB read in $disk_ms ms"

for ((round = 0; round <= rounds; round++)); do
    if ((round == 0)); then echo "Warm-up round (not counted)"; else echo "Round $round of $rounds"; fi
    echo "  the program"
    fresh_home
    measure_start "$round" ours "$ours" && measure_freezes "$round"
    stop_run
    echo "  the program, page accessibility off"
    fresh_home
    measure_start "$round" ours_noa11y env QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY=0 "$ours" || true
    stop_run
    echo "  the program, a screen reader listening"
    fresh_home
    measure_start "$round" ours_at env DBUS_SESSION_BUS_ADDRESS="$a11y_session" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        "$ours" || true
    stop_run
    echo "  bare QWebEngineView"
    fresh_home
    measure_start "$round" bare "${bare_cmd[@]}" "$page" || true
    stop_run
    echo "  Chromium"
    fresh_home
    chromium_command
    measure_start "$round" chromium "${chromium[@]}" || true
    stop_run
done
# After the warm rounds: a start right after a drop finds the other programs' files gone too, and
# a warm start after it would read them from the disk again.
for ((round = 1; round <= rounds; round++)); do
    echo "The morning's start (page cache dropped), round $round of $rounds: the program, bare QWebEngineView, Chromium"
    fresh_home
    measure_morning "$round" ours "$ours" || true
    stop_run
    fresh_home
    measure_morning "$round" bare "${bare_cmd[@]}" "$page" || true
    stop_run
    fresh_home
    chromium_command
    measure_morning "$round" chromium "${chromium[@]}" || true
    stop_run
done

# The program's memory after its page first loaded, and again after $reloads reloads with F5 and
# $popups popups that the page opens (the key "p") and that close themselves. A memory taken while
# another process of this engine ran is noted ("growth shared").
growth_memory() { # figure
    sample "growth $1 ours $(pss_tree "$pid")"
    [ -z "$(engine_sharers "$pid")" ] || sample "growth shared ours 1"
}
measure_growth() {
    local window x y soon done_reloads=0 done_popups=0
    fresh_home
    wait_engine_alone
    skip_requests
    launch growth "$ours"
    soon=$((started + 30000))
    if ! next_request '"target":"/?version=6.9"' "$soon" || ! next_request '"path":"/bench/image.png"' "$soon"; then
        echo "  the program did not load the page within 30 s"
        return 1
    fi
    sleep_until $((t_ms + 3000))
    growth_memory first
    window=$(xdotool search --onlyvisible --name '^Ostrel Web 6.9$' | head -1)
    for ((i = 0; i < reloads; i++)); do
        press "$window" F5
        soon=$((pressed + 30000))
        next_request '"target":"/?version=6.9"' "$soon" && next_request '"target":"/?version=6.9"' "$soon" &&
            next_request '"path":"/bench/image.png"' "$soon" || break
        done_reloads=$((i + 1))
        ((done_reloads % 50)) || echo "  $done_reloads reloads"
    done
    sample "growth reloads ours $done_reloads"
    # A click on the page's text gives the page the focus, so that it gets the key.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    x=$((X + WIDTH / 2))
    y=$((Y + HEIGHT / 2))
    for ((i = 0; i < popups; i++)); do
        # Listening before the key, so that even a popup that comes and goes at once is seen.
        start_waiter "$out/popup" count 2 30000
        xdotool windowactivate --sync "$window" mousemove "$x" "$y" click 1 key p
        now_ms
        soon=$((REPLY + 30000))
        wait "$helper" || break
        next_request '"path":"/bench/popup"' "$soon" || break
        "$xwait" count 1 30000 >/dev/null || break
        done_popups=$((i + 1))
        ((done_popups % 10)) || echo "  $done_popups popups"
    done
    sample "growth popups ours $done_popups"
    sleep 3
    growth_memory after
    # The engine lets go of a closed page's last buffers about 5 s after it closed.
    sleep 7
    growth_memory settled
}

echo "Growth: the program, $reloads reloads with F5 and $popups popups"
measure_growth || true
stop_run

# The memory of the program's own process (RSS, not the tree's PSS) on its page, with a page
# of 10,000 hidden frames (the key "f"; the engine makes 1,000 of them, its limit for a page), and
# 10 s after Home left it; and how soon Home's POST
# reaches the stand-in when clicked 0.3 s into that page's load, and once it has loaded.
own_rss() { awk '/^Rss:/ {print $2}' "/proc/$pid/smaps_rollup"; }
frames_page() { # window: the key "f" in the page; false when the frames page was not asked for
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool windowactivate --sync "$1" mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1 key f
    now_ms
    next_request '"path":"/hostile/frames"' $((REPLY + 30000))
}
measure_frames() {
    local window soon
    fresh_home
    wait_engine_alone
    skip_requests
    launch frames "$ours"
    soon=$((started + 30000))
    next_request '"target":"/?version=6.9"' "$soon" && next_request '"path":"/bench/image.png"' "$soon" || return 1
    sleep_until $((t_ms + 3000))
    sample "frames before ours $(own_rss)"
    window=$(xdotool search --onlyvisible --name '^Ostrel Web 6.9$' | head -1)
    frames_page "$window" || return 1
    sleep_until $((t_ms + 300))
    click_and_time "$window" BtnHome '"method":"POST","path":"/"' frames home_loading
    next_request '"path":"/bench/image.png"' $((pressed + 30000)) || return 1
    sleep 1
    frames_page "$window" || return 1
    sleep_until $((t_ms + 5000))
    sample "frames with ours $(own_rss)"
    click_and_time "$window" BtnHome '"method":"POST","path":"/"' frames home_loaded
    sleep_until $((pressed + 10000))
    sample "frames left ours $(own_rss)"
}

echo "A page of 10,000 frames: the program"
measure_frames || echo "  the frames page did not come or go"
stop_run

{
    echo "Debian $(cat /etc/debian_version): $("$ours" --version | tail -n +2 | paste -sd ';' | sed 's/;/; /g'); $(chromium --version 2>/dev/null | awk '{print $1, $2}')"
    echo "bench/run.sh --here $rounds $reloads $popups, $date_start, took $(((SECONDS - began + 30) / 60)) min (building included); load average (1, 5, 15 min) at the start $load_start, at the end $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "The disk under the morning's start: $disk_mb MB ($disk_file) read in $disk_ms ms right after a drop of the page cache"
} >"$out/about.txt"
python3 bench/table.py "$out" >&3
