#!/usr/bin/env bash
# The calculator (Alt+X) and the calendar (Alt+C) opened from the editor's
# fields in a real terminal (tmux, 80x25): the calculator's result is typed
# into the row field and saved, its tape is there again in the next run; the
# calendar shows the working date's quarter, turns with PgDn and leaves the
# form as it was.
# Usage: test_popups.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"

SWITCH_ACTIVE='rebut \.+:[^ ]S(í|i)[^ ]'

start_editor() {
  e2e_start 25 80 "MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
  wait_for "Format dels rebuts"
  wait_for_re "$SWITCH_ACTIVE"
}

expect_exit() {
  wait_exit
  [ "$EXIT_STATUS" = "$1" ] || fail "exit status $EXIT_STATUS, expected $1"
}

# (a) The name's row blanked, 0.05 + 0.14 worked out in the calculator, "F"
# types 19 into the field, F10 saves it.
make_install "$SRC"
start_editor
keys Down Down Down Down Down
# The row items open blank: the value typed replaces the old one.
wait_for_re "Fila del domicili \.+: 11"
wait_for_re "Fila del nom \(6 files\) \.+: +║"
keys C-y M-x
wait_for_re "│ +0 +│"
keys 0 . 0 5 + 0 . 1 4 =
wait_for_re "│ +0,05 \+│"
wait_for_re "│ +0,14 =│"
wait_for_re "│ +0,19  │"
keys f
wait_gone "0,05 +"
wait_for_re "Fila del nom \(6 files\) \.+: 19"
keys Enter F10
expect_exit 0
grep -q $'^Fila.Nom=19\r$' "${INSTALL}Tarn.ini" || fail "the calculator's result was not saved: $(grep -a Fila.Nom "${INSTALL}Tarn.ini")"
grep -q $'^Fila.Dat=3 \r$' "${INSTALL}Tarn.ini" || fail "the other rows were not saved as they were"
[ -f "${INSTALL}MURCALC.TMP" ] || fail "the calculator's state was not kept"

# (b) The next run finds the tape as it was left; Esc closes the calculator
# without typing anything, and the editor leaves without writing.
cp "${INSTALL}Tarn.ini" "$E2E_WORK/saved.a"
start_editor
keys M-x
wait_for_re "│ +0,05 \+│"
wait_for_re "│ +0,19  │"
keys Escape
wait_gone "0,05 +"
wait_for_re "$SWITCH_ACTIVE"
keys Escape
expect_exit 0
cmp -s "$E2E_WORK/saved.a" "${INSTALL}Tarn.ini" || fail "Esc in the calculator changed Tarn.ini"

# (c) The calendar at the right edge: the quarter of the working date with
# its Catalan header, the next quarter on PgDn; Esc gives the form back.
make_install "$SRC"
start_editor
keys Down
wait_for_re "de rebut \.+: +║"
keys M-c
wait_for "DL DT DC DJ DV DS DG"
wait_for_re "│ +GENER +│"
wait_for_re "│ +MAR(Ç|C) +│"
keys PgDn
wait_for_re "│ +ABRIL +│"
wait_for_re "│ +JUNY +│"
keys Escape
wait_gone "DL DT DC DJ DV DS DG"
wait_for_re "Imprimir el membret \.+: S(í|i) +║"
wait_for_re "de rebut \.+: +║"
keys Escape Escape
expect_exit 0
cmp -s "$SRC/sample/Tarn.ini" "${INSTALL}Tarn.ini" || fail "the calendar changed Tarn.ini"

# (d) The help pager (Linux: on Windows F1 opens the HTML page) names its
# keys and the lines shown on its bottom frame, and follows PgDn.
if [ "${QP_BIN%.exe}" = "$QP_BIN" ]; then
  make_install "$SRC"
  start_editor
  keys F1
  wait_for_re "^╚═+ ↑↓ RePàg AvPàg · Esc ═+ 1-17/[0-9]+ ═╝"
  keys PgDn
  wait_for_re "^╚═+ ↑↓ RePàg AvPàg · Esc ═+ 18-34/[0-9]+ ═╝"
  keys Escape
  wait_gone "RePàg AvPàg"
  wait_for_re "$SWITCH_ACTIVE"
  keys Escape
  expect_exit 0
fi

# (e) At 80x24 the calculator cannot be seen whole: Alt+X beeps, says why on
# the status line and opens nothing, so the digits typed next go into the
# field (Linux: Wine's console keeps its own size).
if [ "${QP_BIN%.exe}" = "$QP_BIN" ]; then
  make_install "$SRC"
  e2e_start 24 80 "MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
  wait_for "Format dels rebuts"
  wait_for_re "$SWITCH_ACTIVE"
  keys Down Down Down Down Down
  keys M-x
  wait_for "La calculadora no hi cap: cal una finestra de 26 x 25"
  keys 1 4 Enter
  wait_for_re "Fila del nom .+: 14"
  keys F10
  expect_exit 0
  grep -q $'^Fila.Nom=14\r' "${INSTALL}Tarn.ini" || fail "the row typed after a refused calculator was not saved"
fi

echo "PASS: calculator result typed and saved, its tape kept between runs; calendar shown, turned and closed; the pager's keys; a calculator that does not fit is not opened"
