#!/usr/bin/env bash
# `quorix info -r` over a folder of many photos beside `exiv2 -q -pa` over the
# same files, side by side in one hyperfine run so that the ratios hold on a
# busy machine, and the peak resident size over the folder beside that of one
# photo:
#
#   bench/compare-folder.sh BUILD_DIR FOLDER
#
# FOLDER is made when missing: COUNT copies (10,000 by default) of the JPEG,
# TIFF and HEIC files of ../shared/corpus and samples/, in 100 subfolders; it
# is kept for the next run. Needs hyperfine and exiv2 (scripts/install-deps.sh).
set -euo pipefail

usage="usage: compare-folder.sh BUILD_DIR FOLDER"
build=${1:?$usage}
folder=${2:?$usage}
here=$(cd "$(dirname "$0")/.." && pwd)
quorix="$build/bin/quorix"
count=${COUNT:-10000}
runs=${RUNS:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ ! -d $folder ]]; then
  mapfile -t sources < <(find "$here/../shared/corpus/jpg" "$here/../shared/corpus/tiff" \
    "$here/../shared/corpus/heic" "$here/samples" -maxdepth 1 -type f \
    \( -iname '*.jpg' -o -iname '*.tif' -o -iname '*.tiff' -o -iname '*.heic' \) 2>/dev/null | sort)
  ((${#sources[@]})) || { echo "compare-folder.sh: no photos to copy" >&2; exit 1; }
  for ((i = 0; i < count; i++)); do
    source=${sources[i % ${#sources[@]}]}
    mkdir -p "$folder/$((i % 100))"
    cp "$source" "$folder/$((i % 100))/$i-${source##*/}"
  done
fi
find "$folder" -type f -print0 | sort -z >"$work/paths"
files=$(tr -cd '\0' <"$work/paths" | wc -c)
one=$(head -z -n 1 "$work/paths" | tr -d '\0')

hyperfine -N --warmup 1 --runs "$runs" --export-json "$work/times.json" \
  -n "quorix info -r -j 2 --json" "$quorix info -r -j 2 --json $folder" \
  -n "quorix info -r -j 1 --json" "$quorix info -r -j 1 --json $folder" \
  -n "exiv2 -q -pa" "bash -c 'xargs -0 exiv2 -q -pa <$work/paths >/dev/null 2>&1 || true'" \
  >/dev/null

peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
folderPeak=$(peak "$quorix" info -r -j 1 --json "$folder")
onePeak=$(peak "$quorix" info --json "$one")

python3 - "$work/times.json" "$files" "$folderPeak" "$onePeak" <<'PY'
import json, sys
means = {r['command']: r['mean'] for r in json.load(open(sys.argv[1]))['results']}
files, folder_peak, one_peak = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
yardstick = means['exiv2 -q -pa']
print(f'{files} photos')
for name, mean in means.items():
    ratio = '' if mean == yardstick else f'   {yardstick / mean:.1f}x faster than exiv2 -q -pa'
    print(f'  {name:28} {mean:8.3f} s{ratio}')
print(f'  peak resident size, -j 1: {folder_peak / 1024:.1f} MB over the folder, '
      f'{one_peak / 1024:.1f} MB for one photo ({folder_peak / one_peak:.2f}x)')
PY
