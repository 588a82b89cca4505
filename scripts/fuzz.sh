#!/usr/bin/env bash
# Coverage-guided fuzzing with libFuzzer: builds the targets of tests/fuzz with clang (ASan + UBSan)
# in build/fuzz and runs each for SECONDS (default 30) on a fresh copy of its seed corpus. Prints per
# target the runs and runs per second; exits non-zero when any target crashed, hung, ran out of
# memory or broke a property. The input that did it stays in build/fuzz/crashes/<target>/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS]" >&2
    exit 2
fi
scripts/deps.sh

build=build/fuzz
targets=(store arguments formbody logo)
cmake -S tests/fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --parallel "$(nproc)"

failed=()
for target in "${targets[@]}"; do
    work=$build/run/$target
    crashes=$build/crashes/$target
    rm -rf "$work"
    mkdir -p "$work/corpus" "$crashes"
    cp tests/fuzz/corpus/"$target"/* "$work/corpus/"
    touch "$work/started"
    rc=0
    "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$work/corpus" >"$work/log" 2>&1 || rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -n 1)
    files=$(find "$work/corpus" -type f | wc -l)
    if [ "$rc" -eq 0 ]; then
        printf 'fuzz %-9s %10s runs in %s s, %7s runs/s, corpus %s files\n' \
            "$target" "${runs:-?}" "$seconds" "${rate:-?}" "$files"
    else
        failed+=("$target")
        echo "fuzz $target FAILED (exit $rc) after ${runs:-?} runs; from $work/log:"
        grep -Ev '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|INITED|RELOAD)' "$work/log" | tail -n 40
        find "$crashes" -type f -newer "$work/started" -printf 'kept: %p\n'
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
