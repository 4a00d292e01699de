#!/usr/bin/env bash
# What other users of a shared folder can put in the session's files does not
# run: a menu name (Sessio.ini NomMenu) with shell syntax is no help topic, F1
# only beeps and the editor goes on, on Linux even with WINDIR set. The help
# page of the session's language comes first: on Linux the pager shows
# AJUDA/SPA/QPLAYOUT.HLP in a Spanish session; under Wine the suite's QPOPEN
# (here a QPOPEN.BAT in MURROOT that notes its argument) is given
# AJUDA\SPA\X.HTM, and a menu name with "&" runs nothing. A NUL byte in
# Sessio.ini [Terminal] Dir is refused and named, a relative MURROOT is made
# absolute, and a language file changed while the editor runs is read again.
# Usage: test_security.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"

SWITCH_ACTIVE='(rebut|recibo) \.+:[^ ]S(í|i)'

# set_menu_name INSTALL NAME: the session's NomMenu, byte for byte.
set_menu_name() {
  printf '[Menu]\r\nTitol=Format dels rebuts\r\nNomMenu=%s\r\n\r\n[Terminal]\r\nDir=\r\n' "$2" > "$1TEMP/Sessio.ini"
}

# help_page FILE TEXT: a one-line help page (one 80-byte record).
help_page() {
  mkdir -p "$(dirname "$1")"
  printf '%-80s' "$2" > "$1"
}

# start_editor [VARIABLE=VALUE...]: the editor on INSTALL, the form drawn.
start_editor() {
  e2e_start 25 80 "$* MURROOT=$(native_path "$INSTALL") MURTMP=$(native_path "${INSTALL}TEMP/") $(program)"
  wait_for_re "$SWITCH_ACTIVE"
}

expect_exit() {
  wait_exit
  [ "$EXIT_STATUS" = "$1" ] || fail "exit status $EXIT_STATUS, expected $1"
}

# The pager's frame starts in the first column; the form's one column later.
pager_shown() { screen_text | grep -q '^╔'; }

# F1 with a menu name that is no topic: nothing runs, no help opens, and the
# editor still takes keys (Down moves to the next field, Esc leaves). With
# "pager", the name read is a plain topic (the line's ";" starts a comment):
# its page, missing, opens empty and Esc closes it.
expect_f1_refused() {
  local what=$1 marker=$2 pager=${3:-}
  keys F1
  sleep 1
  [ ! -e "$marker" ] || fail "$what: F1 ran a command"
  if [ -n "$pager" ]; then
    pager_shown || fail "$what: no help page for the name before the comment"
    keys Escape
    sleep 0.5
  fi
  pager_shown && fail "$what: a help page is open"
  keys Down
  wait_for_re "(rebut|recibo) \.+: S(í|i) "
  keys Escape
  wait_for_re "$SWITCH_ACTIVE"
  keys Escape
  expect_exit 0
  [ ! -e "$marker" ] || fail "$what: a command ran"
}

# run_mode [VARIABLE=VALUE...] -- ARGUMENTS...: a mode without console on
# INSTALL, from E2E_WORK; output in OUT, status in STATUS.
run_mode() {
  local vars=("MURROOT=$(windows_name "$INSTALL")" "MURTMP=$(windows_name "${INSTALL}TEMP/")")
  while [ "$1" != -- ]; do
    vars+=("$1")
    shift
  done
  shift
  OUT="$E2E_WORK/out"
  (cd "$E2E_WORK" && env -u TERM WINEDEBUG=-all "${vars[@]}" $(program) "$@" </dev/null >"$OUT" 2>&1)
  STATUS=$?
  sed -i 's/\r$//' "$OUT"
}

# windows_name PATH: PATH as the program under test names it (unquoted).
windows_name() {
  case "$QP_BIN" in
    *.exe) local name; name=$(WINEDEBUG=-all winepath -w "$1"); case "$1" in */) name="${name%\\}\\" ;; esac; echo "$name" ;;
    *) echo "$1" ;;
  esac
}

# (e) A NUL byte in Sessio.ini [Terminal] Dir would cut the folder where the
# system reads it, leaving a file of the operator's as MURCALC.TMP: the
# value is refused, counts as missing and is named.
make_install "$SRC"
printf 'own notes' >"$E2E_WORK/notes.txt"
printf '[Menu]\r\nTitol=Rebuts\r\n[Terminal]\r\nDir=%s\0\r\n' "$(windows_name "$E2E_WORK/notes.txt")" >"${INSTALL}TEMP/Sessio.ini"
run_mode -- --session
[ "$STATUS" = 0 ] || fail "--session with a NUL in Dir: exit status $STATUS"
grep -qF 'Problem: Sessio.ini [Terminal] Dir holds a NUL byte: taken as missing' "$OUT" ||
  fail "--session does not name the refused Dir: $(cat "$OUT")"
grep -qx 'TerminalDir: ""' "$OUT" || fail "the refused Dir was used: $(grep TerminalDir "$OUT")"

