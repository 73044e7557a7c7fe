#!/usr/bin/env bash
# Command numbers stand in resources/commands.def alone: code, resources
# and tests name commands CMD_*. Fails on a four-digit literal (in code,
# comments or strings) that is a command number, in every source outside
# the construct catalogue (core/ and its tests keep the numbers of their
# construct templates, which are the numbers of the insertion commands;
# the benchmarks and fuzz targets drive the core alike).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
table=resources/commands.def
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' '*.def' '*.rc' |
  grep -v -e '^core/' -e '^tests/core/' -e '^bench/' -e '^fuzz/' -e '^resources/commands\.def$')
existing=()
for f in "${files[@]}"; do [ -f "$f" ] && existing+=("$f"); done
awk -v table="$table" '
  BEGIN {
    # A number counts when a command has it: the named rows, and every
    # number of a block but the construct insertion block (its numbers are
    # the templates of the catalogue; its named rows count).
    while ((getline line < table) > 0) {
      if (line !~ /^KCMD/) continue
      gsub(/[(),]/, " ", line)
      split(line, f, " ")
      if (f[1] == "KCMD_RANGE") {
        if (f[2] != "CMD_INSERT") for (n = f[3] + 0; n <= f[4] + 0; ++n) name[n] = f[2] "_FIRST + " (n - f[3])
      } else {
        name[f[3] + 0] = f[2]
      }
    }
  }
  {
    rest = $0
    while (match(rest, /(^|[^0-9A-Za-z_.])[0-9][0-9][0-9][0-9]([uUlL]*)($|[^0-9A-Za-z_.])/)) {
      token = substr(rest, RSTART, RLENGTH)
      gsub(/[^0-9]/, "", token)
      if ((token + 0) in name) {
        printf "%s:%d: %s is %s\n", FILENAME, FNR, token, name[token + 0]
        bad = 1
      }
      rest = substr(rest, RSTART + RLENGTH - 1)
    }
  }
  END { exit bad }
' "${existing[@]}"
status=$?
if [ $status -ne 0 ]; then
  echo "== command numbers: use the names of $table (above)" >&2
  exit 1
fi
echo "== command numbers: only in $table"
