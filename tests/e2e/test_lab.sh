#!/usr/bin/env bash
# Attacks from the shared folders on the operator's own files, replayed in the
# two-user lab (lab.sh): the clerk writes what a clerk may write, the operator
# runs the program, and the operator's files stay as they were.
#  1. A NUL byte in Sessio.ini [Terminal] Dir that would make MURCALC.TMP (or,
#     with MURTMP empty, WinPush.tmp) the operator's own notes: the value is
#     refused, named on stderr and by --session, and the notes are untouched.
#  2. LOCALE/QPLAYOUT.LNG as the clerk's link to ~/.bash_aliases, or LOCALE as
#     a link to the home folder: nothing is made there.
#  3. Tarn.ini swapped between a regular file and a link to the operator's
#     file while the operator saves, for 20 s: never won.
#  8. A Tarn.ini with set-user-ID and set-group-ID bits: the saved file has
#     permission bits only.
#  9. A relative MURROOT: made absolute before the program changes folder.
# Usage: test_lab.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
. "$(dirname "${BASH_SOURCE[0]}")/lab.sh"

MARK="MARCA-DE-L-OPERADOR"
SWITCH_ACTIVE='(rebut|recibo) \.+:[^ ]S(í|i)'

# op_file NAME MODE: a file of the operator's, in a shape the program would
# take for a configuration file, with a mark that shows where it went.
op_file() {
  printf '[Rebut]\r\nFila.Nom=42\r\n%s\r\n' "$MARK" >"$OP_HOME$1"
  chown "$LAB_OP:$LAB_GROUP" "$OP_HOME$1"
  chmod "$2" "$OP_HOME$1"
}

# as_clerk COMMAND...: a shell command line of the clerk's, in MUR.
as_clerk() { lab_as "$LAB_CLERK" "$MUR" sh -c "$1"; }

expect_status() {
  [ "$STATUS" = "$1" ] || fail "$2: exit status $STATUS, expected $1 ($(cat "$ERR"))"
}

lab_install
op_file notes.txt 0640
op_file secret.txt 0600

# Row 1 (a): with MURTMP set, the calculator's state file in TerminalDir.
printf '[Menu]\r\nTitol=Rebuts\r\nNomMenu=QPLAYOUT\r\n\r\n[Terminal]\r\nDir=%snotes.txt\0\r\n' "$OP_HOME" |
  as_clerk 'cat > TEMP/Sessio.ini'
op_files_note
e2e_start 25 80 "$(lab_as_command "$LAB_OP" "$LAB") env MURROOT='$MUR' MURTMP='${MUR}TEMP/' '$LAB_BIN'"
wait_for_re "$SWITCH_ACTIVE"
keys M-x
wait_for_re "│ +0 +│"
keys 1 2 + 3 0 =
wait_for_re "│ +42  │"
keys Escape
wait_gone "42  │"
keys Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "row 1, calculator: exit status $EXIT_STATUS"
op_files_untouched "row 1, calculator"
screen_text | grep -qF "qplayout: detail: Sessio.ini [Terminal] Dir holds a NUL byte: taken as missing" ||
  fail "row 1: the refused Dir was not named on stderr"
op_run "$LAB" -- --session
expect_status 0 "row 1, --session"
grep -qF "Problem: Sessio.ini [Terminal] Dir holds a NUL byte: taken as missing" "$OUT" ||
  fail "row 1: --session does not name the refused Dir: $(cat "$OUT")"

# Row 1 (b): with MURTMP empty, Sessio.ini in the start folder, the window
# stack's file in TerminalDir.
e2e_start 25 80 "$(lab_as_command "$LAB_OP" "${MUR}TEMP") env MURROOT='$MUR' '$LAB_BIN'"
wait_for_re "$SWITCH_ACTIVE"
keys M-x
wait_for_re "│ +42  │"  # the tape kept from (a), in the installation's folder
keys Escape
wait_gone "42  │"
keys Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "row 1, window stack: exit status $EXIT_STATUS"
op_files_untouched "row 1, window stack"
echo "row 1: a NUL in [Terminal] Dir is refused and named; the operator's notes are untouched"

