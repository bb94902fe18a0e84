#!/usr/bin/env python3
"""Fails when an include runs against the tree's layering.

- A product file (outside tools/ and outside tests/ and bench/ folders)
  includes a header that only tools/ has: the test peers sit above the
  product, never beneath it.
- A monitor/core folder includes from a folder listed after it in
  monitor/core/README.md: each layer uses only the ones listed before it.

Usage: check-layers.py [source root]; prints each violation, exits 1 if any.
"""
import os
import re
import sys

SOURCE_SUFFIXES = (".h", ".hpp", ".inl", ".c", ".cpp", ".rc", ".rc2")
# Folders that build test and benchmark programs, which may use the test peers.
HARNESS_FOLDERS = {"tests", "bench"}
SKIPPED_FOLDERS = {"build", ".git"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
# A layer's line in the core's README: "- `runtime/`: ...".
CORE_LAYER = re.compile(r"^- `([a-z]+)/`", re.MULTILINE)


def source_files(root):
    for folder, subfolders, files in os.walk(root):
        subfolders[:] = sorted(d for d in subfolders if d not in SKIPPED_FOLDERS)
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")


def includes(root, path):
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        return INCLUDE.findall(f.read())


def is_product(path):
    parts = path.split("/")
    return parts[0] != "tools" and not HARNESS_FOLDERS.intersection(parts[:-1])


def resolves_only_into_tools(name, files):
    """True when every file the include can name lies under tools/."""
    if name.startswith("tools/"):
        return True
    candidates = [f for f in files if f == name or f.endswith("/" + name)]
    return bool(candidates) and all(f.startswith("tools/") for f in candidates)


def core_layers(root):
    with open(os.path.join(root, "monitor/core/README.md"), encoding="utf-8") as f:
        return CORE_LAYER.findall(f.read())


def violations(root):
    files = list(source_files(root))
    layers = core_layers(root)
    if not layers:
        yield "monitor/core/README.md: no layer list found"
    rank = {layer: i for i, layer in enumerate(layers)}
    for path in files:
        if not is_product(path):
            continue
        own = None
        if path.startswith("monitor/core/"):
            own = rank.get(path.split("/")[2])
        for name in includes(root, path):
            if resolves_only_into_tools(name, files):
                yield f"{path}: includes the test peers' {name}"
            used = rank.get(name.split("/")[0]) if "/" in name else None
            if own is not None and used is not None and used > own:
                yield f"{path}: layer {layers[own]}/ includes {name} from the later layer {layers[used]}/"


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    found = list(violations(os.path.abspath(root)))
    for line in found:
        print(line, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
