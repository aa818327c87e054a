#!/usr/bin/env bash
# Start-up cost of one `quorix` process beside exiv2's, on one photo and for
# `--version`: instructions (callgrind, steady on a busy machine) and wall
# clock (hyperfine, all commands side by side in rounds, so ratios hold),
# and the pages each process faults in:
#
#   bench/compare-startup.sh BUILD_DIR [PHOTO...]
#
# PHOTOs default to samples/no-position.jpg and samples/quorix-sample.jpg.
# Needs valgrind, hyperfine and exiv2 (scripts/install-deps.sh).
set -euo pipefail

build=${1:?usage: compare-startup.sh BUILD_DIR [PHOTO...]}
shift
here=$(cd "$(dirname "$0")/.." && pwd)
(($#)) || set -- "$here/samples/no-position.jpg" "$here/samples/quorix-sample.jpg"
quorix="$build/bin/quorix"
runs=${RUNS:-100}
# One language and no translation asked for, as a person's plain shell has.
export LC_ALL=C.UTF-8 LANGUAGE=

pairs=()
for photo in "$@"; do
  pairs+=("$quorix info $photo" "exiv2 -pa $photo")
done
pairs+=("$quorix --version" "exiv2 --version")

instructions() {
  # shellcheck disable=SC2086 # the command is a plain word list
  valgrind --tool=callgrind --callgrind-out-file=/dev/null $1 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '%-60s %12s %12s %7s\n' "command (instructions, callgrind)" quorix yardstick ratio
for ((i = 0; i < ${#pairs[@]}; i += 2)); do
  a=$(instructions "${pairs[i]}")
  b=$(instructions "${pairs[i + 1]}")
  printf '%-60s %10.2f M %10.2f M %6.2fx\n' "${pairs[i]#"$build/bin/"}" \
    "$(bc -l <<<"$a/1000000")" "$(bc -l <<<"$b/1000000")" "$(bc -l <<<"$a/$b")"
done

# Where time is not instructions: on a virtual machine a page touched for the
# first time can cost as much as thousands of instructions.
python3 - "$build/bin/" "${pairs[@]}" <<'PY'
import resource, shlex, subprocess, sys
prefix, commands = sys.argv[1], sys.argv[2:]
def faults(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_minflt
    subprocess.run(shlex.split(command), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return resource.getrusage(resource.RUSAGE_CHILDREN).ru_minflt - before
print(f"{'command (page faults, one run)':60} {'quorix':>12} {'yardstick':>12} {'ratio':>7}")
for i in range(0, len(commands), 2):
    a, b = faults(commands[i]), faults(commands[i + 1])
    print(f"{commands[i].replace(prefix, ''):60} {a:12d} {b:12d} {a / b:6.2f}x")
PY

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
args=()
for command in "${pairs[@]}"; do
  args+=(-n "$command" "$command")
done
# The machine's speed drifts over a run: the commands are timed in ROUNDS
# short rounds, each timing every command in turn, and each pair's ratio is
# the median of its rounds' ratios (times are medians of the rounds' means).
rounds=${ROUNDS:-10}
for ((round = 0; round < rounds; round++)); do
  hyperfine -N --warmup 3 --runs "$(((runs + rounds - 1) / rounds))" --export-json "$work/times-$round.json" "${args[@]}" >/dev/null 2>&1
done
python3 - "$build/bin/" "$work"/times-*.json <<'PY'
import json, statistics, sys
prefix = sys.argv[1]
rounds = [json.load(open(path))["results"] for path in sys.argv[2:]]
print(f"{'command (wall clock, hyperfine -N, medians of rounds)':60} {'quorix':>12} {'yardstick':>12} {'ratio':>7}  range")
for i in range(0, len(rounds[0]), 2):
    a = [r[i]["mean"] for r in rounds]
    b = [r[i + 1]["mean"] for r in rounds]
    ratios = [x / y for x, y in zip(a, b)]
    name = rounds[0][i]["command"].replace(prefix, "")
    print(f"{name:60} {statistics.median(a)*1e3:9.2f} ms {statistics.median(b)*1e3:9.2f} ms {statistics.median(ratios):6.2f}x"
          f"  {min(ratios):.2f}-{max(ratios):.2f}")
PY
