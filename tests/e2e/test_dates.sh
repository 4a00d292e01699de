#!/usr/bin/env bash
# The date preferences are read at the first date shown, not at start-up: a
# DatOrdre changed on another workstation after the editor started, before
# the first calendar date, is the order the calendar's date is typed in.
# Usage: test_dates.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"

make_install "$SRC"
grep -q '^DatOrdre=DMA' "${INSTALL}Tarn.ini" || fail "the sample no longer orders dates DMA"
e2e_start 25 80 "MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
wait_for "Format dels rebuts"
# Keys typed before the first item waits for them may reach a console that
# is not yet raw (under Wine, echoed as "^[[B").
wait_for_re "rebut \.+:[^ ]S(í|i)[^ ]"
keys Down
wait_for_re "de rebut \.+: +║"
# Another workstation's change, after start-up.
sed -i 's/^DatOrdre=DMA/DatOrdre=AMD/' "${INSTALL}Tarn.ini"
cp "${INSTALL}Tarn.ini" "$E2E_WORK/changed"
keys M-c
wait_for "DL DT DC DJ DV DS DG"
# The working date 2024-03-05 typed year first: the two-digit row field
# keeps "20" (day first it would keep "05").
keys F
wait_gone "DL DT DC DJ DV DS DG"
wait_for_re "de rebut \.+: 20"
keys Escape Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "exit status $EXIT_STATUS"
cmp -s "$E2E_WORK/changed" "${INSTALL}Tarn.ini" || fail "leaving with Esc changed Tarn.ini"
echo "PASS: the calendar's date follows a DatOrdre changed after start-up"
