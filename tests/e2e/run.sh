#!/usr/bin/env bash
# Tallowick end to end, as a user runs it: on a real X server (Xvfb) with a
# window manager (openbox) and a tray host (trayer), with its mail going to a
# real SMTP server (aiosmtpd) on port 25 of a private loopback. The window is
# driven only from outside, with xdotool, and read back through the
# accessibility bus (AT-SPI) and screenshots.
#
# Usage: tests/e2e/run.sh [--update-screenshot] PATH/TO/tallowick
#   --update-screenshot  also copy the main window's screenshot to
#                        docs/screenshot-main.png in the source tree
# Environment: E2E_ARTIFACTS  directory for screenshots and logs (default: a
#                             new temporary directory, printed at the start)
# Prints one PASS/FAIL line per check and "e2e: N passed, M failed"; exits 0
# only when every check passed, 77 when a tool it needs is not installed.
# Works as root (no sudo) or as a user allowed to create user namespaces.
set -u

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

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

update_screenshot=0
if [ "${1:-}" = "--update-screenshot" ]; then
  update_screenshot=1
  shift
fi
app=${1:?usage: run.sh [--update-screenshot] PATH/TO/tallowick}
if [ ! -x "$app" ]; then
  echo "FAIL: $app is not an executable"
  exit 1
fi
app=$(cd "$(dirname "$app")" && pwd)/$(basename "$app")

# ---- Tools -----------------------------------------------------------------

missing=()
for tool in Xvfb openbox trayer xdotool xwininfo import dbus-daemon unshare ip; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
[ -x /usr/libexec/at-spi-bus-launcher ] || missing+=("at-spi-bus-launcher (at-spi2-core)")
/usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null || missing+=("python3-aiosmtpd")
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=("python3-pyatspi")
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIP: not installed: ${missing[*]} (scripts/install-deps.sh test installs them)"
  exit 77
fi

# ---- Bookkeeping -----------------------------------------------------------

start_time=$(date +%s)
work=$(mktemp -d /tmp/tallowick-e2e.XXXXXX)
if [ -z "${E2E_ARTIFACTS:-}" ]; then
  E2E_ARTIFACTS=$(mktemp -d /tmp/tallowick-e2e-artifacts.XXXXXX)
fi
mkdir -p "$E2E_ARTIFACTS"
artifacts=$(cd "$E2E_ARTIFACTS" && pwd)
# Only this run's files: nothing left from an earlier run may pass for them.
rm -f "$artifacts"/{main,notice,desktop}.png "$artifacts"/state-*.json \
  "$artifacts"/{app.log,sink.out,sink.err,xvfb.log,openbox.log,trayer.log,dbus.log,inner.err,inner.log}
echo "e2e: screenshots and logs go to $artifacts"

