# Shared helpers of the real-terminal tests: the program runs in a detached
# tmux session on a server of its own; keys are typed with send-keys and the
# screen read with capture-pane. A binary ending in .exe runs under Wine, so the
# same scripts test the Windows build.
#
# A test script sources it as `. lib.sh "$@"`, being called with
# <path-to-qplayout> <source-dir>: that sets QP_BIN and SRC, or, when the
# script cannot run here, prints "SKIP: " and the reason and ends it with 77
# (CTest's skip code).
set -u

QP_BIN=${1:?usage: $(basename "$0") <qplayout> <source-dir>}
SRC=${2:?usage: $(basename "$0") <qplayout> <source-dir>}
E2E_SKIP=77
skip() {
  echo "SKIP: $*"
  exit "$E2E_SKIP"
}
command -v tmux >/dev/null || skip "tmux is not installed (apt-get install tmux)"
[ -x "$QP_BIN" ] || [ -f "$QP_BIN" ] || skip "$QP_BIN is not built"
case "$QP_BIN" in
  *.exe) command -v wine >/dev/null || skip "wine is not installed: the Windows program cannot run here" ;;
esac

E2E_SOCKET="qp-e2e-$$-${RANDOM}"
E2E_SESSION="qp-e2e"
E2E_TIMEOUT=${E2E_TIMEOUT:-10}
case "${QP_BIN:-}" in
  *.exe) E2E_TIMEOUT=${E2E_TIMEOUT_WINE:-60} ;;
esac
# Everything of one run: the installations, the exit statuses, tmux's settings.
# Removed at the end unless a check failed.
E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/qp-e2e.XXXXXX")
E2E_KEEP=0
E2E_RUNS=0
# The status bar is off from the start, so that the program's first look at
# the terminal already sees the full size.
printf 'set-option -g status off\nset-option -g history-limit 0\n' > "$E2E_WORK/tmux.conf"

e2e_tmux() { tmux -L "$E2E_SOCKET" -f "$E2E_WORK/tmux.conf" "$@"; }

fail() {
  echo "FAIL: $*" >&2
  if e2e_tmux has-session -t "$E2E_SESSION" 2>/dev/null; then
    echo "--- screen ---" >&2
    e2e_tmux capture-pane -p -t "$E2E_SESSION" >&2 || true
  fi
  E2E_KEEP=1
  echo "files kept in $E2E_WORK" >&2
  exit 1
}

# A fresh copy of the sample installation in a temporary directory.
# Sets INSTALL (ends with /).
make_install() {
  local src=$1
  INSTALL=$(mktemp -d "$E2E_WORK/install.XXXXXX")/
  cp -r "$src/sample/." "$INSTALL"
  for d in FORMS LOCALE AJUDA; do
    [ -d "$src/$d" ] && cp -r "$src/$d" "$INSTALL"
  done
  mkdir -p "${INSTALL}TEMP"
}

# set_language INSTALL CODE: the session language of that installation (the
# terminal's Idioma, which comes before the user's).
set_language() {
  sed -i "s/^Idioma=[^"$'\r'"]*/Idioma=$2/" "$1TEMP/TarnTerm.ini"
}

# e2e_start ROWS COLS COMMAND...: runs the command in a new tmux session of that
# size. Its exit status goes to the file named by E2E_STATUS and is shown on the
# pane as "[exit N]"; the pane stays a minute for reading.
e2e_start() {
  local rows=$1 cols=$2 previous=$E2E_SESSION
  shift 2
  E2E_RUNS=$((E2E_RUNS + 1))
  E2E_STATUS="$E2E_WORK/status.$E2E_RUNS"
  E2E_SESSION="qp-e2e-$E2E_RUNS"
  e2e_tmux new-session -d -s "$E2E_SESSION" -x "$cols" -y "$rows" \
    "env TERM=xterm-256color LANG=C.UTF-8 $*; s=\$?; echo \$s > '$E2E_STATUS.tmp'; mv '$E2E_STATUS.tmp' '$E2E_STATUS'; echo \"[exit \$s]\"; sleep 60" \
    || fail "tmux could not start a session"
  # Only now: the server ends with its last session, and a new session must
  # not race with that.
  e2e_tmux kill-session -t "=$previous" 2>/dev/null || true
}

e2e_stop() {
  e2e_tmux kill-session -t "=$E2E_SESSION" 2>/dev/null || true
}

e2e_cleanup() {
  e2e_tmux kill-server 2>/dev/null || true
  [ "$E2E_KEEP" = 1 ] || rm -rf "$E2E_WORK"
}

