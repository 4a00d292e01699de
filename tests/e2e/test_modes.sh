#!/usr/bin/env bash
# The modes that take no console, run as a script runs them: standard input
# from /dev/null, output to a file. Also --help, --version and a wrong option.
# Usage: test_modes.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"

make_install "$SRC"
TARN="${INSTALL}Tarn.ini"
run() {
  env -u TERM WINEDEBUG=-all MURROOT="$INSTALL" MURTMP="${INSTALL}TEMP/" $(program) "$@" \
    </dev/null >"$E2E_WORK/out" 2>"$E2E_WORK/err"
  STATUS=$?
  # A Windows program ends its lines with CR LF, and writes code page 850
  # where a POSIX one writes UTF-8.
  sed -i 's/\r$//' "$E2E_WORK/out" "$E2E_WORK/err"
  case "$QP_BIN" in
    *.exe)
      iconv -f CP850 -t UTF-8 "$E2E_WORK/err" >"$E2E_WORK/err.utf8" && mv "$E2E_WORK/err.utf8" "$E2E_WORK/err"
      ;;
  esac
}
expect() {  # expect STATUS WHAT
  [ "$STATUS" = "$1" ] || fail "$2: exit status $STATUS, expected $1 ($(cat "$E2E_WORK/err"))"
}
case "$QP_BIN" in
  *.exe) INSTALL=$(WINEDEBUG=-all winepath -w "$INSTALL")'\' ;;
esac

run --get
expect 0 "--get"
[ "$(cat "$E2E_WORK/out")" = "$(printf 'Antic=S\nFila.Num=1\nFila.Dat=3\nFila.Cnc=6\nFila.Dom=11\nFila.Nom=13\nMatriu=N\nDuplicat=N\nMembret=S')" ] ||
  fail "--get printed: $(cat "$E2E_WORK/out")"

cp "$TARN" "$E2E_WORK/before"
run --set Fila.Nom=20
expect 65 "--set with the name off the sheet"
grep -q "FILA LLIURAT FORA DE MARGES" "$E2E_WORK/err" || fail "--set did not name the margin: $(cat "$E2E_WORK/err")"
cmp -s "$TARN" "$E2E_WORK/before" || fail "a refused --set changed Tarn.ini"

run --set fila.nom=14 duplicat=s
expect 0 "--set"
run --get Fila.Nom DUPLICAT
[ "$(cat "$E2E_WORK/out")" = "$(printf 'Fila.Nom=14\nDuplicat=S')" ] || fail "--get after --set printed: $(cat "$E2E_WORK/out")"
run --check
expect 0 "--check"

run --set Nom=1
expect 64 "--set with an unknown key"
# Arguments are UTF-8, read as the code page 850 texts they mean; one the
# code page cannot hold is refused.
run --set Matriu=Sí
expect 65 "--set Matriu=Sí"
[ "$(cat "$E2E_WORK/err")" = "qplayout: VALOR NO VÀLID: Matriu=Sí (S, N)" ] || fail "--set Matriu=Sí said: $(cat "$E2E_WORK/err")"
run --set Matriu=是
expect 64 "an argument code page 850 cannot hold"
grep -q "^qplayout: UN ARGUMENT TÉ CARÀCTERS QUE LA PÀGINA DE CODIS 850 NO TÉ: Matriu=?$" "$E2E_WORK/err" ||
  fail "an argument code page 850 cannot hold: $(cat "$E2E_WORK/err")"
# Rows kept for the old format that would fail its plan: a warning, exit 0.
run --set antic=n fila.nom=20
expect 0 "--set of rows for the new format"
run --check
expect 0 "--check with the old format off"
grep -q "^qplayout: SI S'ACTIVA EL FORMAT ANTIC: FILA LLIURAT FORA DE MARGES$" "$E2E_WORK/err" ||
  fail "--check did not warn: $(cat "$E2E_WORK/err")"
run --set antic=s fila.nom=14
run --frobnicate
expect 64 "an unknown option"
[ "$(cat "$E2E_WORK/err")" = "$(printf 'qplayout: OPCIÓ DESCONEGUDA: --frobnicate\nqplayout --help mostra els modes')" ] ||
  fail "the unknown option: $(cat "$E2E_WORK/err")"
