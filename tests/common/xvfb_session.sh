#!/bin/bash
# Runs a command under an X server of its own (Xvfb), ends the server after
# it and exits with the command's exit code:
#   xvfb_session.sh <screen, e.g. 1920x1200x24> <command> [arguments...]
# Unlike xvfb-run it leaves nothing in the machine's temporary folder: the
# server listens only on its abstract local socket (which belongs to the
# network namespace), takes no lock file when run as root, and its authority
# file lives in a folder of its own under TMPDIR, removed at the end.
set -u
screen=$1
shift
session=$(mktemp -d "${TMPDIR:-/tmp}/xvfb-session.XXXXXX") || exit 1
server=""
end_session() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
  rm -rf "$session"
}
trap end_session EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

export XAUTHORITY=$session/Xauthority
: >"$XAUTHORITY"
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
# Only root may leave out the lock file.
lock=()
[ "$(id -u)" -eq 0 ] && lock=(-nolock)
start_bound=60
display=""
# A display number in use makes the server end at once: the next one is tried.
for number in $(seq 200 299); do
  xauth -q -f "$XAUTHORITY" add ":$number" . "$cookie" || exit 1
  : >"$session/display"
  Xvfb ":$number" -screen 0 "$screen" -nolisten tcp -nolisten unix "${lock[@]}" \
    -auth "$XAUTHORITY" -displayfd 3 3>"$session/display" 2>"$session/server.log" &
  server=$!
  # The server writes its display number once clients can connect.
  deadline=$((SECONDS + start_bound))
  while [ ! -s "$session/display" ] && kill -0 "$server" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "xvfb_session: waited $start_bound s for Xvfb :$number to accept clients" >&2
      exit 1
    fi
    sleep 0.05
  done
  if [ -s "$session/display" ]; then
    display=:$number
    break
  fi
  wait "$server" 2>/dev/null
  server=""
done
if [ -z "$display" ]; then
  echo "xvfb_session: no free display from :200 to :299; the last server said:" >&2
  cat "$session/server.log" >&2
  exit 1
fi

DISPLAY=$display "$@"
