#!/usr/bin/env bash
# The project's test command: installs what it needs, then builds and runs the
# whole suite headless, once plainly, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded tests (ctest label "threaded": the
# threaded suites, the checks of the suppression files and the program's
# main road, flood and churn cases) under ThreadSanitizer, and the fuzz
# targets for a bounded time. Any failure or sanitizer report fails.
set -euo pipefail
source "$(dirname "$0")/lib/build-configs.sh"
cd "$ROOT"

install_dependencies

stage "plain build"
build_config plain
stage "plain tests"
ctest --test-dir "$BUILD/plain" -j "$JOBS" --output-on-failure --timeout 900

stage "AddressSanitizer + UndefinedBehaviorSanitizer build"
build_config asan
stage "AddressSanitizer + UndefinedBehaviorSanitizer tests"
ASAN_OPTIONS=$ASAN_TEST_OPTIONS UBSAN_OPTIONS=$UBSAN_TEST_OPTIONS \
  ctest --test-dir "$BUILD/asan" -j "$JOBS" --output-on-failure --timeout 1800 -LE no_sanitizer

stage "ThreadSanitizer build (threaded tests, the program)"
build_config tsan
stage "ThreadSanitizer tests (label threaded)"
TSAN_OPTIONS=$TSAN_TEST_OPTIONS \
  ctest --test-dir "$BUILD/tsan" -j "$JOBS" --output-on-failure --timeout 1800 -L threaded

if [ -f tests/fuzz/CMakeLists.txt ]; then
  stage "fuzz targets"
  CC=clang CXX=clang++ configure "$BUILD/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRIDUR_FUZZ=ON -DRIDUR_BENCH=OFF
  cmake --build "$BUILD/fuzz" -j "$JOBS" --target fuzz_targets
  ctest --test-dir "$BUILD/fuzz" -j "$JOBS" --output-on-failure -L fuzz
fi

stage "all stages passed"
