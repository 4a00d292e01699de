#!/usr/bin/env bash
# Saves that meet another writer of Tarn.ini, in a real terminal (tmux, 80x25)
# and from scripts:
# (a) F10 while another program holds the file's record lock (as lockf(3)
#     takes it): after the wait the box names it, the file is untouched and
#     the edit kept; once the lock is let go, F10 saves;
# (b) --set against a held lock exits 3 with the message, leaving the file
#     byte for byte and no copy;
# (c) crudini (which takes the same lock) and qplayout --set at the same
#     moment, several rounds: every value of both is there.
# Usage: test_locking.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"

[ "${QP_BIN%.exe}" = "$QP_BIN" ] || skip "POSIX record locks do not reach a Windows program under Wine"
command -v python3 >/dev/null || skip "python3 is not installed: nothing here takes a lockf lock"

expect_exit() {
  wait_exit
  [ "$EXIT_STATUS" = "$1" ] || fail "exit status $EXIT_STATUS, expected $1"
}

# hold_lock FILE: another program takes a lockf lock on FILE and keeps it
# until release_lock.
hold_lock() {
  HOLD_FLAG="$E2E_WORK/holding"
  rm -f "$HOLD_FLAG"
  python3 - "$1" "$HOLD_FLAG" <<'PY' &
import fcntl, os, sys, time
f = open(sys.argv[1], "r+")
fcntl.lockf(f, fcntl.LOCK_EX)
open(sys.argv[2], "w").close()
while os.path.exists(sys.argv[2]):
    time.sleep(0.02)
PY
  HOLD_PID=$!
  for _ in $(seq 100); do [ -f "$HOLD_FLAG" ] && return 0; sleep 0.05; done
  fail "the lock holder did not start"
}

release_lock() {
  rm -f "$HOLD_FLAG"
  wait "$HOLD_PID"
}

copies_left() { ls "$INSTALL" | grep -c '^QPL[0-9]*\.tmp$'; }

# (a) The editor.
make_install "$SRC"
cp "${INSTALL}Tarn.ini" "$E2E_WORK/before"
hold_lock "${INSTALL}Tarn.ini"
e2e_start 25 80 "env MURROOT='$INSTALL' MURTMP='${INSTALL}TEMP/' $QP_BIN"
wait_for "Format dels rebuts"
keys PgDn Space
wait_for_re "Imprimir el membret \.+:.No"
keys F10
E2E_TIMEOUT=15 wait_for "UN ALTRE PROGRAMA T"
cmp -s "$E2E_WORK/before" "${INSTALL}Tarn.ini" || fail "a save that met a held lock changed Tarn.ini"
[ "$(copies_left)" = 0 ] || fail "a save that met a held lock left a copy"
release_lock
keys Enter
wait_gone "UN ALTRE PROGRAMA"
wait_for_re "Imprimir el membret \.+: No"
keys F10
expect_exit 0
grep -q $'Membret=N\r' "${INSTALL}Tarn.ini" || fail "the kept edit was not saved once the lock was let go"

# (b) --set.
make_install "$SRC"
cp "${INSTALL}Tarn.ini" "$E2E_WORK/before"
hold_lock "${INSTALL}Tarn.ini"
MURROOT="$INSTALL" MURTMP="${INSTALL}TEMP/" "$QP_BIN" --set Matriu=S 2> "$E2E_WORK/stderr" </dev/null
status=$?
release_lock
[ "$status" = 3 ] || fail "--set against a held lock: exit $status, expected 3"
grep -q "UN ALTRE PROGRAMA T" "$E2E_WORK/stderr" || fail "--set against a held lock: $(cat "$E2E_WORK/stderr")"
cmp -s "$E2E_WORK/before" "${INSTALL}Tarn.ini" || fail "--set against a held lock changed Tarn.ini"
[ "$(copies_left)" = 0 ] || fail "--set against a held lock left a copy"

# (c) crudini alongside.
if command -v crudini >/dev/null; then
  keys=(Fila.Num=2 Fila.Dat=4 Matriu=S Membret=N)
  for round in $(seq 10); do
    make_install "$SRC"
    tarn="${INSTALL}Tarn.ini"
    # crudini reads UTF-8 only: a Tarn.ini in plain ASCII.
    printf '[Usuari]\r\nIdioma=CAT\r\n\r\n[Rebut]\r\nAntic=S\r\n' > "$tarn"
    pids=()
    for n in 1 2 3 4; do
      crudini --set "$tarn" Altres "Clau$n" "valor$n" &
      pids+=($!)
      MURROOT="$INSTALL" MURTMP="${INSTALL}TEMP/" "$QP_BIN" --set "${keys[$((n - 1))]}" </dev/null &
      pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || fail "round $round: a writer failed"; done
    for n in 1 2 3 4; do
      [ "$(crudini --get "$tarn" Altres "Clau$n")" = "valor$n" ] || fail "round $round: crudini's Clau$n was lost"
    done
    got=$(MURROOT="$INSTALL" MURTMP="${INSTALL}TEMP/" "$QP_BIN" --get Fila.Num Fila.Dat Matriu Membret | tr '\n' ' ')
    [ "$got" = "${keys[*]} " ] || fail "round $round: qplayout's values: $got"
  done
  crudini_done="crudini and --set together keep every value"
else
  crudini_done="crudini is not installed: the case with crudini was not run"
fi

echo "PASS: a held lock is waited for, named and let go; $crudini_done"
