#!/usr/bin/env bash
# More attacks of the clerk's, replayed in the two-user lab (lab.sh), that go
# through a folder of the installation the clerk may replace: the
# installation's root is the office's (root:office 2775, not sticky), so the
# clerk may rename LOCALE and put a folder of his own in its place, where
# links he makes count as the folder's owner's.
#  1. LOCALE as the clerk's folder with a link QPLAYOUT.LNG to the
#     operator's missing ~/.bash_aliases: nothing is made there (it would
#     be made group-writable, and the clerk would write the operator's
#     commands into it).
#  2. A large language file that the clerk keeps changing: --sheet reads it
#     a few times, not once for every text.
# Usage: test_lab_attack.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
. "$(dirname "${BASH_SOURCE[0]}")/lab.sh"

as_clerk() { lab_as "$LAB_CLERK" "$MUR" sh -c "$1"; }

expect_status() {
  [ "$STATUS" = "$1" ] || fail "$2: exit status $STATUS, expected $1 ($(cat "$ERR"))"
}

spanish_session() { sed -i "s/^Idioma=[^"$'\r'"]*/Idioma=SPA/" "${MUR}TEMP/TarnTerm.ini"; }

# 1: the clerk's own LOCALE folder, with the link in it.
lab_install
spanish_session
op_files_note
as_clerk "mv LOCALE LOCALE.old && mkdir LOCALE && ln -s '${OP_HOME}.bash_aliases' LOCALE/QPLAYOUT.LNG"
op_run "$LAB" -- --get Fila.Num
expect_status 0 "1, the clerk's LOCALE"
[ "$(tr -d '\r' <"$OUT")" = "Fila.Num=1" ] || fail "1: --get printed $(cat "$OUT")"
[ ! -e "${OP_HOME}.bash_aliases" ] || fail "1: the clerk's link made ${OP_HOME}.bash_aliases"
op_files_untouched "1, the clerk's LOCALE"
echo "1: a link in the clerk's own LOCALE folder makes nothing in the operator's home"

# 2: 8 MiB of empty records, touched by the clerk all the time. Read once
# for each of the sheet's texts, it takes minutes; read a few times, about
# as long as one read.
lab_install
spanish_session
perl -e 'print "\r" x (8 << 20)' >"${MUR}LOCALE/QPLAYOUT.LNG"
start=$SECONDS
op_run "$LAB" -- --sheet
once=$((SECONDS - start + 1))
expect_status 0 "2, one read"
lab_background "$LAB_CLERK" "$MUR" perl -e 'for (;;) { utime(undef, undef, "LOCALE/QPLAYOUT.LNG"); select(undef, undef, undef, 0.01); }'
toucher=${LAB_PIDS[-1]}
start=$SECONDS
op_run "$LAB" -- --sheet
took=$((SECONDS - start))
lab_stop "$toucher"
expect_status 0 "2, a file that keeps changing"
[ "$took" -le $((4 * once + 2)) ] ||
  fail "2: --sheet took $took s with the file changing all the time, $once s without"
echo "2: --sheet took $took s with the language file changing all the time, $once s without"
