#!/usr/bin/env python3
"""Fails when a source file includes from a folder above its own floor.

The floors, bottom up: platform, runtime, script, net and render, scene, app, hud,
program, then tools and bench. A file may include from its own floor and any below it;
tests/ stands outside the floors: tests may include anything (and bench its fixtures). Only quoted includes whose first path component is one of
the floors are checked: system headers and same-folder names are left alone.

    include_floors.py ROOT      check every .h/.hpp/.c/.cpp under ROOT's floor folders
"""
import re
import sys
from pathlib import Path

FLOORS = {
    "platform": 0,
    "runtime": 1,
    "script": 2,
    "net": 3,
    "render": 3,
    "scene": 4,
    "app": 5,
    "hud": 6,
    "program": 7,
    "tools": 8,
    "bench": 8,
}
SUFFIXES = {".h", ".hpp", ".c", ".cpp", ".inl"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def upward_includes(root):
    """Yields (file, line number, included path, why) for each include that points up."""
    for top, floor in sorted(FLOORS.items()):
        base = root / top
        if not base.is_dir():
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix not in SUFFIXES or not path.is_file():
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for number, line in enumerate(text.splitlines(), 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = m.group(1).split("/")[0]
                if FLOORS.get(target, -1) > floor:
                    yield path.relative_to(root), number, m.group(1), f"{top}/ may not include from {target}/"


def main(argv):
    if len(argv) != 2:
        print("usage: include_floors.py ROOT", file=sys.stderr)
        return 2
    root = Path(argv[1])
    if not root.is_dir():
        print(f"include_floors.py: {root} is not a folder", file=sys.stderr)
        return 2
    found = list(upward_includes(root))
    for path, number, included, why in found:
        print(f'{path}:{number}: #include "{included}": {why}')
    if found:
        print(f"{len(found)} include(s) point up a floor", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
