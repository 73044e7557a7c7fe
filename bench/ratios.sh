#!/usr/bin/env bash
# The speed of four paths, each against its own floor measured in the same
# run on the same machine: absolute times say more about the machine than
# about the code, their ratios do not.
#
#   bench/ratios.sh [rounds]      (make ratios; rounds default to 3)
#
# Builds the Release benchmarks (preset bench), runs every pair `rounds`
# times and prints one line per row: its name, A and B as medians in ms,
# A / B and the goal, then how many rows meet their goal. Exits 1 when a
# row misses it.
#
#   pascal    the Pascal corpus through the editor's callbacks to a tree
#             file, against the parser alone into a sink
#   import    the transfer-file import of the 1 M-construct diagram, against
#             reading the same tree from its element stream; its second
#             line is the part of A that is korrin-imp's reader alone
#   cold      the first read of that element stream in a fresh process (the
#             worst of 2 * rounds processes), against the warm median; its
#             second line is the heap the tree takes per construct
#   open      opening the 100 MB diagram, against `cp` of a file of the
#             same size to a new file
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
rounds=${1:-3}
build="$root/build/bench"
bin="$build/bench"

if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$root" && cmake --preset bench >/dev/null) || exit 2
fi
cmake --build "$build" -j"${JOBS:-2}" --target bench_pascal bench_transfer bench_element_stream bench_save \
  >"$build/ratios-build.log" 2>&1 || {
  tail -n 30 "$build/ratios-build.log"
  exit 2
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run <name> <binary> <filter> [options...]: one fresh process, its JSON kept
# as $work/<name>.json.
run() {
  local name=$1 binary=$2 filter=$3
  shift 3
  if ! "$bin/$binary" --benchmark_filter="$filter" --benchmark_out="$work/$name.json" \
      --benchmark_out_format=json "$@" >"$work/$name.log" 2>&1 ||
      grep -q '"error_occurred": true' "$work/$name.json"; then
    echo "ratios: $binary $filter failed; see below" >&2
    cat "$work/$name.log" >&2
    exit 2
  fi
}

# field <name> <benchmark> <key>: the value of <key> in that benchmark's entry.
field() {
  local value
  value=$(awk -v want="\"$2" -v key="\"$3\":" '
    $1 == "\"name\":" { current = $2; sub(/(\/[^"]*)?",$/, "", current) }
    current == want && $1 == key { v = $2; sub(/,$/, "", v); printf "%.3f\n", v; exit }
  ' "$work/$1.json")
  if [ -z "$value" ]; then
    echo "ratios: $2 did not report $3" >&2
    exit 2
  fi
  echo "$value"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
largest() { sort -g | tail -n 1; }
now_ms() { echo $(($(date +%s%N) / 1000)) | awk '{ printf "%.3f\n", $1 / 1000 }'; }

: >"$work/pascal.a" >"$work/pascal.b" >"$work/import.a" >"$work/import.sink" >"$work/read.b" >"$work/cold.a" >"$work/heap"
: >"$work/open.a" >"$work/copy.b"
for ((r = 1; r <= rounds; ++r)); do
  echo "round $r of $rounds" >&2
  run pascal bench_pascal '^BM_Pascal(IntoSink|ThroughTheEditor)'
  field pascal BM_PascalThroughTheEditor real_time >>"$work/pascal.a"
  field pascal BM_PascalIntoSink real_time >>"$work/pascal.b"

  # Both warm: enough iterations that the first one in the process (the
  # cold row below) does not decide the figure.
  run import bench_transfer '^BM_(ImportMemory|TransferIntoSink)$' --benchmark_min_time=2
  field import BM_ImportMemory real_time >>"$work/import.a"
  field import BM_TransferIntoSink real_time >>"$work/import.sink"
  run read bench_element_stream '^BM_ReadMemory$' --benchmark_min_time=2
  field read BM_ReadMemory real_time >>"$work/read.b"

  for c in 1 2; do
    run cold bench_element_stream 'ReadMemory$' --benchmark_min_time=0.001
    field cold BM_ReadMemory real_time >>"$work/cold.a"
    field cold BM_ReadMemory heap_per_construct >>"$work/heap"
  done

  run open bench_save '^BM_Open'
  field open BM_Open real_time >>"$work/open.a"
  # A file of the diagram's size, copied to a new file by the system's cp.
  size=$(field open BM_Open file_bytes)
  head -c "${size%.*}" /dev/urandom >"$work/source"
  rm -f "$work/target"
  start=$(now_ms)
  cp "$work/source" "$work/target" || exit 2
  end=$(now_ms)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' >>"$work/copy.b"
  rm -f "$work/source" "$work/target"
done

met=0
rows=0
# row <name> <A ms> <B ms> <goal>
row() {
  rows=$((rows + 1))
  local verdict
  verdict=$(awk -v a="$2" -v b="$3" -v g="$4" 'BEGIN { r = a / b; printf "%.2f %s", r, (r <= g) ? "met" : "MISSED" }')
  [ "${verdict#* }" = met ] && met=$((met + 1))
  printf '%-8s A %9.1f ms  B %9.1f ms  A/B %5s  goal <= %-5s %s\n' "$1" "$2" "$3" "${verdict% *}" "$4" "${verdict#* }"
}

row pascal "$(median <"$work/pascal.a")" "$(median <"$work/pascal.b")" 1.3
row import "$(median <"$work/import.a")" "$(median <"$work/read.b")" 1.5
echo "         of A, korrin-imp's reader alone (into a sink): $(median <"$work/import.sink") ms"
row cold "$(largest <"$work/cold.a")" "$(median <"$work/read.b")" 1.25
echo "         fresh processes (ms): $(sort -g "$work/cold.a" | tr '\n' ' ')"
heap=$(largest <"$work/heap")
rows=$((rows + 1))
if awk -v h="$heap" 'BEGIN { exit !(h <= 256) }'; then verdict=met; met=$((met + 1)); else verdict=MISSED; fi
printf '%-8s %.1f bytes per construct (largest of %d)          goal <= 256   %s\n' heap "$heap" $((2 * rounds)) "$verdict"
row open "$(median <"$work/open.a")" "$(median <"$work/copy.b")" 1.1
echo "$met of $rows rows meet their goal"
[ "$met" -eq "$rows" ]
