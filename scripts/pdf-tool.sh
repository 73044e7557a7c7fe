#!/bin/sh
# What the printing tests read from a printed PDF (poppler-utils), written
# whole or not at all: the result goes to <out>.part and is renamed to
# <out> at the end, so that a caller that cannot wait for this process
# (a Windows program under Wine) waits for <out> instead.
#
#   scripts/pdf-tool.sh text <pdf> <out>   the text (pdftotext -layout)
#   scripts/pdf-tool.sh info <pdf> <out>   pdfinfo's report
#   scripts/pdf-tool.sh png  <pdf> <out>   the first page as a PNG (pdftoppm)
set -u
export LC_ALL=C
what=$1 pdf=$2 out=$3
rm -f "$out" "$out.part"
# A PDF still being written does not read yet: nothing is written then.
pdfinfo "$pdf" >/dev/null 2>&1 || exit 1
case "$what" in
  text) pdftotext -layout "$pdf" "$out.part" ;;
  info) pdfinfo "$pdf" >"$out.part" ;;
  png) pdftoppm -png -r 60 -f 1 -l 1 -singlefile "$pdf" "$out.part.img" && mv "$out.part.img.png" "$out.part" ;;
  *) exit 2 ;;
esac || exit 1
mv "$out.part" "$out"
