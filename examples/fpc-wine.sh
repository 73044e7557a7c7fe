#!/bin/sh
# The "Free Pascal" program of examples/korrin.ini: compiles a generated
# Pascal source with Debian's Free Pascal compiler (fpc) while the editor
# runs under Wine. korrin-re starts this script as Z:\bin\sh: Wine runs a
# Unix program with the redirected standard streams, but hands back no
# process to wait for, so the script ends the run itself by creating the
# finish file the editor watches (its end condition FileExists).
#
#   fpc-wine.sh <source> <finish file>
#
# Paths come as Windows sees them: on drive Z: (the Unix root) or relative
# to the working directory. The compiler's output files go to a temporary
# folder; its messages ("loops.pas(12,5) Error: ...") go to standard output.
unix_path() {
  case "$1" in
    [Zz]:*) printf '%s' "${1#??}" | tr '\\' '/' ;;
    *) printf '%s' "$1" | tr '\\' '/' ;;
  esac
}
source=$(unix_path "$1")
finish=$(unix_path "$2")
out=$(mktemp -d)
fpc -vew -FE"$out" "$source" 2>&1
echo "fpc ended with exit code $?"
rm -rf "$out"
: >"$finish"
