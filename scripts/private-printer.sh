#!/usr/bin/env bash
# A private CUPS daemon with one PDF printer, for the printing tests.
#
#   scripts/private-printer.sh start <dir>   start it (the socket <dir>/sock,
#                                            the PDFs in <dir>/pdf)
#   scripts/private-printer.sh stop <dir>    stop it and remove <dir>
#
# Everything lives in <dir>: configuration, spool, logs, the socket. The
# daemon runs in a mount namespace of its own, where the PDF backend's
# configuration file (read from a fixed place in /etc/cups) is replaced by
# one that writes into <dir>/pdf; the machine's own printing configuration
# is neither read nor changed, and no system daemon is involved. Programs
# reach the printer with CUPS_SERVER=<dir>/sock; Wine lists it and makes
# it its default printer, as it does with the printers of any CUPS server.
set -euo pipefail
command=${1:-}
dir=${2:-}
[ -n "$command" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop <dir>" >&2; exit 2; }
queue=KorrinPDF

stop() {
  if [ -f "$dir/cupsd.pid" ]; then
    pid=$(cat "$dir/cupsd.pid")
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
    fi
  fi
  rm -rf "$dir"
}

if [ "$command" = stop ]; then
  stop
  exit 0
fi
[ "$command" = start ] || { echo "usage: $0 start|stop <dir>" >&2; exit 2; }

for tool in cupsd lpadmin; do
  command -v "$tool" >/dev/null 2>&1 || PATH=$PATH:/usr/sbin
  command -v "$tool" >/dev/null 2>&1 || { echo "private-printer: $tool is missing (scripts/bootstrap.sh installs cups)" >&2; exit 1; }
done
[ -x /usr/lib/cups/backend/cups-pdf ] || { echo "private-printer: the PDF backend is missing (printer-driver-cups-pdf)" >&2; exit 1; }
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
[ -f "$ppd" ] || ppd=$(ls /usr/share/ppd/cups-pdf/*.ppd | head -n1)

# A daemon of an earlier run that was not stopped goes first.
stop
mkdir -p "$dir"/{etc/ppd,spool/tmp,cache,run,log,pdf}
cat >"$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/run
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
Printcap $dir/run/printcap
User lp
Group lp
SystemGroup root
Sandboxing Relaxed
CONF
cat >"$dir/etc/cupsd.conf" <<CONF
Listen $dir/sock
LogLevel info
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$dir/etc/cups-pdf.conf" <<CONF
Out $dir/pdf
AnonDirName $dir/pdf
UserUMask 0000
Grp lp
CONF
chown -R root:lp "$dir" 2>/dev/null || true
chmod 755 "$dir"
chmod 1777 "$dir/spool/tmp" "$dir/pdf"

# The daemon in its own mount namespace, detached from the caller.
setsid unshare --mount --propagation private sh -c \
  "mount --bind '$dir/etc/cups-pdf.conf' /etc/cups/cups-pdf.conf && exec cupsd -f -c '$dir/etc/cupsd.conf' -s '$dir/etc/cups-files.conf'" \
  >"$dir/log/cupsd.out" 2>&1 </dev/null &
echo $! >"$dir/cupsd.pid"
for _ in $(seq 1 100); do [ -S "$dir/sock" ] && break; sleep 0.1; done
if [ ! -S "$dir/sock" ]; then
  echo "private-printer: the daemon did not start:" >&2
  cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
  exit 1
fi
lpadmin -h "$dir/sock" -p "$queue" -E -v cups-pdf:/ -P "$ppd" 2>/dev/null
lpadmin -h "$dir/sock" -d "$queue"
echo "private-printer: $queue on $dir/sock, PDFs in $dir/pdf"
