#!/usr/bin/env bash
# `make run`: starts the newest runnable program of the Windows build on the
# embedded defaults in examples/. For now that is korrin-textcopy, which
# copies a host listing (OEM characters, tabs, mixed line ends) through the
# buffered file layer into a workstation text file.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"
out=build/run
mkdir -p "$out"
exe=build/win64/demo/korrin-textcopy.exe
scripts/with-xvfb.sh scripts/wine-run.sh "$exe" examples/host-listing.txt "$out/host-listing.ansi.txt"
echo "Converted listing: $out/host-listing.ansi.txt"
iconv -f CP1252 -t UTF-8 "$out/host-listing.ansi.txt" | sed 's/\r$//'
