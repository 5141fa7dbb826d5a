#!/usr/bin/env bash
# The main window as a screen reader reads it (tests/app/atspi_names.py): the
# program on Xvfb with accessibility on, its own session bus, and a private
# network namespace in which nothing listens on port 25, so that a reminder
# mail fails at once and changes the result line.
# Usage: atspi_names.sh PATH/TO/tallowick
# Exit 77 (skipped) when Xvfb, D-Bus, AT-SPI or unshare is not installed.
set -u

app=${1:?usage: atspi_names.sh PATH/TO/tallowick}
app=$(cd "$(dirname "$app")" && pwd)/$(basename "$app")
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb dbus-run-session unshare ip; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  echo "SKIP: python3-pyatspi is not installed"
  exit 77
fi

if [ -z "${ATSPI_NAMES_INSIDE:-}" ]; then
  # A loopback of our own, where port 25 is surely closed.
  if ! unshare -rn true 2>/dev/null; then
    echo "SKIP: no private network namespace here (unshare -rn)"
    exit 77
  fi
  # The X server runs outside that namespace, where X servers started beside this one see
  # its display number taken; the program inside reaches it through its socket file.
  display_file=$(mktemp)
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  display=":$(head -n1 "$display_file")"
  rm -f "$display_file"
  if [ "$display" = ":" ]; then
    echo "FAIL: Xvfb did not start"
    status=1
  else
    env ATSPI_NAMES_INSIDE=1 DISPLAY="$display" unshare -rn bash "$0" "$app"
    status=$?
  fi
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  exit "$status"
fi

ip link set lo up
work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/app.log" ] && tail -n 20 "$work/app.log" | sed 's/^/app: /'
  exit 1
}

# Each run its own accessibility bus: it follows XDG_RUNTIME_DIR.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$work/run"

cat >"$work/session.sh" <<'EOF'
set -u
cd "$2/run" || exit 1
QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LANG=C.UTF-8 "$1" >"$2/app.log" 2>&1 &
app_pid=$!
# A minute about to turn would make the stored time a minute in the past.
[ "$(date +%S)" -ge 45 ] && sleep $((61 - $(date +%S | sed 's/^0//')))
/usr/bin/python3 "$3/atspi_names.py" "$(date +%H)" "$(date +%M)"
status=$?
kill "$app_pid" 2>/dev/null
wait "$app_pid" 2>/dev/null
exit "$status"
EOF
dbus-run-session -- bash "$work/session.sh" "$app" "$work" "$here" 2>"$work/session.err"
status=$?
[ "$status" -eq 0 ] || fail "the screen reader's view is not complete (status $status)"
echo "PASS: every reachable control is named, the time boxes offer their lists, nothing unseen is shown, the result line and a notice are announced"
exit 0
