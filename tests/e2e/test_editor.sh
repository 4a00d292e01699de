#!/usr/bin/env bash
# The receipt layout editor in a real terminal (tmux, 80x25), each case on a
# fresh copy of the sample installation: a changed row is saved with F10, Esc
# abandons an edit, a wrong row plan is reported and kept from being saved
# until it is corrected, the Spanish session shows the Spanish texts, and the
# status line tells how the plan stands and why a key was refused.
# Usage: test_editor.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"

ORIGINAL="$SRC/sample/Tarn.ini"
# Item 1, the old-format switch, while it is being edited: its value between
# the choice arrows (not blanks, whatever glyphs the console gives them).
SWITCH_ACTIVE='rebut \.+:[^ ]S(í|i)[^ ]'

# Starts the editor on a fresh installation in the language given (CAT when
# none) and waits until the form is drawn and the first item is open.
start_editor() {
  make_install "$SRC"
  [ $# -gt 0 ] && set_language "$INSTALL" "$1"
  e2e_start 25 80 "MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
}

wait_catalan_form() {
  wait_for "Format dels rebuts"
  wait_for_re "Imprimir el membret \.+: S"
  wait_for_re "$SWITCH_ACTIVE"
}

# expect_exit N: the editor ended with exit status N.
expect_exit() {
  wait_exit
  [ "$EXIT_STATUS" = "$1" ] || fail "exit status $EXIT_STATUS, expected $1"
}

# The bytes of the sample Tarn.ini after a save: the section Rebut added with
# the nine values as the items hold them (rows padded to two characters).
expected_saved() {
  cat "$ORIGINAL"
  printf '[Rebut]\r\n'
  local key
  for key in Antic Fila.Num Fila.Dat Fila.Cnc Fila.Dom Fila.Nom Matriu Duplicat Membret; do
    printf '%s=%s\r\n' "$key" "$1"
    shift
  done
}

# expect_tarn_ini FILE WHAT: Tarn.ini of the installation is byte for byte FILE,
# and no working copy was left beside it.
expect_tarn_ini() {
  if ! cmp -s "$1" "${INSTALL}Tarn.ini"; then
    echo "--- expected ---" >&2
    od -c "$1" | tail -n 8 >&2
    echo "--- written ---" >&2
    od -c "${INSTALL}Tarn.ini" | tail -n 8 >&2
    fail "$2: Tarn.ini is not as expected"
  fi
  local left
  left=$(cd "$INSTALL" && ls -A | grep -v -x -e Tarn.ini -e TEMP -e FORMS -e LOCALE -e AJUDA)
  [ -z "$left" ] || fail "$2: files left in the installation: $left"
  left=$(cd "${INSTALL}TEMP" && ls -A | grep -v -x -i -e Sessio.ini -e TarnTerm.ini)
  [ -z "$left" ] || fail "$2: files left in TEMP: $left"
}

# (a) One row changed and saved with F10: all nine keys written with their padding.
start_editor
wait_catalan_form
keys Down Down 4 Enter
wait_for_re "Fila de la data \.+:  4"
keys F10
expect_exit 0
expected_saved S "1 " "4 " "6 " 11 13 N N S > "$E2E_WORK/saved.a"
expect_tarn_ini "$E2E_WORK/saved.a" "a row changed and saved"

# (b) Esc goes back to the first item, a second Esc leaves: nothing is written.
start_editor
wait_catalan_form
keys Down 2 Enter
wait_for_re "de rebut \.+:  2"
keys Escape
wait_for_re "$SWITCH_ACTIVE"
keys Escape
expect_exit 0
expect_tarn_ini "$ORIGINAL" "an edit abandoned with Esc"

# (c) Date on the number's row: F10 reports the order; once it is corrected a
# name block past the last printed row reports the margin; corrected again,
# F10 saves.
start_editor
wait_catalan_form
keys Down Down 1 Enter
wait_for_re "Fila de la data \.+:  1"
keys F10
wait_for "L'ORDRE DE LES FILES NO ÉS CORRECTE"
keys Enter
wait_gone "L'ORDRE DE LES FILES NO"
keys PgUp
wait_for_re "$SWITCH_ACTIVE"
keys Down Down 2 Enter Down Down 20 Enter
wait_for_re "Fila del nom \(6 files\) \.+: 20"
keys F10
wait_for "FILA LLIURAT FORA DE MARGES"
keys Enter
wait_gone "FILA LLIURAT FORA DE MARGES"
keys PgUp
wait_for_re "$SWITCH_ACTIVE"
keys Down Down Down Down Down 19 Enter
wait_for_re "Fila del nom \(6 files\) \.+: 19"
keys F10
expect_exit 0
expected_saved S "1 " "2 " "6 " 11 19 N N S > "$E2E_WORK/saved.c"
expect_tarn_ini "$E2E_WORK/saved.c" "a row plan corrected after both messages"

# (d) A Spanish session: labels, key lines and the order message in Spanish;
# Esc does not get past a wrong plan, and once the plan holds it leaves
# without writing.
start_editor SPA
wait_for "Formato antiguo del recibo"
wait_for "Fila de la fecha"
wait_for "Imprimir duplicado"
wait_for "F10: guarda y sale"
wait_for_re "recibo \.+:[^ ]S(í|i)[^ ]"
keys Down Down 1 Enter
wait_for_re "Fila de la fecha \.+:  1"
keys Escape
wait_for_re "recibo \.+:[^ ]S(í|i)[^ ]"
keys Escape
wait_for "EL ORDEN DE LAS FILAS NO ES CORRECTO"
keys Enter
wait_gone "EL ORDEN DE LAS FILAS"
keys PgUp
wait_for_re "recibo \.+:[^ ]S(í|i)[^ ]"
keys Down Down 3 Enter
wait_for_re "Fila de la fecha \.+:  3"
keys Escape
wait_for_re "recibo \.+:[^ ]S(í|i)[^ ]"
keys Escape
expect_exit 0
expect_tarn_ini "$ORIGINAL" "a Spanish session left with Esc"

# (e) A terminal smaller than 80 x 25 says what it needs and has; once it is
# large enough the line is gone and the whole form is there. (The Windows
# console's window is the program's to size: not there.)
if [ "${QP_BIN%.exe}" = "$QP_BIN" ]; then
  make_install "$SRC"
  e2e_start 20 70 "MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
  wait_for "Cal una finestra de 80 x 25; aquesta fa 70 x 20."
  e2e_tmux resize-window -t "$E2E_SESSION" -x 80 -y 25
  wait_gone "Cal una finestra"
  wait_for "F10: desa i surt"
  wait_for_re "Imprimir el membret \.+: S"
  keys Escape
  expect_exit 0
fi

# (f) The status line above the separator, in a Galician session: the plan
# after every accepted item, why a row was refused until the next key, and
# after the plan box the way out without saving, which works.
start_editor GLG
wait_for "As filas son correctas"
# Keys typed before the first item takes them would reach Wine's console as text.
wait_for_re 'recibo \.+:[^ ]Si'
keys Down Down 6 Enter
wait_for "Data e Concepto: fila 6"
keys 1 O Enter
wait_for "Escriba un número do 1 ao 25"
keys BSpace
wait_gone "Escriba un número"
wait_for "Data e Concepto: fila 6"
keys Escape Escape
wait_for "A ORDE DAS FILAS NON É CORRECTA"
keys Enter
wait_gone "A ORDE DAS FILAS"
wait_for "Para saír sen gardar: Formato antigo a Non, Intro e Esc dúas veces"
keys Space Enter Escape Escape
expect_exit 0
expect_tarn_ini "$ORIGINAL" "left the way the status line says"

echo "PASS: save with F10, abandon with Esc, both row plan messages, Spanish texts, a small terminal, the status line"
