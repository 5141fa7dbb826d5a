#!/usr/bin/env bash
# Memory over a day of use: the program's resident memory after each round of
# pop-ups and mails, with accessibility on as a screen-reader user has it.
# Each round (bench/soak_drive.py) stores POPUPS pop-up and MAILS e-mail
# entries due now through the window's accessible controls, waits for the
# ticks to deliver them all, presses OK on every notice and removes every row;
# then it reads VmRSS. The program runs on a virtual X server with a window
# manager (Xvfb, openbox) and a tray host (trayer), its accessibility bus on a
# session bus of its own, its mail going to a loopback SMTP sink on port 25 of
# a private network namespace, as in the end-to-end run.
# Figures only: nothing is asserted.
#
# Usage: bench/soak_memory.sh [BUILD_DIR] [ROUNDS] [POPUPS] [MAILS]
#        (default: build, 10, 20, 4; a round takes 20 to 40 s)
# Environment: SOAK_WRAPPER  a command to run the program under, such as
#                            "heaptrack -o /tmp/soak" or
#                            "valgrind --tool=massif --massif-out-file=/tmp/soak.massif";
#                            the figures are then the program's under that tool
# Prints "round N rss_kib=K growth_kib=G seconds=S" a round, round 0 being the
# program started and shown, before the first round.
set -u

run_name=soak
# shellcheck disable=SC2034  # read by common.sh
logs=()
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/e2e/common.sh
source "$here/../tests/e2e/common.sh"

build=$(cd "${1:-$here/../build}" && pwd)
rounds=${2:-10}
popups=${3:-20}
mails=${4:-4}
program=$build/app/tallowick
[ -x "$program" ] || { echo "build tallowick first ($program)" >&2; exit 1; }
need_tools Xvfb openbox trayer xdotool xwininfo

work=$(mktemp -d /tmp/tallowick-soak.XXXXXX)
driver=""
# shellcheck disable=SC2317  # called from the traps below
soak_finish() {
  local status=$?
  trap - EXIT INT TERM
  if [ -n "$driver" ]; then
    kill "$driver" 2>/dev/null
    wait "$driver" 2>/dev/null
  fi
  stop_all
  rm -rf "$work"
  exit "$status"
}
trap soak_finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 100 test -s "$work/display" || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
start_session_bus
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
# shellcheck disable=SC2317  # called through wait_for
window_named() { xwininfo -root -tree 2>/dev/null | grep -q "\"$1\""; }
wait_for 100 window_named Openbox || { echo "openbox did not start" >&2; exit 1; }
trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.log" 2>&1 &
pids+=($!)
wait_for 100 window_named panel || { echo "trayer did not start" >&2; exit 1; }

# The program as the namespace starts it, or under the tool asked for.
app=$program
if [ -n "${SOAK_WRAPPER:-}" ]; then
  app=$work/wrapped
  printf '#!/bin/sh\nexec %s "%s"\n' "$SOAK_WRAPPER" "$program" >"$app"
  chmod +x "$app"
fi
avoid_midnight
start_inner "$app" QT_QPA_PLATFORM=xcb ||
  { cat "$work/inner.err" "$work/inner.log" "$work/sink.err" 2>/dev/null >&2; exit 1; }
wait_for 300 on_bus || { echo "the program is not on the accessibility bus" >&2; cat "$work/app.log" >&2; exit 1; }

# The process whose memory is read: the program itself, also when a tool
# started it as a child of its own.
program_pid() {
  local queue=("$1") pid
  while [ ${#queue[@]} -gt 0 ]; do
    pid=${queue[0]}
    queue=("${queue[@]:1}")
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = tallowick ] && { echo "$pid"; return; }
    # shellcheck disable=SC2207  # process ids, one word each
    queue+=($(cat "/proc/$pid/task/$pid/children" 2>/dev/null))
  done
  echo "$1"
}
pid=$(program_pid "$(cat "$work/app.pid")")
echo "soak: $rounds rounds of $popups pop-ups and $mails mails, program pid $pid, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
# In the background, so that a signal to this script stops the rounds at once.
/usr/bin/python3 "$here/soak_drive.py" "$pid" "$rounds" "$popups" "$mails" &
driver=$!
wait "$driver"
status=$?
driver=""
echo "soak: load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(grep -c '^{' "$work/sink.out") mails received"
[ "$status" -eq 0 ] || cat "$work/app.log" >&2
exit "$status"
