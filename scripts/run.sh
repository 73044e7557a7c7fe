#!/usr/bin/env bash
# `make run`: starts the editor (build/win64/bin/korrin.exe) under Wine on
# the embedded defaults in examples/ - a copy of examples/korrin.ini is its
# settings file and a copy of examples/loops.vrd the diagram it opens, so
# the run leaves examples/ as it is.
#
# On a desktop (DISPLAY set, CI not set) the editor stays open for the
# person who started it; the script returns when it is closed, with its
# exit code. Without a display, with CI set, or with SHOT=1 (`make run
# SHOT=1`) it runs on a private Xvfb display instead: once the frame is up
# its toolbox is opened, a screenshot is saved to build/screenshots/frame.png
# and the editor is closed cleanly.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"

build=${KORRIN_BUILD:-build/win64}
exe=$build/bin/korrin.exe
show=$build/tests/e2e/korrin_show.exe
shots=build/screenshots
for f in "$exe" "$show"; do
  if [ ! -f "$f" ]; then
    echo "run: $f is missing (build with: make win64)" >&2
    exit 1
  fi
done
mkdir -p build/run "$shots"
cp examples/korrin.ini build/run/korrin.ini
cp examples/loops.vrd build/run/loops.vrd
cp examples/fpc-wine.sh build/run/fpc-wine.sh

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] && [ "${SHOT:-0}" != 1 ]; then
  echo "run: the editor is open on $DISPLAY; close it to end the run"
  ended=0
  scripts/wine-run.sh "$exe" '-i=build\run\korrin.ini' 'build\run\loops.vrd' || ended=$?
  echo "korrin.exe ended with exit code $ended"
  exit $ended
fi

rm -f "$shots/frame.png"
session() {
  # The editor in the background; the driver waits for its frame, takes the
  # picture and closes it.
  scripts/wine-run.sh "$exe" '-i=build\run\korrin.ini' 'build\run\loops.vrd' &
  local editor=$!
  local shown=0
  scripts/wine-run.sh "$show" "$root/$shots/frame.png" 60 || shown=$?
  local ended=0
  wait "$editor" || ended=$?
  echo "korrin.exe ended with exit code $ended"
  [ "$shown" -eq 0 ] && [ "$ended" -eq 0 ]
}
export -f session
export exe show shots root

status=0
scripts/with-xvfb.sh bash -c session || status=$?
if [ -f "$shots/frame.png" ]; then
  echo "Screenshot of the frame: $shots/frame.png"
fi
exit $status
