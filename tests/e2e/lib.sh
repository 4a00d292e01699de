# Shared helpers of the real-terminal tests: the program runs in a detached
# tmux session; keys are typed with send-keys and the screen read with
# capture-pane. A binary ending in .exe runs under Wine, so the same scripts
# test the Windows build.
set -u

E2E_SESSION="qp-e2e-$$-${RANDOM}"
E2E_TIMEOUT=${E2E_TIMEOUT:-10}
case "${QP_BIN:-}" in
  *.exe) E2E_TIMEOUT=${E2E_TIMEOUT_WINE:-60} ;;
esac

fail() {
  echo "FAIL: $*" >&2
  if tmux has-session -t "$E2E_SESSION" 2>/dev/null; then
    echo "--- screen ---" >&2
    tmux capture-pane -p -t "$E2E_SESSION" >&2 || true
  fi
  e2e_stop
  exit 1
}

# A fresh copy of the sample installation in a temporary directory.
# Sets INSTALL (ends with /).
make_install() {
  local src=$1
  INSTALL=$(mktemp -d /tmp/qp-e2e.XXXXXX)/
  cp -r "$src/sample/." "$INSTALL"
  for d in FORMS LOCALE AJUDA; do
    [ -d "$src/$d" ] && cp -r "$src/$d" "$INSTALL"
  done
  mkdir -p "${INSTALL}TEMP"
}

# e2e_start ROWS COLS COMMAND...: runs the command in a new tmux session of that size.
e2e_start() {
  local rows=$1 cols=$2
  shift 2
  tmux -f /dev/null new-session -d -s "$E2E_SESSION" -x "$cols" -y "$rows" \
    "env TERM=xterm-256color LANG=C.UTF-8 $*; echo \"[exit \$?]\"; sleep 30"
  tmux set-option -t "$E2E_SESSION" -g status off >/dev/null 2>&1 || true
}

e2e_stop() {
  tmux kill-session -t "$E2E_SESSION" 2>/dev/null || true
}

screen_text() { tmux capture-pane -p -t "$E2E_SESSION"; }

# wait_for TEXT: until the screen shows TEXT (a fixed string), or fail.
wait_for() {
  local text=$1 limit=$((E2E_TIMEOUT * 10)) i=0
  while ! screen_text | grep -qF -- "$text"; do
    i=$((i + 1))
    [ $i -ge $limit ] && fail "the screen never showed: $text"
    sleep 0.1
  done
}

# wait_gone TEXT: until TEXT is no longer on the screen, or fail.
wait_gone() {
  local text=$1 limit=$((E2E_TIMEOUT * 10)) i=0
  while screen_text | grep -qF -- "$text"; do
    i=$((i + 1))
    [ $i -ge $limit ] && fail "the screen kept showing: $text"
    sleep 0.1
  done
}

keys() { tmux send-keys -t "$E2E_SESSION" "$@"; }

# The command that runs the program under test.
program() {
  case "$QP_BIN" in
    *.exe) echo "WINEDEBUG=-all wine $QP_BIN" ;;
    *) echo "$QP_BIN" ;;
  esac
}

trap e2e_stop EXIT
