#!/usr/bin/env bash
# Runs every test: the format and command-number checks, a short run of
# each fuzz target, the native tests (built with AddressSanitizer and
# UndefinedBehaviorSanitizer), then the Windows tests under Wine with a
# private Xvfb display. Goes on after a failure and
# exits non-zero if anything failed; CTest's summary lines come last.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"
status=0

# Every C++ source is formatted with the root .clang-format; command
# numbers stand only in the command table.
scripts/check-format.sh || status=1
scripts/check-command-numbers.sh || status=1

if [ "${KORRIN_SKIP_FUZZ:-0}" != 1 ]; then
  if make --no-print-directory fuzz FUZZ_SECONDS="${FUZZ_SECONDS:-5}"; then :; else status=1; fi
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
echo "== native tests (ASan/UBSan)"
ctest --test-dir build/native-asan --output-on-failure -j2 || status=1

echo "== Windows tests under Wine"
# A window test that fails is run once more before it counts as failed:
# under load, Wine now and then fails to start a program at all. Both runs
# stay in the output, so a test that only passes the second time is seen.
scripts/with-xvfb.sh ctest --test-dir build/win64 --output-on-failure --repeat until-pass:2 || status=1

exit $status
