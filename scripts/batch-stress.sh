#!/usr/bin/env bash
# Stress run of the editor's batch options under Wine (not part of
# `make test`; it takes about half an hour for 1000 runs):
#
#   scripts/batch-stress.sh [runs]        (default 1000; build with `make win64` first)
#
# Starts korrin.exe once per run, one process at a time, each in a new
# folder of its own with a new output name, as a script of a user would:
# `korrin -s=<new>.vrd <source>`, `-e=<new>.etf`, `-g=<new>.pas`,
# `-svg=<new>.svg`, over a rotating set of inputs (Pascal sources that
# convert and one that does not, a transfer file, diagrams, a diagram with
# damaged segment bodies), with one shared settings file; one run in
# fifteen has no display.
#
# Every run must either write its output and exit 0, or exit non-zero with
# its reason on standard error and write nothing; and every run of the same
# input must give the same result (diagrams compared by their TREE chunk,
# transfer files without their header line, generated sources without
# their time line). Prints the counts; exits 1 when any run broke a rule.
# The folders of such runs stay under build/stress/ with the editor's
# diagnostics log.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
runs=${1:-1000}
build=${KORRIN_BUILD:-$root/build/win64}
exe=$build/bin/korrin.exe
[ -f "$exe" ] || { echo "batch-stress: $exe is missing (make win64)" >&2; exit 2; }

work=$root/build/stress
rm -rf "$work"
mkdir -p "$work/inputs" "$work/runs"

winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# The inputs.
cp "$root"/examples/{loops,grades,primes}.pas "$root"/examples/{loops,grades,primes}.vrd "$work/inputs/"
printf 'program Bad;\r\nbegin\r\n  x := 1;\r\n  until y;\r\nend.\r\n' >"$work/inputs/bad.pas"
# A diagram whose segment bodies are damaged: 64 bytes in the middle of
# its TREE chunk overwritten.
cp "$root/examples/loops.vrd" "$work/inputs/damaged.vrd"
size=$(stat -c %s "$work/inputs/damaged.vrd")
tree=$(grep -obUa TREE "$work/inputs/damaged.vrd" | head -1 | cut -d: -f1)
head -c 64 /dev/zero | tr '\0' '\356' |
  dd of="$work/inputs/damaged.vrd" bs=1 seek=$((tree + (size - tree) / 2)) conv=notrunc 2>/dev/null
settings=$work/korrin.ini
printf '[Settings]\r\nConfigurationFile=%s\r\nSaveAfterGen=no\r\n' "$(winpath "$root/examples/pascal.cfg")" >"$settings"

# option:input:output extension; an option in capitals runs without a
# display (as when the X server of the session goes away).
cases_text="s:loops.pas:vrd s:grades.pas:vrd e:loops.vrd:etf s:primes.pas:vrd s:bad.pas:vrd
  g:grades.vrd:pas s:grades.etf:vrd e:damaged.vrd:etf e:primes.vrd:etf s:primes.vrd:vrd
  s:loops.pas:vrd e:grades.vrd:etf S:primes.pas:vrd svg:loops.vrd:svg g:damaged.vrd:pas"

# What an output holds that must be the same every time.
tree_digest() {
  local f=$1 pos=8 size tag len
  size=$(stat -c %s "$f")
  while [ $((pos + 10)) -le "$size" ]; do
    tag=$(dd if="$f" bs=1 skip="$pos" count=4 2>/dev/null)
    len=$(od -An -tu4 -j $((pos + 6)) -N4 "$f" | tr -d ' ')
    if [ "$tag" = TREE ]; then
      tail -c +$((pos + 11)) "$f" | head -c "$len" | md5sum | cut -d' ' -f1
      return
    fi
    pos=$((pos + 10 + len))
  done
  echo no-tree
}
digest() {
  case $1 in
    *.vrd) tree_digest "$1" ;;
    *.etf) sed 1d "$1" | md5sum | cut -d' ' -f1 ;;
    *.pas) sed 2d "$1" | md5sum | cut -d' ' -f1 ;;
    *) md5sum <"$1" | cut -d' ' -f1 ;;
  esac
}

