#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, each on its
# seed corpus (copied, so the repository's corpus stays as it is).
#   scripts/run-fuzz.sh <build-dir> <seconds>
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=$1
seconds=${2:-10}
status=0
shopt -s nullglob
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  name=${name#fuzz_}
  work=$(mktemp -d)
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$work/"
  echo "== fuzz $name (${seconds}s)"
  if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
      -artifact_prefix="$build/fuzz/crash-$name-" "$work" >"$build/fuzz/$name.log" 2>&1; then
    echo "fuzz $name FAILED; see $build/fuzz/$name.log"
    tail -n 40 "$build/fuzz/$name.log"
    status=1
  fi
  rm -rf "$work"
done
exit $status
