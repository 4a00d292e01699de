#!/usr/bin/env bash
# What reaches a terminal or a printer from the shared folders, and what a
# Tarn.ini the program refuses gives, replayed in the two-user lab (lab.sh):
# the clerk writes what a clerk may write, the operator runs the program.
#  5. The clerk's escape sequences in a translation (LOCALE/QPLAYOUT.LNG), in
#     Tarn.ini and in the session's title: no control byte but the line ends
#     (and the sheet's final form feed) comes out of --sheet, --get, --check
#     or --session, and the terminal's title, which one of them sets, stays
#     as it was through the editor, its preview and --sheet on a terminal.
#  6. Tarn.ini as a FIFO, a device, the clerk's link to a device, or over the
#     size limit: --get, --check, --sheet and --print-sheet exit 66 with
#     nothing on standard output; --set writes nothing; the editor names the
#     file in a box and leaves with 66. Every line of standard error is in
#     the operator's language but those marked as detail, which name the file.
# Usage: test_lab_outputs.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
. "$(dirname "${BASH_SOURCE[0]}")/lab.sh"

SWITCH_ACTIVE='(rebut|recibo) \.+:[^ ]S(í|i)'
# Sets the terminal's title.
TITLE=$'\e]2;PWNED\a'
# The platform's words, which only a detail line may hold.
ENGLISH='cannot|not a regular|larger than|permission denied|no such file|is a folder|link|taken as missing'

as_clerk() { lab_as "$LAB_CLERK" "$MUR" sh -c "$1"; }

expect_status() {
  [ "$STATUS" = "$1" ] || fail "$2: exit status $STATUS, expected $1 ($(cat "$ERR"))"
}

# control_bytes FILE [KEPT]: how many bytes of FILE are control bytes other
# than LF and those in KEPT (tr's notation).
control_bytes() { LC_ALL=C tr -d "\\040-\\176\\200-\\377\\n${2:-}" <"$1" | wc -c; }

# no_control_bytes WHAT: neither output of the last run holds one.
no_control_bytes() {
  [ "$(control_bytes "$OUT")" = 0 ] || fail "$1: standard output holds control bytes: $(od -c "$OUT" | head -5)"
  [ "$(control_bytes "$ERR")" = 0 ] || fail "$1: standard error holds control bytes: $(od -c "$ERR" | head -5)"
}

# in_one_language WHAT: the lines of standard error not marked as detail
# hold none of the platform's words.
in_one_language() {
  ! grep -v '^qplayout: detail: ' "$ERR" | grep -q -i -E "$ENGLISH" ||
    fail "$1: the system's words outside a detail line: $(cat "$ERR")"
}

title_kept() {
  [ "$(e2e_tmux display -p -t "$E2E_SESSION" '#{pane_title}')" != PWNED ] || fail "$1: the terminal's title was set"
}

# Row 5.
lab_install
sed -i "s/^Idioma=[^"$'\r'"]*/Idioma=SPA/" "${MUR}TEMP/TarnTerm.ini"
as_clerk "perl -pi -e 's/\"Fecha\"/\"Fe${TITLE}cha\"/' LOCALE/QPLAYOUT.LNG"
as_clerk "printf '\\r\\n[Rebut]\\r\\nMatriu=\\033\\r\\n' >> Tarn.ini"
as_clerk "perl -pi -e 's/^Titol=[^\r]*/Titol=Rebuts${TITLE}/' TEMP/Sessio.ini"
op_run "$LAB" -- --sheet
expect_status 0 "row 5, --sheet"
[ "$(control_bytes "$OUT" '\r\f')" = 0 ] || fail "row 5: the sheet holds control bytes: $(od -c "$OUT" | head -5)"
grep -a -q "Fe ]2;PWNED cha" "$OUT" || fail "row 5: the translation's control bytes are not blanks in the sheet"
[ "$(tail -c 1 "$OUT")" = $'\f' ] || fail "row 5: the sheet does not end with its form feed"
for mode in --get --check --session; do
  op_run "$LAB" -- $mode
  no_control_bytes "row 5, $mode"
