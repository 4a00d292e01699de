# A CUPS server of the test's own, for the printing tests: a scheduler with
# its own configuration, spool and logs in a temporary folder, reached only
# through a local socket (CUPS_SERVER names it), and a stand-in receipt
# printer on a loopback port (receipt_printer.py) behind a raw queue.
#
#   . cups.sh                 after lib.sh; skips the test when CUPS is missing
#   cups_start                the server, with no queue; exports CUPS_SERVER
#   cups_add_printer NAME     a raw queue printing to the stand-in printer
#   cups_stop                 ends the server and the printer (also at exit)
#   received_job N            the path of the N-th job the printer received
#
# Both are started by the test and stopped by it: nothing is left running.

command -v cupsd >/dev/null || skip "the CUPS scheduler is not installed (apt-get install cups)"
command -v lpadmin >/dev/null || skip "the CUPS commands are not installed (apt-get install cups-client)"
command -v python3 >/dev/null || skip "python3 is not installed: the stand-in printer needs it"

CUPS_DIR=""
CUPSD_PID=""
PRINTER_PID=""

cups_stop() {
  [ -n "$CUPSD_PID" ] && kill "$CUPSD_PID" 2>/dev/null && wait "$CUPSD_PID" 2>/dev/null
  [ -n "$PRINTER_PID" ] && kill "$PRINTER_PID" 2>/dev/null && wait "$PRINTER_PID" 2>/dev/null
  CUPSD_PID=""
  PRINTER_PID=""
  return 0
}

cups_cleanup() {
  cups_stop
  [ "$E2E_KEEP" = 1 ] || { [ -n "$CUPS_DIR" ] && rm -rf "$CUPS_DIR"; }
  e2e_cleanup
}
trap cups_cleanup EXIT

cups_start() {
  # Outside the test's private folder: the backends run as the scheduler's
  # user (lp), which must reach the spool.
  CUPS_DIR=$(mktemp -d "${TMPDIR:-/tmp}/qp-cups.XXXXXX")
  chmod 711 "$CUPS_DIR"
  mkdir -p "$CUPS_DIR"/{etc,spool,tmp,cache,state,log,printer}
  local user_lines=""
  # As root the scheduler runs its backends as lp, as an installed one does.
  [ "$(id -u)" = 0 ] && user_lines=$'User lp\nGroup lp\nSystemGroup root'
  cat >"$CUPS_DIR/etc/cups-files.conf" <<EOF2
ServerRoot $CUPS_DIR/etc
RequestRoot $CUPS_DIR/spool
TempDir $CUPS_DIR/tmp
CacheDir $CUPS_DIR/cache
StateDir $CUPS_DIR/state
ErrorLog $CUPS_DIR/log/error_log
AccessLog $CUPS_DIR/log/access_log
PageLog $CUPS_DIR/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
DocumentRoot /usr/share/cups/doc-root
$user_lines
EOF2
  # Only its own socket; anyone who reaches it may do anything.
  cat >"$CUPS_DIR/etc/cupsd.conf" <<EOF2
Listen $CUPS_DIR/cups.sock
Browsing No
WebInterface No
LogLevel warn
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
EOF2
  # Their output to files of their own: a test runner waits for every holder
  # of the test's output to let go of it.
  python3 "$SRC/tests/e2e/receipt_printer.py" "$CUPS_DIR/printer" 600 </dev/null >"$CUPS_DIR/log/printer" 2>&1 &
  PRINTER_PID=$!
  cupsd -f -c "$CUPS_DIR/etc/cupsd.conf" -s "$CUPS_DIR/etc/cups-files.conf" </dev/null >"$CUPS_DIR/log/cupsd" 2>&1 &
  CUPSD_PID=$!
  export CUPS_SERVER="$CUPS_DIR/cups.sock"
  local i=0
  until [ -f "$CUPS_DIR/printer/port" ] && lpstat -r >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -ge 200 ] && fail "the CUPS server did not start: $(cat "$CUPS_DIR/log/error_log" 2>/dev/null)"
    sleep 0.05
  done
  PRINTER_PORT=$(cat "$CUPS_DIR/printer/port")
}

cups_add_printer() {
  lpadmin -p "$1" -E -v "socket://127.0.0.1:$PRINTER_PORT" || fail "lpadmin could not add the queue $1"
}

received_job() { echo "$CUPS_DIR/printer/job.$1"; }

# wait_job N: until the stand-in printer has received its N-th job.
wait_job() {
  local limit=$((E2E_TIMEOUT * 20)) i=0
  while [ ! -f "$(received_job "$1")" ]; do
    i=$((i + 1))
    [ $i -ge $limit ] && fail "the printer never received job $1 ($(lpstat -o 2>&1))"
    sleep 0.05
  done
}
