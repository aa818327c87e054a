#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one for a bounded time, seeded
# from the sample photos and, when they are there, the camera files of
# ../shared/corpus and the files of ../shared/reproducers (read in place).
# Each target reads a known photo first and stops with an error when it
# reaches nothing. quorix_fuzz_readers_agree fails on any input that the two
# image readers read differently. Inputs that make a target fail are left
# in the build folder as crash-*, leak-* or timeout-* files.
#
#   bash scripts/run-fuzz.sh [SECONDS_PER_TARGET]      (default 20; CI runs this)
#
# A long run of one target, on both cores, until ten million inputs:
#
#   bash scripts/run-fuzz.sh 0        # builds only
#   build-fuzz/bin/quorix_fuzz_lean_reader -runs=10000000 -jobs=2 -workers=2 \
#       -max_len=65536 build-fuzz/corpus/quorix_fuzz_lean_reader samples fuzz/seeds
#
# The box walk keeps whole HEIC files (up to 1 MiB), as its boxes must fill
# the file; the other targets take the first 64 KiB, where a photo's
# metadata is, and so run several times faster.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
build=build-fuzz
targets=(quorix_fuzz_lean_reader quorix_fuzz_bmff_walk quorix_fuzz_info_table quorix_fuzz_readers_agree)
declare -A max_len=([quorix_fuzz_lean_reader]=65536 [quorix_fuzz_bmff_walk]=1048576 [quorix_fuzz_info_table]=65536
  [quorix_fuzz_readers_agree]=65536)

mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUORIX_BUILD_FUZZ=ON -DQUORIX_SANITIZE=ON -DQUORIX_BUILD_TESTS=OFF -DQUORIX_WERROR=ON \
  ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >"$build/cmake.log"
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >"$build/build.log"
((seconds > 0)) || exit 0

# fuzz/seeds holds small files of the formats the samples do not cover (a
# PNG with an eXIf chunk, a WebP with an EXIF chunk and a HEIF with an EXIF
# item, made from the sample's EXIF data) and files the readers once read
# differently; ../shared/reproducers holds more of those.
seeds=(samples fuzz/seeds)
for folder in ../shared/corpus/jpg ../shared/corpus/tiff ../shared/corpus/heic ../shared/reproducers/lean-full; do
  [[ -d $folder ]] && seeds+=("$folder")
done

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"
# The readers' differential target holds the two readers equal on every seed
# file, each read once: its search for new differences still finds ones that
# are open (fuzz/open-differences/), so that search is a long run of its own
# (the long-run command above, with this target), not a step that fails
# every build.
replay_only=(quorix_fuzz_readers_agree)
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  if [[ " ${replay_only[*]} " == *" $target "* ]]; then
    echo "run-fuzz: $target over every seed file"
    mapfile -t files < <(find "${seeds[@]}" -type f | sort)
    run=("${files[@]/#/../}")
  else
    echo "run-fuzz: $target for ${seconds}s"
    run=(-max_total_time="$seconds" -max_len="${max_len[$target]}" -print_final_stats=1 "corpus/$target" "${seeds[@]/#/../}")
  fi
  (cd "$build" && "bin/$target" -timeout=10 -rss_limit_mb=2048 "${run[@]}" >"$target.log" 2>&1) || {
    tail -n 40 "$build/$target.log"
    echo "run-fuzz: $target failed; its input is in $build/" >&2
    exit 1
  }
  if [[ " ${replay_only[*]} " == *" $target "* ]]; then
    echo "run-fuzz: $target: ${#files[@]} files read alike by both readers"
  else
    grep -E "stat::number_of_executed_units" "$build/$target.log" | sed "s/^/run-fuzz: $target: /"
  fi
done
