#!/usr/bin/env bash
# Installs what is missing, builds Quorix, and shows the info table of the
# sample photo that ships with the project.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORIX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

if [[ -f samples/quorix-sample.jpg ]]; then
  "$build/bin/quorix" info samples/quorix-sample.jpg
else
  "$build/bin/quorix" settings
fi
