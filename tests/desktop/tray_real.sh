#!/usr/bin/env bash
# The tray for real: an X server (Xvfb) with a tray host (trayer), the probe
# window hidden to the tray, and a double click by xdotool on its icon. The
# probe exits 0 once the double click has brought its window back.
# Usage: tray_real.sh PATH/TO/trayprobe
# Exit 77 (skipped) when Xvfb, trayer or xdotool is not installed.
set -u

probe=${1:?usage: tray_real.sh PATH/TO/trayprobe}
for tool in Xvfb trayer xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done
if ! command -v xwininfo >/dev/null 2>&1; then
  echo "FAIL: xwininfo (x11-utils) is needed to find the tray icon"
  exit 1
fi

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -f "$work/probe.out" ] && sed 's/^/probe: /' "$work/probe.out"
  exit 1
}

# Xvfb picks a free display number itself and writes it to fd 3.
Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
echo "X display $DISPLAY"

panel_up() { xwininfo -root -tree 2>/dev/null | grep -q '"panel"'; }
# trayer now and then never maps its panel when started beside other X servers; a
# second start of it is what a user would try too. Up to 15 s each time.
for attempt in 1 2; do
  trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.log" 2>&1 &
  trayer_pid=$!
  pids+=("$trayer_pid")
  for _ in $(seq 150); do
    panel_up && break
    sleep 0.1
  done
  panel_up && break
  echo "trayer's panel did not appear (attempt $attempt): $(tr '\n' ' ' <"$work/trayer.log")"
  kill "$trayer_pid" 2>/dev/null
  wait "$trayer_pid" 2>/dev/null
done
panel_up || fail "trayer's panel did not appear"

QT_QPA_PLATFORM=xcb "$probe" 30 >"$work/probe.out" 2>&1 &
probe_pid=$!
pids+=("$probe_pid")
for _ in $(seq 150); do
  grep -q '^icon added' "$work/probe.out" && break
  sleep 0.1
done
grep -q '^icon added' "$work/probe.out" || fail "the probe did not add its icon"
grep -q '^tray: system' "$work/probe.out" || fail "the probe did not see the system tray"

# The icon is the probe's window inside trayer's panel, once trayer has
# mapped it there: a window that is only reparented into the panel, not yet
# shown, gets no clicks (they go to the panel).
icon=""
for _ in $(seq 50); do
  icon=$(xwininfo -root -tree | awk '
    /"panel"/ { match($0, /^ */); indent = RLENGTH; inside = 1; next }
    inside {
      match($0, /^ */)
      if (RLENGTH <= indent) inside = 0
      else if ($0 ~ /"trayprobe"/) { print $1; exit }
    }')
  [ -n "$icon" ] && xwininfo -id "$icon" 2>/dev/null | grep -q 'Map State: IsViewable' && break
  icon=""
  sleep 0.1
done
[ -n "$icon" ] || fail "no icon of the probe shown in trayer's panel"
echo "tray icon window $icon"

xdotool mousemove --window "$icon" 10 10 click --repeat 2 --delay 100 1

wait "$probe_pid"
status=$?
sed 's/^/probe: /' "$work/probe.out"
[ "$status" -eq 0 ] || fail "the probe exited with $status"
grep -q '^restored' "$work/probe.out" || fail "the window was not restored"
# One double click of the mouse is one double click for the window.
grep -q '^double clicks: 1$' "$work/probe.out" || fail "not exactly one double click reported"
echo "PASS: a double click on the tray icon restored the window"
exit 0
