#!/usr/bin/env bash
# qplayout --sheet as a print job runs it: standard input from /dev/null, no
# terminal, standard output to a file whose bytes go to the printer as they
# are. Checks those bytes, the exit status and the message of a failing plan.
# Usage: test_sheet.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"

make_install "$SRC"
TARN="${INSTALL}Tarn.ini"
ROOT=$INSTALL
case "$QP_BIN" in
  *.exe) ROOT=$(WINEDEBUG=-all winepath -w "$INSTALL")'\' ;;
esac
run_sheet() {
  env -u TERM WINEDEBUG=-all MURROOT="$ROOT" MURTMP="${ROOT}TEMP/" $(program) --sheet \
    </dev/null >"$E2E_WORK/sheet" 2>"$E2E_WORK/err"
  STATUS=$?
  # Only the messages have the platform's line ends; the sheet has its own.
  sed -i 's/\r$//' "$E2E_WORK/err"
}

# sheet ROW=NAMES... -- LINE...: the expected bytes, the rows not named holding
# their number alone. Texts in code page 850 ($'\xA3' for "ú").
sheet() {
  local -A names=()
  local row line
  while [ "$1" != -- ]; do
    names[${1%%=*}]=${1#*=}
    shift
  done
  shift
  for row in $(seq 1 25); do
    printf '%2d' "$row"
    [ -n "${names[$row]:-}" ] && printf ' %s' "${names[$row]}"
    printf '\r\n'
  done
  printf '\r\n'
  for line; do printf '%s\r\n' "$line"; done
  printf '\f'
}

# check_sheet STATUS STDERR WHAT: the run gave the status, that standard error
# and exactly the bytes of $E2E_WORK/expected.
check_sheet() {
  [ "$STATUS" = "$1" ] || fail "$3: exit status $STATUS, expected $1 ($(cat "$E2E_WORK/err"))"
  # The program's own lines only: a first run of Wine may say something too.
  [ "$(grep '^qplayout' "$E2E_WORK/err")" = "$2" ] || fail "$3: standard error: $(cat "$E2E_WORK/err")"
  if ! cmp -s "$E2E_WORK/sheet" "$E2E_WORK/expected"; then
    echo "--- expected ---" >&2
    od -c "$E2E_WORK/expected" >&2
    echo "--- written ---" >&2
    od -c "$E2E_WORK/sheet" >&2
    fail "$3: the sheet's bytes differ"
  fi
}

CATALAN_ROWS=(1=$'N\xA3m. rebut' 3=Data 6="Concepte 1/5" 7="Concepte 2/5" 8="Concepte 3/5" 9="Concepte 4/5"
  10="Concepte 5/5" 11=Domicili)
CATALAN_CHOICES=$'Imprimir la matriu: No   Imprimir el duplicat: No   Imprimir el membret: S\xA1'

sheet "${CATALAN_ROWS[@]}" 13="Nom 1/6" 14="Nom 2/6" 15="Nom 3/6" 16="Nom 4/6" 17="Nom 5/6" 18="Nom 6/6" \
  -- "$CATALAN_CHOICES" >"$E2E_WORK/expected"
run_sheet
check_sheet 0 "" "the sample settings"

# A failing plan still gives the whole sheet; its message goes to standard error.
cp "$TARN" "$E2E_WORK/before"
printf '\r\n[Rebut]\r\nFila.Nom=22\r\n' >>"$TARN"
sheet "${CATALAN_ROWS[@]}" 22="Nom 1/6" 23="Nom 2/6" 24="Nom 3/6" 25="Nom 4/6" \
  -- "$CATALAN_CHOICES" "Fora del paper: Nom, files 26-27" >"$E2E_WORK/expected"
run_sheet
check_sheet 65 "qplayout: FILA LLIURAT FORA DE MARGES" "the name off the sheet"
cp "$E2E_WORK/before" "$TARN"

set_language "$INSTALL" SPA
sheet 1=$'N\xA3m. recibo' 3=Fecha 6="Concepto 1/5" 7="Concepto 2/5" 8="Concepto 3/5" 9="Concepto 4/5" \
  10="Concepto 5/5" 11=Domicilio 13="Nombre 1/6" 14="Nombre 2/6" 15="Nombre 3/6" 16="Nombre 4/6" \
  17="Nombre 5/6" 18="Nombre 6/6" \
  -- $'Imprimir matriz: No   Imprimir duplicado: No   Imprimir membrete: S\xA1' >"$E2E_WORK/expected"
run_sheet
check_sheet 0 "" "the sample settings in Spanish"
cmp -s "$TARN" "$E2E_WORK/before" || fail "--sheet changed Tarn.ini"

# A sheet that cannot be written is no success (Linux only: Wine's handling of
# /dev/full is its own).
case "$QP_BIN" in
  *.exe) ;;
  *)
    if [ -w /dev/full ]; then
      env -u TERM MURROOT="$ROOT" MURTMP="${ROOT}TEMP/" "$QP_BIN" --sheet </dev/null >/dev/full 2>"$E2E_WORK/err"
      STATUS=$?
      [ "$STATUS" = 3 ] || fail "a sheet written to a full disk: exit status $STATUS"
      [ "$(cat "$E2E_WORK/err")" = "$(printf '%s\n' "qplayout: NO SE HA PODIDO ESCRIBIR LA HOJA EN LA SALIDA ESTÁNDAR" \
        "qplayout: detail: standard output: No space left on device")" ] ||
        fail "a sheet not written: $(cat "$E2E_WORK/err")"
      # Nor is a mode's output lost on the way.
      for mode in --get --session; do
        env -u TERM MURROOT="$ROOT" MURTMP="${ROOT}TEMP/" "$QP_BIN" $mode </dev/null >/dev/full 2>"$E2E_WORK/err"
        STATUS=$?
        [ "$STATUS" = 3 ] || fail "$mode written to a full disk: exit status $STATUS"
        grep -q "^qplayout: NO SE HA PODIDO ESCRIBIR EN LA SALIDA ESTÁNDAR$" "$E2E_WORK/err" ||
          fail "$mode not written: $(cat "$E2E_WORK/err")"
      done
    fi
    ;;
esac

# On a terminal the sheet is shown as text, in its language, one row a line.
e2e_start 30 80 "MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program) --sheet"
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "--sheet on a terminal: exit status $EXIT_STATUS"
screen_text | grep -q "^ 3 Fecha$" || fail "--sheet on a terminal is not readable: $(screen_text)"
screen_text | grep -q "^Imprimir matriz: No   Imprimir duplicado: No   Imprimir membrete: S.$" ||
  fail "--sheet on a terminal: the choices are not readable: $(screen_text)"
# Wine's console does not take the Windows console's code page 850.
case "$QP_BIN" in
  *.exe) ;;
  *) screen_text | grep -q "^ 1 Núm. recibo$" || fail "--sheet on a terminal: not in UTF-8: $(screen_text)" ;;
esac

env -u TERM WINEDEBUG=-all $(program) --help </dev/null >"$E2E_WORK/help" 2>&1
grep -q -- "--sheet" "$E2E_WORK/help" || fail "--help does not list --sheet"
grep -q -- "--print-sheet \[PRINTER\]" "$E2E_WORK/help" || fail "--help does not list --print-sheet"
grep -q -- "69 no such printer" "$E2E_WORK/help" || fail "--help does not name exit code 69"
echo "PASS"
