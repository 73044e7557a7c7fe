#!/usr/bin/env bash
# Fails when a C++ source file differs from what clang-format makes of it
# with the root .clang-format. `scripts/check-format.sh --fix` rewrites them.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
existing=()
for f in "${files[@]}"; do [ -f "$f" ] && existing+=("$f"); done
if [ "${1:-}" = --fix ]; then
  clang-format -i "${existing[@]}"
  exit 0
fi
bad=()
if ! clang-format --dry-run --Werror "${existing[@]}" >/dev/null 2>&1; then
  for f in "${existing[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
  done
fi
if [ ${#bad[@]} -gt 0 ]; then
  echo "== format: ${#bad[@]} file(s) not formatted (scripts/check-format.sh --fix):" >&2
  printf '   %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "== format: ${#existing[@]} files formatted"
