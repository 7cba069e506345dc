#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12, as root. Idempotent.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qtbase5-dev qtbase5-dev-tools qttools5-dev-tools
  libqt5charts5-dev libqt5websockets5-dev libqt5svg5-dev libqt5opengl5-dev
  libproj-dev proj-data proj-bin libsqlite3-dev sqlite3
  liblog4cplus-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev llvm
  fonts-lato
  xvfb xauth libgl1-mesa-dri mesa-utils x11-utils
  python3 python3-websockets
)
# The machine may bring its own Node.js; take Debian's only when there is none.
if ! command -v npm >/dev/null 2>&1; then PACKAGES+=(nodejs npm); fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -y
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Stock icons: the npm package, cached outside the source tree.
ICON_CACHE="${MDI_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/material-design-icons-3.0.1}"
if [ ! -f "$ICON_CACHE/node_modules/material-design-icons/package.json" ]; then
  mkdir -p "$ICON_CACHE"
  (cd "$ICON_CACHE" && npm install --no-audit --no-fund --no-save --ignore-scripts material-design-icons@3.0.1 >/dev/null)
fi
echo "$ICON_CACHE/node_modules/material-design-icons"
