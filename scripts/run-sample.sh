#!/usr/bin/env bash
# Installs what is missing, builds Quorix, and serves the photo viewer with
# Quorix loaded on the sample photos that ship with the project. It prints
# the address to open in a browser; Ctrl-C stops it. Options are passed on
# to quorix-viewer (for example --device tablet --system 6.1.6 --port 8080).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORIX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

exec "$build/bin/quorix-viewer" --serve "$@" samples
