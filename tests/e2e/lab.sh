# The two-user lab of the attack tests: an office as the suite is installed
# in one, with two real users in one office group. The operator runs the
# program; the clerk writes the shared files. The suite's folders are
# root:office 2775 and their files group-writable, the operator's home is
# readable by the group, both work under the office umask 002.
#
# Sourced after lib.sh: `. lab.sh`. It needs root (to make the users) and the
# Linux program; elsewhere it prints "SKIP: " and the reason and ends with 77.
# Everything it makes (users, group, folders, processes started with
# lab_background) is removed on every way out.
#
# What it sets:
#   LAB          the lab's folder
#   LAB_BIN      the program, copied where both users may run it
#   MUR          the installation (MURROOT), ending in "/"; its TEMP is MURTMP
#   OP_HOME      the operator's home, ending in "/"
#   LAB_OP, LAB_CLERK, LAB_GROUP   the users and their group

[ "$(id -u)" = 0 ] || skip "the two-user lab needs root to make its users"
case "$QP_BIN" in
  *.exe) skip "the two-user lab runs the Linux program: Wine has no users of its own" ;;
esac
for tool in setpriv useradd userdel groupadd groupdel perl; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

LAB_OP="qpop$$"
LAB_CLERK="qpclerk$$"
LAB_GROUP="qpoffice$$"
LAB_PIDS=()
LAB_MADE=0
LAB=$(mktemp -d /tmp/qp-lab.XXXXXX)
chmod 0755 "$LAB"

lab_cleanup() {
  local pid
  for pid in "${LAB_PIDS[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  # The programs in tmux run as the operator: they go before the users.
  e2e_tmux kill-server 2>/dev/null || true
  if [ "$LAB_MADE" = 1 ]; then
    sleep 0.2
    userdel "$LAB_OP" 2>/dev/null || userdel -f "$LAB_OP" 2>/dev/null
    userdel "$LAB_CLERK" 2>/dev/null || userdel -f "$LAB_CLERK" 2>/dev/null
    groupdel "$LAB_GROUP" 2>/dev/null
  fi
  rm -rf "$LAB"
}
trap 'lab_cleanup; e2e_cleanup' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

groupadd "$LAB_GROUP" || skip "cannot make the group $LAB_GROUP"
LAB_MADE=1
useradd -M -N -g "$LAB_GROUP" -d "$LAB/home/op" -s /bin/sh "$LAB_OP" || fail "cannot make the operator $LAB_OP"
useradd -M -N -g "$LAB_GROUP" -d "$LAB/home/clerk" -s /bin/sh "$LAB_CLERK" || fail "cannot make the clerk $LAB_CLERK"

OP_HOME="$LAB/home/op/"
mkdir -p "$LAB/bin" "$OP_HOME" "$LAB/home/clerk"
chown "$LAB_OP:$LAB_GROUP" "$OP_HOME"
chmod 0750 "$OP_HOME"
chown "$LAB_CLERK:$LAB_GROUP" "$LAB/home/clerk"
LAB_BIN="$LAB/bin/qplayout"
cp "$QP_BIN" "$LAB_BIN"
chmod 0755 "$LAB_BIN"

# lab_install: a fresh installation in MUR, as the suite's installer leaves
# it: folders root:office 2775, files root:office 0664. Sets MUR.
lab_install() {
  MUR="$LAB/mur/"
  rm -rf "$MUR"
  mkdir -p "$MUR"
  cp -r "$SRC/sample/." "$MUR"
  local d
  for d in FORMS LOCALE AJUDA; do
    [ -d "$SRC/$d" ] && cp -r "$SRC/$d" "$MUR"
  done
  mkdir -p "${MUR}TEMP"
  chown -R "root:$LAB_GROUP" "$MUR"
  find "$MUR" -type d -exec chmod 2775 {} +
  find "$MUR" -type f -exec chmod 0664 {} +
}

# lab_as USER DIR COMMAND...: COMMAND as USER, in DIR, with the office umask.
lab_as() {
  local user=$1 dir=$2
  shift 2
  setpriv --reuid="$user" --regid="$LAB_GROUP" --init-groups -- \
    sh -c 'umask 002; cd "$0" && exec "$@"' "$dir" "$@"
}

# lab_as_command USER DIR: the same as the start of a command line, for e2e_start.
lab_as_command() {
  printf "setpriv --reuid=%s --regid=%s --init-groups -- sh -c 'umask 002; cd \"\$0\" && exec \"\$@\"' '%s'" \
    "$1" "$LAB_GROUP" "$2"
}

# lab_background USER DIR COMMAND...: lab_as in the background, the process
# itself (no shell between), so that lab_stop and the end of the test stop it.
lab_background() {
  local user=$1 dir=$2
  shift 2
  setpriv --reuid="$user" --regid="$LAB_GROUP" --init-groups -- \
    sh -c 'umask 002; cd "$0" && exec "$@"' "$dir" "$@" &
  LAB_PIDS+=($!)
}

# lab_stop PID: stops a process started with lab_background.
lab_stop() {
  kill "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  return 0
}

# op_run DIR [VARIABLE=VALUE...] -- ARGUMENTS...: the program as the operator,
# from DIR, on MUR, stdin from /dev/null; its output in OUT and ERR, its exit
# status in STATUS. Variables given replace MURROOT and MURTMP.
op_run() {
  local dir=$1 vars=("MURROOT=$MUR" "MURTMP=${MUR}TEMP/")
  shift
  while [ "$#" -gt 0 ] && [ "$1" != -- ]; do
    vars+=("$1")
    shift
  done
  shift
  OUT="$LAB/out"
  ERR="$LAB/err"
  lab_as "$LAB_OP" "$dir" env -u TERM "${vars[@]}" "$LAB_BIN" "$@" </dev/null >"$OUT" 2>"$ERR"
  STATUS=$?
}

# The operator's own files, each with what it is, its mode and a checksum,
# for op_files_untouched to compare.
op_files() {
  (cd "$OP_HOME" && find . -printf '%p %i %m %U %s %T@\n' | sort && find . -type f -exec cksum {} + | sort)
}

op_files_note() { op_files >"$LAB/op_files"; }

# op_files_untouched WHAT: fails unless the operator's home is as noted.
op_files_untouched() {
  op_files | cmp -s - "$LAB/op_files" ||
    fail "$1: the operator's files changed: $(op_files | diff "$LAB/op_files" - | tail -n 5)"
}
