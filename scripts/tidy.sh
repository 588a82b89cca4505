#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the program's and the tools' own sources; fails on
# any warning. Reads a build's compile commands (default build/test), less GCC's precompiled header,
# which clang cannot read.   scripts/tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
out=$build/tidy
mkdir -p "$out"
python3 - "$build/compile_commands.json" "$out/compile_commands.json" <<'PY'
import json, shlex, sys
commands = []
for entry in json.load(open(sys.argv[1])):
    args = shlex.split(entry["command"]) if "command" in entry else entry["arguments"]
    kept, skip = [], False
    for i, arg in enumerate(args):
        if skip:
            skip = False
        elif arg == "-include" and "cmake_pch" in args[i + 1]:
            skip = True
        elif arg != "-Winvalid-pch":
            kept.append(arg)
    commands.append({"directory": entry["directory"], "file": entry["file"], "arguments": kept})
json.dump(commands, open(sys.argv[2], "w"))
PY
exec run-clang-tidy -quiet -j "$(nproc)" -p "$out" "^$PWD/(src|tools)/.*\.cpp$"