# Row 2: the language file as the clerk's link into the operator's home, and
# the LOCALE folder as one; a Spanish session makes the file when missing.
lab_install
sed -i "s/^Idioma=[^"$'\r'"]*/Idioma=SPA/" "${MUR}TEMP/TarnTerm.ini"
op_files_note
as_clerk "rm -f LOCALE/QPLAYOUT.LNG && ln -s '${OP_HOME}.bash_aliases' LOCALE/QPLAYOUT.LNG"
op_run "$LAB" -- --get Fila.Num
expect_status 0 "row 2, file link"
[ "$(tr -d '\r' <"$OUT")" = "Fila.Num=1" ] || fail "row 2: --get printed $(cat "$OUT")"
[ ! -e "${OP_HOME}.bash_aliases" ] || fail "row 2: the link made ${OP_HOME}.bash_aliases"
op_files_untouched "row 2, file link"
as_clerk "rm -rf LOCALE && ln -s '$OP_HOME' LOCALE"
op_run "$LAB" -- --get Fila.Num
expect_status 0 "row 2, folder link"
op_files_untouched "row 2, folder link"
echo "row 2: the clerk's links in LOCALE are not followed; nothing is made in the operator's home"

# Row 3: the clerk swaps Tarn.ini between a regular file and a link to the
# operator's notes (readable by the office, as a copy of them would be), as
# fast as the system lets a program (Perl: no process per swap), and before
# each swap notes whether the shared file holds the operator's bytes. Only
# the clerk makes links, one at a time: a Tarn.ini that is no link at that
# moment is a regular file.
lab_install
cp "${MUR}Tarn.ini" "$LAB/tarn"
op_files_note
lab_background "$LAB_CLERK" "$MUR" perl -e '
  my ($notes, $mark, $tarn) = @ARGV;
  open(my $in, "<", $tarn) or die; local $/; my $bytes = <$in>; close $in;
  sub won {
    return if -l "Tarn.ini" || !open(my $t, "<", "Tarn.ini");
    my $now = <$t>;
    if (index($now, $mark) >= 0) { open(my $w, ">>", "WON"); print $w "won\n"; }
  }
  for (;;) {
    symlink($notes, ".link"); won(); rename(".link", "Tarn.ini");
    open(my $out, ">", ".file"); print $out $bytes; close $out; won(); rename(".file", "Tarn.ini");
  }' "${OP_HOME}notes.txt" "$MARK" "$LAB/tarn"
swapper=${LAB_PIDS[-1]}
saved=0
refused=0
end=$((SECONDS + 20))
while [ "$SECONDS" -lt "$end" ]; do
  op_run "$LAB" -- --set "Fila.Nom=1$((saved % 2 + 3))"
  case "$STATUS" in
    0) saved=$((saved + 1)) ;;
    3 | 66) refused=$((refused + 1)) ;;
    *) fail "row 3: --set ended with $STATUS: $(cat "$ERR")" ;;
  esac
  [ ! -e "${MUR}WON" ] || fail "row 3: the shared Tarn.ini held the operator's file after save $((saved + refused))"
done
lab_stop "$swapper"
op_files_untouched "row 3"
# The clerk, stopped, may have left its link in place: only a file is read.
[ -L "${MUR}Tarn.ini" ] || ! grep -q "$MARK" "${MUR}Tarn.ini" || fail "row 3: the shared Tarn.ini holds the operator's file"
[ $((saved + refused)) -gt 0 ] || fail "row 3: no save was tried"
echo "row 3: $saved saves went through and $refused were refused in 20 s of swapping; none reached the operator's file"

# Row 8: the clerk's own Tarn.ini with set-user-ID, set-group-ID and sticky
# bits (Linux itself clears the first two on a write only where they would
# let the file run).
lab_install
as_clerk "cp Tarn.ini .mine && chmod 7664 .mine && mv -f .mine Tarn.ini"
op_run "$LAB" -- --set Fila.Nom=14
expect_status 0 "row 8"
[ "$(stat -c '%a %U' "${MUR}Tarn.ini")" = "664 $LAB_OP" ] ||
  fail "row 8: the saved Tarn.ini is $(stat -c '%a %U' "${MUR}Tarn.ini")"
echo "row 8: the saved copy keeps permission bits only"

# Row 9: a relative MURROOT, from the folder that holds it.
op_run "$LAB" MURROOT=mur -- --get Fila.Nom
expect_status 0 "row 9"
[ "$(tr -d '\r' <"$OUT")" = "Fila.Nom=14" ] || fail "row 9: --get printed $(cat "$OUT")"
op_run "$LAB" MURROOT=mur -- --session
grep -qF "RootDir: \"${LAB}/mur/\"" "$OUT" || fail "row 9: RootDir is not absolute: $(grep RootDir "$OUT")"
echo "row 9: a relative MURROOT is made absolute before the program changes folder"

echo "PASS: rows 1, 2, 3, 8 and 9 leave the operator's files untouched"
