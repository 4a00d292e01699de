#!/usr/bin/env bash
# The terminal is given back in cooked mode, on the normal screen, however
# `qplayout --keys` ends: Esc, SIGTERM, SIGINT, SIGHUP or SIGQUIT. Runs the
# program in a tmux pane.
# Usage: test_terminal_restore.sh <path-to-qplayout> <source-dir>
set -u

binary=${1:?usage: test_terminal_restore.sh <qplayout> <source-dir>}
# "SKIP: " and the reason, and 77: CTest reports the test as skipped.
skip() {
    echo "SKIP: $*"
    exit 77
}
command -v tmux >/dev/null || skip "tmux is not installed (apt-get install tmux)"
case "$binary" in
*.exe) skip "the terminal modes are those of the Linux terminal backend; the Windows console is given back by Windows" ;;
esac
[ -x "$binary" ] || skip "$binary is not built"

work=$(mktemp -d)
socket="qp-restore-$$"
tmx() { tmux -L "$socket" -f /dev/null "$@"; }
cleanup() {
    tmx kill-server 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# No core files from SIGQUIT.
tmx new-session -d -x 80 -y 25 -c "$work" "ulimit -c 0; exec env TERM=xterm-256color bash --norc --noprofile"
pane_tty=$(tmx display-message -p '#{pane_tty}')
# Everything the pane is sent, to look for the mode changes in it.
tmx pipe-pane "cat >> '$work/output'"
output_size() { stat -c %s "$work/output" 2>/dev/null || echo 0; }

# Waits up to $2 tenths of a second for file $1 to exist.
wait_for_file() {
    local i
    for ((i = 0; i < $2; ++i)); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Starts the program in the pane; its pid ends up in $work/pid.N and, once it
# has ended, its exit status in $work/rc.N and the terminal settings in $work/stty.N.
start_program() {
    local n=$1
    # A script, not the interactive shell: that one drops the rest of the line
    # when the program dies of SIGINT.
    cat > "$work/run.$n" <<EOF
sh -c 'echo \$\$ > "$work/pid.$n"; exec "$binary" --keys'
echo \$? > "$work/rc.$n"
stty -a > "$work/stty.$n"
EOF
    tmx send-keys "bash $work/run.$n" Enter
    wait_for_file "$work/pid.$n" 50 || return 1
    sleep 0.5
    kill -0 "$(cat "$work/pid.$n")" 2>/dev/null
}

# Checks that the program took the terminal while it ran.
check_raw_while_running() {
    local settings
    settings=$(stty -a -F "$pane_tty" 2>/dev/null) || return 0  # cannot look: say nothing
    case " $settings " in
    *" -icanon "*) ;;
    *) fail "$1: the terminal was not in raw mode while the program ran" ;;
    esac
    [ "$(tmx display-message -p '#{alternate_on}')" = 1 ] || fail "$1: no alternate screen while the program ran"
}

# Checks that the program ended with status $2 and the terminal is cooked again.
check_restored() {
    local n=$1 expected=$2 what=$3 settings
    if ! wait_for_file "$work/stty.$n" 50; then
        fail "$what: the program did not end"
        return
    fi
    [ "$(cat "$work/rc.$n")" = "$expected" ] || fail "$what: exit status $(cat "$work/rc.$n"), expected $expected"
    settings=" $(tr '\n' ' ' < "$work/stty.$n") "
    case "$settings" in *" icanon "*) ;; *) fail "$what: icanon is off after the end" ;; esac
    case "$settings" in *" echo "*) ;; *) fail "$what: echo is off after the end" ;; esac
    case "$settings" in *" isig "*) ;; *) fail "$what: isig is off after the end" ;; esac
    [ "$(tmx display-message -p '#{alternate_on}')" = 0 ] || fail "$what: still on the alternate screen"
}

# Checks that, from byte $1 of what the pane was sent, the program saved
# xterm's Alt modes (1036, 1039), asked for Alt as an ESC prefix, and put the
# saved modes back before it ended.
check_alt_modes() {
    local from=$1 what=$2 sent i
    for ((i = 0; i < 20; ++i)); do
        sent=$(tail -c +"$((from + 1))" "$work/output" 2>/dev/null | LC_ALL=C tr '\033' 'E')
        case "$sent" in *"E[?1036;1039r"*) break ;; esac
        sleep 0.1
    done
    case "$sent" in
    *"E[?1036;1039sE[?1036;1039h"*"E[?1036;1039r"*) ;;
    *) fail "$what: xterm's Alt modes were not saved, set and restored" ;;
    esac
}

from=$(output_size)
if ! start_program probe; then
    skip "$binary --keys ended at once"
fi
check_raw_while_running "Esc"
# The key probe shows a single Esc like any key; two in a row end it.
tmx send-keys Escape
sleep 0.2
tmx send-keys Escape
check_restored probe 0 "Esc"
check_alt_modes "$from" "Esc"

n=0
for signal in TERM INT HUP QUIT; do
    n=$((n + 1))
    from=$(output_size)
    if ! start_program "$n"; then
        fail "SIG$signal: the program ended before the signal"
        continue
    fi
    check_raw_while_running "SIG$signal"
    kill -s "$signal" "$(cat "$work/pid.$n")"
    check_restored "$n" $((128 + $(kill -l "$signal"))) "SIG$signal"
    check_alt_modes "$from" "SIG$signal"
done

if [ "$failures" -ne 0 ]; then
    tmx capture-pane -p
    exit 1
fi
echo "PASS: the terminal and xterm's Alt modes are restored after Esc, SIGTERM, SIGINT, SIGHUP and SIGQUIT"
