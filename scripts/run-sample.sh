#!/usr/bin/env bash
# Runs qplayout on a fresh copy of the bundled sample installation, so that
# nothing in the repository is ever changed by a run.
#   scripts/run-sample.sh [CAT|GLG|OCI|SPA]
# QPLAYOUT_BIN=/path/to/qplayout uses an existing build instead of the preset's.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
lang="${1:-}"
case "$lang" in
  "" | CAT | GLG | OCI | SPA) ;;
  *)
    echo "usage: $0 [CAT|GLG|OCI|SPA]" >&2
    exit 2
    ;;
esac

bin="${QPLAYOUT_BIN:-}"
if [[ -z "$bin" ]]; then
  (
    cd "$repo"
    [[ -f build/default/CMakeCache.txt ]] || cmake --preset default >/dev/null
    cmake --build --preset default --target qplayout >/dev/null
  )
  bin="$repo/build/default/qplayout"
fi

install="$(mktemp -d "${TMPDIR:-/tmp}/qplayout-sample.XXXXXX")"
cp -R "$repo/sample/." "$install/"
for dir in FORMS LOCALE AJUDA; do
  mkdir -p "$install/$dir"
  if [[ -d "$repo/$dir" ]]; then cp -R "$repo/$dir/." "$install/$dir/"; fi
done
mkdir -p "$install/TEMP"

if [[ -n "$lang" ]]; then
  # The files use CR LF line ends; keep them.
  sed -i "s/^Idioma=[^"$'\r'"]*/Idioma=$lang/" "$install/TEMP/TarnTerm.ini"
fi

status=0
MURROOT="$install/" MURTMP="$install/TEMP/" "$bin" || status=$?

show() {
  if command -v iconv >/dev/null; then iconv -f CP850 -t UTF-8 "$1" | tr -d '\r'; else tr -d '\r' <"$1"; fi
}
echo
echo "qplayout ended with exit code $status"
echo "Tarn.ini used: $install/Tarn.ini"
echo "----"
show "$install/Tarn.ini"
echo "----"
exit "$status"
