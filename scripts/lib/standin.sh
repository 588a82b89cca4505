# Sourced by the scripts that start the stand-in portal (session.sh, wine-tests.sh, the package's
# install check): starts the stand-in of a build in the background and waits until it serves.
#   standin_start BUILD_DIR LOG [ARGUMENTS ...]   (options, then the roles: ROLE=ORIGIN ...)
# Sets standin to its PID; what it prints goes to LOG.out. Returns 1, having shown that output,
# when it is not serving in 10 s.
standin_start() {
    local build=$1 log=$2
    shift 2
    : >"$log.out"
    "$build/tools/standin-portal/ostrel-standin" --log "$log" "$@" >"$log.out" 2>&1 &
    standin=$!
    for _ in $(seq 100); do
        grep -q "ostrel-standin ready" "$log.out" && return 0
        sleep 0.1
    done
    echo "The stand-in portal did not start:" >&2
    cat "$log.out" >&2
    return 1
}
