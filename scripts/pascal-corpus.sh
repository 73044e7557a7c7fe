#!/usr/bin/env bash
# The corpus run: converts every .pp/.pas file of a body of real Pascal code
# (default: Debian's Free Pascal sources, installed by the bootstrap) with
# korrin-pas's parser natively, and prints the counts (converted, refused
# with errors, warnings) and the failures grouped by their first message.
#   scripts/pascal-corpus.sh [folder] [-v]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
folder=/usr/share/fpcsrc/3.2.2
args=()
for a in "$@"; do
  case "$a" in
    -*) args+=("$a") ;;
    *) folder=$a ;;
  esac
done
if [ ! -d "$folder" ]; then
  echo "pascal-corpus: $folder not found (Debian package fpc-source-3.2.2; make bootstrap)" >&2
  exit 1
fi
preset=native
[ -f build/$preset/CMakeCache.txt ] || cmake --preset $preset >/dev/null
cmake --build build/$preset -j"${JOBS:-2}" --target pascal_corpus >/dev/null
exec build/$preset/plugins/pascal/pascal_corpus "$folder" examples/pascal.cfg "${args[@]}"
