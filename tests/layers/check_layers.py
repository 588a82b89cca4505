#!/usr/bin/env python3
"""Every #include "..." in src/ points down the layers or stays in its own: the link lines of the
CMake targets hold the direction for what is built, this holds it for the headers.
  check_layers.py SRC_DIR"""
import pathlib
import re
import sys

# The host interfaces: what the logic, the browser and the window program against.
HOST_INTERFACES = {"account", "browser", "keyboard", "messages", "pause", "probe", "process",
                   "registry", "services", "shell"}

# Each layer and the layers it may include from (itself included).
MAY_INCLUDE = {
    "base": {"base"},
    "host interfaces": {"base", "host interfaces"},
    "logic": {"base", "host interfaces", "logic"},
    "host": {"base", "host interfaces", "host"},
    "web": {"base", "host interfaces", "host", "web"},
    "ui": {"base", "host interfaces", "host", "logic", "web", "ui"},
    "main": {"base", "host interfaces", "host", "logic", "web", "ui"},
}


def layer(path):
    """The layer of a file, given as a path below src/ ("host/regstore.h")."""
    parts = pathlib.PurePosixPath(path).parts
    stem = pathlib.PurePosixPath(path).name.split(".")[0]
    if len(parts) == 1:
        return "main"
    folder = parts[0]
    if folder == "host":
        return "host interfaces" if len(parts) == 2 and stem in HOST_INTERFACES else "host"
    return {"base": "base", "app": "logic", "navigation": "logic", "web": "web", "ui": "ui"}.get(folder)


def main():
    src = pathlib.Path(sys.argv[1])
    faults = []
    files = [p for p in src.rglob("*") if p.suffix in {".h", ".cpp", ".in"} and p.is_file()]
    for path in files:
        own = layer(path.relative_to(src).as_posix())
        if own is None:
            faults.append(f"{path.relative_to(src)}: in no layer")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if not match or "/" not in match.group(1):
                continue
            target = layer(match.group(1))
            if target not in MAY_INCLUDE[own]:
                faults.append(f"{path.relative_to(src)}:{number}: {own} includes {match.group(1)} ({target})")
    for fault in faults:
        print(fault)
    print(f"{len(files)} files, {len(faults)} includes against the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
