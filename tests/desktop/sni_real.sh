#!/usr/bin/env bash
# The tray menu for real, on a StatusNotifier host: sway (headless) with
# waybar's tray, Tallowick as a native Wayland client hidden to that tray, and
# its icon clicked with a real pointer and its menu driven as the host drives
# it (tests/desktop/sni_drive.py): Restore brings the window back, a double
# click and two Activate calls do too, Exit asks first.
# sway will not run as root: as root, the run goes to the user tallowick-sni,
# made here when it does not exist yet.
# Usage: sni_real.sh PATH/TO/tallowick
# Exit 77 (skipped) when sway, waybar, grim, Qt's Wayland plug-in or the D-Bus and
# AT-SPI pieces are not installed.
set -u

app=${1:?usage: sni_real.sh PATH/TO/tallowick}
here=$(cd "$(dirname "$0")" && pwd)
skip() {
  echo "SKIP: $*"
  exit 77
}
for tool in sway swaymsg waybar grim wtype weston-terminal dbus-run-session dbus-send qtpaths6; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -f "$(qtpaths6 --query QT_INSTALL_PLUGINS)/platforms/libqwayland-generic.so" ] ||
  skip "Qt's Wayland platform plug-in is not installed (qt6-wayland)"
/usr/bin/python3 -c 'import pyatspi; from gi.repository import Gio' 2>/dev/null ||
  skip "python3-pyatspi is not installed"

work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for log in sway.log waybar.log app.log; do
    [ -s "$work/$log" ] && tail -n 20 "$work/$log" | sed "s/^/$log: /"
  done
  exit 1
}

# Everything the run needs is copied where the other user can read it.
cp "$app" "$work/tallowick"
cp "$here/sni_drive.py" "$here/wl_pointer.py" "$work/"
mkdir -m 700 "$work/runtime"
mkdir "$work/run"
cat >"$work/sway.conf" <<'EOF'
output HEADLESS-1 resolution 1024x768
EOF
cat >"$work/waybar.json" <<'EOF'
{ "layer": "top", "position": "top", "height": 24, "spacing": 0,
  "modules-left": [], "modules-center": [], "modules-right": ["tray"],
  "tray": { "icon-size": 16, "spacing": 0 } }
EOF
printf '* { font-family: sans-serif; font-size: 12px; }\n#tray { padding: 0; margin: 0; }\n' \
  >"$work/waybar.css"

# The part that runs inside the session: starts sway, waybar and Tallowick,
# runs the driver, and stops all it started by their ids.
cat >"$work/inner.sh" <<'EOF'
set -u
work=$1
pids=()
stop_all() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
}
trap stop_all EXIT
export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n1)
  WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-? 2>/dev/null | head -n1)
  [ -n "$SWAYSOCK" ] && [ -n "$WAYLAND_DISPLAY" ] && swaymsg -t get_version >/dev/null 2>&1 && break
  sleep 0.1
done
export SWAYSOCK WAYLAND_DISPLAY
swaymsg -t get_version >/dev/null 2>&1 || { echo "FAIL: sway did not start"; exit 1; }
waybar -c "$work/waybar.json" -s "$work/waybar.css" >"$work/waybar.log" 2>&1 &
pids+=($!)
watcher() { dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
  org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher 2>/dev/null | grep -q true; }
for _ in $(seq 100); do watcher && break; sleep 0.1; done
watcher || { echo "FAIL: waybar's tray did not take the StatusNotifier watcher's name"; exit 1; }
cd "$work/run" || exit 1
QT_QPA_PLATFORM=wayland QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$work/tallowick" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")
/usr/bin/python3 "$work/sni_drive.py"
status=$?
# OK on the exit confirmation ends the program.
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "FAIL: Tallowick still runs after OK on the exit confirmation"
  status=1
else
  wait "$app_pid"
  app_status=$?
  if [ "$app_status" -eq 0 ]; then
    echo "PASS: OK on the exit confirmation ended the program"
  else
    echo "FAIL: Tallowick ended with status $app_status"
    status=1
  fi
fi
exit "$status"
EOF

run=(bash "$work/inner.sh" "$work")
if [ "$(id -u)" -eq 0 ]; then
  user=tallowick-sni
  # Made once, kept for later runs; another run may be making it right now.
  if ! id -u "$user" >/dev/null 2>&1; then
    useradd --create-home --shell /bin/sh "$user" 2>/dev/null || id -u "$user" >/dev/null 2>&1 ||
      fail "cannot make the user $user"
  fi
  # A sanitizer build keeps its options, and its leak suppressions are copied where the
  # other user can read them.
  sanitizer_env=()
  for name in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
    value=${!name:-}
    if [[ $value =~ suppressions=([^:]*) ]] && [ -r "${BASH_REMATCH[1]}" ]; then
      cp "${BASH_REMATCH[1]}" "$work/$name.supp"
      value=${value/"${BASH_REMATCH[1]}"/"$work/$name.supp"}
    fi
    [ -n "$value" ] && sanitizer_env+=("$name=$value")
  done
  chown -R "$user" "$work"
  as_user=(runuser -u "$user" -- env -i "HOME=$(getent passwd "$user" | cut -d: -f6)"
           "PATH=/usr/sbin:/usr/bin:/sbin:/bin" "LANG=C.UTF-8" "XDG_RUNTIME_DIR=$work/runtime"
           "${sanitizer_env[@]}")
else
  as_user=(env "XDG_RUNTIME_DIR=$work/runtime")
fi
# The session bus ends with the inner script, and with it every service it started.
"${as_user[@]}" dbus-run-session -- "${run[@]}" 2>"$work/inner.err"
status=$?
[ -s "$work/inner.err" ] && grep -v -e '^dbus-daemon\[' -e 'Activating service' \
  -e 'Successfully activated' "$work/inner.err" | tail -n 5 | sed 's/^/session: /'
[ "$status" -eq 0 ] || fail "the run ended with status $status"
echo "PASS: the tray menu works on a StatusNotifier host (sway with waybar)"
exit 0
