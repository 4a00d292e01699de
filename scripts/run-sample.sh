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

# The build's progress, "[ 42%] Building CXX object ...": on a terminal one
# line overwritten in place, elsewhere one line per step.
progress() {
  local line width
  width=$(tput cols 2>/dev/null || echo 80)
  while IFS= read -r line; do
    [[ "$line" =~ ^\[\ *[0-9]+%\] ]] || continue
    if [[ -t 2 ]]; then
      printf '\r\033[K%s' "${line:0:$((width - 1))}" >&2
    else
      printf '%s\n' "$line" >&2
    fi
  done
  if [[ -t 2 ]]; then printf '\r\033[K' >&2; fi
}

bin="${QPLAYOUT_BIN:-}"
if [[ -z "$bin" ]]; then
  log="$(mktemp "${TMPDIR:-/tmp}/qplayout-build.XXXXXX")"
  (
    cd "$repo"
    if [[ ! -f build/default/CMakeCache.txt ]]; then
      echo "Configuring the build in build/default ..." >&2
      cmake --preset default >"$log" 2>&1
    fi
    echo "Building qplayout if needed (a first build takes a few minutes on two cores) ..." >&2
    cmake --build --preset default --target qplayout 2>&1 | tee "$log" | progress
  ) || {
    echo "The build failed:" >&2
    cat "$log" >&2
    rm -f "$log"
    exit 1
  }
  rm -f "$log"
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
  # The suite's menu writes the session's title in the operator's language.
  case "$lang" in
    CAT) title="Format dels rebuts" ;;
    GLG) title="Formato dos recibos" ;;
    OCI) title="Format des arrecebuts" ;;
    SPA) title="Formato de los recibos" ;;
  esac
  # The files use CR LF line ends; keep them.
  sed -i "s/^Idioma=[^"$'\r'"]*/Idioma=$lang/" "$install/TEMP/TarnTerm.ini"
  sed -i "s/^Titol=[^"$'\r'"]*/Titol=$title/" "$install/TEMP/Sessio.ini"
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
