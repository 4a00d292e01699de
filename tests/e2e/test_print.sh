#!/usr/bin/env bash
# The alignment sheet printed through the system's printing: a CUPS server of
# the test's own with a raw queue "Rebuts" (the default) whose device is a
# stand-in receipt printer on a loopback port, a queue "Tancada" that is
# stopped and rejects jobs, and one removed while the editor runs. The bytes the printer receives, from
# qplayout --print-sheet and from F9 in the preview (tmux, 80x25), are those
# of --sheet for the same plan, byte for byte. Without a server, or for a
# printer that is not there, nothing is printed and the reason is told.
# Usage: test_print.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
. "$(dirname "${BASH_SOURCE[0]}")/cups.sh"

cups_start
cups_add_printer Rebuts
cups_add_printer Tancada
cupsreject Tancada && cupsdisable Tancada || fail "could not stop the queue Tancada"
lpadmin -d Rebuts || fail "could not make Rebuts the default"

make_install "$SRC"
ROOT=$INSTALL
case "$QP_BIN" in
  *.exe) ROOT=$(WINEDEBUG=-all winepath -w "$INSTALL")'\' ;;
esac

# run MODE ARGS...: qplayout as a script runs it; its status in STATUS, its
# output in $E2E_WORK/out and $E2E_WORK/err (the messages' line ends as on Linux).
run() {
  env -u TERM WINEDEBUG=-all MURROOT="$ROOT" MURTMP="${ROOT}TEMP/" $(program) "$@" \
    </dev/null >"$E2E_WORK/out" 2>"$E2E_WORK/err"
  STATUS=$?
  sed -i 's/\r$//' "$E2E_WORK/out" "$E2E_WORK/err"
}

# sheet_of ROOT: $E2E_WORK/expected holds what --sheet writes for that installation.
sheet_of() {
  env -u TERM WINEDEBUG=-all MURROOT="$1" MURTMP="${1}TEMP/" $(program) --sheet </dev/null >"$E2E_WORK/expected" 2>/dev/null
}

# What a refusal says. Wine's spooler hands the job to CUPS only when the
# document ends, and tells a rejecting or removed queue as a bad handle: the
# system's words, after the program's "not accepted". Without CUPS it has no
# printers to offer: it cannot tell that the service is missing.
REFUSED="(Tancada): la impressora no accepta treballs"
GONE="(Ultima): no hi ha cap impressora amb aquest nom"
NO_SERVICE="no hi ha cap servei d'impressi"
case "$QP_BIN" in
  *.exe)
    REFUSED="(Tancada): el sistema no ha acceptat el treball"
    GONE="(Ultima): el sistema no ha acceptat el treball"
    NO_SERVICE="el sistema no t"
    ;;
esac

# The editor waits on its first item: keys typed before are not its own.
FIRST_ITEM_ACTIVE='rebut \.+:[^ ]S(í|i)[^ ]'

JOBS=0
# expect_printed WHAT: the printer's next job holds exactly the bytes of $E2E_WORK/expected.
expect_printed() {
  JOBS=$((JOBS + 1))
  wait_job $JOBS
  if ! cmp -s "$(received_job $JOBS)" "$E2E_WORK/expected"; then
    echo "--- expected (--sheet) ---" >&2
    od -c "$E2E_WORK/expected" | head -20 >&2
    echo "--- received ---" >&2
    od -c "$(received_job $JOBS)" | head -20 >&2
    fail "$1: the printer did not receive the sheet's bytes"
  fi
}

# expect_nothing_printed WHAT: no job beyond those counted reached the printer.
expect_nothing_printed() {
  sleep 0.5
  [ -f "$(received_job $((JOBS + 1)))" ] && fail "$1: something was printed"
  return 0
}

# expect_refused STATUS TEXT WHAT: the run ended with STATUS and said TEXT on stderr.
expect_refused() {
  [ "$STATUS" = "$1" ] || fail "$3: exit status $STATUS, expected $1 ($(cat "$E2E_WORK/err"))"
  grep -qF -- "$2" "$E2E_WORK/err" || fail "$3: standard error: $(cat "$E2E_WORK/err")"
}

# (a) --print-sheet on the default printer: the bytes of --sheet, and which
# printer took them.
sheet_of "$ROOT"
run --print-sheet
[ "$STATUS" = 0 ] || fail "--print-sheet: exit status $STATUS ($(cat "$E2E_WORK/err"))"
grep -q "enviat a Rebuts$" "$E2E_WORK/out" || fail "--print-sheet did not say where the sheet went: $(cat "$E2E_WORK/out")"
expect_printed "--print-sheet"

# (b) A failing plan is printed all the same, named on stderr, exit 65; the
# printer is named as CUPS names it, in any case.
cp "${INSTALL}Tarn.ini" "$E2E_WORK/tarn.saved"
printf '\r\n[Rebut]\r\nFila.Nom=22\r\n' >>"${INSTALL}Tarn.ini"
sheet_of "$ROOT"
run --print-sheet rebuts
expect_refused 65 "qplayout: FILA LLIURAT FORA DE MARGES" "a failing plan"
expect_printed "a failing plan"
cp "$E2E_WORK/tarn.saved" "${INSTALL}Tarn.ini"

