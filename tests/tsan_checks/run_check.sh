#!/bin/bash
# Runs one mode of the check program under ThreadSanitizer with a
# suppression file, changed by one entry if asked, and checks that the run is
# clean or that it reports (with the given text in the report):
#   run_check.sh <program> <mode> <file> clean|reported
#                [--add <entry>] [--drop <entry>] [--frame <text>] [--x11 <xvfb_session.sh>]
set -u
program=$1 mode=$2 file=$3 expect=$4
shift 4
add="" drop="" frame="" xvfb=""
while [ $# -gt 0 ]; do
  case $1 in
    --add) add=$2 ;;
    --drop) drop=$2 ;;
    --frame) frame=$2 ;;
    --x11) xvfb=$2 ;;
    *) echo "unknown argument $1"; exit 2 ;;
  esac
  shift 2
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
supp=$work/suppressions
cp "$file" "$supp"
if [ -n "$drop" ]; then
  grep -qxF -- "$drop" "$supp" || { echo "FAILED: $file has no entry $drop"; exit 1; }
  grep -vxF -- "$drop" "$file" > "$supp"
fi
[ -n "$add" ] && printf '%s\n' "$add" >> "$supp"

export TSAN_OPTIONS="halt_on_error=0:history_size=7:suppressions=$supp"
if [ -n "$xvfb" ]; then
  QT_QPA_PLATFORM=xcb "$xvfb" 640x480x24 "$program" "$mode" > "$work/out" 2>&1
else
  QT_QPA_PLATFORM=offscreen "$program" "$mode" > "$work/out" 2>&1
fi
code=$?
reports=$(grep -c "WARNING: ThreadSanitizer" "$work/out")
echo "mode $mode, file $(basename "$file")${drop:+ without $drop}${add:+ with $add}: exit code $code, $reports reports"
case $expect in
  clean)
    [ "$code" -eq 0 ] && [ "$reports" -eq 0 ] && exit 0
    cat "$work/out"
    echo "FAILED: expected a clean run"
    ;;
  reported)
    if [ "$reports" -gt 0 ] && { [ -z "$frame" ] || grep -qF -- "$frame" "$work/out"; }; then
      exit 0
    fi
    cat "$work/out"
    echo "FAILED: expected a report${frame:+ naming $frame}"
    ;;
esac
exit 1
