#!/usr/bin/env bash
# Runs a command with a private Xvfb display and stops the display, and the
# Wine server of the project's prefix, when the command ends (also when it
# fails or is interrupted). Nothing is left running.
#
#   scripts/with-xvfb.sh command [args...]
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export WINEPREFIX=${KORRIN_WINEPREFIX:-$root/build/wine}

xvfb_pid=""
cleanup() {
  WINEPREFIX=$WINEPREFIX wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" >/dev/null 2>&1 || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if command -v Xvfb >/dev/null 2>&1; then
  # Xvfb picks a free display number itself and writes it to fd 3, so that
  # runs side by side never share a display.
  numfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$numfile" ] && break
    sleep 0.1
  done
  display=":$(tr -dc '0-9' <"$numfile")"
  rm -f "$numfile"
  if [ "$display" = ":" ]; then
    echo "with-xvfb: Xvfb did not start" >&2
    exit 1
  fi
  export DISPLAY=$display
else
  echo "with-xvfb: Xvfb is not installed; running without a display" >&2
fi

"$@"
