#!/bin/sh
# Builds the sample-photo tool and writes samples/quorix-sample.jpg: a drawn
# 640 x 480 landscape with TIFF, EXIF and GPS metadata (see tools/MakeSample.cpp).
# Usage: scripts/make-sample.sh [BUILD_DIR]   (default: build)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}

cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target make-sample -j2
mkdir -p "$root/samples"
"$build/bin/make-sample" "$root/samples/quorix-sample.jpg"
echo "wrote $root/samples/quorix-sample.jpg"
