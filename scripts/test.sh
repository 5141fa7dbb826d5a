#!/usr/bin/env bash
# Installs what is missing, builds Tallowick and runs every test: the whole
# suite (unit, widget and end-to-end tests), then the whole suite again built
# with AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets
# over their seeds and saved reproducers.
# Usage: scripts/test.sh [--quick]   (--quick: the plain build's suite only)
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
[ "${1:-}" = "--quick" ] && quick=1

scripts/install-deps.sh test
jobs=$(nproc)

echo "== Tests =="
scripts/build.sh
(cd build && ctest --output-on-failure -j"$jobs")
[ $quick = 1 ] && exit 0

echo "== Fuzz targets over their seeds and reproducers (clang, libFuzzer) =="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWICK_FUZZ=ON \
  -DTALLOWICK_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_replyparser fuzz_messagetext
(cd build-fuzz && ctest --output-on-failure -L fuzz)

echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
BUILD_DIR=build-asan scripts/build.sh -DTALLOWICK_SANITIZE=ON -DTALLOWICK_BENCH=OFF
# Full unwinding, so that a leak inside a system library is seen with the frames that the
# suppressions name.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
(cd build-asan && ctest --output-on-failure -j"$jobs")
