#!/usr/bin/env bash
# Saving as an office meets it, in a real terminal (tmux, 80x25):
# (a) an operator without the right to change Tarn.ini is told so, the file is
#     untouched, and once it is made writable F10 saves the edit kept meanwhile;
# (b) a signal that ends the program with a window open gives WinPush.tmp back
#     as the program that started it left it (removed when there was none).
# Usage: test_saving.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"

# Both cases need POSIX users and signals, which a Windows program under Wine
# does not meet: there the Windows build is checked by its unit tests only.
[ "${QP_BIN%.exe}" = "$QP_BIN" ] || skip "runuser and POSIX signals do not reach a Windows program under Wine"

# The program's own pid goes to $1, then the program runs as the rest.
start_with_pid() {
  local pidfile=$1
  shift
  e2e_start 25 80 "sh -c 'echo \$\$ > $pidfile; exec $*'"
}

expect_exit() {
  wait_exit
  [ "$EXIT_STATUS" = "$1" ] || fail "exit status $EXIT_STATUS, expected $1"
}

# (a) Read-only for an unprivileged operator.
if [ "$(id -u)" = 0 ] && command -v runuser >/dev/null &&
   runuser -u nobody -- test -x "$QP_BIN"; then
  make_install "$SRC"
  chmod 755 "$E2E_WORK" "$(dirname "$INSTALL")"
  chown -R nobody "$INSTALL"
  chmod 444 "${INSTALL}Tarn.ini"
  cp "${INSTALL}Tarn.ini" "$E2E_WORK/before"
  e2e_start 25 80 "runuser -u nobody -- env TERM=xterm-256color MURROOT='$INSTALL' MURTMP='${INSTALL}TEMP/' $QP_BIN"
  wait_for "Format dels rebuts"
  wait_for_re "Imprimir el membret \.+: S"
  keys PgDn Space
  wait_for_re "Imprimir el membret \.+:.No"
  keys F10
  wait_for "NO S'HAN POGUT DESAR ELS CANVIS"
  wait_for "LECTURA"
  cmp -s "$E2E_WORK/before" "${INSTALL}Tarn.ini" || fail "a refused save changed Tarn.ini"
  [ "$(stat -c %a "${INSTALL}Tarn.ini")" = 444 ] || fail "a refused save changed Tarn.ini's mode"
  chmod 644 "${INSTALL}Tarn.ini"
  keys Enter
  wait_gone "NO S'HAN POGUT DESAR ELS CANVIS"
  wait_for_re "Imprimir el membret \.+: No"
  keys F10
  expect_exit 0
  grep -q $'Membret=N\r' "${INSTALL}Tarn.ini" || fail "the kept edit was not saved once the file could be written"
  [ "$(stat -c %a:%U "${INSTALL}Tarn.ini")" = 644:nobody ] || fail "the save changed Tarn.ini's mode or owner"
else
  echo "read-only case skipped: needs root and runuser"
fi

# (b) WinPush.tmp after SIGTERM and SIGHUP with the help page open. The
# parent's stack: one record of a 1x1 region, stack top 32.
parent_stack() {
  printf '\040\000\000\000'
  printf '01010000000001010101A\00700027'
}

for case in parent:TERM none:HUP; do
  before=${case%%:*}
  signal=${case##*:}
  make_install "$SRC"
  push="${INSTALL}TEMP/WinPush.tmp"
  [ "$before" = parent ] && parent_stack > "$push"
  [ "$before" = parent ] && cp "$push" "$E2E_WORK/push.before"
  pidfile="$E2E_WORK/pid.$case"
  start_with_pid "$pidfile" "env MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
  wait_for "Format dels rebuts"
  keys F1
  wait_for "DISPOSICI"
  [ -f "$push" ] || fail "no window was saved in WinPush.tmp"
  kill -s "$signal" "$(cat "$pidfile")"
  wait_exit
  if [ "$before" = parent ]; then
    cmp -s "$E2E_WORK/push.before" "$push" || fail "SIG$signal: WinPush.tmp is not as the parent left it"
  else
    [ ! -e "$push" ] || fail "SIG$signal: WinPush.tmp was left behind"
  fi
done

echo "PASS"