# (c) A printer that rejects jobs, one that is not there, names with odd
# bytes, and PRINTER naming the default: nothing printed, exit 69, the reason.
run --print-sheet Tancada
expect_refused 69 "$REFUSED" "a rejecting printer"
run --print-sheet Cap
expect_refused 69 "(Cap): no hi ha cap impressora amb aquest nom" "a printer that is not there"
run --print-sheet $'Reb\033[2Juts'
expect_refused 69 "(Reb?[2Juts): no hi ha cap impressora amb aquest nom" "a name with a control byte"
run --print-sheet '$(touch pwned)'
expect_refused 69 "no hi ha cap impressora amb aquest nom" "a name that a shell would run"
[ -e "${INSTALL}pwned" ] || [ -e pwned ] && fail "a printer's name was run as a command"
# The default that PRINTER names (CUPS's rule; Windows keeps its own default).
case "$QP_BIN" in
  *.exe) ;;
  *)
    PRINTER=Tancada run --print-sheet
    expect_refused 69 "(Tancada): la impressora no accepta treballs" "PRINTER naming the default"
    ;;
esac
expect_nothing_printed "refused printers"

# (d) In Spanish: the Spanish sheet, and the line in Spanish.
set_language "$INSTALL" SPA
sheet_of "$ROOT"
run --print-sheet
[ "$STATUS" = 0 ] || fail "--print-sheet in Spanish: exit status $STATUS ($(cat "$E2E_WORK/err"))"
grep -q "enviada a Rebuts$" "$E2E_WORK/out" || fail "--print-sheet in Spanish: $(cat "$E2E_WORK/out")"
expect_printed "--print-sheet in Spanish"
set_language "$INSTALL" CAT

# (e) F9 in the preview prints the plan on the form, with the number being
# typed: the name's row 14, not yet accepted, nor saved.
cp -r "$INSTALL" "$E2E_WORK/typed"
OTHER_ROOT="$E2E_WORK/typed/"
case "$QP_BIN" in
  *.exe) OTHER_ROOT=$(WINEDEBUG=-all winepath -w "$E2E_WORK/typed")'\' ;;
esac
env -u TERM WINEDEBUG=-all MURROOT="$OTHER_ROOT" MURTMP="${OTHER_ROOT}TEMP/" $(program) --set Fila.Nom=14 </dev/null >/dev/null 2>&1 ||
  fail "could not set the other installation's name row"
sheet_of "$OTHER_ROOT"

# One more printer, removed below while the editor runs (Wine's spooler
# learns the printers when the program starts).
cups_add_printer Ultima
e2e_start 25 80 "CUPS_SERVER='$CUPS_SERVER' MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
wait_for "Format dels rebuts"
wait_for_re "$FIRST_ITEM_ACTIVE"
keys Down Down Down Down Down
wait_for_re "Fila del nom \(6 files\) \.+: +║"
keys 1 4
wait_for_re "Fila del nom \(6 files\) \.+: 14"
keys M-v
wait_for "PAPER DEL REBUT"
wait_for "F9: imprimeix   Esc, Alt+V: tanca"
keys F9
wait_for "IMPRESSORA"
wait_for "Rebuts (per defecte)"
wait_for "Tancada"
wait_for "Intro: imprimeix   Esc: torna"
keys Enter
wait_for "enviat a Rebuts"
wait_gone "IMPRESSORA"
expect_printed "F9 in the preview"
# The other printer, chosen with Down, refuses; Esc in the pop-up prints nothing.
keys F9
wait_for "IMPRESSORA"
keys Down Enter
wait_for "$REFUSED"
keys F9
wait_for "IMPRESSORA"
keys Escape
wait_gone "IMPRESSORA"
wait_for "PAPER DEL REBUT"
expect_nothing_printed "Esc in the printer pop-up"
# A printer removed since the pop-up listed it: nothing printed, the reason told.
keys F9
wait_for "Ultima"
lpadmin -x Ultima || fail "could not remove the queue Ultima"
keys End Enter
wait_for "$GONE"
expect_nothing_printed "a printer removed"
# Back on the form with the number still being typed; Esc twice leaves without saving.
keys Escape
wait_gone "PAPER DEL REBUT"
wait_for_re "Fila del nom \(6 files\) \.+: 14"
keys Escape Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "the editor ended with $EXIT_STATUS"
cmp -s "$E2E_WORK/tarn.saved" "${INSTALL}Tarn.ini" || fail "printing from the preview changed Tarn.ini"

# (f) No printing service: the script says so and exits 69; the preview says
# so on its line and stays open.
cups_stop
run --print-sheet
expect_refused 69 "$NO_SERVICE" "no printing service"
e2e_start 25 80 "CUPS_SERVER='$CUPS_SERVER' MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
wait_for "Format dels rebuts"
wait_for_re "$FIRST_ITEM_ACTIVE"
keys M-v
wait_for "PAPER DEL REBUT"
keys F9
wait_for "$NO_SERVICE"
wait_for "PAPER DEL REBUT"
keys Escape
wait_gone "PAPER DEL REBUT"
keys Escape
wait_exit

# (g) A terminal of 80x24 would cut the preview's last row: Alt+V does not
# open it, and the Esc that follows leaves the form.
e2e_start 24 80 "MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
wait_for "Format dels rebuts"
wait_for_re "$FIRST_ITEM_ACTIVE"
keys M-v
sleep 1
screen_text | grep -qF "PAPER DEL REBUT" && fail "the preview opened on 24 rows"
keys Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "Esc after a refused preview: exit status $EXIT_STATUS"
echo "PASS"