# (f) A relative MURROOT is the start folder's: made absolute before the
# program changes to it.
make_install "$SRC"
rm -rf "$E2E_WORK/mur" && cp -r "$INSTALL" "$E2E_WORK/mur"
run_mode MURROOT=mur -- --get Fila.Dat
[ "$STATUS" = 0 ] && [ "$(cat "$OUT")" = "Fila.Dat=3" ] || fail "--get with MURROOT=mur: $STATUS, $(cat "$OUT")"

# (g) The language file changed on the server while the editor runs: the
# next message is in the new text.
make_install "$SRC"
set_language "$INSTALL" SPA
start_editor
keys Down Down 1 Enter
keys F10
wait_for "EL ORDEN DE LAS FILAS NO ES CORRECTO"
keys Enter
wait_gone "EL ORDEN DE LAS FILAS NO"
sed -i 's/EL ORDEN DE LAS FILAS NO ES CORRECTO/ORDEN CAMBIADO EN EL SERVIDOR/' "${INSTALL}LOCALE/QPLAYOUT.LNG"
keys F10
wait_for "ORDEN CAMBIADO EN EL SERVIDOR"
e2e_stop

case "$QP_BIN" in
  *.exe)
    # (c) Under Wine: the HTML page of the session's language through QPOPEN.
    make_install "$SRC"
    set_language "$INSTALL" SPA
    printf '@echo %%1>>QPOPEN.LOG\r\n' > "${INSTALL}QPOPEN.BAT"
    mkdir -p "${INSTALL}AJUDA/SPA"
    printf '<html></html>' > "${INSTALL}AJUDA/SPA/X.HTM"
    set_menu_name "$INSTALL" X
    start_editor
    keys F1
    for _ in $(seq 1 $((E2E_TIMEOUT * 10))); do
      [ -s "${INSTALL}QPOPEN.LOG" ] && break
      sleep 0.1
    done
    [ "$(tr -d '\r' < "${INSTALL}QPOPEN.LOG" 2>/dev/null)" = 'AJUDA\SPA\X.HTM' ] ||
      fail "QPOPEN was given: $(cat "${INSTALL}QPOPEN.LOG" 2>/dev/null)"
    keys Escape
    expect_exit 0

    # (d) Under Wine: "&" in the menu name runs nothing, QPOPEN included.
    make_install "$SRC"
    printf '@echo %%1>>QPOPEN.LOG\r\n' > "${INSTALL}QPOPEN.BAT"
    set_menu_name "$INSTALL" 'X&echo pwned>PWNED.TXT&rem '
    start_editor
    expect_f1_refused "a menu name with &" "${INSTALL}PWNED.TXT"
    [ ! -e "${INSTALL}QPOPEN.LOG" ] || fail "QPOPEN was started for a menu name with &"
    echo "PASS: QPOPEN given the Spanish page, a menu name with & ran nothing; a NUL in Dir refused,"\
      "a relative MURROOT, a language file changed while the editor runs"
    exit 0
    ;;
esac

# (a) Shell syntax in the menu name, with WINDIR and SYSTEMROOT set on Linux.
n=0
for name in 'x$(touch @)' 'x&touch @&' 'x`touch @`' 'x|touch @' 'x;touch @'; do
  n=$((n + 1))
  marker="$E2E_WORK/pwned.$n"
  make_install "$SRC"
  set_menu_name "$INSTALL" "${name//@/$marker}"
  start_editor WINDIR=x SYSTEMROOT=x
  case "$name" in
    *\;*) expect_f1_refused "NomMenu=$name" "$marker" pager ;;
    *) expect_f1_refused "NomMenu=$name" "$marker" ;;
  esac
done

# (b) The help page of the session's language, the Catalan one otherwise.
# expect_f1_page LANGUAGE TEXT [VARIABLE=VALUE...]: F1 shows the page with TEXT.
expect_f1_page() {
  local language=$1 text=$2
  shift 2
  set_language "$INSTALL" "$language"
  start_editor "$@"
  keys F1
  wait_for "$text"
  keys Escape
  wait_gone "$text"
  keys Escape
  expect_exit 0
}
make_install "$SRC"
help_page "${INSTALL}AJUDA/QPLAYOUT.HLP" "PAGINA DE PROVA EN CATALA"
help_page "${INSTALL}AJUDA/SPA/QPLAYOUT.HLP" "PAGINA DE PRUEBA EN CASTELLANO"
rm -rf "${INSTALL}AJUDA/GLG"
expect_f1_page CAT "PAGINA DE PROVA EN CATALA"
expect_f1_page SPA "PAGINA DE PRUEBA EN CASTELLANO" WINDIR=x
expect_f1_page GLG "PAGINA DE PROVA EN CATALA"  # no Galician pages: the Catalan one

echo "PASS: shell syntax in the menu name runs nothing, with WINDIR set too; the page of the session's language;"\
  "a NUL in Dir refused, a relative MURROOT, a language file changed while the editor runs"