stress() {
  local wine_run=$here/wine-run.sh
  local -a cases
  read -ra cases <<<"$(echo $cases_text)"
  # The transfer file input, exported once.
  (cd "$work/inputs" && "$wine_run" "$exe" "-i=$(winpath "$settings")" \
    "-e=$(winpath "$work/inputs/grades.etf")" "$(winpath "$work/inputs/grades.vrd")") >/dev/null 2>&1
  [ -s "$work/inputs/grades.etf" ] || { echo "batch-stress: the transfer file input was not written" >&2; return 2; }

  declare -A first
  local written=0 refused=0 generic=0 silent=0 leftover=0 differing=0 i
  for ((i = 1; i <= runs; i++)); do
    local c=${cases[$(((i - 1) % ${#cases[@]}))]}
    local option=${c%%:*} rest=${c#*:}
    local input=${rest%%:*} ext=${rest#*:} display=${DISPLAY:-} prefix=${KORRIN_WINEPREFIX:-}
    if [[ $option == [A-Z] ]]; then
      option=${option,}
      display=:0.97  # no such display
      # In a Wine prefix of its own: a desktop process that Wine starts for
      # a run without a display has none for the runs after it either.
      prefix=$work/wine-no-display
    fi
    local dir=$work/runs/$i
    mkdir -p "$dir"
    local target=$dir/out-$i.$ext
    local rc=0
    (cd "$dir" && DISPLAY=$display KORRIN_WINEPREFIX=$prefix KORRIN_DIAGNOSTICS=$(winpath "$dir/diagnostics.log") "$wine_run" "$exe" \
      "-i=$(winpath "$settings")" "-$option=$(winpath "$target")" "$(winpath "$work/inputs/$input")" \
      >"$dir/stdout.txt" 2>"$dir/stderr.txt") || rc=$?
    local result problem=""
    if [ "$rc" -eq 0 ]; then
      if [ -s "$target" ]; then
        written=$((written + 1))
        result="0:$(digest "$target")"
      else
        silent=$((silent + 1))
        problem="exit 0 without $target"
        result="0:none"
      fi
    else
      if grep -qv ' failed\.\r\?$' "$dir/stderr.txt"; then
        refused=$((refused + 1))
      elif [ -s "$dir/stderr.txt" ]; then
        generic=$((generic + 1))
        problem="exit $rc with no more than \"$(tr -d '\r' <"$dir/stderr.txt")\""
      else
        silent=$((silent + 1))
        problem="exit $rc without a reason"
      fi
      if [ -e "$target" ]; then
        leftover=$((leftover + 1))
        problem="${problem:+$problem; }exit $rc left $target"
      fi
      result="$rc"
    fi
    local key="$c"
    if [ -z "${first[$key]+set}" ]; then
      first[$key]=$result
    elif [ "${first[$key]}" != "$result" ]; then
      differing=$((differing + 1))
      problem="${problem:+$problem; }result $result, first time ${first[$key]}"
    fi
    if [ -n "$problem" ]; then
      echo "run $i (-$option $input): $problem" >&2
    else
      rm -rf "$dir"
    fi
    if ((i % 100 == 0)); then echo "... $i runs"; fi
  done
  WINEPREFIX=$work/wine-no-display wineserver -k >/dev/null 2>&1 || true
  echo "batch stress: $runs runs: $written wrote their output, $refused refused with their reason," \
    "$generic failed without a precise reason, $silent silent, $leftover left an output behind," \
    "$differing differed from the first run of their input"
  [ $((generic + silent + leftover + differing)) -eq 0 ]
}

export -f stress tree_digest digest winpath
export here work exe settings runs cases_text
if [ -n "${DISPLAY:-}" ]; then
  stress
else
  "$here/with-xvfb.sh" bash -c stress
fi