done
op_run "$LAB" -- --check
expect_status 65 "row 5, --check of a value with an escape"
grep -q "^qplayout: VALOR NO VÁLIDO: Matriu=  (S, N)$" "$ERR" || fail "row 5: --check said: $(cat "$ERR")"

e2e_start 25 80 "$(lab_as_command "$LAB_OP" "$LAB") env MURROOT='$MUR' MURTMP='${MUR}TEMP/' '$LAB_BIN'"
wait_for_re "$SWITCH_ACTIVE"
keys M-v
wait_for "PAPEL DEL RECIBO"
keys Escape
wait_gone "PAPEL DEL RECIBO"
keys Escape
wait_exit
title_kept "row 5, the editor"
e2e_start 30 80 "$(lab_as_command "$LAB_OP" "$LAB") env MURROOT='$MUR' MURTMP='${MUR}TEMP/' '$LAB_BIN' --sheet"
wait_exit
wait_for " 3 Fe ]2;PWNED cha"
wait_for "Imprimir matriz:"
title_kept "row 5, --sheet on a terminal"
echo "row 5: escape sequences of the clerk's reach neither the terminal nor the sheet's bytes"

# Row 6.
for kind in fifo device link over; do
  lab_install
  case $kind in
    fifo) as_clerk "rm -f Tarn.ini && mkfifo -m 0664 Tarn.ini" ;;
    device) rm -f "${MUR}Tarn.ini" && mknod -m 0666 "${MUR}Tarn.ini" c 1 3 && chown "$LAB_CLERK" "${MUR}Tarn.ini" ;;
    link) as_clerk "rm -f Tarn.ini && ln -s /dev/zero Tarn.ini" ;;
    over) as_clerk "truncate -s 64M Tarn.ini && printf x >> Tarn.ini" ;;
  esac
  before=$(stat -c '%F %s %Y %i' "${MUR}Tarn.ini")
  for mode in --get --check --sheet --print-sheet "--set Fila.Nom=14"; do
    op_run "$LAB" -- $mode
    expect_status 66 "row 6, $kind, $mode"
    [ ! -s "$OUT" ] || fail "row 6, $kind, $mode: standard output: $(head -c 200 "$OUT")"
    grep -q "^qplayout: NO ES POT FER SERVIR EL FITXER Tarn.ini\. " "$ERR" || fail "row 6, $kind, $mode: $(cat "$ERR")"
    grep -q "^qplayout: detail: ${MUR}Tarn.ini: " "$ERR" || fail "row 6, $kind, $mode: no detail names the file: $(cat "$ERR")"
    in_one_language "row 6, $kind, $mode"
  done
  [ "$(stat -c '%F %s %Y %i' "${MUR}Tarn.ini")" = "$before" ] || fail "row 6, $kind: --set changed Tarn.ini"
  [ -z "$(ls "$MUR" | grep '^QPL.*\.tmp$')" ] || fail "row 6, $kind: a copy was left"
done

# The editor, in Spanish: the box, then a key leaves; the terminal keeps the message.
sed -i "s/^Idioma=[^"$'\r'"]*/Idioma=SPA/" "${MUR}TEMP/TarnTerm.ini"
e2e_start 25 80 "$(lab_as_command "$LAB_OP" "$LAB") env MURROOT='$MUR' MURTMP='${MUR}TEMP/' '$LAB_BIN'"
wait_for "NO SE PUEDE USAR EL ARCHIVO Tarn.ini. ES DEMASIADO GRANDE."
screen_text | grep -q "Format" && fail "row 6: the form was shown under the box"
keys Enter
wait_exit
[ "$EXIT_STATUS" = 66 ] || fail "row 6, the editor: exit status $EXIT_STATUS"
wait_for "qplayout: detail: "
! screen_text | grep '^qplayout: ' | grep -v '^qplayout: detail: ' | grep -q -i -E "$ENGLISH" ||
  fail "row 6, the editor: the system's words outside a detail line"
echo "row 6: a FIFO, a device, a clerk's link and an over-limit Tarn.ini exit 66, print nothing and write nothing"

echo "PASS: rows 5 and 6"
