# What the end-to-end runs share (run.sh on X11, wayland.sh on Wayland):
# counting checks, a session bus of their own, Tallowick and the SMTP sink in
# a private network namespace (inside_netns.sh), and stopping everything they
# started. Sourced at the top of a run, before anything is started; the run
# sets `run_name` (the prefix of its lines) and `logs` (the files of its work
# directory to keep as artifacts) first, checks its tools with need_tools,
# then calls begin_run.
# shellcheck shell=bash
# shellcheck disable=SC2154  # run_name and logs are the run's own

# Become a child subreaper before anything starts: the accessibility bus
# daemons detach from the session bus that starts them, and would otherwise be
# left to the container's init, which never reaps them.
if [ -z "${TALLOWICK_E2E_REAPER:-}" ]; then
  if [ ! -x /usr/bin/python3 ]; then
    echo "SKIP: /usr/bin/python3 is not installed"
    exit 77
  fi
  export TALLOWICK_E2E_REAPER=1
  exec /usr/bin/python3 -c '
import ctypes, os, sys
PR_SET_CHILD_SUBREAPER = 36
ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
os.execv("/bin/bash", ["bash"] + sys.argv[1:])' "$0" "$@"
fi

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$e2e_dir/../.." && pwd)

# Skips the run (77) when a tool that every run needs is not installed; the
# run adds its own tools as arguments.
need_tools() {
  local missing=() tool
  for tool in dbus-daemon unshare ip "$@"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  [ -x /usr/libexec/at-spi-bus-launcher ] || missing+=("at-spi-bus-launcher (at-spi2-core)")
  /usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null || missing+=("python3-aiosmtpd")
  /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=("python3-pyatspi")
  if [ ${#missing[@]} -gt 0 ]; then
    echo "SKIP: not installed: ${missing[*]} (scripts/install-deps.sh test installs them)"
    exit 77
  fi
}

# ---- Bookkeeping -----------------------------------------------------------

# shellcheck source=../checks.sh
. "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
# Runs one of checks.py's groups and counts its PASS/FAIL lines.
python_checks() {
  local out line
  out=$(/usr/bin/python3 "$e2e_dir/checks.py" "$@" 2>&1)
  while IFS= read -r line; do
    case $line in
      PASS:*) echo "$line"; passed=$((passed + 1)) ;;
      FAIL:*) echo "$line"; failed=$((failed + 1)) ;;
      *) [ -n "$line" ] && echo "  $line" ;;
    esac
  done <<<"$out"
}
# A failure after which nothing further can be checked.
abort() {
  fail "$1" "${2:-}"
  exit 1
}

