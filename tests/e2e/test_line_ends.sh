#!/usr/bin/env bash
# What --set saves is what the suite's receipt printing reads. The suite ends
# a line at CR (CR LF is one end) and takes a lone LF as a byte of its line:
# in a CR LF Tarn.ini where a Unix tool left one LF-ended line, the value set
# must be on a line of its own, and every other line keep its bytes.
# Usage: test_line_ends.sh <path-to-qplayout> <source-dir>
set -u

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
command -v python3 >/dev/null || skip "python3 is not installed"

make_install "$SRC"
TARN="${INSTALL}Tarn.ini"
root=$INSTALL
case "$QP_BIN" in
  *.exe) root=$(WINEDEBUG=-all winepath -w "$INSTALL")'\' ;;
esac

# The suite's reading, from its rule alone: the value of KEY in SECTION.
suite_value() {
  python3 - "$TARN" "$1" "$2" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
section, key, current = sys.argv[2].upper(), sys.argv[3].upper(), None
for line in data.replace(b"\r\n", b"\r").split(b"\r"):
    text = line.decode("cp850")
    if text.startswith("["):
        current = text[1:text.find("]")].strip().upper()
    elif current == section and "=" in text and text.split("=", 1)[0].strip().upper() == key:
        print(text.split("=", 1)[1])
        break
PY
}

printf '[Usuari]\r\nIdioma=CAT\r\n[Rebut]\r\nAntic=S\r\nFila.Num=1\nFila.Dat=4\r\nFila.Cnc=6\r\n' >"$TARN"
[ -z "$(suite_value Rebut Fila.Dat)" ] || fail "the suite's reader sees a Fila.Dat that is part of Fila.Num's line"

env -u TERM WINEDEBUG=-all MURROOT="$root" MURTMP="${root}TEMP/" $(program) --set Fila.Dat=5 \
  </dev/null >"$E2E_WORK/out" 2>"$E2E_WORK/err" || fail "--set Fila.Dat=5 failed: $(cat "$E2E_WORK/err")"
# Values are written at their item's width: a row is two characters.
[ "$(suite_value Rebut Fila.Dat)" = "5 " ] || fail "the suite does not read the value set: $(od -c "$TARN" | head -20)"
case "$(suite_value Rebut Fila.Num)" in 1*) ;; *) fail "the suite no longer reads row 1 for the number" ;; esac
cmp -s -n 40 "$TARN" <(printf '[Usuari]\r\nIdioma=CAT\r\n[Rebut]\r\nAntic=S\r\n') || fail "the lines before the changed one changed"
echo "PASS: a value set in a CR LF file with a stray LF is one the suite reads; the other lines keep their bytes"