passed=0
failed=0
pass() {
  echo "PASS: $1"
  passed=$((passed + 1))
}
fail() {
  echo "FAIL: $1${2:+ ($2)}"
  failed=$((failed + 1))
}
check() { # check WHAT COMMAND...: passes when the command succeeds
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
# Runs one of checks.py's groups and counts its PASS/FAIL lines.
python_checks() {
  local out line
  out=$(/usr/bin/python3 "$here/checks.py" "$@" 2>&1)
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
stop_all() {
  local pid i
  # Tallowick and the sink first, through the namespace's own script.
  if [ -n "$inner_pid" ]; then
    if [ ! -f "$work/app.rc" ] && [ -s "$work/inner.pid" ]; then
      kill "$(cat "$work/inner.pid")" 2>/dev/null
    fi
    wait "$inner_pid" 2>/dev/null
    inner_pid=""
  fi
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
  local status=$?
  trap - EXIT INT TERM
  stop_all
  for log in app.log sink.out sink.err xvfb.log openbox.log trayer.log dbus.log inner.err inner.log; do
    [ -f "$work/$log" ] && cp "$work/$log" "$artifacts/"
  done
  rm -rf "$work"
  [ "$status" -ne 0 ] && [ "$failed" -eq 0 ] && fail "the run ended early" "status $status"
  echo "e2e: artifacts in $artifacts"
  echo "e2e: took $(($(date +%s) - start_time)) s"
  echo "e2e: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] && exit 0
  exit 1
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

wait_for() { # wait_for TENTHS COMMAND...: polls every 0.1 s
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

# ---- The desktop -----------------------------------------------------------

# Xvfb picks a free display number itself and writes it to fd 3.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 100 test -s "$work/display" || abort "Xvfb started" "$(cat "$work/xvfb.log")"
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
echo "e2e: X display $DISPLAY"

# A session bus of our own, on a socket in the file system so that Tallowick
# reaches it from inside its network namespace; the accessibility bus that it
# starts keeps its socket under XDG_RUNTIME_DIR.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
dbus-daemon --session --nofork --address="unix:path=$work/bus" --print-address=3 \
  3>"$work/bus.address" >"$work/dbus.log" 2>&1 &
pids+=($!)
wait_for 100 test -s "$work/bus.address" || abort "the session bus started" "$(cat "$work/dbus.log")"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus.address")
export DBUS_SESSION_BUS_ADDRESS

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
window_named() { xwininfo -root -tree 2>/dev/null | grep -q "\"$1\""; }
wait_for 100 window_named Openbox ||
  abort "openbox started" "$(cat "$work/openbox.log")"

trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.log" 2>&1 &
pids+=($!)
wait_for 100 window_named panel ||
  abort "trayer's panel appeared" "$(cat "$work/trayer.log")"

# ---- Tallowick and the mail server, in their own network namespace ---------

# The due date is the calendar's date at start-up: do not start in the last
# minute of a day.
seconds_of_day=$((10#$(date +%H) * 3600 + 10#$(date +%M) * 60 + 10#$(date +%S)))
if [ "$seconds_of_day" -ge 86340 ]; then
  echo "e2e: waiting for midnight to pass"
  sleep $((86400 - seconds_of_day + 1))
fi
today=$(LC_ALL=C date +%d%b%Y)

if [ "$(id -u)" -eq 0 ]; then
  netns=(unshare --net --fork --kill-child)
else
  # A user namespace that keeps our own uid (the session bus checks it) and
  # the capability to bring up its loopback.
  netns=(unshare --map-current-user --keep-caps --net --fork --kill-child)
fi
env -u LANGUAGE LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
  "${netns[@]}" bash "$here/inside_netns.sh" "$work" "$app" "$repo/tests/mail/smtp_sink.py" \
  >"$work/inner.log" 2>&1 &
inner_pid=$!

inner_running() { kill -0 "$inner_pid" 2>/dev/null; }
started() { [ -s "$work/app.pid" ] || ! inner_running; }
wait_for 150 started
if [ ! -s "$work/app.pid" ]; then
  abort "a private network namespace with the SMTP sink on 127.0.0.1:25" \
    "$(cat "$work/inner.err" "$work/inner.log" "$work/sink.err" 2>/dev/null)"
fi
pass "a private network namespace with the SMTP sink on 127.0.0.1:25"

main_window() { xdotool search --name '^Tallowick: Quillmere' 2>/dev/null | head -n1; }
visible_main_window() { xdotool search --onlyvisible --name '^Tallowick: Quillmere' 2>/dev/null | head -n1; }
main_up() { [ -n "$(visible_main_window)" ] || ! inner_running; }
wait_for 200 main_up
W=$(visible_main_window)
[ -n "$W" ] || abort "the main window appeared" "$(cat "$work/app.log")"
pass "the main window appeared, captioned \"$(xdotool getwindowname "$W")\""

probe() { /usr/bin/python3 "$here/atspi_probe.py" >"$work/state.json" 2>"$work/probe.err"; }
on_bus() { probe && grep -q '"main": {' "$work/state.json"; }
wait_for 100 on_bus || abort "the main window is on the accessibility bus" "$(cat "$work/probe.err")"

# ---- Driving the window ----------------------------------------------------

# Controls are placed in twips (15 to a pixel) inside the client area, which
# lies under the menu bar; the client area is 7785 twips high.
eval "$(xdotool getwindowgeometry --shell "$W")"
menu_bar=$((HEIGHT - 7785 / 15))
activate() {
  xdotool windowactivate --sync "$1" >/dev/null 2>&1
  sleep 0.3
}
click() { # click LEFT TOP WIDTH HEIGHT: the middle of a control
  xdotool mousemove --window "$W" $((($1 + $3 / 2) / 15)) $((menu_bar + ($2 + $4 / 2) / 15)) \
    click 1
  sleep 0.15
}
fill() { # fill LEFT TOP WIDTH HEIGHT TEXT: replaces the text of a box
  click "$1" "$2" "$3" "$4"
  xdotool key ctrl+a
  xdotool type --delay 15 -- "$5"
  sleep 0.1
}
# Positions of the controls used here, as the main window lays them out.
Text2=(4440 240 4815 1455)   # message
Command2=(8400 1680 855 1335) # Store
Combo1=(1320 2280 400 315)    # hour: its text part, left of the arrow
Combo2=(2280 2280 350 315)    # minute: likewise
Text7=(1680 2640 2655 375)    # originator
Text3=(6000 2640 2415 375)    # SMTP server
Text4=(1680 3000 2655 375)    # recipient
Text5=(1680 3360 2655 345)    # subject
Option1=(1080 3960 975 255)   # Pop Up
Option2=(2280 3960 975 255)   # E-mail
Command5=(7560 3960 855 375)  # Hide
Command4=(8520 3960 735 375)  # Exit

token=$$
mail_from="alarm.$token@sender.test"
rcpt_to="reader.$token@example.test"
subject="Tallowick check $token"
mail_message="Water the ficus before the 10:30 call, run $token."
popup_message="Pop-up check, run $token: stand up and stretch."

activate "$W"
click "${Option2[@]}"
# Any minute up to now is due at the next tick, so a minute that turns
# while typing does no harm.
read -r hour minute < <(date '+%H %M')
display_line="$today $hour:$minute"
fill "${Combo1[@]}" "$hour"
fill "${Combo2[@]}" "$minute"
fill "${Text7[@]}" "$mail_from"
fill "${Text3[@]}" "127.0.0.1"
fill "${Text4[@]}" "$rcpt_to"
fill "${Text5[@]}" "$subject"
fill "${Text2[@]}" "$mail_message"

probe
typed_ok() {
  grep -qF "\"SMTP Mail Server\": \"127.0.0.1\"" "$work/state.json" &&
    grep -qF "\"From: (E-mail address)\": \"$mail_from\"" "$work/state.json" &&
    grep -qF "\"To: (E-mail Address)\": \"$rcpt_to\"" "$work/state.json" &&
    grep -qF "\"Subject\": \"$subject\"" "$work/state.json" &&
    grep -qF "\"Message To send\": \"$mail_message\"" "$work/state.json" &&
    grep -qF "\"combos\": [\"$hour\", \"$minute\"]" "$work/state.json"
}
check "the boxes hold what was typed (e-mail entry, due $hour:$minute)" typed_ok ||
  cp "$work/state.json" "$artifacts/state-typed.json"
# A tick disables Store while it runs (it sends the mail in the middle of
# one); a user whose click went nowhere clicks again, and so do we.
delivery_column() { probe && grep -qF "\"Delivery\": $1" "$work/state.json"; }
store() { # store DELIVERY_COLUMN: presses Store until the F column reads so
  local column=$1 attempt
  for attempt in 1 2 3; do
    click "${Command2[@]}"
    wait_for 20 delivery_column "$column" && return 0
    echo "e2e: Store did not take (attempt $attempt); pressing it again"
  done
  return 1
}
check "Store put the e-mail entry in the queue" store '["MX"]'

click "${Option1[@]}"
fill "${Text2[@]}" "$popup_message"
check "Store put the pop-up entry in the queue after it" store '["MX", "PU"]'
stored_at=$(date +%s)

# ---- Delivery at the next ticks --------------------------------------------

delivered() {
  probe && grep -qF '"Status": ["OK", "OK"]' "$work/state.json" &&
    grep -q '^{' "$work/sink.out" && grep -q '"notices": \[{' "$work/state.json"
}
if wait_for 450 delivered; then
  echo "e2e: delivered $(($(date +%s) - stored_at)) s after Store"
else
  echo "e2e: not everything was delivered within 45 s of Store"
fi
cp "$work/state.json" "$artifacts/state-delivered.json"

python_checks mail "$work/sink.out" --mail-from "$mail_from" --rcpt-to "$rcpt_to" \
  --subject "$subject" --message "$mail_message" --host "$(hostname)"
python_checks queue "$work/state.json" --subject "$subject" --recipient "$rcpt_to" \
  --mail-message "$mail_message" --popup-message "$popup_message" --display-line "$display_line"
python_checks notice "$work/state.json" --display-line "$display_line" --message "$popup_message"

# The caption the window manager shows: the fixed text, then the clock.
days='(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday)'
months='(January|February|March|April|May|June|July|August|September|October|November|December)'
caption_re="^Tallowick: Quillmere    $days,$months [0-9]{2},[0-9]{4}  [0-9]{2}:[0-9]{2}:[0-9]{2}\$"
caption=$(xdotool getwindowname "$W")
if [[ $caption =~ $caption_re ]]; then
  pass "the title bar shows \"Tallowick: Quillmere    \" and the clock"
else
  fail "the title bar shows \"Tallowick: Quillmere    \" and the clock" "got \"$caption\""
fi

# The notice is a second top-level window, captioned "Tallowick".
notice=$(xdotool search --onlyvisible --name '^Tallowick$' 2>/dev/null | head -n1)
if [ -n "$notice" ]; then
  pass "a notice window is on the screen"
  import -window "$notice" "$artifacts/notice.png"
else
  fail "a notice window is on the screen"
fi
import -window root "$artifacts/desktop.png"
activate "$W"
import -window "$W" "$artifacts/main.png"
if [ "$update_screenshot" -eq 1 ]; then
  mkdir -p "$repo/docs"
  cp "$artifacts/main.png" "$repo/docs/screenshot-main.png"
  echo "e2e: updated docs/screenshot-main.png"
fi

# ---- Hide to the tray and back ---------------------------------------------

click "${Command5[@]}"
hidden() { [ -z "$(visible_main_window)" ]; }
check "Hide took the main window off the screen" wait_for 50 hidden

# The tray icon: a window of Tallowick's inside trayer's panel.
tray_icon() {
  xwininfo -root -tree | awk '
    /"panel"/ { match($0, /^ */); indent = RLENGTH; inside = 1; next }
    inside {
      match($0, /^ */)
      if (RLENGTH <= indent) inside = 0
      else if ($0 ~ /"[Tt]allowick/) { print $1; exit }
    }'
}
has_tray_icon() { [ -n "$(tray_icon)" ]; }
wait_for 50 has_tray_icon
icon=$(tray_icon)
if [ -n "$icon" ]; then
  pass "the tray icon is in trayer's panel"
  xdotool mousemove --window "$icon" 10 10 click --repeat 2 --delay 100 1
  shown() { [ -n "$(visible_main_window)" ]; }
  check "a double click on the tray icon brought the main window back" wait_for 50 shown
  probe
  python_checks restored "$work/state.json"
  gone() { [ -z "$(tray_icon)" ]; }
  check "the tray icon went with it" wait_for 50 gone
else
  fail "the tray icon is in trayer's panel" "$(xwininfo -root -tree | grep -A5 '"panel"')"
fi

# ---- Exit ------------------------------------------------------------------

activate "$W"
click "${Command4[@]}"
confirmation() { xdotool search --onlyvisible --name '^Exit Confirmation$' 2>/dev/null | head -n1; }
asked() { [ -n "$(confirmation)" ]; }
wait_for 50 asked
box=$(confirmation)
if [ -n "$box" ]; then
  pass "Exit asked for confirmation"
  activate "$box"
  xdotool key Return
  wait_for 100 test -f "$work/app.rc"
  if [ -f "$work/app.rc" ]; then
    check "OK on the confirmation ended Tallowick with status 0" test "$(cat "$work/app.rc")" -eq 0
  else
    fail "OK on the confirmation ended Tallowick" "still running after 10 s"
  fi
else
  fail "Exit asked for confirmation"
fi
