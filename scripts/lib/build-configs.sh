# Sourced by scripts/test.sh and scripts/stress-tests.sh: the build
# configurations of the test command and the sanitizer options of its runs.
# Sets ROOT (the source tree), BUILD (where the configurations go), JOBS,
# MDI_DIR and QT_QPA_PLATFORM.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
JOBS=${JOBS:-$(nproc)}
BUILD=${RIDUR_BUILD_ROOT:-$ROOT/build}
export QT_QPA_PLATFORM=offscreen

# Freed blocks are filled, so that a read of freed memory inside the
# uninstrumented Qt libraries sees garbage instead of the old contents.
ASAN_TEST_OPTIONS="detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=1:max_free_fill_size=4096:free_fill_byte=190"
UBSAN_TEST_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The longest access history, so that the stacks the suppressions name can
# be restored also for accesses long past.
TSAN_TEST_OPTIONS="halt_on_error=1:second_deadlock_stack=1:history_size=7:suppressions=$ROOT/tests/tsan.supp"

stage() { printf '\n=== %s (at %ds) ===\n' "$*" "$SECONDS"; }

# Installs what the build needs; sets MDI_DIR.
install_dependencies() {
  MDI_DIR=$(bash "$ROOT/scripts/setup.sh" | tail -n 1)
  export MDI_DIR
}

configure() { # dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja -DMDI_DIR="$MDI_DIR" "$@" >/dev/null
}

# Configures and builds one configuration of the test command under $BUILD:
# plain, asan (AddressSanitizer and UndefinedBehaviorSanitizer) or tsan.
build_config() { # plain | asan | tsan
  case $1 in
    plain) configure "$BUILD/plain" -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    asan) configure "$BUILD/asan" -DCMAKE_BUILD_TYPE=Debug -DRIDUR_SANITIZE=address,undefined -DRIDUR_BENCH=OFF ;;
    tsan) configure "$BUILD/tsan" -DCMAKE_BUILD_TYPE=Debug -DRIDUR_SANITIZE=thread -DRIDUR_BENCH=OFF ;;
    *) echo "build_config: unknown configuration $1" >&2; return 2 ;;
  esac
  cmake --build "$BUILD/$1" -j "$JOBS"
}
