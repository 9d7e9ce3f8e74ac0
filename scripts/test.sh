#!/usr/bin/env bash
# Builds everything and runs every test: once in an optimised build, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz target for a bounded time.
#   SKIP_SANITIZE=1  leave out the sanitizer run     FUZZ_SECONDS=N  fuzz time (0: none)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
export QT_QPA_PLATFORM=offscreen

echo "== build and test (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 900)

if [[ "${SKIP_SANITIZE:-0}" != 1 ]]; then
  echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEXCELMERGE_SANITIZE=ON \
    -DEXCELMERGE_BENCH=OFF
  cmake --build build-sanitize -j "$jobs"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  (cd build-sanitize && ctest --output-on-failure -j "$jobs" --timeout 1800)
fi

fuzz_seconds=${FUZZ_SECONDS:-60}
if [[ "$fuzz_seconds" != 0 && -x scripts/run-fuzz.sh ]]; then
  echo "== fuzz for $fuzz_seconds s"
  scripts/run-fuzz.sh "$fuzz_seconds"
fi
