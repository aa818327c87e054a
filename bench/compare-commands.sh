#!/usr/bin/env bash
# Whole-process cost of `quorix info` beside its yardsticks, run side by side
# in one hyperfine run so that the ratios hold on a busy machine:
#
#   bench/compare-commands.sh BUILD_DIR PHOTO...
#
# Prints each command's mean time and its ratio to the yardstick of its row:
# the 1,000-path run against `exiv2 -q -pa` and against the floor (a 64 KiB
# read of every file), one photo against `exiv2 -pa`, and `quorix --version`
# against `exiv2 --version`. Needs hyperfine and exiv2 (scripts/install-deps.sh).
set -euo pipefail

build=${1:?usage: compare-commands.sh BUILD_DIR PHOTO...}
shift
(($#)) || { echo "compare-commands.sh: no photos given" >&2; exit 2; }
quorix="$build/bin/quorix"
runs=${RUNS:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Argument lists go through files, so the command lines stay short.
printf '%s\0' "$@" >"$work/paths"
one=$1

hyperfine -N --warmup 2 --runs "$runs" --export-json "$work/many.json" \
  -n "quorix info --json (all)" "bash -c 'xargs -0 $quorix info --json <$work/paths >/dev/null'" \
  -n "quorix info --json -j 1 (all)" "bash -c 'xargs -0 $quorix info --json -j 1 <$work/paths >/dev/null'" \
  -n "exiv2 -q -pa (all)" "bash -c 'xargs -0 exiv2 -q -pa <$work/paths >/dev/null 2>&1 || true'" \
  -n "floor: 64 KiB of each (all)" "bash -c 'xargs -0 head -q -c 65536 <$work/paths >/dev/null'" \
  >/dev/null
hyperfine -N --warmup 5 --runs $((runs * 10)) --export-json "$work/one.json" \
  -n "quorix info (one photo)" "$quorix info $one" \
  -n "exiv2 -pa (one photo)" "exiv2 -pa $one" \
  -n "quorix --version" "$quorix --version" \
  -n "exiv2 --version" "exiv2 --version" \
  >/dev/null

python3 - "$work/many.json" "$work/one.json" "$#" <<'PY'
import json, sys
means = {}
for path in sys.argv[1:3]:
    for result in json.load(open(path))["results"]:
        means[result["command"]] = result["mean"]
count = int(sys.argv[3])
rows = [
    ("quorix info --json (all)", "exiv2 -q -pa (all)"),
    ("quorix info --json (all)", "floor: 64 KiB of each (all)"),
    ("quorix info --json -j 1 (all)", "exiv2 -q -pa (all)"),
    ("quorix info (one photo)", "exiv2 -pa (one photo)"),
    ("quorix --version", "exiv2 --version"),
]
print(f"{count} photo paths; per-file times for the (all) rows")
print(f"{'command':32} {'time':>12} {'yardstick':32} {'time':>12} {'ratio':>7}")
for command, yardstick in rows:
    a, b = means[command], means[yardstick]
    scale, unit = (1e6 / count, "us/file") if "(all)" in command else (1e3, "ms")
    print(f"{command:32} {a*scale:8.1f} {unit:3} {yardstick:32} {b*scale:8.1f} {unit:3} {a/b:6.2f}x")
PY
