#!/usr/bin/env bash
# Command numbers stand in resources/commands.def alone: code, resources
# and tests name commands CMD_*. Fails on a four-digit literal (in code,
# comments or strings) that is a command number. The numbers of the
# construct insertion block are left to the construct templates they also
# number; core/ and its tests, the benchmarks and the fuzz targets work on
# the core's catalogue and are not read.
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
    # A number counts when a command has it, but for the construct
    # insertion block: its numbers are also those of the construct
    # templates, which the catalogue and the code over it may write.
    while ((getline line < table) > 0) {
      if (line !~ /^KCMD/) continue
      gsub(/[(),]/, " ", line)
      split(line, f, " ")
      if (f[1] == "KCMD_RANGE" && f[2] == "CMD_INSERT") {
        insertFirst = f[3] + 0
        insertLast = f[4] + 0
      } else if (f[1] == "KCMD_RANGE") {
        for (n = f[3] + 0; n <= f[4] + 0; ++n) name[n] = f[2] "_FIRST + " (n - f[3])
      } else if (!(f[3] + 0 >= insertFirst && f[3] + 0 <= insertLast && insertLast)) {
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

# Each dialog has a number of its own: two dialogs under one number load
# whichever the resource compiler kept.
dupes=$(grep -h '^#define IDD_[A-Z0-9_]* [0-9]' resources/*.h | awk '{print $3}' | sort -n | uniq -d)
if [ -n "$dupes" ]; then
  echo "== dialog numbers used twice: $dupes" >&2
  exit 1
fi
