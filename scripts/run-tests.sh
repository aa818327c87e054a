#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test. Then builds the project
# (without tests) in Release with Clang, so it stays warning-free under both
# compilers, and last builds the Debian package in Release with GCC, installs
# it, runs it and removes it again (scripts/test-package.sh). Between the two,
# each fuzz target runs for 20 seconds (scripts/run-fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build-asan
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQUORIX_SANITIZE=ON -DQUORIX_BUILD_BENCH=ON -DQUORIX_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

# Leaks are errors; a huge allocation asked for by a corrupt file must fail
# as it does in a normal build (and be handled), not abort the run.
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# Clang warns about things GCC does not, and an optimised build about things a
# Debug one does not. Progress goes to a log so the test summary above is not
# buried; compiler diagnostics still show, on stderr. The suite runs again in
# it: only an optimised build without sanitizers keeps freed objects' memory
# for reuse (runtime/ObjectMemory.h), and the optimiser may expose what a
# Debug build hides.
clang_build=build-clang-release
cmake -S . -B "$clang_build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
  -DQUORIX_WERROR=ON -DQUORIX_BUILD_TESTS=ON >/dev/null
cmake --build "$clang_build" -j "$(nproc)" >"$clang_build/build.log"
echo "run-tests: Release build with clang++ is warning-free"
unset ASAN_OPTIONS UBSAN_OPTIONS
ctest --test-dir "$clang_build" --output-on-failure -j "$(nproc)"

# The readers against random and mutated files, about a minute in all.
bash scripts/run-fuzz.sh 20

bash scripts/test-package.sh build-package
