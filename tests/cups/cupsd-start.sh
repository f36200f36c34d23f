#!/usr/bin/env bash
# Starts the private cupsd of the tests in DIR (configuration, spool, logs,
# socket DIR/run/cups.sock; no TCP port) with two capture queues:
#   rawcap  -> DIR/out/rawcap/rawcap-<job>.prn   (raw jobs)
#   pdfcap  -> DIR/out/pdfcap/pdfcap-<job>.prn   (page jobs: the PDF as sent; the default printer)
set -euo pipefail
P="${1:?usage: cupsd-start.sh DIR}"
HERE="$(cd "$(dirname "$0")" && pwd)"
"$HERE/cupsd-stop.sh" "$P" || true
rm -rf "$P"
mkdir -p "$P"/{etc/ppd,etc/ssl,lib/backend,lib/filter,lib/daemon,spool/tmp,run,cache,log,out/rawcap,out/pdfcap}
ln -s /usr/lib/cups/daemon/cups-exec "$P/lib/daemon/cups-exec"
install -m 0700 "$HERE/capture-backend" "$P/lib/backend/capture"
cat > "$P/etc/cups-files.conf" <<EOC
FileDevice Yes
ServerBin $P/lib
RequestRoot $P/spool
TempDir $P/spool/tmp
StateDir $P/run
CacheDir $P/cache
ServerRoot $P/etc
AccessLog $P/log/access_log
ErrorLog $P/log/error_log
PageLog $P/log/page_log
SystemGroup root
EOC
cat > "$P/etc/cupsd.conf" <<EOC
LogLevel info
Listen $P/run/cups.sock
Browsing No
WebInterface No
PreserveJobHistory No
<Location />
  Order allow,deny
  Allow localhost
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOC
setsid /usr/sbin/cupsd -f -c "$P/etc/cupsd.conf" -s "$P/etc/cups-files.conf" \
  </dev/null >"$P/log/stdout" 2>&1 &
echo $! > "$P/cupsd.pid"
export CUPS_SERVER="$P/run/cups.sock"
for _ in $(seq 200); do
  lpstat -r 2>/dev/null | grep -q 'is running' && break
  sleep 0.05
done
lpstat -r | grep -q 'is running' || { echo "cupsd did not start"; cat "$P/log/error_log" 2>/dev/null; exit 1; }
lpadmin -p rawcap -E -v "capture:$P/out/rawcap" -D "Raw capture queue" -L "test spooler"
lpadmin -p pdfcap -E -v "capture:$P/out/pdfcap" -D "PDF capture queue" -L "test spooler"
lpadmin -d pdfcap
echo "cupsd $(cat "$P/cupsd.pid") on $CUPS_SERVER"
