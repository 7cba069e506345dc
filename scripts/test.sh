#!/usr/bin/env bash
# The project's test command: installs what it needs, then builds and runs the
# whole suite headless, once plainly, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded tests, the checks of the
# suppression files and the program's main road and flood case under
# ThreadSanitizer, and
# the fuzz targets for a bounded time. Any failure or sanitizer report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

MDI_DIR=$(bash scripts/setup.sh | tail -n 1)
export MDI_DIR
export QT_QPA_PLATFORM=offscreen
JOBS=${JOBS:-$(nproc)}
BUILD=${RIDUR_BUILD_ROOT:-$ROOT/build}

configure() { # dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja -DMDI_DIR="$MDI_DIR" "$@" >/dev/null
}

stage() { printf '\n=== %s (at %ds) ===\n' "$*" "$SECONDS"; }

stage "plain build"
configure "$BUILD/plain" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD/plain" -j "$JOBS"
stage "plain tests"
ctest --test-dir "$BUILD/plain" -j "$JOBS" --output-on-failure --timeout 900

stage "AddressSanitizer + UndefinedBehaviorSanitizer build"
configure "$BUILD/asan" -DCMAKE_BUILD_TYPE=Debug -DRIDUR_SANITIZE=address,undefined -DRIDUR_BENCH=OFF
cmake --build "$BUILD/asan" -j "$JOBS"
stage "AddressSanitizer + UndefinedBehaviorSanitizer tests"
# Freed blocks are filled, so that a read of freed memory inside the
# uninstrumented Qt libraries sees garbage instead of the old contents.
ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=1:max_free_fill_size=4096:free_fill_byte=190" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir "$BUILD/asan" -j "$JOBS" --output-on-failure --timeout 1800 -LE no_sanitizer

stage "ThreadSanitizer build (threaded tests, the program)"
configure "$BUILD/tsan" -DCMAKE_BUILD_TYPE=Debug -DRIDUR_SANITIZE=thread -DRIDUR_BENCH=OFF
cmake --build "$BUILD/tsan" -j "$JOBS"
stage "ThreadSanitizer tests (threaded tests, the program's main road and flood)"
# The longest access history, so that the stacks the suppressions name can
# be restored also for accesses long past.
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:history_size=7:suppressions=$ROOT/tests/tsan.supp" \
  ctest --test-dir "$BUILD/tsan" -j "$JOBS" --output-on-failure --timeout 1800 \
    -R 'Threaded|^e2e\.(main_road|flood_during_load)$' --no-tests=ignore

if [ -f tests/fuzz/CMakeLists.txt ]; then
  stage "fuzz targets"
  CC=clang CXX=clang++ configure "$BUILD/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRIDUR_FUZZ=ON -DRIDUR_BENCH=OFF
  cmake --build "$BUILD/fuzz" -j "$JOBS" --target fuzz_targets
  ctest --test-dir "$BUILD/fuzz" -j "$JOBS" --output-on-failure -L fuzz
fi

stage "all stages passed"
