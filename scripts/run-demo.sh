#!/usr/bin/env bash
# The demo: installs what is needed, builds, writes a small simulated survey
# into a temporary folder and starts the calibration window with a temporary
# "ProgramData"; the scripted caller then names the survey's raw files, sets a
# cross line over them and shows the window. Without a display the window runs
# under Xvfb and a screenshot is saved instead.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
PYTHON=/usr/bin/python3   # Debian's, with python3-websockets
BUILD=${RIDUR_BUILD_ROOT:-$ROOT/build}/plain

MDI_DIR=$(bash scripts/setup.sh | tail -n 1)
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DMDI_DIR="$MDI_DIR" >/dev/null
cmake --build "$BUILD" -j "${JOBS:-$(nproc)}" --target RIDUR_ErideDevid nexra_survey

DEMO=$(mktemp -d "${TMPDIR:-/tmp}/calibration-demo.XXXXXX")
SUITE="$DEMO/ProgramData/Quillmere Vadidaro/qhvx"
mkdir -p "$SUITE" "$DEMO/tmp" "$DEMO/config"
# A corridor of 20 projected metres (10 m on the ground at latitude 60).
printf '[RUNTIME]\nCORR_WIDTH=20\n' > "$SUITE/gui.ini"
printf '<RUZ_Edudorivud>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n' > "$DEMO/projection.txt"

# Three 600 m lines crossing at 60 N 5 E over a sloping seafloor with a mound.
"$BUILD/tools/nexra_survey/nexra_survey" --out "$DEMO/survey" --beams 128 \
  --slope-east 0.01 --feature 0,0,60,6
LINES=()
for f in "$DEMO"/survey/*.nexra; do LINES+=(--line "$f"); done

export ProgramData="$DEMO/ProgramData" XDG_CONFIG_HOME="$DEMO/config" XDG_CACHE_HOME="$DEMO/cache" \
  TMPDIR="$DEMO/tmp"
PROGRAM=("$BUILD/RIDUR_ErideDevid/calibration_window/RIDUR_ErideDevid"
         "-projection=$DEMO/projection.txt" "-survey=demo")
HEADLESS=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  HEADLESS=1
  # No display: Xvfb, with the end-to-end tests' probe to take the screenshot.
  cmake --build "$BUILD" --target e2e_probe >/dev/null
  export LD_PRELOAD="$BUILD/tests/e2e/libe2e_probe.so" RIDUR_E2E_PROBE_FILE="$DEMO/probe.port"
  xvfb-run -a -s "-screen 0 1920x1200x24" env QT_QPA_PLATFORM=xcb "${PROGRAM[@]}" 2>"$DEMO/stderr.txt" &
else
  unset QT_QPA_PLATFORM
  "${PROGRAM[@]}" 2>"$DEMO/stderr.txt" &
fi
PID=$!
unset LD_PRELOAD
trap 'kill $PID 2>/dev/null || true' EXIT

CALLER=("$PYTHON" "$ROOT/tools/calib_caller/calib_caller.py")
"${CALLER[@]}" --connect-timeout 30 "${LINES[@]}" \
  --cross-line-deg 59.9987,4.9960,60.0012,5.0035 --show --listen 3

echo
echo "Demo folder: $DEMO (log file: $DEMO/cache/Quillmere Vadidaro/qhvx/DAV5Edade.log4)"
if [ "$HEADLESS" = 1 ]; then
  "$PYTHON" - "$DEMO" <<'PY'
import socket, sys
demo = sys.argv[1]
port = int(open(demo + "/probe.port").read())
with socket.create_connection(("127.0.0.1", port), timeout=20) as s:
    s.sendall(("grab %s/screenshot.png\n" % demo).encode())
    print("screenshot:", s.makefile().readline().strip(), demo + "/screenshot.png")
PY
  "${CALLER[@]}" --terminate --listen 1 >/dev/null
  wait $PID || true
else
  echo "Drive the window by hand while it runs, for example:"
  echo "  $PYTHON tools/calib_caller/calib_caller.py SHOW"
  echo "  $PYTHON tools/calib_caller/calib_caller.py --terminate"
  echo "Close the window to end the demo."
  wait $PID || true
fi
