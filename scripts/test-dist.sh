#!/usr/bin/env bash
# Installs the setup program silently into a fresh Wine prefix and checks
# what a user gets: the files, the Start-menu entry, the registered file
# types, a batch generation from the installed folder; then uninstalls and
# checks that the files and keys are gone. The prefix is removed afterwards.
#
#   scripts/with-xvfb.sh scripts/test-dist.sh <setup.exe>   (the editor needs a display)
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
setup=$(realpath "$1")
export WINEPREFIX=$root/build/dist/wine-check
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=$(command -v wine64 || command -v wine)
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
failures=0
check() {  # check <what> <command...>
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then
    echo "  ok   $what"
  else
    echo "  FAIL $what"
    failures=$((failures + 1))
  fi
}
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

rm -rf "$WINEPREFIX"
echo "test-dist: fresh Wine prefix"
env LC_ALL=en_GB.UTF-8 LANG=en_GB.UTF-8 wineboot -i >/dev/null 2>&1
wineserver -w

drive=$WINEPREFIX/drive_c
folder="$drive/Korrin"
echo "test-dist: silent install"
"$wine" "$setup" /S /D='C:\Korrin' >/dev/null 2>&1
wineserver -w
check "korrin.exe installed" test -f "$folder/korrin.exe"
check "korrin-conn.exe installed" test -f "$folder/korrin-conn.exe"
check "examples installed" test -f "$folder/examples/loops.vrd"
check "uninstaller written" test -f "$folder/uninstall.exe"
check "Start-menu entry" test -f "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Korrin/Korrin.lnk"
query() { "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }
check ".vrd registered" grep -q 'korrinvrd' <(query 'HKCR\.vrd')
check "open command of the installed program" grep -qi 'C:\\Korrin\\korrin.exe" "%1"' <(query 'HKCR\korrinvrd\shell\open\command')

# korrin.exe -g from the installed folder, on a settings file of its own.
work=$drive/work
mkdir -p "$work"
cp "$folder/examples/loops.vrd" "$work/"
printf '[Settings]\r\nConfigurationFile=C:\\Korrin\\examples\\pascal.cfg\r\nSourcePath=C:\\work\\*.pas\r\nSaveAfterGen=no\r\n' >"$work/korrin.ini"
(cd "$folder" && "$wine" korrin.exe '-i=C:\work\korrin.ini' -g 'C:\work\loops.vrd' >/dev/null 2>&1)
wineserver -w
# (The extension is the configuration's, in its letter case.)
check "korrin.exe -g generates" bash -c "cat '$work'/loops.[pP][aA][sS] | grep -qi program"

echo "test-dist: silent uninstall"
"$wine" 'C:\Korrin\uninstall.exe' /S >/dev/null 2>&1
wineserver -w
sleep 2
wineserver -w
check "files removed" test ! -e "$folder/korrin.exe"
check "folder removed" test ! -e "$folder"
check "Start-menu entry removed" test ! -e "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Korrin"
check "file types removed" bash -c "! '$wine' reg query 'HKCR\\korrinvrd' >/dev/null 2>&1"
check ".vrd removed" bash -c "! '$wine' reg query 'HKCR\\.vrd' >/dev/null 2>&1"

if [ $failures -ne 0 ]; then
  echo "test-dist: $failures check(s) failed"
  exit 1
fi
echo "test-dist: all checks passed"
