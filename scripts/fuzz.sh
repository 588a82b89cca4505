#!/usr/bin/env bash
# Coverage-guided fuzzing with libFuzzer: builds the targets of tests/fuzz with clang (ASan + UBSan)
# in build/fuzz and runs each for SECONDS (default 30) on a fresh copy of its seed corpus. Prints per
# target the runs and runs per second; exits non-zero when any target crashed, hung, ran out of
# memory or broke a property. The input that did it stays in build/fuzz/crashes/<target>/.
#   scripts/fuzz.sh [SECONDS]               build, then run every target in turn
#   scripts/fuzz.sh --build                 build only
#   scripts/fuzz.sh --run TARGET [SECONDS]  run one target, built before (the test suite's Fuzz.* tests)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/fuzz
targets=(store arguments formbody logo)

make_targets() {
    scripts/deps.sh
    cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$build" --parallel "$(nproc)"
}

# Runs one target; its line, or what went wrong and where the input is.
run_target() {
    local target=$1 seconds=$2 work=$build/run/$1 crashes=$build/crashes/$1 rc=0 runs rate files
    rm -rf "$work"
    mkdir -p "$work/corpus" "$crashes"
    cp tests/fuzz/corpus/"$target"/* "$work/corpus/"
    touch "$work/started"
    "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$work/corpus" >"$work/log" 2>&1 || rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -n 1)
    files=$(find "$work/corpus" -type f | wc -l)
    if [ "$rc" -eq 0 ]; then
        printf 'fuzz %-9s %10s runs in %s s, %7s runs/s, corpus %s files\n' \
            "$target" "${runs:-?}" "$seconds" "${rate:-?}" "$files"
        return 0
    fi
    echo "fuzz $target FAILED (exit $rc) after ${runs:-?} runs; from $work/log:"
    grep -Ev '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|INITED|RELOAD)' "$work/log" | tail -n 40
    find "$crashes" -type f -newer "$work/started" -printf 'kept: %p\n'
    return 1
}

seconds_ok() {
    [[ $1 =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [SECONDS] | --build | --run TARGET [SECONDS]" >&2; exit 2; }
}

case ${1:-} in
--build)
    make_targets
    ;;
--run)
    [[ " ${targets[*]} " == *" ${2:-} "* ]] || { echo "no fuzz target '${2:-}' (${targets[*]})" >&2; exit 2; }
    seconds_ok "${3:-30}"
    run_target "$2" "${3:-30}"
    ;;
*)
    seconds_ok "${1:-30}"
    make_targets
    failed=()
    for target in "${targets[@]}"; do
        run_target "$target" "${1:-30}" || failed+=("$target")
    done
    if [ ${#failed[@]} -gt 0 ]; then
        echo "fuzzing failed: ${failed[*]}" >&2
        exit 1
    fi
    ;;
esac
