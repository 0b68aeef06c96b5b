#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The house rules a reviewer would otherwise count by hand.

  tools/house.py [ROOT]

- Includes point down: a folder under src/ includes only folders of its own
  layer or below (LAYERS, lowest first).
- No source file under src/ is longer than 600 lines.
- The C++ under tests/ is at most a third of the C++ under src/ by lines.

Prints what it counted; exits 1 when a rule is broken.
"""
import os
import re
import sys

LAYERS = [
    # What the rest stands on: devices, platform services and the pure
    # signal processing the instrument's handlers and windows use.
    ["platform", "readouts", "measure"],
    # The form model: state record, controls, start-up and settings.
    ["app"],
    # The form's handlers, folder by subsystem.
    ["generator", "audio", "analyzer", "sweep", "wavefile", "export"],
    # What drives the form from outside.
    ["scpi"],
    ["cli", "ui"],
]
MAX_LINES = 600
MAX_TEST_SHARE = 1 / 3


def layer_of(folder):
    top = folder.split("/")[0]
    for i, names in enumerate(LAYERS):
        if top in names:
            return i
    return None


def sources(root, top):
    for base, _, files in os.walk(os.path.join(root, top)):
        for name in files:
            if name.endswith((".cpp", ".h")):
                yield os.path.join(base, name)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    src = os.path.join(root, "src")
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
    broken = 0
    src_lines = test_lines = 0
    longest = (0, "")
    for path in sorted(sources(root, "src")):
        rel = os.path.relpath(path, src)
        folder = os.path.dirname(rel)
        mine = layer_of(folder)
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
        src_lines += len(lines)
        longest = max(longest, (len(lines), rel))
        if len(lines) > MAX_LINES:
            print(f"too long: src/{rel} has {len(lines)} lines (at most {MAX_LINES})")
            broken += 1
        if mine is None:
            print(f"no layer: src/{rel} (add its folder to LAYERS)")
            broken += 1
            continue
        for n, line in enumerate(lines, 1):
            m = include.match(line)
            if not m or "/" not in m.group(1):
                continue
            theirs = layer_of(os.path.dirname(m.group(1)))
            if theirs is not None and theirs > mine:
                print(f"upward include: src/{rel}:{n} includes {m.group(1)}")
                broken += 1
    for path in sources(root, "tests"):
        with open(path, encoding="utf-8") as f:
            test_lines += len(f.read().splitlines())
    share = test_lines / src_lines if src_lines else 0
    print(f"src: {src_lines} lines of C++, tests: {test_lines} ({share:.1%}); "
          f"longest file: src/{longest[1]} ({longest[0]} lines)")
    if share > MAX_TEST_SHARE:
        print(f"tests are more than a third of the code")
        broken += 1
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