pids=()
inner_pid=""
# Stops Tallowick and the sink, through the namespace's own script.
stop_inner() {
  if [ -n "$inner_pid" ]; then
    if [ ! -f "$work/app.rc" ] && [ -s "$work/inner.pid" ]; then
      kill "$(cat "$work/inner.pid")" 2>/dev/null
    fi
    wait "$inner_pid" 2>/dev/null
    inner_pid=""
  fi
}
stop_all() {
  local pid i
  stop_inner
  # Then the desktop, last started first.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null
    wait "${pids[i]}" 2>/dev/null
  done
  pids=()
  # What the session bus started has been handed to us; let it go and reap it.
  for _ in $(seq 50); do
    own_children || break
    sleep 0.1
  done
  if own_children; then
    for pid in "${orphans[@]}"; do kill "$pid" 2>/dev/null; done
    sleep 0.5
  fi
}
# Sets `orphans` to the processes whose parent is this script, other than its
# own jobs; true when there is any. Reads /proc without starting a process.
own_children() {
  local stat line rest fields pid
  orphans=()
  for stat in /proc/[0-9]*/stat; do
    { read -r line <"$stat"; } 2>/dev/null || continue
    rest=${line##*) }
    read -r -a fields <<<"$rest"
    [ "${fields[1]}" = "$$" ] || continue
    pid=${stat#/proc/}
    orphans+=("${pid%/stat}")
  done
  [ ${#orphans[@]} -gt 0 ]
}
finish() {
  local status=$? log
  trap - EXIT INT TERM
  stop_all
  for log in "${logs[@]}"; do
    [ -f "$work/$log" ] && cp "$work/$log" "$artifacts/"
  done
  rm -rf "$work"
  echo "$run_name: artifacts in $artifacts"
  echo "$run_name: took $(($(date +%s) - start_time)) s"
  report "$run_name" "$status"
}
# Makes the work and artifact directories and sets the traps that stop
# everything and print the closing line.
begin_run() {
  start_time=$(date +%s)
  work=$(mktemp -d "/tmp/tallowick-$run_name.XXXXXX")
  if [ -z "${E2E_ARTIFACTS:-}" ]; then
    E2E_ARTIFACTS=$(mktemp -d "/tmp/tallowick-$run_name-artifacts.XXXXXX")
  fi
  mkdir -p "$E2E_ARTIFACTS"
  artifacts=$(cd "$E2E_ARTIFACTS" && pwd)
  # Only this run's files: nothing left from an earlier run may pass for them.
  local log
  for log in "${logs[@]}"; do rm -f "$artifacts/$log"; done
  rm -f "$artifacts"/*.png "$artifacts"/state-*.json
  echo "$run_name: screenshots and logs go to $artifacts"
  trap finish EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

wait_for() { # wait_for TENTHS COMMAND...: polls every 0.1 s
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# ---- The session bus ---------------------------------------------------------

# A session bus of our own, on a socket in the file system so that Tallowick
# reaches it from inside its network namespace; the accessibility bus that it
# starts keeps its socket under XDG_RUNTIME_DIR.
start_session_bus() {
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  dbus-daemon --session --nofork --address="unix:path=$work/bus" --print-address=3 \
    3>"$work/bus.address" >"$work/dbus.log" 2>&1 &
  pids+=($!)
  wait_for 100 test -s "$work/bus.address" || abort "the session bus started" "$(cat "$work/dbus.log")"
  DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus.address")
  export DBUS_SESSION_BUS_ADDRESS
}

# ---- Tallowick and the mail server, in their own network namespace ---------

# The due date is the calendar's date at start-up: do not start in the last
# minute of a day. Sets `today` as the table shows it.
avoid_midnight() {
  local seconds_of_day
  seconds_of_day=$((10#$(date +%H) * 3600 + 10#$(date +%M) * 60 + 10#$(date +%S)))
  if [ "$seconds_of_day" -ge 86340 ]; then
    echo "$run_name: waiting for midnight to pass"
    sleep $((86400 - seconds_of_day + 1))
  fi
  # shellcheck disable=SC2034  # read by the run
  today=$(LC_ALL=C date +%d%b%Y)
}

inner_running() { kill -0 "$inner_pid" 2>/dev/null; }
inner_started() { [ -s "$work/app.pid" ] || ! inner_running; }
# start_inner PATH/TO/tallowick ENV...: starts the SMTP sink on 127.0.0.1:25 of
# a private network namespace and Tallowick in it, with the accessibility bus
# on and the given environment; true once Tallowick runs (app.pid written).
start_inner() {
  local app=$1 netns
  shift
  rm -f "$work"/{app.pid,app.rc,inner.pid,inner.err,sink.out,sink.err}
  if [ "$(id -u)" -eq 0 ]; then
    netns=(unshare --net --fork --kill-child)
  else
    # A user namespace that keeps our own uid (the session bus checks it) and
    # the capability to bring up its loopback.
    netns=(unshare --map-current-user --keep-caps --net --fork --kill-child)
  fi
  env -u LANGUAGE LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@" \
    "${netns[@]}" bash "$e2e_dir/inside_netns.sh" "$work" "$app" "$repo/tests/mail/smtp_sink.py" \
    >>"$work/inner.log" 2>&1 &
  inner_pid=$!
  wait_for 150 inner_started
  [ -s "$work/app.pid" ]
}

# After OK on the exit confirmation: Tallowick ends, with status 0, within 10 s.
ended_after_ok() {
  wait_for 100 test -f "$work/app.rc"
  if [ -f "$work/app.rc" ]; then
    check "OK on the confirmation ended Tallowick with status 0" test "$(cat "$work/app.rc")" -eq 0
  else
    fail "OK on the confirmation ended Tallowick" "still running after 10 s"
  fi
}

# ---- Reading and driving the windows through the accessibility bus ---------

probe() { /usr/bin/python3 "$e2e_dir/atspi_probe.py" >"$work/state.json" 2>"$work/probe.err"; }
on_bus() { probe && grep -q '"main": {' "$work/state.json"; }
delivery_column() { probe && grep -qF "\"Delivery\": $1" "$work/state.json"; }
# The test's own texts: one run's mail and notice tell themselves apart.
token=$$
mail_from="alarm.$token@sender.test"
rcpt_to="reader.$token@example.test"
subject="Tallowick check $token"
mail_message="Water the ficus before the 10:30 call, run $token."
popup_message="Pop-up check, run $token: stand up and stretch."
typed_ok() { # typed_ok HOUR MINUTE: the boxes hold the e-mail entry's texts
  grep -qF "\"SMTP Mail Server\": \"127.0.0.1\"" "$work/state.json" &&
    grep -qF "\"From: (E-mail address)\": \"$mail_from\"" "$work/state.json" &&
    grep -qF "\"To: (E-mail Address)\": \"$rcpt_to\"" "$work/state.json" &&
    grep -qF "\"Subject\": \"$subject\"" "$work/state.json" &&
    grep -qF "\"Message To send\": \"$mail_message\"" "$work/state.json" &&
    grep -qF "\"combos\": [\"$1\", \"$2\"]" "$work/state.json"
}
# A tick disables Store while it runs (it sends the mail in the middle of one);
# a user whose press went nowhere presses again, and so do we.
store() { # store DELIVERY_COLUMN PRESS_COMMAND...: presses Store until the F column reads so
  local column=$1 attempt
  shift
  for attempt in 1 2 3; do
    "$@"
    wait_for 20 delivery_column "$column" && return 0
    echo "$run_name: Store did not take (attempt $attempt); pressing it again"
  done
  return 1
}
# Waits for the next ticks to deliver both entries, timed from the second Store.
wait_for_delivery() { # wait_for_delivery STORED_AT
  if wait_for 450 delivered; then
    echo "$run_name: delivered $(($(date +%s) - $1)) s after Store"
  else
    echo "$run_name: not everything was delivered within 45 s of Store"
  fi
  cp "$work/state.json" "$artifacts/state-delivered.json"
}
delivered() {
  probe && grep -qF '"Status": ["OK", "OK"]' "$work/state.json" &&
    grep -q '^{' "$work/sink.out" && grep -q '"notices": \[{' "$work/state.json"
}
# The mail the sink received, the queue table and the notice, after delivery.
delivery_checks() { # delivery_checks DISPLAY_LINE
  python_checks mail "$work/sink.out" --mail-from "$mail_from" --rcpt-to "$rcpt_to" \
    --subject "$subject" --message "$mail_message" --host "$(hostname)"
  python_checks queue "$work/state.json" --subject "$subject" --recipient "$rcpt_to" \
    --mail-message "$mail_message" --popup-message "$popup_message" --display-line "$1"
  python_checks notice "$work/state.json" --display-line "$1" --message "$popup_message"
}
