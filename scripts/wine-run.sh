#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine in the project's own prefix
# (build/wine), creating the prefix once. Used as the cross-compiling
# emulator of the win64 build, so ctest runs every Windows test through it.
#
#   scripts/wine-run.sh program.exe [args...]
#
# KORRIN_WINEPREFIX overrides the prefix folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export WINEPREFIX=${KORRIN_WINEPREFIX:-$root/build/wine}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

wine_bin=$(command -v wine64 || command -v wine || true)
[ -x /usr/lib/wine/wine64 ] && wine_bin=/usr/lib/wine/wine64
if [ -z "$wine_bin" ]; then
  echo "wine-run: wine is not installed (run scripts/bootstrap.sh)" >&2
  exit 127
fi

if [ ! -f "$WINEPREFIX/.korrin-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.korrin-ready" ]; then
      echo "wine-run: creating Wine prefix $WINEPREFIX" >&2
      env LC_ALL=en_GB.UTF-8 LANG=en_GB.UTF-8 wineboot -i >/dev/null 2>&1 || true
      wineserver -w || true
      touch "$WINEPREFIX/.korrin-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# English with OEM code page 850 and ANSI 1252: the code pages the tests expect.
exec env LC_ALL=en_GB.UTF-8 LANG=en_GB.UTF-8 "$wine_bin" "$@"
