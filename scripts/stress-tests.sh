#!/usr/bin/env bash
# Developer tool, not part of CI: runs the ThreadSanitizer stage's tests
# (label "threaded", ThreadSanitizer build) and the end-to-end cases (label
# "e2e", plain build) N times at twice the core count, and prints for each
# test that failed how many runs it failed.
#
#   scripts/stress-tests.sh [N] [--load]
#
# N       rounds, 10 by default
# --load  keeps every core busy meanwhile (shell busy loops)
#
# It builds both configurations the way scripts/test.sh does. The end-to-end
# cases use the program's fixed ports: as root, the runs go into a private
# network namespace (unshare --net) so that other programs on those ports do
# not meet them. Logs of every run stay under build/stress/.
set -euo pipefail
source "$(dirname "$0")/lib/build-configs.sh"
cd "$ROOT"

usage() { echo "usage: $0 [N] [--load]" >&2; exit 2; }
ROUNDS=10
LOAD=0
for arg in "$@"; do
  case $arg in
    --load) LOAD=1 ;;
    ''|*[!0-9]*) usage ;;
    *) ROUNDS=$arg ;;
  esac
done
[ "$ROUNDS" -ge 1 ] || usage

if [ -z "${RIDUR_STRESS_BUILT:-}" ]; then
  install_dependencies
  stage "ThreadSanitizer build"
  build_config tsan
  stage "plain build"
  build_config plain
  if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && command -v ip >/dev/null; then
    # The same script again, without the build, in its own network namespace.
    exec env RIDUR_STRESS_BUILT=1 unshare --net bash -c 'ip link set lo up && exec bash "$@"' \
      stress-tests "$ROOT/scripts/stress-tests.sh" "$@"
  fi
  echo "note: not root or no unshare: the end-to-end cases share this machine's ports" >&2
fi

PARALLEL=$((2 * $(nproc)))
RESULTS=$BUILD/stress/$(date +%Y%m%d-%H%M%S)
mkdir -p "$RESULTS"
FAILURES=$RESULTS/failures.txt
: >"$FAILURES"

LOAD_PIDS=()
stop_load() {
  if [ "${#LOAD_PIDS[@]}" -gt 0 ]; then
    kill "${LOAD_PIDS[@]}" 2>/dev/null || true
    wait "${LOAD_PIDS[@]}" 2>/dev/null || true
    LOAD_PIDS=()
  fi
}
trap stop_load EXIT
trap 'stop_load; exit 130' INT
trap 'stop_load; exit 143' TERM
if [ "$LOAD" -eq 1 ]; then
  for _ in $(seq "$(nproc)"); do
    (while :; do :; done) &
    LOAD_PIDS+=($!)
  done
fi

# One run of a label's tests in a build: the names of its failed tests go
# into the failures file, its output into the results folder.
run_tests() { # name, build dir, label, round, environment assignments...
  local name=$1 dir=$2 label=$3 round=$4
  shift 4
  local failed=$dir/Testing/Temporary/LastTestsFailed.log log=$RESULTS/$name-$round.log rc=0
  rm -f "$failed"
  env "$@" ctest --test-dir "$dir" -j "$PARALLEL" -L "$label" --timeout 1800 --output-on-failure \
    >"$log" 2>&1 || rc=$?
  # Ctrl-C: ctest ends with 130 itself, which the shell takes as handled.
  if [ "$rc" -ge 128 ]; then
    echo "round $round, $name: interrupted"
    exit "$rc"
  fi
  if [ -f "$failed" ]; then
    cut -d: -f2- "$failed" | sed "s|^|$name |" >>"$FAILURES"
    echo "round $round, $name: $(wc -l <"$failed") failed (see $log)"
  elif [ "$rc" -ne 0 ]; then
    echo "$name (the ctest run itself)" >>"$FAILURES"
    echo "round $round, $name: ctest ended with $rc (see $log)"
  else
    echo "round $round, $name: passed ($(grep -c ' Passed ' "$log") tests)"
  fi
}

stage "$ROUNDS rounds at -j $PARALLEL$([ "$LOAD" -eq 1 ] && echo ", every core kept busy")"
for round in $(seq "$ROUNDS"); do
  run_tests tsan "$BUILD/tsan" threaded "$round" TSAN_OPTIONS="$TSAN_TEST_OPTIONS"
  run_tests e2e "$BUILD/plain" e2e "$round"
done
stop_load

stage "failures per test, of $ROUNDS runs"
if [ -s "$FAILURES" ]; then
  sort "$FAILURES" | uniq -c | while read -r count name; do
    echo "$name: $count of $ROUNDS"
  done
  exit 1
fi
echo "none"