screen_text() { e2e_tmux capture-pane -p -t "$E2E_SESSION" 2>/dev/null; }

# The program started last has ended (its status is in E2E_STATUS).
program_ended() { [ -n "${E2E_STATUS:-}" ] && [ -f "$E2E_STATUS" ]; }

# wait_until GREP-OPTION TEXT: until grep finds TEXT on the screen. Gives up
# at once when the program has ended without showing it.
wait_until() {
  local how=$1 text=$2 limit=$((E2E_TIMEOUT * 20)) i=0 ended
  while ! screen_text | grep -q "$how" -- "$text"; do
    i=$((i + 1))
    [ $i -ge $limit ] && fail "the screen never showed: $text"
    if program_ended; then
      ended=$(cat "$E2E_STATUS")
      screen_text | grep -q "$how" -- "$text" || fail "the program ended (exit status $ended) without showing: $text"
    fi
    sleep 0.05
  done
}

# wait_for TEXT: until the screen shows TEXT (a fixed string), or fail.
wait_for() { wait_until -F "$1"; }

# wait_for_re REGEX: until a line of the screen matches the extended regex.
wait_for_re() { wait_until -E "$1"; }

# wait_gone TEXT: until TEXT is no longer on the screen, or fail.
wait_gone() {
  local text=$1 limit=$((E2E_TIMEOUT * 20)) i=0
  while screen_text | grep -qF -- "$text"; do
    i=$((i + 1))
    [ $i -ge $limit ] && fail "the screen kept showing: $text"
    sleep 0.05
  done
}

# wait_exit: until the program started last has ended; sets EXIT_STATUS.
wait_exit() {
  local limit=$((E2E_TIMEOUT * 20)) i=0
  while [ ! -f "$E2E_STATUS" ]; do
    i=$((i + 1))
    [ $i -ge $limit ] && fail "the program did not end"
    sleep 0.05
  done
  EXIT_STATUS=$(cat "$E2E_STATUS")
}

keys() {
  case "${QP_BIN:-}" in
    *.exe) wine_keys "$@" ;;
    *) e2e_tmux send-keys -t "$E2E_SESSION" "$@" ;;
  esac
}

# Wine's terminal input differs from the Linux terminal backend's in two
# places, mended here so that the same keys give the same events:
# - tmux sends Home and End as ESC [1~ and ESC [4~, which Wine does not know:
#   those two go as xterm sends them (ESC [H, ESC [F);
# - two Esc in one read are Alt+Esc to Wine: an Esc right after another one
#   waits until Wine has taken the first one alone.
# Keys given after send-keys options (-l TEXT, ...) go unchanged.
wine_keys() {
  local arg previous="" batch=()
  case "${1:-}" in -?*) e2e_tmux send-keys -t "$E2E_SESSION" "$@"; return ;; esac
  for arg in "$@"; do
    case "$arg" in
      Home | End)
        ((${#batch[@]})) && e2e_tmux send-keys -t "$E2E_SESSION" "${batch[@]}"
        batch=()
        if [ "$arg" = Home ]; then
          e2e_tmux send-keys -t "$E2E_SESSION" -l $'\e[H'
        else
          e2e_tmux send-keys -t "$E2E_SESSION" -l $'\e[F'
        fi
        ;;
      Escape)
        if [ "$previous" = Escape ]; then
          ((${#batch[@]})) && e2e_tmux send-keys -t "$E2E_SESSION" "${batch[@]}"
          batch=()
          sleep 0.3
        fi
        batch+=("$arg")
        ;;
      *) batch+=("$arg") ;;
    esac
    previous=$arg
  done
  ((${#batch[@]})) && e2e_tmux send-keys -t "$E2E_SESSION" "${batch[@]}"
  return 0
}

# The command that runs the program under test. A Windows program takes TERM
# for the suite's terminal directory, so under Wine it goes without the
# terminal's type, as it would on Windows (Wine itself does not need it).
program() {
  case "$QP_BIN" in
    *.exe) echo "env -u TERM WINEDEBUG=-all wine $QP_BIN" ;;
    *) echo "$QP_BIN" ;;
  esac
}

# native_path DIR: DIR as the program under test names it (a drive path under
# Wine), quoted for the command line of e2e_start.
native_path() {
  case "$QP_BIN" in
    *.exe)
      local windows
      windows=$(WINEDEBUG=-all winepath -w "$1")
      case "$1" in */) windows="${windows%\\}\\" ;; esac
      printf "'%s'" "$windows"
      ;;
    *) printf "'%s'" "$1" ;;
  esac
}

trap e2e_cleanup EXIT
