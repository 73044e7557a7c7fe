#!/usr/bin/env bash
# Builds the distribution of the Windows x64 build: a zip of the programs
# with the examples, and the setup program (NSIS). Then installs the setup
# program silently into a fresh Wine prefix and checks the result
# (scripts/test-dist.sh), unless KORRIN_DIST_CHECK=0.
#
#   scripts/dist.sh [build-dir]      (default build/win64)
#
# Results: build/dist/korrin-<version>-win64.zip, build/dist/korrin-<version>-setup.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build/win64}
dist=$root/build/dist
version=$(sed -n 's/^KSTR(24, IDS_VERSION_TEXT, "Version \(.*\)")$/\1/p' "$root/resources/strings_frame.def")
version=${version:-1.0}

stage=$dist/korrin
rm -rf "$stage"
mkdir -p "$stage"
missing=()
for program in korrin.exe korrin-pas.dll korrin-imp.dll korrin-re.exe korrin-conn.exe; do
  if [ -f "$build/bin/$program" ]; then
    cp "$build/bin/$program" "$stage/"
  else
    missing+=("$program")
  fi
done
if [ ! -f "$stage/korrin.exe" ]; then
  echo "dist: $build/bin/korrin.exe is missing (make win64 first)" >&2
  exit 1
fi
[ ${#missing[@]} -eq 0 ] || echo "dist: not built yet, left out: ${missing[*]}"
cp -r "$root/examples" "$stage/examples"
cp "$root/README.md" "$stage/"

zip=$dist/korrin-$version-win64.zip
rm -f "$zip"
(cd "$dist" && cmake -E tar cf "$zip" --format=zip korrin)
echo "dist: $zip"

setup=$dist/korrin-$version-setup.exe
makensis -V2 -DSTAGE="$stage" -DOUTFILE="$setup" -DVERSION="$version" "$root/installer/korrin.nsi"
echo "dist: $setup"

if [ "${KORRIN_DIST_CHECK:-1}" != 0 ]; then
  # The editor needs a display even for a batch run.
  KORRIN_WINEPREFIX=$dist/wine-check "$here/with-xvfb.sh" "$here/test-dist.sh" "$setup"
fi
