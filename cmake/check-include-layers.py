#!/usr/bin/env python3
"""Checks that the sources of a tree of layers include only headers of their
own layer and of the layers below it.

  check-include-layers.py --root DIR --layer NAME=BELOW,... [--layer ...]
                          [--search DIR ...] [--forbid DIR ...]

Each layer is the folder NAME under the root; BELOW names the layers it
builds on directly (what those build on is allowed too). Every `#include
"..."` of a source in a layer is resolved as the compiler resolves it: beside
the including file, then in the root, then in each --search folder. A header
found in a layer the including one does not build on, or anywhere under a
--forbid folder, is reported with the file and line; the exit status is then
1. A name that resolves to no file of the tree (a system header written with
quotes) is left alone. An include that climbs out of its folder ("../") or
names no folder is reported too: every header is named from the root, so one
name means one file wherever it is written.
"""

import argparse
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inc")


def parse_layers(declarations):
    below = {}
    for declaration in declarations:
        name, _, deps = declaration.partition("=")
        below[name] = [d for d in deps.split(",") if d]
    for name, deps in below.items():
        for dep in deps:
            if dep not in below:
                sys.exit(f"check-include-layers: layer {name} builds on {dep}, which is not a layer")
    allowed = {}

    def reach(name, seen):
        for dep in below[name]:
            if dep not in seen:
                seen.add(dep)
                reach(dep, seen)
        return seen

    for name in below:
        allowed[name] = reach(name, {name})
    return allowed


def resolve(name, including, root, search):
    for folder in [os.path.dirname(including), root, *search]:
        candidate = os.path.normpath(os.path.join(folder, name))
        if os.path.isfile(candidate):
            return candidate
    return None


def layer_of(path, root, layers):
    relative = os.path.relpath(path, root)
    if relative.startswith(".."):
        return None
    first = relative.split(os.sep)[0]
    return first if first in layers else None


def inside(path, folder):
    return os.path.commonpath([os.path.abspath(path), os.path.abspath(folder)]) == os.path.abspath(folder)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", required=True)
    parser.add_argument("--layer", action="append", default=[])
    parser.add_argument("--search", action="append", default=[])
    parser.add_argument("--forbid", action="append", default=[])
    args = parser.parse_args()

    allowed = parse_layers(args.layer)
    problems = []
    checked = 0
    for layer in allowed:
        for folder, _, files in os.walk(os.path.join(args.root, layer)):
            for file in sorted(files):
                if not file.endswith(SOURCES):
                    continue
                path = os.path.join(folder, file)
                checked += 1
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        found = resolve(match.group(1), path, args.root, args.search)
                        if not found:
                            continue
                        shown = os.path.relpath(path, args.root)
                        if match.group(1).startswith("../") or "/" not in match.group(1):
                            problems.append(f"{shown}:{number}: {match.group(1)} is not named from its folder")
                        target = layer_of(found, args.root, allowed)
                        if target and target not in allowed[layer]:
                            problems.append(f"{shown}:{number}: {layer} includes {match.group(1)} of {target}, a layer above it or beside it")
                        for forbidden in args.forbid:
                            if inside(found, forbidden):
                                problems.append(f"{shown}:{number}: {layer} includes {match.group(1)} from {forbidden}")
    for problem in problems:
        print(problem, file=sys.stderr)
    if not checked:
        sys.exit(f"check-include-layers: no sources under {args.root}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
