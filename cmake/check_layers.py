#!/usr/bin/env python3
"""Fails on any #include in src/ that points up the layers or sideways between folders.

    check_layers.py SRC_DIR LAYER [LAYER ...]

Each LAYER is a space-separated list of the folders of src/ that form it, lowest layer
first (the list is QUILLON_LAYERS in the top CMakeLists.txt). A file may include headers
of its own folder and of every layer below its own, nothing else: not a layer above, and
not another folder of its own layer (features are independent of each other). Every
offending include is named as file:line, and so is a folder that is in no layer.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/')


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    src = sys.argv[1]
    layer_of = {}
    for index, layer in enumerate(sys.argv[2:]):
        for folder in layer.split():
            layer_of[folder] = index
    order = " < ".join("/".join(layer.split()) for layer in sys.argv[2:])

    problems = []
    for folder in sorted(os.listdir(src)):
        if not os.path.isdir(os.path.join(src, folder)):
            continue
        if folder not in layer_of:
            problems.append(f"src/{folder}: the folder is in no layer (add it to QUILLON_LAYERS)")
            continue
        for root, _, files in os.walk(os.path.join(src, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".hpp", ".cpp", ".cc")):
                    continue
                path = os.path.join(root, name)
                shown = os.path.relpath(path, os.path.dirname(src))
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or m.group(1) == folder:
                            continue
                        target = m.group(1)
                        if target not in layer_of:
                            if os.path.isdir(os.path.join(src, target)):
                                problems.append(f"{shown}:{number}: {line.strip()}: src/{target} "
                                                "is in no layer")
                            continue
                        if layer_of[target] < layer_of[folder]:
                            continue
                        why = "a layer above" if layer_of[target] > layer_of[folder] else \
                              "another folder of the same layer"
                        problems.append(f"{shown}:{number}: {line.strip()}: {folder} may not "
                                        f"include {target} ({why})")
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) against the layers {order}")
        return 1
    print(f"includes follow the layers {order}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