# A wrong call is told its arguments in the operator's words.
run --set
expect 64 "--set alone"
grep -q "^qplayout: ARGUMENTS NO VÀLIDS; CAL ESCRIURE: qplayout --set CLAU=VALOR...$" "$E2E_WORK/err" ||
  fail "--set alone: $(cat "$E2E_WORK/err")"
run --help
expect 0 "--help"
for mode in --get --set --check --keys --help-page --session --sheet --version; do
  grep -q -- "$mode" "$E2E_WORK/out" || fail "--help does not list $mode"
done
for topic in '../x' 'a&b' 'COM1' ''; do
  run --help-page "$topic"
  expect 64 "--help-page '$topic'"
done

# A FIFO in place of the session's file must not hang start-up: it is taken
# as missing, and --session names it. One in place of Tarn.ini is an error
# of every mode that reads it, and --session says so; --set on a missing
# Tarn.ini names the file it makes.
case "$QP_BIN" in
  *.exe) ;;
  *)
    mv "${INSTALL}TEMP/Sessio.ini" "$E2E_WORK/Sessio.ini"
    mkfifo "${INSTALL}TEMP/Sessio.ini"
    timeout 10 env MURROOT="$INSTALL" MURTMP="${INSTALL}TEMP/" "$QP_BIN" --session </dev/null >"$E2E_WORK/out" 2>&1
    STATUS=$?
    expect 0 "--session with a FIFO for Sessio.ini"
    grep -q "^Problem: .*Sessio.ini: not a regular file" "$E2E_WORK/out" || fail "--session printed: $(cat "$E2E_WORK/out")"
    grep -q '^SessionTitle: "  "' "$E2E_WORK/out" || fail "the FIFO was not taken as missing"
    rm "${INSTALL}TEMP/Sessio.ini"
    mv "$E2E_WORK/Sessio.ini" "${INSTALL}TEMP/Sessio.ini"

    mv "$TARN" "$E2E_WORK/Tarn.ini"
    mkfifo "$TARN"
    for mode in --get --check --sheet; do
      timeout 10 env MURROOT="$INSTALL" MURTMP="${INSTALL}TEMP/" "$QP_BIN" $mode </dev/null >"$E2E_WORK/out" 2>"$E2E_WORK/err"
      STATUS=$?
      expect 66 "$mode with a FIFO for Tarn.ini"
      [ ! -s "$E2E_WORK/out" ] || fail "$mode with a FIFO for Tarn.ini printed: $(cat "$E2E_WORK/out")"
      [ "$(cat "$E2E_WORK/err")" = "$(printf '%s\n' "qplayout: NO ES POT FER SERVIR EL FITXER Tarn.ini. NO ÉS UN FITXER ORDINARI O NO TENIU PERMÍS DE LECTURA." \
        "qplayout: detail: ${INSTALL}Tarn.ini: not a regular file")" ] || fail "$mode with a FIFO for Tarn.ini said: $(cat "$E2E_WORK/err")"
    done
    timeout 10 env MURROOT="$INSTALL" MURTMP="${INSTALL}TEMP/" "$QP_BIN" --session </dev/null >"$E2E_WORK/out" 2>&1
    grep -qx "TarnIniProblem: ${INSTALL}Tarn.ini: not a regular file" "$E2E_WORK/out" || fail "--session: $(cat "$E2E_WORK/out")"
    rm "$TARN"
    run --set Fila.Nom=14
    expect 0 "--set on a missing Tarn.ini"
    [ "$(cat "$E2E_WORK/err")" = "qplayout: S'HA CREAT EL FITXER: ${INSTALL}Tarn.ini" ] || fail "--set on a missing Tarn.ini said: $(cat "$E2E_WORK/err")"
    mv "$E2E_WORK/Tarn.ini" "$TARN"
    ;;
esac

run --version
expect 0 "--version"
grep -q "^qplayout [0-9]" "$E2E_WORK/out" || fail "--version printed: $(cat "$E2E_WORK/out")"
echo "PASS"
