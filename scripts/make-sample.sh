#!/bin/sh
# Builds the sample-photo tool and writes the sample photos into samples/:
# drawn landscapes with TIFF, EXIF and GPS metadata, each showing the viewer
# something of its own (see tools/MakeSample.cpp).
# Usage: scripts/make-sample.sh [BUILD_DIR]   (default: build)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}

cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target make-sample -j2
mkdir -p "$root/samples"
"$build/bin/make-sample" "$root/samples"
echo "wrote the sample photos into $root/samples"
