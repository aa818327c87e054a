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
# The readers' differential target first reads every seed file whole, each
# once (a search loads only the first max_len bytes of each), then searches
# as the others do, for a number of inputs rather than a time (a slow
# machine searches as far as a fast one) from a fixed seed (the search sets
# out the same way each time; where it goes depends on what it reaches).
whole_first=(quorix_fuzz_readers_agree)
agree_inputs=40000
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  search=(-max_total_time="$seconds")
  if [[ " ${whole_first[*]} " == *" $target "* ]]; then
    mapfile -t files < <(find "${seeds[@]}" -type f | sort)
    (cd "$build" && "bin/$target" -timeout=10 -rss_limit_mb=2048 "${files[@]/#/../}" >"$target.replay.log" 2>&1) || {
      tail -n 40 "$build/$target.replay.log"
      echo "run-fuzz: $target failed on a seed file; its output is in $build/$target.replay.log" >&2
      exit 1
    }
    echo "run-fuzz: $target: ${#files[@]} seed files read alike by both readers"
    search=(-seed=1 -runs="$agree_inputs")
  fi
  echo "run-fuzz: $target, ${search[*]}"
  (cd "$build" && "bin/$target" -timeout=10 -rss_limit_mb=2048 "${search[@]}" -max_len="${max_len[$target]}" -print_final_stats=1 \
    "corpus/$target" "${seeds[@]/#/../}" >"$target.log" 2>&1) || {
    tail -n 40 "$build/$target.log"
    echo "run-fuzz: $target failed; its input is in $build/" >&2
    exit 1
  }
  grep -E "stat::number_of_executed_units" "$build/$target.log" | sed "s/^/run-fuzz: $target: /"
done
