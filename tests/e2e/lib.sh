# shellcheck shell=bash
# Sourced by the end-to-end scripts (tests/e2e/e2e_*.sh, tests/windows/*.sh): what each
# needs around its own steps.
#
#   $work                     a temporary folder of the script's own
#   fail MESSAGE              prints "FAIL: MESSAGE", then what the script's fail_details
#                             shows when it defines one, and exits 1
#   skip_without TOOL...      exits 77 (CTest's skip) when a tool is not installed
#   need_tools TOOL...        fails when a tool is missing
#   signal_and_wait SIG PID SECONDS
#                             sends SIG to PID and waits up to SECONDS for it to end; sets
#                             rc to its exit code, or returns 1 when it still runs
#   end_jobs                  ends every process the script started in the background and
#                             has not waited for, newest first, and waits for them
#   start_xvfb [WxH]          an X server of that size (800x600 by default) on a free
#                             display number, answering clients; exports DISPLAY, and ASAN_OPTIONS without the leak checker
#   window_named NAME         prints the id of a window named NAME, or returns 1
#   wait_for_window PID SECONDS [NAME]
#                             sets window to the id of the first window named NAME (by
#                             default the demo's title, ^__^) once it exists; fails when
#                             PID ends first or SECONDS pass
#
# At exit every background process is ended (end_jobs), the files of $work are copied into
# $e2e_keep when the script set it (a folder to look at afterwards), and $work is removed.

work=$(mktemp -d)
e2e_keep=

fail() {
  echo "FAIL: $*"
  if declare -F fail_details >/dev/null; then fail_details; fi
  exit 1
}

skip_without() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 ||
      { echo "SKIP: $tool is not installed (./test.sh installs it)"; exit 77; }
  done
}

need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is missing"; exit 1; }
  done
}

# Whether a process still runs (a child that has ended but is not waited for does not).
e2e_running() {
  local stat
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }   # past the name, which may hold spaces: the state
  [ "${stat%% *}" != Z ]
}

signal_and_wait() {
  local sig=$1 pid=$2 seconds=$3 _
  kill -"$sig" "$pid"
  for _ in $(seq $((seconds * 10))); do e2e_running "$pid" || break; sleep 0.1; done
  e2e_running "$pid" && return 1
  wait "$pid"
  # shellcheck disable=SC2034   # for the caller
  rc=$?
}

# SIGTERM first (an X server then removes its lock file and socket), SIGKILL after 5 s.
end_jobs() {
  local pid _
  for pid in $(jobs -p | tac); do
    kill "$pid" 2>/dev/null
    for _ in $(seq 50); do e2e_running "$pid" || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  return 0
}

e2e_exit() {
  end_jobs
  if [ -n "$e2e_keep" ]; then mkdir -p "$e2e_keep" && cp "$work"/* "$e2e_keep"/ 2>/dev/null; fi
  rm -rf "$work"
}
trap e2e_exit EXIT

start_xvfb() {
  local size=${1:-800x600} xvfb _
  # A demo built with the sanitizers runs here without the leak checker: SDL's X11 driver
  # opens a D-Bus connection whose buffers libdbus keeps until exit, allocated in code
  # without frame pointers, so those blocks cannot be told apart from ours by their stacks.
  # Our side of the playing mode is leak-checked all the same by the display tests and the
  # bad-input cases that play on SDL's dummy video driver.
  export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
  rm -f "$work/display"
  # A display number of its own: Xvfb picks a free one and writes it to fd 3.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$work/display" \
    2>"$work/xvfb.log" &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    e2e_running "$xvfb" || break
    sleep 0.1
  done
  [ -s "$work/display" ] || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY
  unset WAYLAND_DISPLAY
  # The display number comes before the server is sure to take clients: wait until a
  # client gets an answer from it (xdotool asks for the screen size), for up to 10 s.
  for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    e2e_running "$xvfb" || { cat "$work/xvfb.log"; fail "Xvfb on $DISPLAY ended before it answered a client"; }
    sleep 0.1
  done
  cat "$work/xvfb.log"
  fail "Xvfb on $DISPLAY does not answer clients after 10 s"
}

# The id of the first window named NAME (the whole name), when there is one. xwininfo reads
# names of every encoding (xdotool search misses the UTF-8 names of SDL's message boxes).
window_named() {
  local id
  id=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$1\":" | awk 'NR == 1 { print $1 }')
  [ -n "$id" ] && echo $((id))
}

wait_for_window() {
  local pid=$1 seconds=$2 name=${3:-^__^} _
  for _ in $(seq $((seconds * 10))); do
    # shellcheck disable=SC2034   # for the caller
    window=$(window_named "$name") && return 0
    e2e_running "$pid" || fail "the demo ended before its window \"$name\" appeared"
    sleep 0.1
  done
  fail "no window named \"$name\" after $seconds s"
}
